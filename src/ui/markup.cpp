#include "ui/markup.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "base/text.h"

namespace kovra::markup {

namespace {

// Replaces the first occurrence of `from` (letter case ignored); false when there is none.
bool ReplaceOnce(std::string& s, std::string_view from, std::string_view to) {
  const size_t at = FindTextAscii(s, from);
  if (at == std::string::npos)
    return false;
  s.replace(at, from.size(), to);
  return true;
}

std::string ReplaceAllIgnoringCase(std::string s, std::string_view from, std::string_view to) {
  size_t at = 0;
  while ((at = FindTextAscii(s, from, at)) != std::string::npos) {
    s.replace(at, from.size(), to);
    at += to.size();
  }
  return s;
}

// A run's text as shown: the late entities, and with prefix processing "&&" as one ampersand
// while a lone one (an accelerator mark) is not shown.
std::string RunText(std::string s, bool prefix_off) {
  s = ReplaceAllIgnoringCase(std::move(s), "&nbsp;", " ");
  s = ReplaceAllIgnoringCase(std::move(s), "&lt;", "<");
  s = ReplaceAllIgnoringCase(std::move(s), "&gt;", ">");
  if (prefix_off)
    return s;
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&') {
      if (i + 1 < s.size() && s[i + 1] == '&')
        out += '&', ++i;
      continue;
    }
    out += s[i];
  }
  return out;
}

struct Piece {
  std::string text;
  Font font;
  Color background = kNone;
  int x = 0, width = 0, height = 0;
  int link = -1;
  int shift = 0;  // subscript (down) or superscript (up)
  bool shadow = false, error = false;
  Color box = kNone;    // a list marker drawn as an 8 x 8 box of this colour instead of text
  bool circle = false;  // the marker is a circle rather than a square
  // An inline image instead of text: its size, the text height it is aligned against, and
  // its alignment (0 bottom, 1 top, 2 middle).
  ImageRef image;
  int image_height = 0, text_height = 0, image_align = 0;
  std::string alt;
};

class Engine {
 public:
  Engine(bool prefix_off, const LayoutOptions& o, Canvas& c)
      : prefix_off_(prefix_off), o_(o), c_(c) {
    font_ = o.font;
    top_ = o.rect.top;
  }

