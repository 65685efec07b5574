// The label family's portable rules beside the markup: the margins of a sliced picture and
// where its nine parts go, a font that follows a parent font, and the plain label's text
// colour. The GDI side draws what these compute.
#pragma once

#include <vector>

#include "ui/markup.h"

namespace kovra::ui {

enum class StretchMode { kDefault, kStretch, kFill, kFrame };

// Four margins and a stretch mode: how a background picture is sliced, or the text insets.
struct TDesignRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  StretchMode mode = StretchMode::kDefault;
  bool Empty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  // Empty: all margins zero. Not empty: a third of the picture's width left and right and a
  // third of its height top and bottom.
  void SetEmpty(bool empty, int picture_width, int picture_height);
};

// One part of a sliced picture: where it comes from, where it goes, and whether it is repeated
// (tiled) rather than stretched over its target.
struct SlicePart {
  markup::Rect source, target;
  bool tile = false;
  bool operator==(const SlicePart&) const = default;
};

// The parts of a picture drawn over `target`: stretched whole when the margins are all zero
// (unless filling); otherwise corners copied, edges and centre stretched (tiled in fill mode
// when the source piece is at least 4 pixels both ways), the centre left out in frame mode. A
// direction in which the target is within one pixel of the picture is not sliced.
std::vector<SlicePart> NineSlice(int picture_width, int picture_height, const markup::Rect& target,
                                 const TDesignRect& margins);

// A font linked to a parent font: attributes still equal to the parent's (as last seen) follow
// the parent when it changes; attributes set on this font stay.
class TRdFont {
 public:
  explicit TRdFont(const markup::Font& parent) : font(parent), parent_(parent) {}
  void ParentChanged(const markup::Font& parent);
  markup::Font font;

 private:
  markup::Font parent_;
};

// The plain label's text colour: the pressed colour while the left button is held on it, else
// the hover colour while the mouse is over it (each unless "none"), else the font colour; the
// disabled colour when disabled.
inline constexpr markup::Color kNoFontColor = 0x20000000;
struct PlainLabelColors {
  markup::Color hover = kNoFontColor, down = kNoFontColor;
  markup::Color disabled = markup::SystemColor(17);
};
markup::Color PlainTextColor(const PlainLabelColors& colors, markup::Color font_color, bool enabled,
                             bool hovered, bool pressed);

}  // namespace kovra::ui
