// The one grow-the-buffer loop for Win32 calls that fill a caller's character buffer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

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

// The same loop for calls that fill a byte buffer and report the size they need:
// `fill(buffer, capacity, &needed)` returns true on success; on failure with
// ERROR_INSUFFICIENT_BUFFER or ERROR_MORE_DATA the buffer grows to `needed` and the call is
// repeated. The first call gets a buffer of `initial` bytes (none by default: the call says
// what it needs), or of a size known to be enough, which saves the second call. Empty on failure.
// The block that the successful call filled is the one returned (moved, not copied), so pointers
// inside it stay valid.
template <typename Fill>
std::vector<uint8_t> GrowByteBuffer(Fill fill, DWORD initial = 0) {
  constexpr DWORD kLimit = 64u << 20;
  std::vector<uint8_t> buffer(initial, 0);
  for (int attempt = 0; attempt < 16; ++attempt) {
    DWORD needed = 0;
    if (fill(buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()),
             &needed)) {
      // Returned as it is, never copied: the structures the call wrote point into this block.
      if (buffer.empty())
        buffer.resize(1);
      return buffer;
    }
    const DWORD error = ::GetLastError();
    if ((error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_MORE_DATA) || needed == 0 ||
        needed > kLimit || needed <= buffer.size())
      return {};
    buffer.assign(needed, 0);
  }
  return {};
}

}  // namespace kovra::win