  LayoutResult Run(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && !stopped_) {
      if (text[i] == '<') {
        const size_t close = text.find('>', i + 1);
        if (close == std::string::npos)
          break;  // an unclosed tag hides the rest
        rest_ = std::string_view(text).substr(close + 1);
        Tag(text.substr(i + 1, close - i - 1));
        i = close + 1;
        continue;
      }
      const size_t next = text.find('<', i);
      const size_t end = next == std::string::npos ? text.size() : next;
      rest_ = std::string_view(text).substr(end);
      if (!hidden_)
        AddText(RunText(text.substr(i, end - i), prefix_off_));
      i = end;
    }
    if (!stopped_ && (!line_.empty() || result_.height == 0))
      EndLine(false);
    return std::move(result_);
  }

 private:
  int SampleHeight(const Font& f) {
    const auto it = heights_.find(Key(f));
    if (it != heights_.end())
      return it->second;
    int w = 0, h = 0;
    c_.Measure(f, "`ghj_", w, h);
    heights_[Key(f)] = h;
    return h;
  }
  static std::string Key(const Font& f) {
    return f.face + StrPrintf("/%d/%d/%d%d%d%d/%d", f.points, f.pixels, f.bold, f.italic,
                              f.underline, f.strike, f.angle);
  }
  int Width(std::string_view s) {
    int w = 0, h = 0;
    c_.Measure(CurrentFont(), s, w, h);
    return w;
  }
  Font CurrentFont() const {
    if (link_ < 0 || o_.links == nullptr || link_ >= static_cast<int>(o_.links->size()))
      return font_;
    const LinkItem& item = (*o_.links)[static_cast<size_t>(link_)];
    Font f = link_ == o_.hovered_link ? item.font_hover : item.font;
    return f;
  }
  int LineLeft() const { return o_.rect.left + indent_ + 12 * static_cast<int>(lists_.size()); }
  int Available() const { return o_.rect.right - (LineLeft() + x_); }

  void Push(std::string text) {
    if (text.empty())
      return;
    Piece p;
    p.font = CurrentFont();
    p.text = std::move(text);
    p.background = background_;
    p.x = x_;
    p.width = Width(p.text);
    p.height = SampleHeight(p.font);
    p.link = link_;
    p.shift = sub_ ? p.height / 4 : sup_ ? -(p.height / 4) : 0;
    p.shadow = shadow_;
    p.error = error_;
    x_ += p.width;
    if (link_ >= 0 && LineLeft() + x_ > o_.rect.right)
      MarkLinkCut();
    line_.push_back(std::move(p));
  }

  void MarkLinkCut() {
    if (o_.links != nullptr && link_ >= 0 && link_ < static_cast<int>(o_.links->size()))
      (*o_.links)[static_cast<size_t>(link_)].cut = true;
  }

  static std::string TrimLeft(std::string s) {
    const size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first);
  }

  // Whether text would still be shown after the current position.
  bool MoreVisibleText() const {
    bool in_tag = false;
    for (const char c : rest_) {
      if (c == '<')
        in_tag = true;
      else if (c == '>')
        in_tag = false;
      else if (!in_tag && c != ' ' && c != '\r' && c != '\n')
        return true;
    }
    return false;
  }

  // Ends the current line for a wrap; false when the next line would not fit, after cutting
  // `remainder` onto this line with "...".
  bool Wrap(const std::string& remainder) {
    if (link_ >= 0) {
      int max_line = link_max_line_;
      if (max_line >= 0 && link_lines_ >= max_line) {
        // The link has its lines: the rest stays on this one, cut at the right edge.
        Push(remainder);
        MarkLinkCut();
        link_stopped_ = true;
        return false;
      }
    }
    if (!FitsAnotherLine()) {
      CutWithEllipsis(TrimLeft(remainder).empty() ? std::string() : remainder);
      return false;
    }
    EndLine(false);
    if (link_ >= 0)
      ++link_lines_;
    return true;
  }

  bool FitsAnotherLine() {
    if (!o_.fixed_height)
      return true;
    const int next_top = top_ + LineHeight() + LineExtra() + Spacing();
    return next_top + SampleHeight(font_) <= o_.rect.bottom;
  }

  void CutWithEllipsis(const std::string& remainder) {
    // As much of the remainder as fits with "...", or else the line itself shortened for it.
    std::string text = remainder;
    while (!text.empty() && Width(text + "...") > Available())
      DropLastCharacter(text);
    while (text.empty() && !line_.empty() && Width("...") > Available()) {
      Piece& last = line_.back();
      x_ -= last.width;
      DropLastCharacter(last.text);
      if (last.text.empty()) {
        line_.pop_back();
        continue;
      }
      last.width = Width(last.text);
      x_ += last.width;
    }
    Push(text + "...");
    result_.out_of_rect = true;
    EndLine(false);
    stopped_ = true;
  }

  static void DropLastCharacter(std::string& s) {
    while (!s.empty() && (static_cast<unsigned char>(s.back()) & 0xC0) == 0x80)
      s.pop_back();  // the continuation bytes of a character go with it
    if (!s.empty())
      s.pop_back();
  }

  void AddText(std::string s) {
    while (!s.empty() && !stopped_) {
      if (link_stopped_ || !o_.word_wrap || Width(s) <= Available()) {
        Push(std::move(s));
        return;
      }
      // The longest prefix that ends before a blank and fits.
      size_t best = 0;
      for (size_t at = s.find(' '); at != std::string::npos; at = s.find(' ', at + 1)) {
        if (at > 0 && Width(s.substr(0, at)) <= Available())
          best = at;
        else if (at > 0)
          break;
      }
      std::string head, rest;
      if (best > 0) {
        head = s.substr(0, best);
        rest = s.substr(best);
      } else if (x_ > 0) {
        rest = s;  // nothing fits behind what the line holds: a new line
      } else if (o_.wrap_char) {
        size_t n = 1;
        while (n < s.size() && Width(s.substr(0, n + 1)) <= Available())
          ++n;
        while (n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
          ++n;
        head = s.substr(0, n);
        rest = s.substr(n);
      } else {
        const size_t blank = s.find(' ');
        head = s.substr(0, blank);  // a word wider than the line: cut at the right edge
        rest = blank == std::string::npos ? std::string() : s.substr(blank);
      }
      if (!head.empty())
        Push(head);
      if (TrimLeft(rest).empty())
        return;
      if (!Wrap(rest))
        return;
      s = TrimLeft(std::move(rest));
    }
  }

  int LineHeight() {
    int h = 0;
    for (const Piece& p : line_)
      h = std::max(h, p.height);
    return h > 0 ? h : SampleHeight(font_);
  }
  int LineExtra() const {
    int extra = 0;
    for (const Piece& p : line_)
      extra = std::max(extra, std::abs(p.shift));
    return extra;
  }
  int Spacing() const { return next_spacing_ >= 0 ? next_spacing_ : o_.line_spacing; }

  void EndLine(bool rule, Color rule_color = kBlack) {
    const int height = LineHeight();
    int width = 0;
    for (const Piece& p : line_)
      width = std::max(width, p.x + p.width);
    int start = LineLeft();
    if (align_ == 1 && o_.rect.right - width > o_.rect.left)
      start = o_.rect.right - width;
    else if (align_ == 2 && (o_.rect.right - o_.rect.left - width) / 2 > 0)
      start = o_.rect.left + (o_.rect.right - o_.rect.left - width) / 2;
    if (o_.draw && paragraph_background_ != kNone) {
      // With a second colour each band is a gradient, two pixels taller than the line.
      if (paragraph_background_to_ != kNone)
        c_.Gradient(Rect{o_.rect.left, top_ - 1, o_.rect.right, top_ + height + 1},
                    paragraph_background_, paragraph_background_to_, false);
      else
        c_.Fill(Rect{o_.rect.left, top_, o_.rect.right, top_ + height}, paragraph_background_);
    }
    for (const Piece& p : line_) {
      const int x = start + p.x;
      const int y = top_ + height - p.height + p.shift;
      if (o_.draw && p.box != kNone) {
        if (p.circle)
          c_.Ellipse(Rect{x, top_ + 2, x + 8, top_ + 10}, p.box);
        else
          c_.Fill(Rect{x, top_ + 2, x + 8, top_ + 10}, p.box);
        continue;
      }
      if (p.image.valid) {
        const int text_top = top_ + height - p.text_height;
        const int image_y = p.image_align == 1   ? text_top
                            : p.image_align == 2 ? text_top + (p.text_height - p.image_height) / 2
                                                 : top_ + height - p.image_height;
        if (o_.draw)
          c_.Icon(p.image, x, image_y);
        if (p.link >= 0)
          AddLinkArea(
              p.link,
              Rect{x, image_y, std::min(x + p.width, o_.rect.right), image_y + p.image_height},
              p.alt);
        continue;
      }
      if (o_.draw) {
        if (p.shadow) {
          Font shadow = p.font;
          shadow.color = SystemColor(16);
          shadow.angle = 0;
          c_.Text(shadow, x + 1, y + 1, o_.rect.right, p.text);
        }
        if (p.background != kNone)
          c_.Fill(Rect{x, y, std::min(x + p.width, o_.rect.right), y + p.height}, p.background);
        c_.Text(p.font, x, y, o_.rect.right, p.text);
        if (p.error) {
          const int bottom = y + p.height - 1;
          for (int zx = x & ~1; zx + 2 <= x + p.width; zx += 2)
            c_.Line(zx, bottom - ((zx / 2) % 2 ? 0 : 2), zx + 2, bottom - ((zx / 2) % 2 ? 2 : 0),
                    0x0000FF);
        }
      }
      if (p.link >= 0)
        AddLinkArea(p.link, Rect{x, y, std::min(x + p.width, o_.rect.right), y + p.height}, "");
    }
    if (rule && o_.draw)
      c_.Line(o_.rect.left, top_ + height + 1, o_.rect.right, top_ + height + 1, rule_color);
    top_ += height + LineExtra();
    result_.height = top_ - o_.rect.top;
    top_ += Spacing();
    next_spacing_ = -1;
    line_.clear();
    x_ = 0;
  }

  // A link's piece joins the link's area on its line (or starts one).
  void AddLinkArea(int link, const Rect& r, const std::string& alt) {
    for (LinkArea& a : result_.link_areas) {
      if (a.link == link && a.rect.top == r.top && alt.empty() && a.alt.empty()) {
        a.rect.left = std::min(a.rect.left, r.left);
        a.rect.right = std::max(a.rect.right, r.right);
        return;
      }
    }
    result_.link_areas.push_back(LinkArea{link, r, href_, title_, alt});
  }

  // An inline system icon: on the next line when it does not fit the rest of this one but
  // would fit a line; it raises the line's height to its own unless WRAP.
  void Image(const std::string& tag, const std::string& up) {
    const ImageRef ref = ParseImageRef(QuotedValue(tag, "SRC"));
    if (!ref.valid || hidden_)
      return;
    int w = 0, h = 0;
    c_.IconSize(ref, w, h);
    if (w <= 0 || h <= 0)
      return;
    if (w > Available() && w < o_.rect.right - o_.rect.left && x_ > 0 && !link_stopped_ &&
        !Wrap(""))
      return;
    Piece p;
    p.font = CurrentFont();
    p.image = ref;
    p.x = x_;
    p.width = w;
    p.image_height = h;
    p.text_height = SampleHeight(p.font);
    p.height = up.find(" WRAP") != std::string::npos ? p.text_height : h;
    const std::string align = AsciiUpperCase(AttributeValue(tag, "ALIGN"));
    p.image_align = align.find("TOP") != std::string::npos      ? 1
                    : align.find("MIDDLE") != std::string::npos ? 2
                                                                : 0;
    p.link = link_;
    p.alt = QuotedValue(tag, "ALT");
    x_ += w;
    line_.push_back(std::move(p));
  }

  // BODY: the drawing rectangle's background (a gradient with BGCOLORTO, vertical unless DIR
  // is "H" or absent), and a picture at the current position.
  void Body(const std::string& tag) {
    const Color body = ParseColor(AttributeValue(tag, "BGCOLOR"), kNone);
    const Color to = ParseColor(AttributeValue(tag, "BGCOLORTO"), kNone);
    const Rect all{o_.rect.left - 2, o_.rect.top, o_.rect.right, o_.rect.bottom};
    if (body != kNone) {
      if (o_.draw) {
        if (to != kNone) {
          const std::string dir = AsciiUpperCase(QuotedValue(tag, "DIR"));
          c_.Gradient(all, body, to, !dir.empty() && dir != "H");
        } else {
          c_.Fill(all, body);
        }
      }
      background_ = body;
    }
    for (const char* name : {"BACKGROUND", "BGTOPLEFT"}) {
      const ImageRef ref = ParseImageRef(QuotedValue(tag, name));
      if (ref.valid && o_.draw)
        c_.Icon(ref, LineLeft() + x_, top_);
    }
  }

  // A break the markup asks for; false (and the layout ends) when text would follow that no
  // longer fits.
  void Break(bool rule = false, Color rule_color = kBlack) {
    if (o_.fixed_height && MoreVisibleText()) {
      const int next_top = top_ + LineHeight() + LineExtra() + Spacing();
      if (next_top + SampleHeight(font_) > o_.rect.bottom) {
        CutWithEllipsis("");
        return;
      }
    }
    EndLine(rule, rule_color);
  }

  void Tag(const std::string& tag) {
    const std::string up = AsciiUpperCase(tag);
    const bool closing = !up.empty() && up[0] == '/';
    const std::string n = closing ? up.substr(1) : up;
    auto is = [&](std::string_view first) { return n.compare(0, first.size(), first) == 0; };
    auto exactly = [&](std::string_view name) {
      return n == name || (is(name) && n.size() > name.size() && n[name.size()] == ' ');
    };
    if (n.empty())
      return;
    if (exactly("B")) {
      font_.bold = !closing;
    } else if (is("BL")) {
      // Blinking text: the blink colour while the phase is off; the closing tag restores the
      // font colour.
      if (!closing) {
        blink_saved_color_ = font_.color;
        if (o_.blink_off)
          font_.color = o_.blink_color;
      } else {
        font_.color = blink_saved_color_;
      }
    } else if (is("R")) {
      // Rotated text: the angle from the first attribute whose name starts with "A".
      if (!closing) {
        rotation_saved_.push_back(font_.angle);
        const size_t a = up.find(" A");
        font_.angle = a == std::string::npos
                          ? 0
                          : 10 * std::atoi(AttributeValue(up.substr(a + 1), "A").c_str());
      } else if (!rotation_saved_.empty()) {
        font_.angle = rotation_saved_.back();
        rotation_saved_.pop_back();
      }
    } else if (is("IM")) {
      if (!closing)
        Image(tag, up);
    } else if (exactly("I")) {
      font_.italic = !closing;
    } else if (exactly("U")) {
      font_.underline = !closing;
    } else if (exactly("S") || is("ST")) {
      font_.strike = !closing;
    } else if (is("SU")) {
      if (closing)
        sub_ = sup_ = false;
      else if (up == "SUB")
        sub_ = true;
      else if (up == "SUP")
        sup_ = true;
    } else if (is("SH")) {
      shadow_ = !closing;
    } else if (is("SP")) {
      if (closing) {
        background_ = span_saved_background_;
        span_saved_background_ = kNone;
      } else {
        span_saved_background_ = background_;
        const size_t at = up.find("BACKGROUND-COLOR:");
        if (at != std::string::npos) {
          const size_t hash = up.find('#', at);
          if (hash != std::string::npos && hash + 7 <= up.size())
            background_ = ParseColor(up.substr(hash, 7), background_);
        }
      }
    } else if (is("Z")) {
      hidden_ = !closing;
    } else if (is("E")) {
      error_ = !closing;
    } else if (is("HR")) {
      Break(true, ParseColor(AttributeValue(tag, "COLOR"), kBlack));
    } else if (is("HI") || (closing && is("H"))) {
      if (!closing) {
        highlight_saved_ = {font_.color, background_};
        font_.color = SystemColor(14);
        background_ = SystemColor(13);
      } else {
        font_.color = highlight_saved_.first;
        background_ = highlight_saved_.second;
      }
    } else if (is("BR")) {
      const std::string space = AttributeValue(tag, "LINESPACE");
      Break();
      if (!space.empty())
        next_spacing_ = std::atoi(space.c_str());
    } else if (is("F")) {
      FontTag(tag, up, closing);
    } else if (exactly("A")) {
      LinkTag(tag, closing);
    } else if (is("UL") || is("OL")) {
      if (closing) {
        if (!line_.empty())
          Break();  // the item's line ends at its own indent
        if (!lists_.empty())
          lists_.pop_back();
      } else {
        if (!line_.empty())
          Break();
        lists_.push_back(List{is("OL"), 1});
      }
    } else if (is("LI") && !closing) {
      ListItem(tag);
    } else if (closing && is("L")) {
      if (!line_.empty())
        Break();
    } else if (is("LS")) {
      const std::string space = AttributeValue(tag, "LINESPACE");
      if (!space.empty())
        next_spacing_ = std::atoi(space.c_str());
    } else if (is("OF")) {
      const int at = std::atoi(QuotedValue(tag, "X").c_str());
      if (at > 0)
        x_ = std::max(0, o_.rect.left + at - LineLeft());
    } else if (closing && n == "O") {
      // The offset ends; the text goes on where it is.
    } else if (is("IND")) {
      const int at = std::atoi(QuotedValue(tag, "X").c_str());
      if (o_.rect.left + at > LineLeft() + x_)
        x_ = o_.rect.left + at - LineLeft();
    } else if (is("BO")) {
      if (!closing)
        Body(tag);
    } else if (exactly("P")) {
      if (closing) {
        if (!line_.empty())
          Break();
        align_ = saved_align_;
        indent_ = 0;
        paragraph_background_ = paragraph_background_to_ = kNone;
      } else {
        if (!line_.empty() || result_.height > 0)
          Break();
        saved_align_ = align_;
        const std::string a = AttributeValue(tag, "ALIGN");
        const std::string ua = AsciiUpperCase(a);
        align_ = ua.find("RIGHT") != std::string::npos    ? 1
                 : ua.find("LEFT") != std::string::npos   ? 0
                 : ua.find("CENTER") != std::string::npos ? 2
                                                          : align_;
        indent_ = std::atoi(AttributeValue(tag, "INDENT").c_str());
        paragraph_background_ = ParseColor(AttributeValue(tag, "BGCOLOR"), kNone);
        paragraph_background_to_ = ParseColor(AttributeValue(tag, "BGCOLORTO"), kNone);
      }
    }
    // Any other tag is removed without effect.
  }

  // A value between the first two double quotes after the attribute's name.
  static std::string QuotedValue(const std::string& tag, const char* name) {
    const std::string up = AsciiUpperCase(tag);
    const size_t at = up.find(name);
    if (at == std::string::npos)
      return std::string();
    const size_t open = tag.find('"', at);
    const size_t close = open == std::string::npos ? open : tag.find('"', open + 1);
    return close == std::string::npos ? std::string() : tag.substr(open + 1, close - open - 1);
  }

  // A list item: on a new line (unless first in its line), indented by its level, with its
  // marker 12 pixels left of the text.
  void ListItem(const std::string& tag) {
    if (!line_.empty())
      Break();
    if (stopped_)
      return;
    const std::string type = AsciiUpperCase(QuotedValue(tag, "TYPE"));
    const Color color = ParseColor(AttributeValue(AsciiUpperCase(tag), "COLOR"), kNone);
    Piece marker;
    marker.x = -12;
    marker.font = font_;
    marker.height = SampleHeight(font_);
    if (type == "SQUARE" || type == "CIRCLE") {
      marker.box = color == kNone ? font_.color : color;
      marker.circle = type == "CIRCLE";
      marker.width = 8;
      line_.push_back(marker);
      return;
    }
    marker.font.face = "Symbol";
    if (color != kNone)
      marker.font.color = color;
    List* list = lists_.empty() ? nullptr : &lists_.back();
    if (list != nullptr && list->numbered) {
      marker.text = std::to_string(list->next++) + ". ";
      marker.x = 0;
      marker.width = Width(marker.text);
      x_ = marker.width;  // the text starts after the number
    } else {
      marker.text = lists_.size() % 2 ? "\xC2\xB7" : "o";
      marker.width = Width(marker.text);
    }
    line_.push_back(marker);
  }

  void FontTag(const std::string& tag, const std::string& up, bool closing) {
    if (closing) {
      font_.face = o_.font.face;
      font_.points = o_.font.points;
      font_.pixels = o_.font.pixels;
      font_.color = color_before_font_;
      background_ = background_before_font_;
      return;
    }
    background_before_font_ = background_;
    const std::string face = AttributeValue(up, "FACE");
    if (!face.empty())
      font_.face = face;
    if (up.find(" COLOR") != std::string::npos) {
      color_before_font_ = font_.color;
      font_.color =
          ParseColor(AttributeValue(" " + up.substr(up.find(" COLOR") + 1), "COLOR"), font_.color);
    } else {
      color_before_font_ = font_.color;
    }
    if (up.find("BGCOLOR") != std::string::npos)
      background_ = ParseColor(AttributeValue(up, "BGCOLOR"), background_);
    const std::string style = AttributeValue(tag, "STYLE");
    if (!style.empty() || up.find("STYLE") != std::string::npos) {
      const std::string us = AsciiUpperCase(style);
      const size_t at = us.find("FONT-SIZE:");
      if (at != std::string::npos) {
        const int pt = std::atoi(us.c_str() + at + 10);
        if (us.find("PT", at) != std::string::npos) {
          font_.points = pt;
          font_.pixels = 0;
        }
      }
    } else if (up.find("SIZE") != std::string::npos) {
      font_.points = FontSizePoints(std::atoi(AttributeValue(up, "SIZE").c_str()));
      font_.pixels = 0;
    }
  }

  void LinkTag(const std::string& tag, bool closing) {
    if (closing) {
      if (link_ >= 0) {
        font_ = link_saved_font_;
        background_ = link_saved_background_;
      }
      link_ = -1;
      link_stopped_ = false;
      return;
    }
    link_saved_font_ = font_;
    link_saved_background_ = background_;
    const int number = link_count_++;
    href_ = AttributeValue(tag, "HREF");
    title_ = AttributeValue(tag, "TITLE");
    link_max_line_ = -1;
    if (o_.links != nullptr && number < static_cast<int>(o_.links->size())) {
      LinkItem& item = (*o_.links)[static_cast<size_t>(number)];
      link_ = number;
      item.cut = false;
      if (item.color_bg != kNone)
        background_ = item.color_bg;
      link_max_line_ = item.max_line;
    } else {
      link_ = -1;  // a link without an item keeps the current font
    }
    const std::string max = AttributeValue(AsciiUpperCase(tag), "MAXLINE");
    if (AsciiUpperCase(tag).find("MAXLINE") != std::string::npos)
      link_max_line_ = std::atoi(max.c_str());
    link_lines_ = 1;
    link_stopped_ = false;
  }

  bool prefix_off_;
  const LayoutOptions& o_;
  Canvas& c_;
  LayoutResult result_;
  std::map<std::string, int> heights_;
  std::vector<Piece> line_;
  std::string_view rest_;
  Font font_;
  Color background_ = kNone;
  int top_ = 0, x_ = 0, indent_ = 0, align_ = 0, saved_align_ = 0, next_spacing_ = -1;
  Color paragraph_background_ = kNone, paragraph_background_to_ = kNone;
  Color span_saved_background_ = kNone, blink_saved_color_ = 0;
  std::vector<int> rotation_saved_;
  Color color_before_font_ = 0, background_before_font_ = kNone;
  std::pair<Color, Color> highlight_saved_{0, kNone};
  bool hidden_ = false, sub_ = false, sup_ = false, shadow_ = false, error_ = false;
  bool stopped_ = false;
  int link_ = -1, link_count_ = 0, link_lines_ = 0, link_max_line_ = -1;
  bool link_stopped_ = false;
  struct List {
    bool numbered;
    int next;
  };
  std::vector<List> lists_;
  Font link_saved_font_;
  Color link_saved_background_ = kNone;
  std::string href_, title_;
};

}  // namespace

