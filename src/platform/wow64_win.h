// WOW64: whether the 32-bit process runs on 64-bit Windows, and the file-system redirection
// switch, which is only ever turned off through ScopedWow64RedirectionOff.
#pragma once

#include <windows.h>

namespace kovra::win {

// Looks up the optional redirection functions once; the worker's first step.
void InitWow64Redirection();
bool IsWow64();
bool DisableWow64FsRedirection(void** old_state);
bool RevertWow64FsRedirection(void* old_state);

// Redirection off for the current thread while the guard lives, reverted on the same thread.
class ScopedWow64RedirectionOff {
 public:
  ScopedWow64RedirectionOff() : active_(DisableWow64FsRedirection(&old_)) {}
  ~ScopedWow64RedirectionOff() {
    if (active_)
      RevertWow64FsRedirection(old_);
  }
  ScopedWow64RedirectionOff(const ScopedWow64RedirectionOff&) = delete;
  ScopedWow64RedirectionOff& operator=(const ScopedWow64RedirectionOff&) = delete;
  bool active() const { return active_; }

 private:
  void* old_ = nullptr;
  bool active_;
};

}  // namespace kovra::win
