#include "app/main_window_win.h"

#include <commctrl.h>
#include <shlobj.h>
#include <windowsx.h>

#include "app/worker_thread_win.h"
#include "app/report_path.h"
#include "base/text.h"
#include "collectors/product/product_files_win.h"
#include "platform/cancellation.h"
#include "platform/files_info_win.h"
#include "platform/files_win.h"
#include "platform/staging_folder_win.h"
#include "platform/local_time_win.h"
#include "platform/message_pump_win.h"
#include "platform/path_frame_win.h"
#include "platform/session_user_win.h"
#include "platform/user_shell_win.h"
#include "platform/win_text_win.h"
#include "ui/markup_label_win.h"

namespace kovra::win {

namespace {

constexpr wchar_t kClassName[] = L"TForm_KovraInfo";
constexpr int kButtonId = 1001;
constexpr UINT_PTR kCancelTimer = 1;
constexpr UINT kCancelWaitMs = 10000;
constexpr int kProgressId = 1003;
// The window's font, Tahoma 11 pixels high (8 points at 96 DPI), for every control: the layout
// is in fixed pixels.
constexpr int kFontPixels = 11;

}  // namespace

bool TForm_KovraInfo::Create(HINSTANCE instance, int show) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = instance;
  wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  if (!::RegisterClassExW(&wc))
    return false;

  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD ex_style = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW;
  RECT r = {0, 0, kClientWidth, kClientHeight};
  ::AdjustWindowRectEx(&r, style, FALSE, ex_style);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;

  window_ = ::CreateWindowExW(ex_style, kClassName, kMainCaption, style, x, y, width, height,
                              nullptr, nullptr, instance, this);
  if (window_ == nullptr)
    return false;

  font_.reset(::CreateFontW(-kFontPixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
  // The explanatory text, a windowless markup label painted on the window, in the window's font
  // (in points it would grow with the DPI, outgrow its box and cut the privacy link off).
  markup::Font label_font;
  label_font.pixels = kFontPixels;
  label_ = std::make_unique<TRdHtmLabel>(
      window_, RECT{25, 17, 25 + 248, 17 + 59},
      "This tool will collect information to help us diagnose and fix the problem you are "
      "experiencing with our product. By sending us the report, you accept our <a>Privacy "
      "Policy.</a>",
      label_font);
  label_->AddLink(markup::kBlue, IDC_HAND, [this] { RdHtmLabel1LinkItems0Click(); });
  button_ = ::CreateWindowExW(0, L"BUTTON", L"Click here to save report",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 61, 86, 169, 25,
                              window_, reinterpret_cast<HMENU>(kButtonId), instance, nullptr);
  progress_ =
      ::CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | PBS_SMOOTH, 31, 122, 253, 17,
                        window_, reinterpret_cast<HMENU>(kProgressId), instance, nullptr);
  for (HWND child : {button_, progress_}) {
    if (child != nullptr)
      ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  }
  ::SendMessageW(progress_, PBM_SETRANGE32, 0, progress_max_);
  ::SendMessageW(progress_, PBM_SETSTEP, 1, 0);

  FormCreate();
  ::ShowWindow(window_, show);
  ::UpdateWindow(window_);
  ::SetFocus(button_);
  return true;
}

int TForm_KovraInfo::Run() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageW(window_, &msg))
      continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK TForm_KovraInfo::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    static_cast<TForm_KovraInfo*>(cs->lpCreateParams)->window_ = hwnd;
  }
  auto* self = reinterpret_cast<TForm_KovraInfo*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->Handle(msg, wp, lp) : ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT TForm_KovraInfo::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wp) == kButtonId && HIWORD(wp) == BN_CLICKED)
        Button_GenClick();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(window_, &ps);
      if (label_)
        label_->Paint(dc);
      ::EndPaint(window_, &ps);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (!tracking_mouse_) {
        TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, window_, 0};
        tracking_mouse_ = ::TrackMouseEvent(&tme) != FALSE;
      }
      if (label_)
        label_->MouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return 0;
    case WM_MOUSELEAVE:
      tracking_mouse_ = false;
      if (label_)
        label_->MouseLeave();
      return 0;
    case WM_LBUTTONDOWN:
      if (label_)
        label_->MouseDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return 0;
    case WM_LBUTTONUP:
      if (label_)
        label_->MouseUp(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return 0;
    case WM_CTLCOLORSTATIC:
      ::SetBkColor(reinterpret_cast<HDC>(wp), ::GetSysColor(COLOR_BTNFACE));
      ::SetTextColor(reinterpret_cast<HDC>(wp), ::GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    case WM_SETCURSOR:
      if (busy_) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      if (LOWORD(lp) == HTCLIENT && label_) {
        POINT p;
        ::GetCursorPos(&p);
        ::ScreenToClient(window_, &p);
        if (LPCWSTR cursor = label_->CursorAt(p.x, p.y)) {
          ::SetCursor(::LoadCursorW(nullptr, cursor));
          return TRUE;
        }
      }
      break;
    case kProgressMessage:
      OnProgress(wp, lp);
      return 0;
    case WM_CLOSE:
      if (busy_) {
        // Closed during a run: the worker ends at its next step and removes what it wrote; the
        // process ends when it is done, or at the latest when the timer fires.
        cancellation_.Request();
        ::ShowWindow(window_, SW_HIDE);
        ::SetTimer(window_, kCancelTimer, kCancelWaitMs, nullptr);
        return 0;
      }
      break;
    case WM_TIMER:
      if (wp == kCancelTimer) {
        (void)RemoveTreeNoFollow(TempFolder() + "GetInfoDir");
        ::TerminateProcess(::GetCurrentProcess(), 0);
      }
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window_, msg, wp, lp);
}

