#include "ui/gdi_canvas_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/optional_function_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

COLORREF ToColorRef(markup::Color c) {
  if ((c & 0xFF000000u) == 0xFF000000u)
    return ::GetSysColor(static_cast<int>(c & 0xFF));
  return static_cast<COLORREF>(c & 0x00FFFFFF);
}

GdiCanvas::GdiCanvas(HDC dc) : dc_(dc) {
  ::SetBkMode(dc_, TRANSPARENT);
}

void GdiCanvas::Measure(const markup::Font& font, std::string_view text, int& width, int& height) {
  ScopedSelectObject select(dc_, FontOf(font));
  const std::wstring w = Widen(text);
  RECT r{0, 0, 0, 0};
  ::DrawTextExW(dc_, const_cast<wchar_t*>(w.c_str()), static_cast<int>(w.size()), &r,
                kFlags | DT_CALCRECT, nullptr);
  width = r.right - r.left;
  height = r.bottom - r.top;
}

void GdiCanvas::Text(const markup::Font& font, int x, int y, int clip_right,
                     std::string_view text) {
  ScopedSelectObject select(dc_, FontOf(font));
  ::SetTextColor(dc_, ToColorRef(font.color));
  const std::wstring w = Widen(text);
  // Single lines from their top: the bottom only needs to be below the text.
  RECT r{x, y, clip_right, y + 0x4000};
  ::DrawTextExW(dc_, const_cast<wchar_t*>(w.c_str()), static_cast<int>(w.size()), &r,
                kFlags | ellipsis_, nullptr);
}

void GdiCanvas::Fill(const markup::Rect& r, markup::Color color) {
  UniqueGdiObject brush(::CreateSolidBrush(ToColorRef(color)));
  RECT rect{r.left, r.top, r.right, r.bottom};
  ::FillRect(dc_, &rect, static_cast<HBRUSH>(brush.get()));
}

void GdiCanvas::Line(int x1, int y1, int x2, int y2, markup::Color color) {
  UniqueGdiObject pen(::CreatePen(PS_SOLID, 1, ToColorRef(color)));
  ScopedSelectObject select(dc_, pen.get());
  ::MoveToEx(dc_, x1, y1, nullptr);
  ::LineTo(dc_, x2, y2);
}

// One-pixel bands of interpolated colour (GDI alone, so nothing is needed beyond gdi32).
void GdiCanvas::Gradient(const markup::Rect& r, markup::Color from, markup::Color to,
                         bool vertical) {
  const COLORREF a = ToColorRef(from), b = ToColorRef(to);
  const int steps = vertical ? r.bottom - r.top : r.right - r.left;
  for (int i = 0; i < steps; ++i) {
    auto mix = [&](int ca, int cb) { return ca + (cb - ca) * i / std::max(1, steps - 1); };
    const COLORREF c = RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
                           mix(GetBValue(a), GetBValue(b)));
    const markup::Rect band = vertical ? markup::Rect{r.left, r.top + i, r.right, r.top + i + 1}
                                       : markup::Rect{r.left + i, r.top, r.left + i + 1, r.bottom};
    Fill(band, c);
  }
}

void GdiCanvas::Ellipse(const markup::Rect& r, markup::Color color) {
  UniqueGdiObject brush(::CreateSolidBrush(ToColorRef(color)));
  UniqueGdiObject pen(::CreatePen(PS_SOLID, 1, ToColorRef(color)));
  ScopedSelectObject select_brush(dc_, brush.get());
  ScopedSelectObject select_pen(dc_, pen.get());
  ::Ellipse(dc_, r.left, r.top, r.right, r.bottom);
}

// The system icon sizes are for 96 dpi; the device may have more pixels per inch.
void GdiCanvas::ScaledIconSize(bool large, int& width, int& height) {
  const int size = ::GetSystemMetrics(large ? SM_CXICON : SM_CXSMICON);
  width = ::MulDiv(size, ::GetDeviceCaps(dc_, LOGPIXELSX), 96);
  height = ::MulDiv(size, ::GetDeviceCaps(dc_, LOGPIXELSY), 96);
}

