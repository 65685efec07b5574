#include "ui/rd_htm_label_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <map>

#include "platform/handles_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

COLORREF ToColorRef(markup::Color c) {
  if ((c & 0xFF000000u) == 0xFF000000u)
    return ::GetSysColor(static_cast<int>(c & 0xFF));
  return static_cast<COLORREF>(c & 0x00FFFFFF);
}

// GDI drawing of the layout: one font object per look, created on first use.
class GdiCanvas : public markup::Canvas {
 public:
  explicit GdiCanvas(HDC dc) : dc_(dc) { ::SetBkMode(dc_, TRANSPARENT); }

  void Measure(const markup::Font& font, std::string_view text, int& width, int& height) override {
    ScopedSelectObject select(dc_, FontOf(font));
    const std::wstring w = Widen(text);
    RECT r{0, 0, 0, 0};
    ::DrawTextExW(dc_, const_cast<wchar_t*>(w.c_str()), static_cast<int>(w.size()), &r,
                  kFlags | DT_CALCRECT, nullptr);
    width = r.right - r.left;
    height = r.bottom - r.top;
  }
  void Text(const markup::Font& font, int x, int y, int clip_right,
            std::string_view text) override {
    ScopedSelectObject select(dc_, FontOf(font));
    ::SetTextColor(dc_, ToColorRef(font.color));
    const std::wstring w = Widen(text);
    // Single lines from their top: the bottom only needs to be below the text.
    RECT r{x, y, clip_right, y + 0x4000};
    ::DrawTextExW(dc_, const_cast<wchar_t*>(w.c_str()), static_cast<int>(w.size()), &r, kFlags,
                  nullptr);
  }
  void Fill(const markup::Rect& r, markup::Color color) override {
    UniqueGdiObject brush(::CreateSolidBrush(ToColorRef(color)));
    RECT rect{r.left, r.top, r.right, r.bottom};
    ::FillRect(dc_, &rect, static_cast<HBRUSH>(brush.get()));
  }
  void Line(int x1, int y1, int x2, int y2, markup::Color color) override {
    UniqueGdiObject pen(::CreatePen(PS_SOLID, 1, ToColorRef(color)));
    ScopedSelectObject select(dc_, pen.get());
    ::MoveToEx(dc_, x1, y1, nullptr);
    ::LineTo(dc_, x2, y2);
  }
  // One-pixel bands of interpolated colour (GDI alone, so nothing is needed beyond gdi32).
  void Gradient(const markup::Rect& r, markup::Color from, markup::Color to,
                bool vertical) override {
    const COLORREF a = ToColorRef(from), b = ToColorRef(to);
    const int steps = vertical ? r.bottom - r.top : r.right - r.left;
    for (int i = 0; i < steps; ++i) {
      auto mix = [&](int ca, int cb) { return ca + (cb - ca) * i / std::max(1, steps - 1); };
      const COLORREF c = RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
                             mix(GetBValue(a), GetBValue(b)));
      const markup::Rect band = vertical
                                    ? markup::Rect{r.left, r.top + i, r.right, r.top + i + 1}
                                    : markup::Rect{r.left + i, r.top, r.left + i + 1, r.bottom};
      Fill(band, c);
    }
  }
  void Ellipse(const markup::Rect& r, markup::Color color) override {
    UniqueGdiObject brush(::CreateSolidBrush(ToColorRef(color)));
    UniqueGdiObject pen(::CreatePen(PS_SOLID, 1, ToColorRef(color)));
    ScopedSelectObject select_brush(dc_, brush.get());
    ScopedSelectObject select_pen(dc_, pen.get());
    ::Ellipse(dc_, r.left, r.top, r.right, r.bottom);
  }
  void IconSize(const markup::ImageRef& image, int& width, int& height) override {
    width = height = 0;
    UniqueIcon icon = SystemIcon(image);
    if (!icon)
      return;
    // The system icon sizes are for 96 dpi; the device may have more pixels per inch.
    const int size = ::GetSystemMetrics(image.large ? SM_CXICON : SM_CXSMICON);
    width = ::MulDiv(size, ::GetDeviceCaps(dc_, LOGPIXELSX), 96);
    height = ::MulDiv(size, ::GetDeviceCaps(dc_, LOGPIXELSY), 96);
  }
  void Icon(const markup::ImageRef& image, int x, int y) override {
    int width = 0, height = 0;
    IconSize(image, width, height);
    UniqueIcon icon = SystemIcon(image);
    if (icon)
      ::DrawIconEx(dc_, x, y, icon.get(), width, height, 0, nullptr, DI_NORMAL);
  }

 private:
  // The layout places each run itself: single lines, measured and drawn from their top.
  static constexpr UINT kFlags = DT_SINGLELINE | DT_EXPANDTABS | DT_EXTERNALLEADING | DT_NOPREFIX;

  HGDIOBJ FontOf(const markup::Font& f) {
    const std::string key = f.face + "/" + std::to_string(f.points) + (f.bold ? "b" : "") +
                            (f.italic ? "i" : "") + (f.underline ? "u" : "") +
                            (f.strike ? "s" : "") + "/" + std::to_string(f.angle);
    auto it = fonts_.find(key);
    if (it == fonts_.end()) {
      const int height = -::MulDiv(f.points, ::GetDeviceCaps(dc_, LOGPIXELSY), 72);
      it = fonts_
               .emplace(key, UniqueGdiObject(::CreateFontW(
                                 height, 0, f.angle, f.angle, f.bold ? FW_BOLD : FW_NORMAL,
                                 f.italic, f.underline, f.strike, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_DONTCARE, Widen(f.face).c_str())))
               .first;
    }
    return it->second.get();
  }

  // The system image list's icon: by index, or of a file (a path that does not exist is looked
  // up by its name and attributes alone).
  static UniqueIcon SystemIcon(const markup::ImageRef& image) {
    if (!image.valid)
      return UniqueIcon();
    const UINT size = image.large ? SHGFI_LARGEICON : SHGFI_SMALLICON;
    SHFILEINFOW info = {};
    if (image.index >= 0) {
      const auto list = reinterpret_cast<HIMAGELIST>(
          ::SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | size));
      return UniqueIcon(list ? ::ImageList_GetIcon(list, image.index, ILD_NORMAL) : nullptr);
    }
    const std::wstring path = Widen(image.path);
    const bool exists = ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!::SHGetFileInfoW(path.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                          SHGFI_ICON | size | (exists ? 0 : SHGFI_USEFILEATTRIBUTES)))
      return UniqueIcon();
    return UniqueIcon(info.hIcon);
  }

  HDC dc_;
  std::map<std::string, UniqueGdiObject> fonts_;
};

}  // namespace

