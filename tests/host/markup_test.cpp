#include "ui/markup.h"

#include <gtest/gtest.h>

#include "base/text.h"

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
  // Gradients, circles and icons as text: "gradient L,T,R,B FROM>TO h|v", "circle X,Y",
  // "icon N X,Y" (N the index, or the path).
  std::vector<std::string> ops;
  void Gradient(const Rect& r, Color from, Color to, bool vertical) override {
    ops.push_back(StrPrintf("gradient %d,%d,%d,%d %06X>%06X %s", r.left, r.top, r.right, r.bottom,
                            from, to, vertical ? "v" : "h"));
  }
  void Ellipse(const Rect& r, Color) override {
    ops.push_back(StrPrintf("circle %d,%d", r.left, r.top));
  }
  // Small system icons are 16 pixels, large ones 32; a missing file has no icon.
  void IconSize(const ImageRef& image, int& width, int& height) override {
    width = height = image.path == "missing.exe" ? 0 : image.large ? 32 : 16;
  }
  void Icon(const ImageRef& image, int x, int y) override {
    ops.push_back(StrPrintf(
        "icon %s %d,%d",
        image.index >= 0 ? std::to_string(image.index).c_str() : image.path.c_str(), x, y));
  }

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
    // A label font in points, and one of fixed pixels (the window's): a size in the markup is
    // in points either way, and the label's own height comes back after the tag.
    for (const int pixels : {0, 11}) {
      bool prefix_off = false;
      FakeCanvas canvas;
      LayoutOptions o = Options(600, 100);
      o.font.pixels = pixels;
      Layout(PrepareText(std::string(c.tag) + "x</FONT>y", prefix_off), prefix_off, o, canvas);
      ASSERT_EQ(canvas.drawn.size(), 2u) << c.tag;
      EXPECT_EQ(canvas.drawn[0].font.points, c.points) << c.tag;
      EXPECT_EQ(canvas.drawn[0].font.pixels, 0) << c.tag;
      EXPECT_EQ(canvas.drawn[1].font.points, 8) << c.tag;  // the label's size again
      EXPECT_EQ(canvas.drawn[1].font.pixels, pixels) << c.tag;
    }
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

