#include "platform/session_user_win.h"

namespace kovra::win {

// The session lookups come with the session-user helpers; until then the report folder is
// left as the shell gives it.
std::string GetSessionUserName() {
  return std::string();
}
std::string GetProcessUserName(DWORD) {
  return std::string();
}

}  // namespace kovra::win
