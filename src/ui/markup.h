// The light markup of the window's label: text preparation, tags, attribute and colour values,
// and the line layout with word wrapping, links and cut text, over a small drawing interface.
// Portable: the GDI drawing is in markup_label_win, tests measure with fixed fake metrics.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kovra::markup {

// 0x00BBGGRR; system colour n as 0xFF000000 + n; kNone draws nothing (a transparent brush).
using Color = uint32_t;
inline constexpr Color kNone = 0x1FFFFFFF;
inline constexpr Color kBlack = 0x000000;
inline constexpr Color kBlue = 0xFF0000;
inline constexpr Color SystemColor(int index) {
  return 0xFF000000u + static_cast<uint32_t>(index);
}

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  bool operator==(const Rect&) const = default;
};

struct Font {
  std::string face = "Tahoma";
  int points = 8;
  bool bold = false, italic = false, underline = false, strike = false;
  Color color = SystemColor(8);
  int angle = 0;  // rotated text: escapement and orientation in tenths of a degree
  // Above 0: the character height in device pixels whatever the device's DPI (a window laid out
  // in fixed pixels, height -11); 0: the height follows from `points` and the device's DPI. A
  // size written in the markup sets points and clears this.
  int pixels = 0;
  bool operator==(const Font&) const = default;
};

// An image reference: "IDX:" dropped, then "SSYS:" (small) or "LSYS:" (large) and either an
// index in the system image list or a path whose system icon is shown. Anything else is no
// system icon (`valid` false) and takes no space.
struct ImageRef {
  bool valid = false;
  bool large = false;
  int index = -1;    // >= 0: an index in the system image list
  std::string path;  // otherwise the file whose icon is shown
  bool operator==(const ImageRef&) const = default;
};
ImageRef ParseImageRef(std::string_view reference);

// What the layout needs of a device: text extents and drawing.
class Canvas {
 public:
  virtual ~Canvas() = default;
  // Width and height of a single line of text in the font (no prefix processing).
  virtual void Measure(const Font& font, std::string_view text, int& width, int& height) = 0;
  // Draws a single line of text with its top left at (x, y), clipped at `clip_right`, over what
  // is there (the layout fills backgrounds itself).
  virtual void Text(const Font& font, int x, int y, int clip_right, std::string_view text) = 0;
  virtual void Fill(const Rect& r, Color color) = 0;
  virtual void Line(int x1, int y1, int x2, int y2, Color color) = 0;
  // A gradient from `from` to `to`, left to right, or top to bottom when `vertical`.
  virtual void Gradient(const Rect& r, Color from, Color to, bool vertical) = 0;
  // A filled circle (ellipse) inside the rectangle.
  virtual void Ellipse(const Rect& r, Color color) = 0;
  // A system icon's size in the device's pixels (0 x 0 when there is none), and its drawing.
  virtual void IconSize(const ImageRef& image, int& width, int& height) = 0;
  virtual void Icon(const ImageRef& image, int x, int y) = 0;
};

// The look and behaviour of the n-th link of the text.
struct LinkItem {
  Font font, font_hover;
  Color color_bg = kNone;
  int max_line = -1;  // most lines the link may take; -1: no limit
  bool cut = false;   // set by the layout when the link's text ran past the right edge
  std::string hint;
  bool auto_show_hint = false;  // show `hint` only when the link's text was cut
};

// A link's place on the device, as the layout found it.
struct LinkArea {
  int link = -1;
  Rect rect;
  std::string href, title;
  std::string alt;  // an image inside the link: its ALT text, the hint over it
};

struct LayoutOptions {
  Rect rect;                 // the drawing rectangle
  bool fixed_height = true;  // false: lines go on below the rectangle (auto-size)
  Font font;                 // the label font
  bool word_wrap = true;
  bool wrap_char = false;  // also break inside a word that does not fit a line
  int line_spacing = 0;
  int hovered_link = -1;  // this link is drawn with its hover font
  bool draw = true;       // false: measure only
  // Blinking text (<BL>) takes the blink colour while the blink phase is off.
  bool blink_off = false;
  Color blink_color = SystemColor(15);
  std::vector<LinkItem>* links = nullptr;
};

struct LayoutResult {
  int height = 0;            // of all laid-out lines
  bool out_of_rect = false;  // the text did not fit and was cut with "..."
  std::vector<LinkArea> link_areas;
};

// The caption made ready for layout: blank-ampersand-blank switches prefix processing off,
// entities replaced, "<#...>" made literal, CR LF as "<BR>".
std::string PrepareText(std::string_view text, bool& prefix_off);

// An attribute's value in a tag (the tag as written; names found in its upper-cased form).
std::string AttributeValue(std::string_view tag, std::string_view name);
// A colour value: "#RRGGBB" or "$RRGGBB", or a name of the colour table; `fallback` for empty.
Color ParseColor(std::string_view value, Color fallback);
// SIZE=n of a FONT tag in points: 1..5 map to 8..16, any other number is itself.
int FontSizePoints(int size);

// Lays the prepared text out (and draws it unless measuring).
LayoutResult Layout(const std::string& prepared, bool prefix_off, const LayoutOptions& options,
                    Canvas& canvas);

// The link under a point, from a measuring layout: its number (-1 if none) and area.
LinkArea HitTest(const LayoutResult& layout, int x, int y);

// The hint to show: over a link with a hint (unless it shows it only when cut and was not cut)
// that hint; otherwise with `auto_show_hint` the whole markup text when the text was cut (and
// the label has no hint of its own) or nothing; otherwise the label's hint.
struct HintQuery {
  const LinkItem* link = nullptr;  // the hovered link's item, if any
  bool auto_show_hint = false;
  bool out_of_rect = false;
  std::string label_hint, markup_text;
};
std::string HintFor(const HintQuery& q);

}  // namespace kovra::markup
