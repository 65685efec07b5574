#include "ui/markup_label_win.h"

#include <commctrl.h>

#include "platform/handles_win.h"
#include "platform/user_shell_win.h"
#include "platform/win_text_win.h"
#include "ui/gdi_canvas_win.h"

namespace kovra::win {

void OpenPrivacyPolicy() {
  // In the user's browser, started by the user's shell; a link that opens nothing stays a link.
  static_cast<void>(OpenAddress(Narrow(kPrivacyPolicyUrl)));
}

TRdHtmLabel::TRdHtmLabel(HWND parent, const RECT& bounds, std::string caption, markup::Font font)
    : parent_(parent), bounds_(bounds), font_(std::move(font)) {
  SetCaption(caption);
}

void TRdHtmLabel::SetCaption(const std::string& caption) {
  if (caption == caption_ && !lines_.empty())
    return;
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = caption.find('\n', start)) != std::string::npos; start = at + 1)
    lines.push_back(caption.substr(start, at - start - (at > start && caption[at - 1] == '\r')));
  lines.push_back(caption.substr(start));
  SetLines(lines);
}

void TRdHtmLabel::SetLines(const std::vector<std::string>& lines) {
  lines_ = lines;
  caption_.clear();
  for (size_t i = 0; i < lines_.size(); ++i)
    caption_ += (i ? "<BR>" : "") + lines_[i];
  prepared_ = markup::PrepareText(caption_, prefix_off_);
  AdjustBounds();
  Invalidate(markup::Rect{-1, -1, -1, -1});
}

void TRdHtmLabel::SetPlacement(Placement placement) {
  placement_ = placement;
  Invalidate(markup::Rect{-1, -1, -1, -1});
}

void TRdHtmLabel::SetEnabled(bool enabled, markup::Color disabled_color) {
  enabled_ = enabled;
  disabled_color_ = disabled_color;
  Invalidate(markup::Rect{-1, -1, -1, -1});
}

void TRdHtmLabel::SetEllipsisPosition(UINT style) {
  ellipsis_ = style;
  Invalidate(markup::Rect{-1, -1, -1, -1});
}

void TRdHtmLabel::SetFont(const markup::Font& font) {
  for (TRdHtmLabelLink& link : links_) {
    const markup::Font old_link_font = link.item.font;
    ui::TRdFont follows_label(font_);
    follows_label.font = link.item.font;
    follows_label.ParentChanged(font);
    link.item.font = follows_label.font;
    ui::TRdFont follows_link(old_link_font);
    follows_link.font = link.item.font_hover;
    follows_link.ParentChanged(link.item.font);
    link.item.font_hover = follows_link.font;
  }
  font_ = font;
  AdjustBounds();
  Invalidate(markup::Rect{-1, -1, -1, -1});
}

void TRdHtmLabel::SetAutoSize(bool on) {
  auto_size_ = on;
  AdjustBounds();
}

void TRdHtmLabel::SetTextBorder(const ui::TDesignRect& border) {
  text_border_ = border;
  AdjustBounds();
  Invalidate(markup::Rect{-1, -1, -1, -1});
}

void TRdHtmLabel::SetLineSpacing(int pixels) {
  if (pixels == line_spacing_)
    return;
  line_spacing_ = pixels;
  AdjustBounds();
  Invalidate(markup::Rect{-1, -1, -1, -1});
}

void TRdHtmLabel::SetBackground(markup::Color color, HBITMAP picture,
                                const ui::TDesignRect& option) {
  color_ = color;
  picture_ = picture;
  picture_option_ = option;
  Invalidate(markup::Rect{-1, -1, -1, -1});
}

void TRdHtmLabel::SetHint(std::string hint, bool auto_show_hint) {
  hint_ = std::move(hint);
  auto_show_hint_ = auto_show_hint;
}

int TRdHtmLabel::TextHeight() {
  UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
  GdiCanvas canvas(dc.get());
  markup::LayoutOptions o = Options(false);
  o.fixed_height = false;
  o.rect.top = bounds_.top + text_border_.top;
  o.rect.bottom = o.rect.top + 65535;
  return markup::Layout(prepared_, prefix_off_, o, canvas).height;
}

// The text's own height measured on a memory device context without a bottom limit; the
// control's height becomes the insets and that height.
void TRdHtmLabel::AdjustBounds() {
  if (!auto_size_)
    return;
  const int height = TextHeight();
  const RECT old = bounds_;
  bounds_.bottom = bounds_.top + text_border_.top + height + text_border_.bottom;
  RECT both;
  ::UnionRect(&both, &old, &bounds_);
  ::InvalidateRect(parent_, &both, TRUE);
}

std::string TRdHtmLabel::HintText() const {
  markup::HintQuery q;
  if (hovered_ >= 0 && hovered_ < static_cast<int>(items_.size()))
    q.link = &items_[static_cast<size_t>(hovered_)];
  q.auto_show_hint = auto_show_hint_;
  q.out_of_rect = out_of_rect_;
  q.label_hint = hint_;
  q.markup_text = caption_;
  if (q.link != nullptr && q.link->hint.empty() && !hovered_alt_.empty())
    return hovered_alt_;
  return hovered_ == -2 ? std::string() : markup::HintFor(q);
}

