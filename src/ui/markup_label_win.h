// The markup label: a windowless control painted on its parent window, with
// links that take their hover font and cursor under the mouse and fire on a click that starts
// and ends on them. The parent forwards its paint, mouse and cursor messages.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/handles_win.h"
#include "ui/label_model.h"
#include "ui/markup.h"

namespace kovra::win {

constexpr wchar_t kPrivacyPolicyUrl[] = L"https://www.kovra.com/privacy-policy";
// Asks the shell to open the privacy page.
void OpenPrivacyPolicy();

// The look and behaviour of the n-th link of the text.
struct TRdHtmLabelLink {
  markup::LinkItem item;
  LPCWSTR cursor = nullptr;  // nullptr keeps the label's cursor
  std::function<void()> on_click;
};

class TRdHtmLabel {
 public:
  TRdHtmLabel(HWND parent, const RECT& bounds, std::string caption, markup::Font font);

  // The links follow the label font: underlined, and the hover font a copy with its own colour.
  TRdHtmLabelLink& AddLink(markup::Color hover_color, LPCWSTR cursor,
                           std::function<void()> on_click);

  // The markup text: a new caption replaces the lines (split at its line breaks); the caption
  // is the lines joined with "<BR>".
  void SetCaption(const std::string& caption);
  void SetLines(const std::vector<std::string>& lines);
  const std::vector<std::string>& Lines() const { return lines_; }
  // Vertical place of the text in the control, and the disabled look (the text in the
  // disabled colour).
  enum class Placement { kTop, kCenter, kBottom };
  void SetPlacement(Placement placement);
  void SetEnabled(bool enabled, markup::Color disabled_color = markup::SystemColor(17));
  // The ellipsis style of text cut at the right edge (0 or a DT_*_ELLIPSIS flag).
  void SetEllipsisPosition(UINT style);
  // A new label font: every link's font follows it where it still equals the old one (its own
  // underline stays), and each hover font follows its link font the same way.
  void SetFont(const markup::Font& font);
  // Height follows the text: the top inset, the text's height and the bottom inset.
  void SetAutoSize(bool on);
  void SetTextBorder(const ui::TDesignRect& border);
  void SetLineSpacing(int pixels);
  // Opaque background colour (markup::kNone: transparent) and a picture (not owned) drawn over
  // it, sliced by `option`.
  void SetBackground(markup::Color color, HBITMAP picture, const ui::TDesignRect& option);
  // The label's hint, and whether the whole text is the hint when it was cut.
  void SetHint(std::string hint, bool auto_show_hint);
  // The hint that applies at the mouse's position now (empty: none).
  std::string HintText() const;

  void Paint(HDC dc);
  // Mouse messages in the parent's client coordinates; true when the label handled them.
  void MouseMove(int x, int y);
  void MouseLeave();
  void MouseDown(int x, int y);
  void MouseUp(int x, int y);
  // The cursor to show at the point, or nullptr for the parent's own.
  LPCWSTR CursorAt(int x, int y);

  const RECT& bounds() const { return bounds_; }
  bool FoundTextOutOfRect() const { return out_of_rect_; }
  int hovered_link() const { return hovered_; }

 private:
  // The layout on a memory device context, measuring only.
  markup::LayoutResult Measure();
  markup::LayoutOptions Options(bool draw);
  void Invalidate(const markup::Rect& r);
  void AdjustBounds();
  // The text's height laid out without a bottom limit.
  int TextHeight();
  // Shows the hint that applies at the point in a tracking tooltip, or hides it.
  void UpdateHint(int x, int y);

  HWND parent_;
  RECT bounds_;
  std::string prepared_;
  bool prefix_off_ = false;
  markup::Font font_;
  std::vector<TRdHtmLabelLink> links_;
  std::vector<markup::LinkItem> items_;
  int hovered_ = -2;  // -2: the mouse is outside; -1: over no link
  int pressed_ = -1;
  POINT last_mouse_{-1, -1};
  markup::Rect hovered_rect_{-1, -1, -1, -1};
  bool out_of_rect_ = false;
  std::string caption_;
  std::vector<std::string> lines_;
  UINT ellipsis_ = 0;
  Placement placement_ = Placement::kTop;
  bool measuring_height_ = false;
  bool enabled_ = true;
  markup::Color disabled_color_ = markup::SystemColor(17);
  bool auto_size_ = false;
  ui::TDesignRect text_border_;
  int line_spacing_ = 0;
  markup::Color color_ = markup::kNone;
  HBITMAP picture_ = nullptr;
  ui::TDesignRect picture_option_;
  std::string hint_;
  bool auto_show_hint_ = false;
  std::string hovered_alt_;  // the ALT text of an image under the mouse inside a link
  UniqueWindow tooltip_;
  std::wstring tooltip_text_;
};

}  // namespace kovra::win
