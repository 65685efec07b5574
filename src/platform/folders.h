// The pure rules behind the folder lookups: the numbered
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

// The folders of TAppFrame::GetSystemPath, numbered as its kinds. kWindows, kSystem and kTemp
// come from calls of their own, the others from the shell (the CSIDL of the same name). The
// table gives two kinds to the local application data and to the common program files.
//
// Trailing backslashes: a folder is given as its source gives it, so kTemp ends in one and no
// other kind does. Code that puts a name below a folder joins them with JoinPath, which adds
// the backslash only where the folder lacks it.
enum class SystemFolder : int {
  kWindows = 0,
  kSystem = 1,
  kTemp = 2,
  kInternetCache = 3,
  kCookies = 4,
  kHistory = 5,
  kRecent = 6,
  kDesktopDirectory = 7,
  kPrograms = 8,
  kFavorites = 9,
  kStartup = 10,
  kProfile = 11,
  kAppData = 12,
  kLocalAppData = 13,
  kNoFolder = 14,  // a gap in the table: always empty text
  kProgramFiles = 15,
  kProgramFilesCommon = 16,
  kStartMenu = 17,
  kCommonAppData = 18,
  kLocalAppDataAgain = 19,
  kFonts = 20,
  kTemplates = 21,
  kNetHood = 22,
  kSendTo = 23,
  kMyMusic = 24,
  kMyVideo = 25,
  kPrintHood = 26,
  kMyPictures = 27,
  kSystemX86 = 28,
  kProgramFilesX86 = 29,
  kProgramFilesCommonAgain = 30,
  kProgramFilesCommonX86 = 31,
  kAdminTools = 32,
  kResources = 33,
  kCdBurnArea = 34,
  kPersonal = 35,
};

// What a system folder asks for: one of the three dedicated calls, a shell folder, or nothing
// (kNoFolder, and any number past the table).
enum class SystemPathSource { kNone, kWindowsDirectory, kSystemDirectory, kTempPath, kShell };
struct SystemPathKind {
  SystemPathSource source;
  int csidl;  // for kShell
};
SystemPathKind SystemPathKindOf(SystemFolder kind);
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
// The coarse generation of a system, with the numbers its code has always had.
enum class OsGeneration : int {
  kOtherNt = 0,  // an NT version none of the others names
  kNotNt = 1,
  kNt4 = 2,  // NT 3 and 4
  kWindows2000 = 3,
  kXp = 4,  // XP, and XP x64 (a 5.2 workstation on AMD64)
  kServer2003 = 5,
  kVista = 6,
  kWindows7 = 7,
  kWindows8 = 8,    // 8 and 8.1
  kWindows10 = 10,  // 10 and later
};
OsGeneration OsGenerationOf(const OsVersionFacts& v);

}  // namespace kovra
