#include "platform/win_text_win.h"

#include <vector>

#include "base/text.h"
#include "platform/handles_win.h"

namespace kovra::win {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16");

std::wstring Widen(std::string_view utf8) {
  const std::u16string u = Utf8ToUtf16(utf8);
  return std::wstring(u.begin(), u.end());
}

std::string Narrow(std::wstring_view wide) {
  return Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

std::string Narrow(const wchar_t* wide) {
  return wide == nullptr ? std::string() : Narrow(std::wstring_view(wide));
}

std::string CodePageToUtf8(std::string_view bytes, UINT code_page) {
  if (bytes.empty())
    return std::string();
  const int n =
      ::MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0)
    return std::string();
  std::wstring w(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
  return Narrow(w);
}

std::string Utf8ToCodePage(std::string_view utf8, UINT code_page) {
  const std::wstring w = Widen(utf8);
  if (w.empty())
    return std::string();
  const int n = ::WideCharToMultiByte(code_page, 0, w.data(), static_cast<int>(w.size()), nullptr,
                                      0, nullptr, nullptr);
  if (n <= 0)
    return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(code_page, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                        nullptr);
  return out;
}

std::string SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  UniqueLocalMem owner(buffer);
  std::string text = n ? Narrow(std::wstring_view(buffer, n)) : std::string();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return StrPrintf("%s (error %lu)", text.c_str(), static_cast<unsigned long>(code));
}

std::u16string UpperCaseText(std::u16string_view text) {
  std::u16string r(text);
  if (!r.empty())
    ::CharUpperBuffW(reinterpret_cast<wchar_t*>(r.data()), static_cast<DWORD>(r.size()));
  return r;
}

}  // namespace kovra::win
