#include "platform/wow64_win.h"

#include "platform/optional_function_win.h"

namespace kovra::win {

namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using DisableFn = BOOL(WINAPI*)(PVOID*);
using RevertFn = BOOL(WINAPI*)(PVOID);

struct Wow64Functions {
  IsWow64ProcessFn is_wow64_process = nullptr;
  DisableFn disable = nullptr;
  RevertFn revert = nullptr;
};

template <typename Fn>
Fn Kernel32Function(const char* name) {
  return SystemFunction<Fn>(L"kernel32.dll", name);
}

const Wow64Functions& Functions() {
  static const Wow64Functions f = [] {
    Wow64Functions r;
    r.is_wow64_process = Kernel32Function<IsWow64ProcessFn>("IsWow64Process");
    r.disable = Kernel32Function<DisableFn>("Wow64DisableWow64FsRedirection");
    r.revert = Kernel32Function<RevertFn>("Wow64RevertWow64FsRedirection");
    return r;
  }();
  return f;
}

}  // namespace

void InitWow64Redirection() {
  (void)Functions();
}

bool IsWow64() {
  static const bool wow64 = [] {
    BOOL result = FALSE;
    const auto fn = Functions().is_wow64_process;
    return fn != nullptr && fn(::GetCurrentProcess(), &result) && result;
  }();
  return wow64;
}

bool DisableWow64FsRedirection(void** old_state) {
  const auto fn = Functions().disable;
  return IsWow64() && fn != nullptr && fn(old_state);
}

bool RevertWow64FsRedirection(void* old_state) {
  const auto fn = Functions().revert;
  return IsWow64() && fn != nullptr && fn(old_state);
}

}  // namespace kovra::win
