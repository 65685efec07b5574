// What the tests set up where the product looks: the 32-bit build under WOW64 reads the 32-bit
// registry view as its own, a 64-bit build of the same sources the native one.
#pragma once

#include <windows.h>

#include "platform/wow64_win.h"

namespace kovra::win {

inline constexpr REGSAM kOwnView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;

// The tests run in a 64-bit prefix: the 32-bit test program under WOW64, or a 64-bit one.
inline bool InA64BitPrefix() {
  return sizeof(void*) == 8 || IsWow64();
}

}  // namespace kovra::win
