#include "platform/path_frame_win.h"

#include <windows.h>

#include "platform/files_info_win.h"
#include "platform/folders.h"
#include "platform/user_domain_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

std::string FromCall(UINT (*call)(wchar_t*, UINT)) {
  wchar_t buffer[256] = {};
  const UINT n = call(buffer, 255);
  return n > 0 && n < 255 ? Narrow(buffer) : std::string();
}

UINT WindowsDirectory(wchar_t* b, UINT n) {
  return ::GetWindowsDirectoryW(b, n);
}
UINT SystemDirectory(wchar_t* b, UINT n) {
  return ::GetSystemDirectoryW(b, n);
}

}  // namespace

// The shell's answers as they stand, empty when a query fails: the shell query reports failure
// as empty text and does not raise, so there is no case in which GetAppDataFallback would be
// taken instead.
TAppFrame::TAppFrame()
    : AppDataPath(GetShellFolder(nullptr, kCsidlAppData)),
      CommonAppDataPath(GetShellFolder(nullptr, kCsidlCommonAppData)) {}

std::string TAppFrame::GetSystemPath(SystemFolder kind) const {
  const SystemPathKind k = SystemPathKindOf(kind);
  switch (k.source) {
    case SystemPathSource::kWindowsDirectory:
      return FromCall(WindowsDirectory);
    case SystemPathSource::kSystemDirectory:
      return FromCall(SystemDirectory);
    case SystemPathSource::kTempPath:
      return JudgedTempFolder().path;
    case SystemPathSource::kShell:
      return GetShellFolder(nullptr, k.csidl);
    case SystemPathSource::kNone:
      break;
  }
  return std::string();
}

std::string TAppFrame::GetCommonPath(int kind) const {
  const int csidl = CommonPathCsidl(kind);
  return csidl < 0 ? std::string() : GetShellFolder(nullptr, csidl);
}

}  // namespace kovra::win
