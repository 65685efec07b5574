// The executable must load on Windows XP, which has no GetTickCount64; the thread library that
// the C++ runtime is linked with imports it all the same. This unit supplies that import
// itself: the system's function where there is one, otherwise GetTickCount extended past its
// 49-day wrap. It is linked into the executable as an object of its own, so that the import
// resolves here before the linker reaches the system's import library.
#include <windows.h>

#include "platform/optional_function_win.h"

namespace {

ULONGLONG WINAPI TickCount64() {
  using Fn = ULONGLONG(WINAPI*)();
  static const Fn native = kovra::win::SystemFunction<Fn>(L"kernel32.dll", "GetTickCount64");
  if (native != nullptr)
    return native();
  static volatile LONG last = 0, wraps = 0;
  const DWORD now = ::GetTickCount();
  if (now < static_cast<DWORD>(last))
    ::InterlockedIncrement(&wraps);
  ::InterlockedExchange(&last, static_cast<LONG>(now));
  return static_cast<ULONGLONG>(static_cast<DWORD>(wraps)) << 32 | now;
}

}  // namespace

extern "C" ULONGLONG(WINAPI* kovra_tick_count64_import)() __asm__("__imp__GetTickCount64@0");
ULONGLONG(WINAPI* kovra_tick_count64_import)() = &TickCount64;
