// The plain label: a windowless control that draws its caption with DrawText,
// with insets, a background colour and picture, hover and pressed text colours, vertical
// placement, ellipsis styles and auto-size. The parent forwards paint and mouse messages.
#pragma once

#include <windows.h>

#include <string>

#include "ui/label_model.h"
#include "ui/markup.h"

namespace kovra::win {

class TRdLabel {
 public:
  enum class Alignment { kLeft, kRight, kCenter };
  enum class Placement { kTop, kCenter, kBottom };
  enum class Ellipsis { kNone, kPath, kEnd, kWord };

  struct Style {
    Alignment alignment = Alignment::kLeft;
    Placement layout = Placement::kTop;
    Ellipsis ellipsis = Ellipsis::kNone;
    bool word_wrap = false, wrap_char = true, show_accel_char = true;
    bool transparent = true, enabled = true, auto_size = true;
    markup::Color color = markup::SystemColor(15);
    ui::PlainLabelColors colors;
    ui::TDesignRect text_border;
    HBITMAP background = nullptr;  // not owned
    ui::TDesignRect background_option;
  };

  TRdLabel(HWND parent, const RECT& bounds, std::string caption, markup::Font font, Style style);

  void Paint(HDC dc);
  void MouseMove(int x, int y);
  void MouseLeave();
  void MouseDown(int x, int y);
  void MouseUp(int x, int y);

  const RECT& bounds() const { return bounds_; }
  // Whether the last paint cut the text, or wrapped it.
  bool FoundTextEllipsis() const { return found_ellipsis_; }
  bool FoundTextWordBreak() const { return found_word_break_; }

 private:
  UINT Format() const;
  // The text's rectangle for the width available, measured without drawing.
  RECT MeasureText(HDC dc, const RECT& area) const;
  void AdjustBounds();
  void Repaint();

  HWND parent_;
  RECT bounds_;
  std::wstring caption_;
  markup::Font font_;
  Style style_;
  bool hovered_ = false, pressed_ = false;
  bool found_ellipsis_ = false, found_word_break_ = false;
};

}  // namespace kovra::win
