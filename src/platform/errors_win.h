// The one way a failed Win32 call becomes an exception: the system's reason is taken first,
// before anything else can change the thread's last error, then the message is built.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace kovra::win {

// A failed system call: "what subject: reason", with the system's error code.
class SystemError : public std::runtime_error {
 public:
  SystemError(DWORD code, const std::string& message) : std::runtime_error(message), code_(code) {}
  DWORD code() const { return code_; }

 private:
  DWORD code_;
};

[[noreturn]] void ThrowSystemError(DWORD code, std::string_view what,
                                   std::string_view subject = {});
// ThrowSystemError with the calling thread's last error, read before anything else is done.
[[noreturn]] void ThrowLastError(std::string_view what, std::string_view subject = {});

}  // namespace kovra::win
