#include "ui/plain_label_win.h"

#include <algorithm>

#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "ui/gdi_canvas_win.h"

namespace kovra::win {

TRdLabel::TRdLabel(HWND parent, const RECT& bounds, std::string caption, markup::Font font,
                   Style style)
    : parent_(parent),
      bounds_(bounds),
      caption_(Widen(caption)),
      font_(std::move(font)),
      style_(std::move(style)) {
  AdjustBounds();
}

UINT TRdLabel::Format() const {
  UINT format = DT_EXPANDTABS;
  format |= style_.word_wrap ? DT_WORDBREAK : 0;
  format |= style_.alignment == Alignment::kRight    ? DT_RIGHT
            : style_.alignment == Alignment::kCenter ? DT_CENTER
                                                     : DT_LEFT;
  if (style_.wrap_char && style_.ellipsis == Ellipsis::kNone)
    format |= DT_NOCLIP;
  if (!style_.show_accel_char)
    format |= DT_NOPREFIX;
  static constexpr UINT kEllipsis[] = {0, DT_PATH_ELLIPSIS, DT_END_ELLIPSIS, DT_WORD_ELLIPSIS};
  format |= kEllipsis[static_cast<int>(style_.ellipsis)];
  return format;
}

RECT TRdLabel::MeasureText(HDC dc, const RECT& area) const {
  RECT r = area;
  ::DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &r,
              (Format() & ~(DT_PATH_ELLIPSIS | DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) | DT_CALCRECT);
  return r;
}

void TRdLabel::Paint(HDC dc) {
  if (bounds_.right <= bounds_.left || bounds_.bottom <= bounds_.top)
    return;
  if (!style_.transparent) {
    UniqueGdiObject brush(::CreateSolidBrush(ToColorRef(style_.color)));
    ::FillRect(dc, &bounds_, static_cast<HBRUSH>(brush.get()));
  }
  DrawPicture(dc, style_.background, bounds_, style_.background_option);
  GdiCanvas canvas(dc);
  ScopedSelectObject select(dc, canvas.FontOf(font_));
  RECT area{bounds_.left + style_.text_border.left, bounds_.top + style_.text_border.top,
            bounds_.right - style_.text_border.right, bounds_.bottom - style_.text_border.bottom};
  const RECT needed = MeasureText(dc, area);
  const int text_height = needed.bottom - needed.top;
  if (style_.layout == Placement::kCenter)
    area.top += std::max(0L, static_cast<LONG>((area.bottom - area.top - text_height) / 2));
  else if (style_.layout == Placement::kBottom)
    area.top = std::max<LONG>(area.top, area.bottom - text_height);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ToColorRef(ui::PlainTextColor(style_.colors, font_.color, style_.enabled,
                                                   hovered_, pressed_)));
  ::DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &area, Format());
  // The text needed more room than it had: it was cut; more than one line: it was wrapped.
  TEXTMETRICW metrics = {};
  ::GetTextMetricsW(dc, &metrics);
  found_ellipsis_ = needed.right - needed.left > bounds_.right - bounds_.left ||
                    text_height > area.bottom - area.top;
  found_word_break_ = style_.word_wrap && text_height > metrics.tmHeight;
}

// The control takes the text's size; right-aligned text keeps its right edge, and centre and
// bottom placement keep their vertical anchor.
void TRdLabel::AdjustBounds() {
  if (!style_.auto_size)
    return;
  UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
  GdiCanvas canvas(dc.get());
  ScopedSelectObject select(dc.get(), canvas.FontOf(font_));
  const auto& b = style_.text_border;
  const RECT area{0, 0, style_.word_wrap ? bounds_.right - bounds_.left - b.left - b.right : 0, 0};
  const RECT text = MeasureText(dc.get(), area);
  const int width = b.left + (text.right - text.left) + b.right;
  const int height = b.top + (text.bottom - text.top) + b.bottom;
  const RECT old = bounds_;
  if (!style_.word_wrap) {
    if (style_.alignment == Alignment::kRight)
      bounds_.left = bounds_.right - width;
    else
      bounds_.right = bounds_.left + width;
  }
  if (style_.layout == Placement::kBottom)
    bounds_.top = bounds_.bottom - height;
  else if (style_.layout == Placement::kCenter)
    bounds_.top = (old.top + old.bottom - height) / 2;
  bounds_.bottom = bounds_.top + height;
  RECT both;
  ::UnionRect(&both, &old, &bounds_);
  if (parent_ != nullptr)
    ::InvalidateRect(parent_, &both, TRUE);
}

void TRdLabel::Repaint() {
  if (parent_ != nullptr)
    ::InvalidateRect(parent_, &bounds_, TRUE);
}

void TRdLabel::MouseMove(int x, int y) {
  const POINT p{x, y};
  const bool inside = ::PtInRect(&bounds_, p) != 0;
  if (inside != hovered_) {
    hovered_ = inside;
    if (style_.colors.hover != ui::kNoFontColor)
      Repaint();
  }
}

void TRdLabel::MouseLeave() {
  MouseMove(-1, -1);
}

void TRdLabel::MouseDown(int x, int y) {
  const POINT p{x, y};
  pressed_ = ::PtInRect(&bounds_, p) != 0;
  if (pressed_ && style_.colors.down != ui::kNoFontColor)
    Repaint();
}

void TRdLabel::MouseUp(int, int) {
  if (pressed_ && style_.colors.down != ui::kNoFontColor)
    Repaint();
  pressed_ = false;
}

}  // namespace kovra::win
