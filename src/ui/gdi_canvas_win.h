// The label family's GDI side: the markup layout's drawing interface on a device context (one
// font object per look, created on first use; system icons from the shell's image list), and
// background pictures drawn sliced.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "platform/handles_win.h"
#include "ui/label_model.h"
#include "ui/markup.h"

namespace kovra::win {

// A colour of the markup as GDI takes it (system colours resolved now).
COLORREF ToColorRef(markup::Color c);

class GdiCanvas : public markup::Canvas {
 public:
  explicit GdiCanvas(HDC dc);

  void Measure(const markup::Font& font, std::string_view text, int& width, int& height) override;
  void Text(const markup::Font& font, int x, int y, int clip_right, std::string_view text) override;
  void Fill(const markup::Rect& r, markup::Color color) override;
  void Line(int x1, int y1, int x2, int y2, markup::Color color) override;
  void Gradient(const markup::Rect& r, markup::Color from, markup::Color to,
                bool vertical) override;
  void Ellipse(const markup::Rect& r, markup::Color color) override;
  void IconSize(const markup::ImageRef& image, int& width, int& height) override;
  void Icon(const markup::ImageRef& image, int x, int y) override;

  // The font object of a look (owned by the canvas).
  HGDIOBJ FontOf(const markup::Font& f);
  // The ellipsis style of runs cut at the right edge: 0, DT_PATH_ELLIPSIS, DT_END_ELLIPSIS or
  // DT_WORD_ELLIPSIS.
  void SetEllipsis(UINT style) { ellipsis_ = style; }

 private:
  // The layout places each run itself: single lines, measured and drawn from their top.
  static constexpr UINT kFlags = DT_SINGLELINE | DT_EXPANDTABS | DT_EXTERNALLEADING | DT_NOPREFIX;

  // The system image list's icon: by index, or of a file (a path that does not exist is looked
  // up by its name and attributes alone).
  static UniqueIcon SystemIcon(const markup::ImageRef& image);
  void ScaledIconSize(bool large, int& width, int& height);

  HDC dc_;
  UINT ellipsis_ = 0;
  std::map<std::string, UniqueGdiObject> fonts_;
};

// A picture over the target rectangle, sliced by the option's margins and stretch mode.
void DrawPicture(HDC dc, HBITMAP picture, const RECT& target, const ui::TDesignRect& option);

}  // namespace kovra::win