std::string PrepareText(std::string_view text, bool& prefix_off) {
  std::string s(text);
  prefix_off = s.find(" & ") != std::string::npos;
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&amp;", "&&"},
      {"&quot;", "\""},
      {"&sect;", "\xC2\xA7"},
      {"&permil;", "\xE2\x80\xB0"},
      {"&reg;", "\xC2\xAE"},
      {"&copy;", "\xC2\xA9"},
      {"&para;", "\xC2\xB6"},
      {"&trade;", "\xE2\x84\xA2"},
      {"&euro;", "\xE2\x82\xAC"},
  };
  for (bool replaced = true; replaced;) {
    replaced = false;
    for (const auto& [entity, text_of] : kEntities)
      replaced |= ReplaceOnce(s, entity, text_of);
  }
  for (size_t at = 0; (at = s.find("<#", at)) != std::string::npos;) {
    s.erase(at, 1);
    const size_t close = s.find('>', at);
    if (close != std::string::npos)
      s.erase(close, 1);
  }
  for (size_t at = 0; (at = s.find("\r\n", at)) != std::string::npos;)
    s.replace(at, 2, "<BR>");
  return s;
}

std::string AttributeValue(std::string_view tag, std::string_view name) {
  const std::string up = AsciiUpperCase(tag);
  size_t at = up.find(AsciiUpperCase(name));
  if (at == std::string::npos)
    return std::string();
  at = up.find('=', at + name.size());
  if (at == std::string::npos)
    return std::string();
  ++at;
  while (at < tag.size() && tag[at] == ' ')
    ++at;
  if (at < tag.size() && tag[at] == '"') {
    size_t end = tag.find('"', at + 1);
    if (end == std::string_view::npos)
      end = std::min(tag.find(' ', at + 1), tag.size());
    return std::string(tag.substr(at + 1, end - at - 1));
  }
  const size_t end = std::min(tag.find(' ', at), tag.size());
  return std::string(tag.substr(at, end - at));
}

