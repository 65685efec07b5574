#include "ui/label_model.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kovra::ui {
namespace {

using markup::Rect;

TEST(LabelModel, NineSlice) {
  // A 30 x 30 picture with 10-pixel margins over 100 x 50.
  TDesignRect m{10, 10, 10, 10, StretchMode::kDefault};
  const Rect target{0, 0, 100, 50};
  std::vector<SlicePart> parts = NineSlice(30, 30, target, m);
  ASSERT_EQ(parts.size(), 9u);
  EXPECT_EQ(parts[0], (SlicePart{{0, 0, 10, 10}, {0, 0, 10, 10}, false}));       // corner as is
  EXPECT_EQ(parts[1], (SlicePart{{10, 0, 20, 10}, {10, 0, 90, 10}, false}));     // edge stretched
  EXPECT_EQ(parts[4], (SlicePart{{10, 10, 20, 20}, {10, 10, 90, 40}, false}));   // centre
  EXPECT_EQ(parts[8], (SlicePart{{20, 20, 30, 30}, {90, 40, 100, 50}, false}));  // corner

  // Fill tiles edges and centre whose pieces are at least 4 pixels; frame leaves the centre out.
  m.mode = StretchMode::kFill;
  parts = NineSlice(30, 30, target, m);
  ASSERT_EQ(parts.size(), 9u);
  EXPECT_FALSE(parts[0].tile);
  EXPECT_TRUE(parts[1].tile);
  EXPECT_TRUE(parts[4].tile);
  EXPECT_FALSE(NineSlice(23, 23, target, m)[4].tile);  // a 3-pixel centre is stretched
  m.mode = StretchMode::kFrame;
  parts = NineSlice(30, 30, target, m);
  EXPECT_EQ(parts.size(), 8u);
  EXPECT_EQ(std::count_if(parts.begin(), parts.end(),
                          [](const SlicePart& p) {
                            return p.target == Rect{10, 10, 90, 40};
                          }),
            0);

  // No margins: stretched whole (filled pictures are still sliced by their empty margins).
  EXPECT_EQ(NineSlice(30, 30, target, TDesignRect{}),
            (std::vector<SlicePart>{{{0, 0, 30, 30}, target, false}}));
  // A direction within one pixel of the picture is not sliced: three columns, full height.
  parts = NineSlice(30, 49, target, TDesignRect{10, 10, 10, 10, StretchMode::kStretch});
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[1], (SlicePart{{10, 0, 20, 49}, {10, 0, 90, 50}, false}));
  EXPECT_TRUE(NineSlice(0, 30, target, m).empty());

  TDesignRect e{1, 2, 3, 4};
  e.SetEmpty(false, 30, 60);
  EXPECT_EQ((std::vector<int>{e.left, e.top, e.right, e.bottom}),
            (std::vector<int>{10, 20, 10, 20}));
  e.SetEmpty(true, 30, 60);
  EXPECT_TRUE(e.Empty());
}

TEST(LabelModel, FontFollowsItsParentAndPlainColours) {
  markup::Font parent;
  TRdFont link(parent);
  link.font.underline = true;  // set on the link's font: stays
  link.font.color = 0xFF0000;
  markup::Font changed = parent;
  changed.face = "Verdana";
  changed.points = 10;
  changed.color = 0x00FF00;
  changed.bold = true;
  link.ParentChanged(changed);
  EXPECT_EQ(link.font.face, "Verdana");
  EXPECT_EQ(link.font.points, 10);
  EXPECT_EQ(link.font.color, 0xFF0000u);
  EXPECT_TRUE(link.font.underline);
  EXPECT_FALSE(link.font.bold);  // the style was the link's own
  changed.points = 12;
  link.ParentChanged(changed);
  EXPECT_EQ(link.font.points, 12);
  // A height in pixels is the same attribute: followed as one, and kept once the link's own.
  changed.pixels = 11;
  link.ParentChanged(changed);
  EXPECT_EQ(link.font.pixels, 11);
  link.font.points = 9;
  link.font.pixels = 0;
  changed.pixels = 13;
  link.ParentChanged(changed);
  EXPECT_EQ(link.font.points, 9);
  EXPECT_EQ(link.font.pixels, 0);

  PlainLabelColors c;
  c.hover = 0x0000FF;
  const markup::Color font = 0x123456;
  EXPECT_EQ(PlainTextColor(c, font, true, true, true), 0x0000FFu);  // no down colour
  c.down = 0x00FF00;
  EXPECT_EQ(PlainTextColor(c, font, true, true, true), 0x00FF00u);
  EXPECT_EQ(PlainTextColor(c, font, true, false, false), font);
  EXPECT_EQ(PlainTextColor(c, font, false, true, true), markup::SystemColor(17));
}

}  // namespace
}  // namespace kovra::ui
