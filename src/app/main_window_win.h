// The main window: explanatory text with the privacy link, the button that starts the run and
// the progress bar the worker drives.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "collectors/product/product_names.h"
#include "platform/cancellation.h"
#include "platform/handles_win.h"
#include "ui/markup_label_win.h"

namespace kovra::win {

constexpr wchar_t kMainCaption[] = L"Get Kovra Configuration File";
constexpr int kClientWidth = 305;
constexpr int kClientHeight = 148;

class TForm_KovraInfo {
 public:
  // Creates and shows the window; false when it cannot be created.
  [[nodiscard]] bool Create(HINSTANCE instance, int show);
  HWND handle() const { return window_; }
  // Runs the message loop until the window is gone.
  int Run();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void FormCreate();
  void Button_GenClick();
  void RdHtmLabel1LinkItems0Click();
  void OnProgress(WPARAM code, LPARAM value);
  void OnDone();

  HWND window_ = nullptr;
  std::unique_ptr<TRdHtmLabel> label_;
  bool tracking_mouse_ = false;
  HWND button_ = nullptr;
  HWND progress_ = nullptr;
  UniqueGdiObject font_;
  bool busy_ = false;
  int progress_max_ = 20;
  std::string report_path_;
  // The product-folder discovery made when the window is created, before the worker exists.
  // The worker is handed a copy: its product summary runs before its own discovery.
  DiscoveredProduct discovered_at_start_;
  // Asked for when the window is closed during the run; the worker is handed it. The window
  // lives until the process ends, so it outlives the worker.
  RunCancellation cancellation_;
};

}  // namespace kovra::win
