// The plain label (TRdLabel) sizes itself on a memory bitmap; the canvas measures the text.
#include <gtest/gtest.h>

#include "platform/handles_win.h"
#include "ui/gdi_canvas_win.h"
#include "ui/plain_label_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

TEST(PlainLabel, SizesItselfToItsText) {
  markup::Font font;
  TRdLabel::Style style;
  style.text_border = ui::TDesignRect{3, 4, 5, 6};
  const TRdLabel label(nullptr, RECT{10, 10, 75, 27}, "Kovra", font, style);
  Surface surface(200, 100);
  GdiCanvas canvas(surface.dc.get());
  int width = 0, height = 0;
  canvas.Measure(font, "Kovra", width, height);
  EXPECT_EQ(label.bounds().right - label.bounds().left, 3 + width + 5);
  EXPECT_EQ(label.bounds().bottom - label.bounds().top, 4 + height + 6);

  style.alignment = TRdLabel::Alignment::kRight;
  const TRdLabel right(nullptr, RECT{10, 10, 75, 27}, "Kovra", font, style);
  EXPECT_EQ(right.bounds().right, 75) << "right-aligned text keeps its right edge";
}

}  // namespace
}  // namespace kovra::win