void TRdHtmLabel::UpdateHint(int x, int y) {
  const std::wstring text = Widen(HintText());
  if (text == tooltip_text_)
    return;
  tooltip_text_ = text;
  if (!tooltip_ && !text.empty()) {
    tooltip_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                     WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent_, nullptr,
                                     nullptr, nullptr));
    if (!tooltip_)
      return;
    TOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = parent_;
    tool.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  if (!tooltip_)
    return;
  TOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = parent_;
  tool.lpszText = const_cast<wchar_t*>(tooltip_text_.c_str());
  ::SendMessageW(tooltip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  if (text.empty()) {
    ::SendMessageW(tooltip_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    return;
  }
  // Below and right of the mouse, as the system places hints.
  POINT at{x + 12, y + 20};
  ::ClientToScreen(parent_, &at);
  ::SendMessageW(tooltip_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  ::SendMessageW(tooltip_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

TRdHtmLabelLink& TRdHtmLabel::AddLink(markup::Color hover_color, LPCWSTR cursor,
                                      std::function<void()> on_click) {
  TRdHtmLabelLink link;
  link.item.font = font_;
  link.item.font.underline = true;
  link.item.font_hover = link.item.font;
  link.item.font_hover.color = hover_color;
  link.cursor = cursor;
  link.on_click = std::move(on_click);
  links_.push_back(std::move(link));
  items_.push_back(links_.back().item);
  return links_.back();
}

markup::LayoutOptions TRdHtmLabel::Options(bool draw) {
  // The items as the links now describe them; the cut flags are the layout's.
  for (size_t i = 0; i < links_.size() && i < items_.size(); ++i) {
    const bool cut = items_[i].cut;
    items_[i] = links_[i].item;
    items_[i].cut = cut;
  }
  markup::LayoutOptions o;
  // The text rectangle: the control inset by the text border.
  o.rect = markup::Rect{bounds_.left + text_border_.left, bounds_.top + text_border_.top,
                        bounds_.right - text_border_.right, bounds_.bottom - text_border_.bottom};
  o.font = font_;
  if (!enabled_)
    o.font.color = disabled_color_;
  o.line_spacing = line_spacing_;
  // Centre and bottom placement move the text down by its free height (measured without a
  // bottom limit, which is also how that measuring itself is laid out).
  if (placement_ != Placement::kTop && !measuring_height_) {
    measuring_height_ = true;
    const int free = (o.rect.bottom - o.rect.top) - TextHeight();
    measuring_height_ = false;
    if (free > 0)
      o.rect.top += placement_ == Placement::kCenter ? free / 2 : free;
  }
  o.hovered_link = hovered_;
  o.draw = draw;
  o.links = &items_;
  return o;
}

markup::LayoutResult TRdHtmLabel::Measure() {
  UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
  GdiCanvas canvas(dc.get());
  return markup::Layout(prepared_, prefix_off_, Options(false), canvas);
}

void TRdHtmLabel::Paint(HDC dc) {
  if (bounds_.right <= bounds_.left || bounds_.bottom <= bounds_.top)
    return;
  if (color_ != markup::kNone) {
    UniqueGdiObject brush(::CreateSolidBrush(ToColorRef(color_)));
    ::FillRect(dc, &bounds_, static_cast<HBRUSH>(brush.get()));
  }
  DrawPicture(dc, picture_, bounds_, picture_option_);
  GdiCanvas canvas(dc);
  canvas.SetEllipsis(ellipsis_);
  out_of_rect_ = markup::Layout(prepared_, prefix_off_, Options(true), canvas).out_of_rect;
}

void TRdHtmLabel::Invalidate(const markup::Rect& r) {
  RECT rect = r.left < 0 ? bounds_ : RECT{r.left, r.top, r.right, r.bottom};
  ::InvalidateRect(parent_, &rect, TRUE);
}

void TRdHtmLabel::MouseMove(int x, int y) {
  const bool inside =
      x >= bounds_.left && x < bounds_.right && y >= bounds_.top && y < bounds_.bottom;
  if (!inside) {
    MouseLeave();
    return;
  }
  if (hovered_ == -2)
    hovered_ = -1;  // the mouse entered
  if (x == last_mouse_.x && y == last_mouse_.y)
    return;
  last_mouse_ = POINT{x, y};
  const markup::LinkArea hit = markup::HitTest(Measure(), x, y);
  hovered_alt_ = hit.alt;
  if (hit.link == hovered_) {
    UpdateHint(x, y);
    return;
  }
  // Only the two link rectangles are repainted.
  if (hovered_ >= 0)
    Invalidate(hovered_rect_);
  hovered_ = hit.link;
  hovered_rect_ = hit.link >= 0 ? hit.rect : markup::Rect{-1, -1, -1, -1};
  if (hovered_ >= 0)
    Invalidate(hovered_rect_);
  UpdateHint(x, y);
}

void TRdHtmLabel::MouseLeave() {
  if (hovered_ >= 0)
    Invalidate(hovered_rect_);
  hovered_ = -2;
  hovered_rect_ = markup::Rect{-1, -1, -1, -1};
  last_mouse_ = POINT{-1, -1};
  UpdateHint(-1, -1);
}

void TRdHtmLabel::MouseDown(int x, int y) {
  pressed_ = markup::HitTest(Measure(), x, y).link;
}

void TRdHtmLabel::MouseUp(int x, int y) {
  const int link = markup::HitTest(Measure(), x, y).link;
  const int pressed = pressed_;
  pressed_ = -1;
  if (link >= 0 && link == pressed && link < static_cast<int>(links_.size()) &&
      links_[static_cast<size_t>(link)].on_click)
    links_[static_cast<size_t>(link)].on_click();
}

LPCWSTR TRdHtmLabel::CursorAt(int x, int y) {
  if (hovered_ < 0 || hovered_ >= static_cast<int>(links_.size()))
    return nullptr;
  (void)x;
  (void)y;
  return links_[static_cast<size_t>(hovered_)].cursor;
}

}  // namespace kovra::win