namespace kovra::markup {
namespace {

TEST(Markup, ImageReferences) {
  struct Case {
    const char* text;
    ImageRef ref;
  } const cases[] = {
      {"SSYS:3", {true, false, 3, ""}},
      {"IDX:LSYS:12", {true, true, 12, ""}},
      {"lsys:C:\\Tools\\a.exe", {true, true, -1, "C:\\Tools\\a.exe"}},
      {"SSYS:", {}},
      {"logo.png", {}},
      {"IDX:7", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseImageRef(c.text), c.ref) << c.text;
}

struct Drawing {
  FakeCanvas canvas;
  LayoutResult result;
};

Drawing Draw(std::string_view text, int width = 600, bool blink_off = false) {
  Drawing d;
  bool prefix_off = false;
  const std::string prepared = PrepareText(text, prefix_off);
  LayoutOptions o = Options(width, 200);
  o.blink_off = blink_off;
  o.blink_color = 0x00FF00;
  d.result = Layout(prepared, prefix_off, o, d.canvas);
  return d;
}

TEST(Markup, ImagesGradientsCirclesBlinkAndRotation) {
  // An icon between runs takes its width and raises the line to its height; text keeps the
  // line's bottom. WRAP keeps the text height; ALIGN="TOP" puts it at the text's top.
  Drawing d = Draw("ab<IMG SRC=\"SSYS:3\">cd");
  EXPECT_EQ(d.canvas.ops, (std::vector<std::string>{"icon 3 12,0"}));
  ASSERT_EQ(d.canvas.drawn.size(), 2u);
  EXPECT_EQ(d.canvas.drawn[1].x, 28);
  EXPECT_EQ(d.canvas.drawn[1].y, 3);
  EXPECT_EQ(d.result.height, 16);
  EXPECT_EQ(Draw("ab<IMG SRC=\"SSYS:3\" WRAP>cd").result.height, 13);
  EXPECT_EQ(Draw("ab<IMG SRC=\"LSYS:1\" ALIGN=\"TOP\">cd").canvas.ops,
            (std::vector<std::string>{"icon 1 12,19"}));
  EXPECT_EQ(Draw("ab<IMG SRC=\"LSYS:1\" ALIGN=\"MIDDLE\">cd").canvas.ops,
            (std::vector<std::string>{"icon 1 12,10"}));
  // No system icon, no space; an icon that does not fit the rest of the line moves down.
  EXPECT_EQ(Draw("ab<IMG SRC=\"logo.png\">cd").canvas.drawn[1].x, 12);
  EXPECT_EQ(Draw("ab<IMG SRC=\"SSYS:missing.exe\">cd").canvas.drawn[1].x, 12);
  EXPECT_EQ(Draw("abcd<IMG SRC=\"LSYS:1\">", 40).canvas.ops,
            (std::vector<std::string>{"icon 1 0,13"}));

  // Gradients: BODY horizontal unless DIR says otherwise; a paragraph band two pixels taller.
  EXPECT_EQ(Draw("<BODY BGCOLOR=clred BGCOLORTO=clblue>x").canvas.ops,
            (std::vector<std::string>{"gradient -2,0,600,200 0000FF>FF0000 h"}));
  EXPECT_EQ(Draw("<BODY BGCOLOR=#000000 BGCOLORTO=#FFFFFF DIR=\"V\">x").canvas.ops,
            (std::vector<std::string>{"gradient -2,0,600,200 000000>FFFFFF v"}));
  EXPECT_EQ(Draw("<P BGCOLOR=clred BGCOLORTO=clyellow>x</P>").canvas.ops,
            (std::vector<std::string>{"gradient 0,-1,600,14 0000FF>00FFFF h"}));
  EXPECT_EQ(Draw("<BODY BGTOPLEFT=\"SSYS:2\">x").canvas.ops,
            (std::vector<std::string>{"icon 2 0,0"}));

  // A circle marker is a circle, a square one a filled box.
  EXPECT_EQ(Draw("<UL><LI TYPE=\"CIRCLE\">a</UL>").canvas.ops,
            (std::vector<std::string>{"circle 0,2"}));
  EXPECT_TRUE(Draw("<UL><LI TYPE=\"SQUARE\">a</UL>").canvas.ops.empty());

  // Blinking text takes the blink colour only while the phase is off; the closing tag restores.
  for (const bool off : {false, true}) {
    const Drawing b = Draw("<BL>x</BL>y", 600, off);
    ASSERT_EQ(b.canvas.drawn.size(), 2u);
    EXPECT_EQ(b.canvas.drawn[0].font.color, off ? 0x00FF00u : SystemColor(8));
    EXPECT_EQ(b.canvas.drawn[1].font.color, SystemColor(8));
  }
  // Rotation: the angle in tenths of a degree, put back by the closing tag.
  const Drawing r = Draw("<R ANGLE=45>x<R A=90>y</R>z</R>w");
  ASSERT_EQ(r.canvas.drawn.size(), 4u);
  EXPECT_EQ(r.canvas.drawn[0].font.angle, 450);
  EXPECT_EQ(r.canvas.drawn[1].font.angle, 900);
  EXPECT_EQ(r.canvas.drawn[2].font.angle, 450);
  EXPECT_EQ(r.canvas.drawn[3].font.angle, 0);
}

TEST(Markup, ImageInsideALinkHintsWithItsAlt) {
  std::vector<LinkItem> links(1);
  bool prefix_off = false;
  FakeCanvas canvas;
  const LayoutResult result =
      Layout(PrepareText("<A HREF=\"h\">go<IMG SRC=\"SSYS:1\" ALT=\"the logo\"></A>", prefix_off),
             prefix_off, Options(600, 100, &links), canvas);
  EXPECT_EQ(HitTest(result, 14, 5).alt, "the logo");
  EXPECT_EQ(HitTest(result, 14, 5).link, 0);
  EXPECT_EQ(HitTest(result, 2, 5).alt, "");
}

TEST(Markup, Hints) {
  LinkItem plain, cut_only, cut_only_cut;
  plain.hint = cut_only.hint = cut_only_cut.hint = "link hint";
  cut_only.auto_show_hint = cut_only_cut.auto_show_hint = cut_only_cut.cut = true;
  struct Case {
    const LinkItem* link;
    bool auto_show, out_of_rect;
    const char *label_hint, *expected;
  } const cases[] = {
      {&plain, false, false, "", "link hint"},
      {&cut_only, false, false, "label", "label"},
      {&cut_only_cut, false, false, "", "link hint"},
      {nullptr, false, true, "label", "label"},
      {nullptr, true, false, "", ""},
      {nullptr, true, true, "", "<b>all</b> of it"},
      {nullptr, true, true, "label", "label"},
  };
  for (const Case& c : cases) {
    HintQuery q;
    q.link = c.link;
    q.auto_show_hint = c.auto_show;
    q.out_of_rect = c.out_of_rect;
    q.label_hint = c.label_hint;
    q.markup_text = "<b>all</b> of it";
    EXPECT_EQ(HintFor(q), c.expected)
        << (c.link ? c.link->hint : "-") << c.auto_show << c.out_of_rect;
  }
}

}  // namespace
}  // namespace kovra::markup
