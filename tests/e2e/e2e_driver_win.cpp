// Looks at the tool's windows from inside Wine for the end-to-end test: where the window and
// its button are, and what the final message box says. Clicks are real X input (xdotool).
//
//   e2e_driver find-window CAPTION TIMEOUT_MS  -> "window W H" / "client W H" /
//                                                "client-origin X Y" / "button X Y"
//   e2e_driver wait-msgbox CAPTION TIMEOUT_MS  -> "text ..." / "ok X Y" / "icon info|error"
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void PrintCenter(const char* label, HWND w) {
  RECT r;
  GetWindowRect(w, &r);
  std::printf("%s %ld %ld\n", label, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

std::string Utf8(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring Wide(const char* s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
  std::wstring w(n > 0 ? n - 1 : 0, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s, -1, w.data(), n);
  return w;
}

std::wstring Text(HWND w) {
  wchar_t buffer[2048] = {};
  GetWindowTextW(w, buffer, 2048);
  return buffer;
}

struct DialogSearch {
  std::wstring caption;
  HWND found = nullptr;
};

BOOL CALLBACK FindDialog(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<DialogSearch*>(lp);
  wchar_t cls[64] = {};
  GetClassNameW(w, cls, 64);
  if (std::wstring(cls) == L"#32770" && Text(w) == s->caption && IsWindowVisible(w)) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: e2e_driver find-window|wait-msgbox CAPTION TIMEOUT_MS\n");
    return 2;
  }
  const std::string command = argv[1];
  const std::wstring caption = Wide(argv[2]);
  const DWORD timeout = static_cast<DWORD>(std::atol(argv[3]));
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeout) {
    if (command == "find-window") {
      HWND w = FindWindowW(L"TForm_KovraInfo", caption.c_str());
      if (w != nullptr && IsWindowVisible(w)) {
        RECT r, c;
        GetWindowRect(w, &r);
        GetClientRect(w, &c);
        std::printf("window %ld %ld\n", r.right - r.left, r.bottom - r.top);
        std::printf("client %ld %ld\n", c.right, c.bottom);
        POINT origin{0, 0};
        ClientToScreen(w, &origin);
        std::printf("client-origin %ld %ld\n", origin.x, origin.y);
        HWND button = FindWindowExW(w, nullptr, L"Button", nullptr);
        if (button != nullptr) {
          PrintCenter("button", button);
          std::printf("button-text %s\n", Utf8(Text(button)).c_str());
          std::printf("button-enabled %d\n", IsWindowEnabled(button) ? 1 : 0);
        }
        HWND bar = FindWindowExW(w, nullptr, L"msctls_progress32", nullptr);
        if (bar != nullptr)
          std::printf("progress-visible %d\n", IsWindowVisible(bar) ? 1 : 0);
        return 0;
      }
    } else if (command == "wait-msgbox") {
      DialogSearch s{caption};
      EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&s));
      if (s.found != nullptr) {
        // The message text is the dialog's static control that carries text (the icon's has none).
        std::wstring t;
        for (HWND c = FindWindowExW(s.found, nullptr, L"Static", nullptr); c != nullptr;
             c = FindWindowExW(s.found, c, L"Static", nullptr)) {
          if (!Text(c).empty())
            t = Text(c);
        }
        for (auto& ch : t) {
          if (ch == L'\r')
            ch = L'|';
        }
        std::printf("text %s\n", Utf8(t).c_str());
        HWND ok = GetDlgItem(s.found, IDOK);
        if (ok == nullptr)
          ok = GetDlgItem(s.found, IDCANCEL);
        if (ok != nullptr)
          PrintCenter("ok", ok);
        return 0;
      }
    } else {
      return 2;
    }
    Sleep(100);
  }
  std::fprintf(stderr, "timed out\n");
  return 1;
}
