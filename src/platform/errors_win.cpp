#include "platform/errors_win.h"

#include "platform/win_text_win.h"

namespace kovra::win {

void ThrowSystemError(DWORD code, std::string_view what, std::string_view subject) {
  std::string message(what);
  if (!subject.empty())
    message.append(" ").append(subject);
  message.append(": ").append(SystemErrorText(code));
  throw SystemError(code, message);
}

std::optional<SkipReason> SkipReasonOf(DWORD code) {
  switch (code) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return SkipReason::kHeldByAnotherProgram;
    case ERROR_ACCESS_DENIED:
      return SkipReason::kAccessDenied;
    default:
      return std::nullopt;
  }
}

bool IsAbsentCode(DWORD code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

void RecordCaught(RunLog& log, std::string_view what) {
  try {
    throw;
  } catch (const SystemError& e) {
    if (IsAbsentCode(e.code()))
      return;
    if (const auto why = SkipReasonOf(e.code()))
      log.Skipped(what, *why);
    else
      log.Failed(what, e.what());
  } catch (...) {
    log.Failed(what, CaughtText());
  }
}

void ThrowLastError(std::string_view what, std::string_view subject) {
  const DWORD code = ::GetLastError();
  ThrowSystemError(code, what, subject);
}

}  // namespace kovra::win
