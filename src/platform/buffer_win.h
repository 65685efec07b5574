// The one grow-the-buffer loop for Win32 calls that fill a caller's character buffer.
#pragma once

#include <windows.h>

#include <string>

namespace kovra::win {

// `fill(buffer, capacity)` returns what the API returns: the length written when it fitted, or
// a value >= capacity (the capacity itself on truncation, or the size needed) when it did not,
// or 0 on failure. The buffer grows until the text fits; an empty string means failure.
template <typename Fill>
std::wstring GrowWideBuffer(Fill fill, DWORD initial = MAX_PATH) {
  constexpr DWORD kLimit = 1u << 20;
  std::wstring buffer(initial, L'\0');
  for (;;) {
    const DWORD capacity = static_cast<DWORD>(buffer.size());
    const DWORD n = fill(buffer.data(), capacity);
    if (n == 0)
      return std::wstring();
    if (n < capacity) {
      buffer.resize(n);
      return buffer;
    }
    if (capacity >= kLimit)
      return std::wstring();
    buffer.assign(n > capacity ? n + 1 : capacity * 2, L'\0');
  }
}

}  // namespace kovra::win