void GdiCanvas::IconSize(const markup::ImageRef& image, int& width, int& height) {
  width = height = 0;
  if (SystemIcon(image))
    ScaledIconSize(image.large, width, height);
}

void GdiCanvas::Icon(const markup::ImageRef& image, int x, int y) {
  const UniqueIcon icon = SystemIcon(image);
  if (!icon)
    return;
  int width = 0, height = 0;
  ScaledIconSize(image.large, width, height);
  ::DrawIconEx(dc_, x, y, icon.get(), width, height, 0, nullptr, DI_NORMAL);
}

HGDIOBJ GdiCanvas::FontOf(const markup::Font& f) {
  const std::string key = f.face + "/" + std::to_string(f.points) + "/" + std::to_string(f.pixels) +
                          (f.bold ? "b" : "") + (f.italic ? "i" : "") + (f.underline ? "u" : "") +
                          (f.strike ? "s" : "") + "/" + std::to_string(f.angle);
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    const int height =
        f.pixels > 0 ? -f.pixels : -::MulDiv(f.points, ::GetDeviceCaps(dc_, LOGPIXELSY), 72);
    it = fonts_
             .emplace(key, UniqueGdiObject(::CreateFontW(
                               height, 0, f.angle, f.angle, f.bold ? FW_BOLD : FW_NORMAL, f.italic,
                               f.underline, f.strike, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                               Widen(f.face).c_str())))
             .first;
  }
  return it->second.get();
}

// The system image list's icon: by index, or of a file (a path that does not exist is looked
// up by its name and attributes alone).
UniqueIcon GdiCanvas::SystemIcon(const markup::ImageRef& image) {
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

void DrawPicture(HDC dc, HBITMAP picture, const RECT& target, const ui::TDesignRect& option) {
  BITMAP info = {};
  if (picture == nullptr || !::GetObjectW(picture, sizeof info, &info))
    return;
  UniqueMemoryDC source(::CreateCompatibleDC(dc));
  ScopedSelectObject select(source.get(), picture);
  ::SetStretchBltMode(dc, HALFTONE);
  // 32-bit pictures carry premultiplied alpha and are blended; others are copied. AlphaBlend
  // comes from the system folder's msimg32.dll (a static import would be looked for beside
  // the program first); without it a picture is copied as it is.
  static const auto alpha_blend =
      SystemFunction<decltype(&::AlphaBlend)>(L"msimg32.dll", "AlphaBlend");
  const bool alpha = info.bmBitsPixel == 32 && alpha_blend != nullptr;
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  const auto blit = [&](int x, int y, int w, int h, const markup::Rect& from, int fw, int fh) {
    if (alpha)
      alpha_blend(dc, x, y, w, h, source.get(), from.left, from.top, fw, fh, blend);
    else
      ::StretchBlt(dc, x, y, w, h, source.get(), from.left, from.top, fw, fh, SRCCOPY);
  };
  for (const ui::SlicePart& part :
       ui::NineSlice(info.bmWidth, info.bmHeight,
                     markup::Rect{target.left, target.top, target.right, target.bottom}, option)) {
    const int sw = part.source.right - part.source.left, sh = part.source.bottom - part.source.top;
    if (!part.tile) {
      blit(part.target.left, part.target.top, part.target.right - part.target.left,
           part.target.bottom - part.target.top, part.source, sw, sh);
      continue;
    }
    // Tiled: the piece repeated at its own size, the last row and column cut at the target.
    for (int y = part.target.top; y < part.target.bottom; y += sh) {
      for (int x = part.target.left; x < part.target.right; x += sw) {
        const int w = std::min(sw, part.target.right - x), h = std::min(sh, part.target.bottom - y);
        blit(x, y, w, h, part.source, w, h);
      }
    }
  }
}

}  // namespace kovra::win