void OpenPrivacyPolicy() {
  ::ShellExecuteW(nullptr, nullptr, kPrivacyPolicyUrl, nullptr, nullptr, SW_SHOWNORMAL);
}

TRdHtmLabel::TRdHtmLabel(HWND parent, const RECT& bounds, std::string caption, markup::Font font)
    : parent_(parent), bounds_(bounds), font_(std::move(font)) {
  prepared_ = markup::PrepareText(caption, prefix_off_);
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
  markup::LayoutOptions o;
  o.rect = markup::Rect{bounds_.left, bounds_.top, bounds_.right, bounds_.bottom};
  o.font = font_;
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
  GdiCanvas canvas(dc);
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
  if (hit.link == hovered_)
    return;
  // Only the two link rectangles are repainted.
  if (hovered_ >= 0)
    Invalidate(hovered_rect_);
  hovered_ = hit.link;
  hovered_rect_ = hit.link >= 0 ? hit.rect : markup::Rect{-1, -1, -1, -1};
  if (hovered_ >= 0)
    Invalidate(hovered_rect_);
}

void TRdHtmLabel::MouseLeave() {
  if (hovered_ >= 0)
    Invalidate(hovered_rect_);
  hovered_ = -2;
  hovered_rect_ = markup::Rect{-1, -1, -1, -1};
  last_mouse_ = POINT{-1, -1};
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
