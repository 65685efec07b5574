#include "ui/markup.h"

#include <gtest/gtest.h>

namespace kovra::markup {
namespace {

// Fixed metrics: 6 pixels a character (bold 7), a line as high as the point size plus 5.
class FakeCanvas : public Canvas {
 public:
  struct Drawn {
    std::string text;
    Font font;
    int x, y;
  };
  std::vector<Drawn> drawn;
  int char_width = 6;

  void Measure(const Font& font, std::string_view text, int& width, int& height) override {
    width = static_cast<int>(text.size()) * (font.bold ? char_width + 1 : char_width);
    height = font.points + 5;
  }
  void Text(const Font& font, int x, int y, int, std::string_view text) override {
    drawn.push_back({std::string(text), font, x, y});
  }
  void Fill(const Rect&, Color) override {}
  void Line(int, int, int, int, Color) override {}

  std::string Shown() const {
    std::string s;
    int y = -1;
    for (const Drawn& d : drawn) {
      if (y >= 0 && d.y != y && !s.empty())
        s += "|";
      s += d.text;
      y = d.y;
    }
    return s;
  }
};

LayoutOptions Options(int width, int height, std::vector<LinkItem>* links = nullptr) {
  LayoutOptions o;
  o.rect = Rect{0, 0, width, height};
  o.links = links;
  return o;
}

std::string Render(std::string_view text, int width = 600, int height = 100) {
  bool prefix_off = false;
  const std::string prepared = PrepareText(text, prefix_off);
  FakeCanvas canvas;
  Layout(prepared, prefix_off, Options(width, height), canvas);
  return canvas.Shown();
}

TEST(Markup, TextPreparationEntitiesAndPrefixes) {
  struct Case {
    const char *text, *shown;
  };
  const Case cases[] = {
      {"Fish &amp; Chips", "Fish & Chips"},  // one ampersand without " & "
      {"A & B &amp; C", "A & B && C"},       // with it: every ampersand as written
      {"&lt;B&gt;bold?&lt;/B&gt;", "<B>bold?</B>"},
      {"<#B>x", "#Bx"},  // the text between "<#" and ">" shown as it is
      {"&copy; &euro;", "\xC2\xA9 \xE2\x82\xAC"},
      {"shown<B unclosed", "shown"},
      {"a<UNKNOWN>b", "ab"},
      {"a<Z>hidden</Z>b", "ab"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Render(c.text), c.shown) << c.text;
  // Two lines and <BR> are the same text.
  EXPECT_EQ(Render("one\r\ntwo"), "one|two");
  EXPECT_EQ(Render("one<BR>two"), "one|two");
}

TEST(Markup, FontSizesAndColours) {
  struct Case {
    const char* tag;
    int points;
  };
  const Case sizes[] = {{"<FONT SIZE=3>", 12},
                        {"<FONT SIZE=7>", 7},
                        {"<FONT STYLE=\"FONT-SIZE:9PT\" SIZE=5>", 9},
                        {"<FONT SIZE=x>", 0}};
  for (const Case& c : sizes) {
    bool prefix_off = false;
    FakeCanvas canvas;
    Layout(PrepareText(std::string(c.tag) + "x</FONT>y", prefix_off), prefix_off, Options(600, 100),
           canvas);
    ASSERT_EQ(canvas.drawn.size(), 2u) << c.tag;
    EXPECT_EQ(canvas.drawn[0].font.points, c.points) << c.tag;
    EXPECT_EQ(canvas.drawn[1].font.points, 8) << c.tag;  // the label's size again
  }
  EXPECT_EQ(ParseColor("clRed", 0), 0x0000FFu);
  EXPECT_EQ(ParseColor("#FF0000", 0), ParseColor("clred", 0));
  EXPECT_EQ(ParseColor("#ff0000", 0), 0x0000FFu);
  EXPECT_EQ(ParseColor("$0080FF", 0), 0xFF8000u);
  EXPECT_EQ(ParseColor("clHighlight", 0), SystemColor(13));
  EXPECT_EQ(ParseColor("nosuchcolour", 5), kBlack);
  EXPECT_EQ(ParseColor("", 5), 5u);
  bool prefix_off = false;
  FakeCanvas canvas;
  Layout(PrepareText("<FONT COLOR=#00ff00 BGCOLOR=clred>g</FONT><B>b</B>", prefix_off), prefix_off,
         Options(600, 100), canvas);
  EXPECT_EQ(canvas.drawn[0].font.color, 0x00FF00u);
  EXPECT_TRUE(canvas.drawn[1].font.bold);
}

TEST(Markup, WindowCaptionLinkHoverAndHitTest) {
  const std::string caption =
      "This tool will collect information to help us diagnose and fix the problem you are "
      "experiencing with our product. By sending us the report, you accept our <a>Privacy "
      "Policy.</a>";
  std::vector<LinkItem> links(1);
  links[0].font.underline = true;
  links[0].font_hover = links[0].font;
  links[0].font_hover.color = kBlue;
  bool prefix_off = false;
  const std::string prepared = PrepareText(caption, prefix_off);
  LayoutOptions o = Options(248, 59, &links);
  FakeCanvas plain;
  plain.char_width = 5;  // about Tahoma's 8-point average
  const LayoutResult normal = Layout(prepared, prefix_off, o, plain);
  EXPECT_FALSE(normal.out_of_rect);
  EXPECT_EQ(normal.height, 4 * 13);
  ASSERT_FALSE(normal.link_areas.empty());
  const Rect link = normal.link_areas[0].rect;
  // The link in the label's font, underlined; blue only while hovered.
  const auto link_piece = [](const FakeCanvas& c) {
    for (const auto& d : c.drawn) {
      if (d.text.find("Privacy") != std::string::npos)
        return d;
    }
    return FakeCanvas::Drawn{};
  };
  EXPECT_TRUE(link_piece(plain).font.underline);
  EXPECT_EQ(link_piece(plain).font.color, SystemColor(8));
  o.hovered_link = 0;
  FakeCanvas hovered;
  hovered.char_width = 5;
  Layout(prepared, prefix_off, o, hovered);
  EXPECT_EQ(link_piece(hovered).font.color, kBlue);
  EXPECT_EQ(HitTest(normal, link.left + 1, link.top + 1).link, 0);
  EXPECT_EQ(HitTest(normal, 1, 1).link, -1);
}

TEST(Markup, ListsOffsetsAndBody) {
  bool prefix_off = false;
  FakeCanvas canvas;
  Layout(PrepareText("intro<UL><LI>one<LI>two<OL><LI>first<LI>second</OL></UL>after", prefix_off),
         prefix_off, Options(600, 200), canvas);
  std::vector<std::string> placed;
  for (const auto& d : canvas.drawn)
    placed.push_back(d.text + "@" + std::to_string(d.x) + "," + std::to_string(d.y));
  // Each item on its own line, indented 12 pixels a level; the marker 12 pixels left of the
  // text (odd levels a dot, numbered levels the number with the text after it).
  EXPECT_EQ(placed, (std::vector<std::string>{
                        "intro@0,0", "\xC2\xB7@0,13", "one@12,13", "\xC2\xB7@0,26", "two@12,26",
                        "1. @24,39", "first@42,39", "2. @24,52", "second@42,52", "after@0,65"}));
  EXPECT_EQ(canvas.drawn[1].font.face, "Symbol");

  FakeCanvas offsets;
  Layout(PrepareText("a<OF x=\"100\">b</O><IND x=\"50\">c<IND x=\"300\">d", prefix_off), prefix_off,
         Options(600, 200), offsets);
  ASSERT_EQ(offsets.drawn.size(), 4u);
  EXPECT_EQ(offsets.drawn[1].x, 100);  // OF: from the left edge
  EXPECT_EQ(offsets.drawn[2].x, 106);  // IND behind the position: no effect
  EXPECT_EQ(offsets.drawn[3].x, 300);
}

TEST(Markup, CutTextMaxLineAndAutoSize) {
  const std::string text = "one two three four five six seven eight nine ten eleven twelve";
  // Two lines fit: the second ends with "..." and the text is marked as cut.
  bool prefix_off = false;
  FakeCanvas canvas;
  const LayoutResult cut =
      Layout(PrepareText(text, prefix_off), prefix_off, Options(120, 26), canvas);
  EXPECT_TRUE(cut.out_of_rect);
  EXPECT_EQ(canvas.Shown(), "one two three four|five six seven ei...");
  // Auto-size: the height of every line, nothing cut.
  LayoutOptions grow = Options(120, 26);
  grow.fixed_height = false;
  FakeCanvas all;
  const LayoutResult sized = Layout(PrepareText(text, prefix_off), prefix_off, grow, all);
  EXPECT_FALSE(sized.out_of_rect);
  EXPECT_EQ(sized.height, 4 * 13);

  // A link limited to one line stays on it, cut at the right edge; the text after it wraps.
  std::vector<LinkItem> links(1);
  links[0].max_line = 1;
  LayoutOptions o = Options(120, 100, &links);
  FakeCanvas limited;
  Layout(
      PrepareText("go <a>a very long link text that wraps</a> then more words follow", prefix_off),
      prefix_off, o, limited);
  EXPECT_TRUE(links[0].cut);
  EXPECT_EQ(limited.Shown(), "go a very long link text that wraps|then more words|follow");
}

}  // namespace
}  // namespace kovra::markup