Color ParseColor(std::string_view value, Color fallback) {
  if (value.empty())
    return fallback;
  if (value[0] == '#' || value[0] == '$') {
    const std::string up = AsciiUpperCase(value);
    auto byte = [&](size_t at) {
      return at + 2 <= up.size()
                 ? static_cast<Color>(std::strtoul(up.substr(at, 2).c_str(), nullptr, 16))
                 : 0u;
    };
    return byte(1) | byte(3) << 8 | byte(5) << 16;
  }
  static const std::map<std::string, Color> kNames = {
      {"clred", 0x0000FF},
      {"clblack", 0x000000},
      {"clblue", 0xFF0000},
      {"clgreen", 0x008000},
      {"claqua", 0xFFFF00},
      {"clyellow", 0x00FFFF},
      {"clfuchsia", 0xFF00FF},
      {"clwhite", 0xFFFFFF},
      {"cllime", 0x00FF00},
      {"clsilver", 0xC0C0C0},
      {"clgray", 0x808080},
      {"clolive", 0x008080},
      {"clnavy", 0x800000},
      {"clpurple", 0x800080},
      {"clteal", 0x808000},
      {"clmaroon", 0x000080},
      {"clbackground", SystemColor(1)},
      {"clactivecaption", SystemColor(2)},
      {"clinactivecaption", SystemColor(3)},
      {"clmenu", SystemColor(4)},
      {"clwindow", SystemColor(5)},
      {"clwindowframe", SystemColor(6)},
      {"clmenutext", SystemColor(7)},
      {"clwindowtext", SystemColor(8)},
      {"clcaptiontext", SystemColor(9)},
      {"clactiveborder", SystemColor(10)},
      {"clinactiveborder", SystemColor(11)},
      {"clappworkspace", SystemColor(12)},
      {"clhighlight", SystemColor(13)},
      {"clhighlighttext", SystemColor(14)},
      {"clbtnface", SystemColor(15)},
      {"clbtnshadow", SystemColor(16)},
      {"clgraytext", SystemColor(17)},
      {"clbtntext", SystemColor(18)},
      {"clinactivecaptiontext", SystemColor(19)},
      {"clbtnhighlight", SystemColor(20)},
      {"cl3ddkshadow", SystemColor(21)},
      {"cl3dlight", SystemColor(22)},
      {"clinfotext", SystemColor(23)},
      {"clinfobk", SystemColor(24)},
  };
  const auto it = kNames.find(AsciiLowerCase(value));
  return it == kNames.end() ? kBlack : it->second;
}

