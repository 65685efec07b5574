// The GDI canvas's sliced pictures on memory bitmaps.
#include <gtest/gtest.h>

#include "platform/handles_win.h"
#include "ui/gdi_canvas_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

TEST(GdiCanvas, SlicedPictureKeepsCornersAndStretchesTheRest) {
  // A 30 x 30 picture: red corners of 10 pixels, green edges, blue centre.
  Surface picture(30, 30);
  picture.Fill(RECT{0, 0, 30, 30}, RGB(0, 255, 0));
  for (const POINT corner : {POINT{0, 0}, POINT{20, 0}, POINT{0, 20}, POINT{20, 20}})
    picture.Fill(RECT{corner.x, corner.y, corner.x + 10, corner.y + 10}, RGB(255, 0, 0));
  picture.Fill(RECT{10, 10, 20, 20}, RGB(0, 0, 255));
  picture.select.reset();  // a bitmap selected elsewhere cannot be drawn from

  Surface target(100, 50);
  target.Fill(RECT{0, 0, 100, 50}, RGB(255, 255, 255));
  DrawPicture(target.dc.get(), static_cast<HBITMAP>(picture.bitmap.get()), RECT{0, 0, 100, 50},
              ui::TDesignRect{10, 10, 10, 10, ui::StretchMode::kStretch});
  const struct {
    int x, y;
    COLORREF color;
  } probes[] = {
      {5, 5, RGB(255, 0, 0)},   {95, 45, RGB(255, 0, 0)}, {9, 40, RGB(255, 0, 0)},
      {50, 5, RGB(0, 255, 0)},  {5, 25, RGB(0, 255, 0)},  {50, 25, RGB(0, 0, 255)},
      {12, 12, RGB(0, 0, 255)}, {88, 38, RGB(0, 0, 255)},
  };
  for (const auto& p : probes)
    EXPECT_EQ(::GetPixel(target.dc.get(), p.x, p.y), p.color) << p.x << "," << p.y;

  // Frame mode leaves the centre as it was.
  target.Fill(RECT{0, 0, 100, 50}, RGB(255, 255, 255));
  DrawPicture(target.dc.get(), static_cast<HBITMAP>(picture.bitmap.get()), RECT{0, 0, 100, 50},
              ui::TDesignRect{10, 10, 10, 10, ui::StretchMode::kFrame});
  EXPECT_EQ(::GetPixel(target.dc.get(), 50, 25), RGB(255, 255, 255));
  EXPECT_EQ(::GetPixel(target.dc.get(), 5, 5), RGB(255, 0, 0));
}
}  // namespace
}  // namespace kovra::win
