// The main window's explanatory text with its privacy link, as a system link control.
#pragma once

#include <windows.h>

namespace kovra::win {

constexpr wchar_t kPrivacyPolicyUrl[] = L"https://www.kovra.com/privacy-policy";

// Creates the label as a child of `parent` at the given place; nullptr when it cannot.
HWND CreatePrivacyLabel(HWND parent, int id, const RECT& bounds, HINSTANCE instance);
// True for the notification of a click (or Enter) on the label's link.
bool IsPrivacyLinkActivation(const NMHDR& header, int id);
// Asks the shell to open the privacy page.
void OpenPrivacyPolicy();

}  // namespace kovra::win
