#include "platform/os_version_win.h"

namespace kovra::win {

bool QueryVersionEx(OSVERSIONINFOEXW& version) {
  version = OSVERSIONINFOEXW{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)) != 0;
#pragma GCC diagnostic pop
}

unsigned WindowsMajorVersion() {
  OSVERSIONINFOEXW v;
  return QueryVersionEx(v) ? v.dwMajorVersion : 0;
}

}  // namespace kovra::win
