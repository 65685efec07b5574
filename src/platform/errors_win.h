// The one way a failed Win32 call becomes an exception: the system's reason is taken first,
// before anything else can change the thread's last error, then the message is built.
#pragma once

#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/run_log.h"

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

// Why a file or key that exists was passed over, for the system error codes that say so.
std::optional<SkipReason> SkipReasonOf(DWORD code);
// True for the codes of a file, folder or key that is not there (no failure, not logged).
bool IsAbsentCode(DWORD code);

// The one way a collector that catches a failure and goes on reports it. Inside a catch
// block: notes the exception being handled under `what` in the run log. A system error that
// says the item is held or denied is a skip with that reason, one that says it is gone is not
// noted, any other exception is a failure with its text.
void RecordCaught(RunLog& log, std::string_view what);

}  // namespace kovra::win