void TForm_KovraInfo::FormCreate() {
  try {
    discovered_at_start_ = DiscoverProductFolder(TAppFrame());
  } catch (...) {
  }
}

void TForm_KovraInfo::Button_GenClick() {
  ::EnableWindow(button_, FALSE);
  busy_ = true;
  ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  DispatchPendingMessages();

  std::string folder = GetSpecialFolder(nullptr, CSIDL_DESKTOPDIRECTORY);
  if (folder.empty()) {
    folder = ExcludeTrailingBackslash(ExeFolder());
  } else {
    folder = AdjustReportFolder(folder, GetSessionUserName(),
                                GetProcessUserName(::GetCurrentProcessId()), &UpperCaseText);
  }
  report_path_ = FullPathName(ReportFileName(folder, TodayYmd()));

  if (!TGenInfoThread::Start(window_, report_path_, discovered_at_start_, cancellation_))
    OnDone();
}

void TForm_KovraInfo::RdHtmLabel1LinkItems0Click() {
  OpenPrivacyPolicy();
}

void TForm_KovraInfo::OnProgress(WPARAM code, LPARAM value) {
  switch (code) {
    case kProgressStart:
      progress_max_ = static_cast<int>(value);
      ::SendMessageW(progress_, PBM_SETPOS, 0, 0);
      ::SendMessageW(progress_, PBM_SETRANGE32, 0, progress_max_);
      ::ShowWindow(progress_, SW_SHOW);
      DispatchPendingMessages();
      break;
    case kProgressStep:
      ::SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
      DispatchPendingMessages();
      break;
    case kProgressDone:
      if (cancellation_.Requested())
        ::TerminateProcess(::GetCurrentProcess(), 0);  // no report, nothing to tell
      OnDone();
      break;
    default:
      break;
  }
}

void TForm_KovraInfo::OnDone() {
  ::SendMessageW(progress_, PBM_SETPOS, progress_max_, 0);
  DispatchPendingMessages();
  ::ShowWindow(progress_, SW_HIDE);
  ::SendMessageW(progress_, PBM_SETPOS, 0, 0);
  ::EnableWindow(button_, TRUE);
  busy_ = false;
  ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  DispatchPendingMessages();

  const std::wstring path = Widen(report_path_);
  if (FileExists(report_path_)) {
    const std::wstring text = L"The info file: Kovra_Debug_Info.zip has been saved to:\r" + path;
    ::MessageBoxW(window_, text.c_str(), kMainCaption, MB_OK | MB_ICONINFORMATION);
    // Opened by the user's own shell; whether it opened changes nothing for the user, who has
    // been told where the file is.
    static_cast<void>(ShowInExplorer(report_path_));
  } else {
    ::MessageBoxW(window_, L"The info file save failed", kMainCaption, MB_OK | MB_ICONERROR);
  }
  ::TerminateProcess(::GetCurrentProcess(), 0);
}

}  // namespace kovra::win
