// The pure rules behind the folder lookups (modules FilesInfo and AppFrame_New): the numbered
// path tables, the environment variables and built paths that stand in when the shell gives no
// answer, and the coarse OS generation code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kovra {

// Shell folder ids (CSIDL values) used by the rules below.
inline constexpr int kCsidlAppData = 26, kCsidlLocalAppData = 28, kCsidlCommonAppData = 35,
                     kCsidlProgramFiles = 38, kCsidlProgramFilesCommon = 43;

// What a system-path kind asks for: one of the three dedicated calls, a shell folder, or nothing.
enum class SystemPathSource { kNone, kWindowsDirectory, kSystemDirectory, kTempPath, kShell };
struct SystemPathKind {
  SystemPathSource source;
  int csidl;  // for kShell
};
SystemPathKind SystemPathKindOf(int kind);
// The shell folder of a common-path kind, or -1 for none.
int CommonPathCsidl(int kind);

// The environment variable tried first when the shell gives no answer for `csidl`; empty for
// the folders without a fallback.
std::string SpecialFolderVariable(int csidl, bool wow64);
// The built answer after that: `system_drive` is "C:" and the like; old layout up to major
// version 5. Empty for the folders without a fallback.
std::string BuiltSpecialFolder(int csidl, std::string_view system_drive, std::string_view user,
                               unsigned major_version, bool wow64);
// The application-data folder built from the Windows drive and the user (the last fallback).
std::string BuiltAppDataFolder(bool all_users, std::string_view windows_drive,
                               std::string_view user, unsigned major_version);

// Version facts of the system as the version queries give them.
struct OsVersionFacts {
  bool nt_platform = true;
  unsigned major = 0, minor = 0;
  unsigned product_type = 0;            // 1 workstation
  unsigned processor_architecture = 0;  // 9 AMD64
};
// 1 not NT, 2 NT 3/4, 3 2000, 4 XP (and XP x64), 5 Server 2003, 6 Vista, 7 Windows 7,
// 8 Windows 8/8.1, 10 Windows 10 and later; 0 any other NT version.
int OsGeneration(const OsVersionFacts& v);

}  // namespace kovra
