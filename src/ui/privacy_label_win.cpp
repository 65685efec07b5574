#include "ui/privacy_label_win.h"

#include <commctrl.h>
#include <shellapi.h>

namespace kovra::win {

namespace {

constexpr wchar_t kLabelText[] =
    L"This tool will collect information to help us diagnose and fix the problem you are "
    L"experiencing with our product. By sending us the report, you accept our <a>Privacy "
    L"Policy.</a>";

}  // namespace

HWND CreatePrivacyLabel(HWND parent, int id, const RECT& r, HINSTANCE instance) {
  return ::CreateWindowExW(0, L"SysLink", kLabelText, WS_CHILD | WS_VISIBLE, r.left, r.top,
                           r.right - r.left, r.bottom - r.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

bool IsPrivacyLinkActivation(const NMHDR& header, int id) {
  return header.idFrom == static_cast<UINT_PTR>(id) &&
         (header.code == NM_CLICK || header.code == NM_RETURN);
}

void OpenPrivacyPolicy() {
  ::ShellExecuteW(nullptr, nullptr, kPrivacyPolicyUrl, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace kovra::win
