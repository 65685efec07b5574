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

void ThrowLastError(std::string_view what, std::string_view subject) {
  const DWORD code = ::GetLastError();
  ThrowSystemError(code, what, subject);
}

}  // namespace kovra::win