int FontSizePoints(int size) {
  static const int kPoints[] = {8, 10, 12, 14, 16};
  return size >= 1 && size <= 5 ? kPoints[size - 1] : size;
}

LayoutResult Layout(const std::string& prepared, bool prefix_off, const LayoutOptions& options,
                    Canvas& canvas) {
  return Engine(prefix_off, options, canvas).Run(prepared);
}

ImageRef ParseImageRef(std::string_view reference) {
  std::string s(reference);
  if (AsciiUpperCase(s.substr(0, 4)) == "IDX:")
    s.erase(0, 4);
  ImageRef ref;
  const std::string kind = AsciiUpperCase(s.substr(0, 5));
  if ((kind != "SSYS:" && kind != "LSYS:") || s.size() == 5)
    return ref;
  ref.valid = true;
  ref.large = kind == "LSYS:";
  const std::string rest = s.substr(5);
  if (rest.size() <= 6 && rest.find_first_not_of("0123456789") == std::string::npos)
    ref.index = std::atoi(rest.c_str());
  else
    ref.path = rest;
  return ref;
}

std::string HintFor(const HintQuery& q) {
  if (q.link != nullptr && !q.link->hint.empty() && (!q.link->auto_show_hint || q.link->cut))
    return q.link->hint;
  if (q.auto_show_hint && !q.out_of_rect)
    return std::string();
  if (q.auto_show_hint && q.label_hint.empty())
    return q.markup_text;
  return q.label_hint;
}

LinkArea HitTest(const LayoutResult& layout, int x, int y) {
  for (const LinkArea& a : layout.link_areas) {
    if (a.rect.Contains(x, y))
      return a;
  }
  return LinkArea{};
}

}  // namespace kovra::markup
