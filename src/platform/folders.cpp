#include "platform/folders.h"

#include "base/text.h"

namespace kovra {

SystemPathKind SystemPathKindOf(int kind) {
  // Kinds 3 to 35 in order; -1 marks kind 14, which has no folder.
  static constexpr int kShellIds[] = {32, 33, 34, 8,  16, 2,  6,  7,  40, 26, 28,
                                      -1, 38, 43, 11, 35, 28, 20, 21, 19, 9,  13,
                                      14, 27, 39, 41, 42, 43, 44, 48, 56, 59, 5};
  switch (kind) {
    case 0:
      return {SystemPathSource::kWindowsDirectory, 0};
    case 1:
      return {SystemPathSource::kSystemDirectory, 0};
    case 2:
      return {SystemPathSource::kTempPath, 0};
    default:
      break;
  }
  if (kind < 3 || kind - 3 >= static_cast<int>(std::size(kShellIds)) || kShellIds[kind - 3] < 0)
    return {SystemPathSource::kNone, 0};
  return {SystemPathSource::kShell, kShellIds[kind - 3]};
}

int CommonPathCsidl(int kind) {
  static constexpr int kIds[] = {35, 25, 23, 22, 31, 22, 24, 45, 46, 47, 53, 54, 55};
  if (kind < 0 || kind >= static_cast<int>(std::size(kIds)))
    return -1;
  return kIds[kind];
}

std::string SpecialFolderVariable(int csidl, bool wow64) {
  switch (csidl) {
    case kCsidlAppData:
      return "APPDATA";
    case kCsidlLocalAppData:
      return "LOCALAPPDATA";
    case kCsidlCommonAppData:
      return "ProgramData";
    case kCsidlProgramFiles:
      return wow64 ? "ProgramFiles(x86)" : "ProgramFiles";
    case kCsidlProgramFilesCommon:
      return wow64 ? "CommonProgramFiles(x86)" : "CommonProgramFiles";
    default:
      return std::string();
  }
}

std::string BuiltSpecialFolder(int csidl, std::string_view system_drive, std::string_view user,
                               unsigned major_version, bool wow64) {
  const std::string drive(system_drive);
  const std::string u(user);
  const bool old_layout = major_version <= 5;
  switch (csidl) {
    case kCsidlAppData:
      return old_layout ? drive + "\\Documents and Settings\\" + u + "\\Application Data"
                        : drive + "\\Users\\" + u + "\\AppData\\Roaming";
    case kCsidlLocalAppData:
      return old_layout
                 ? drive + "\\Documents and Settings\\" + u + "\\Local Settings\\Application Data"
                 : drive + "\\Users\\" + u + "\\AppData\\Local";
    case kCsidlCommonAppData:
      return old_layout ? drive + "\\Documents and Settings\\All Users\\Application Data"
                        : drive + "\\ProgramData";
    case kCsidlProgramFiles:
      return drive + (wow64 ? "\\Program Files (x86)" : "\\Program Files");
    case kCsidlProgramFilesCommon:
      return drive +
             (wow64 ? "\\Program Files (x86)\\Common Files" : "\\Program Files\\Common Files");
    default:
      return std::string();
  }
}

std::string BuiltAppDataFolder(bool all_users, std::string_view windows_drive,
                               std::string_view user, unsigned major_version) {
  const std::string drive(windows_drive), u(user);
  if (major_version > 5)
    return all_users ? drive + "\\ProgramData" : drive + "\\Users\\" + u + "\\AppData\\Roaming";
  return all_users ? drive + "\\Documents and Settings\\All Users\\Application Data"
                   : drive + "\\Documents and Settings\\" + u + "\\Application Data";
}

int OsGeneration(const OsVersionFacts& v) {
  if (!v.nt_platform)
    return 1;
  if (v.major == 3 || v.major == 4)
    return 2;
  if (v.major >= 10)
    return 10;
  struct Row {
    unsigned major, minor;
    int code;
  };
  static constexpr Row kRows[] = {{5, 0, 3}, {5, 1, 4}, {6, 0, 6}, {6, 1, 7},
                                  {6, 2, 8}, {6, 3, 8}, {6, 4, 10}};
  if (v.major == 5 && v.minor == 2)
    return v.product_type == 1 && v.processor_architecture == 9 ? 4 : 5;
  for (const Row& r : kRows) {
    if (r.major == v.major && r.minor == v.minor)
      return r.code;
  }
  return 0;
}

}  // namespace kovra
