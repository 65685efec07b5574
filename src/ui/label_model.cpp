#include "ui/label_model.h"

#include <cstdlib>

namespace kovra::ui {

void TDesignRect::SetEmpty(bool empty, int picture_width, int picture_height) {
  if (empty) {
    left = top = right = bottom = 0;
  } else {
    left = right = picture_width / 3;
    top = bottom = picture_height / 3;
  }
}

namespace {

// The slices of one direction: source and target bounds of up to three bands.
struct Band {
  int source_from, source_to, target_from, target_to;
  bool edge;  // a first or last band: copied at its own size
};

std::vector<Band> Bands(int size, int from, int to, int first, int last) {
  if (std::abs((to - from) - size) <= 1 || (first == 0 && last == 0))
    return {Band{0, size, from, to, false}};
  return {Band{0, first, from, from + first, true},
          Band{first, size - last, from + first, to - last, false},
          Band{size - last, size, to - last, to, true}};
}

}  // namespace

std::vector<SlicePart> NineSlice(int picture_width, int picture_height, const markup::Rect& target,
                                 const TDesignRect& margins) {
  const StretchMode mode =
      margins.mode == StretchMode::kDefault ? StretchMode::kStretch : margins.mode;
  if (picture_width <= 0 || picture_height <= 0)
    return {};
  const markup::Rect whole{0, 0, picture_width, picture_height};
  if (margins.Empty() && mode != StretchMode::kFill)
    return {SlicePart{whole, target, false}};
  const std::vector<Band> columns =
      Bands(picture_width, target.left, target.right, margins.left, margins.right);
  const std::vector<Band> rows =
      Bands(picture_height, target.top, target.bottom, margins.top, margins.bottom);
  std::vector<SlicePart> parts;
  for (const Band& row : rows) {
    for (const Band& column : columns) {
      const bool corner = row.edge && column.edge;
      const bool centre = !row.edge && !column.edge && columns.size() == 3 && rows.size() == 3;
      if (centre && mode == StretchMode::kFrame)
        continue;
      SlicePart part{{column.source_from, row.source_from, column.source_to, row.source_to},
                     {column.target_from, row.target_from, column.target_to, row.target_to},
                     false};
      if (part.source.right <= part.source.left || part.source.bottom <= part.source.top ||
          part.target.right <= part.target.left || part.target.bottom <= part.target.top)
        continue;
      part.tile = !corner && mode == StretchMode::kFill &&
                  part.source.right - part.source.left >= 4 &&
                  part.source.bottom - part.source.top >= 4;
      parts.push_back(part);
    }
  }
  return parts;
}

void TRdFont::ParentChanged(const markup::Font& parent) {
  if (font.color == parent_.color)
    font.color = parent.color;
  // The height is one attribute, in points or in pixels.
  if (font.points == parent_.points && font.pixels == parent_.pixels) {
    font.points = parent.points;
    font.pixels = parent.pixels;
  }
  if (font.face == parent_.face)
    font.face = parent.face;
  const auto style = [](const markup::Font& f) {
    return f.bold << 3 | f.italic << 2 | f.underline << 1 | static_cast<int>(f.strike);
  };
  if (style(font) == style(parent_)) {
    font.bold = parent.bold;
    font.italic = parent.italic;
    font.underline = parent.underline;
    font.strike = parent.strike;
  }
  parent_ = parent;
}

markup::Color PlainTextColor(const PlainLabelColors& colors, markup::Color font_color, bool enabled,
                             bool hovered, bool pressed) {
  if (!enabled)
    return colors.disabled;
  if (pressed && colors.down != kNoFontColor)
    return colors.down;
  if (hovered && colors.hover != kNoFontColor)
    return colors.hover;
  return font_color;
}

}  // namespace kovra::ui
