#include "platform/folders.h"

#include "base/text.h"

namespace kovra {

SystemPathKind SystemPathKindOf(SystemFolder folder) {
  const int kind = static_cast<int>(folder);
  // Kinds 3 to 35 in order; -1 marks kind 14, which has no folder.
  static constexpr int kShellIds[] = {32, 33, 34, 8,  16, 2,  6,  7,  40, 26, 28,
                                      -1, 38, 43, 11, 35, 28, 20, 21, 19, 9,  13,
                                      14, 27, 39, 41, 42, 43, 44, 48, 56, 59, 5};
  switch (folder) {
    case SystemFolder::kWindows:
      return {SystemPathSource::kWindowsDirectory, 0};
    case SystemFolder::kSystem:
      return {SystemPathSource::kSystemDirectory, 0};
    case SystemFolder::kTemp:
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

OsGeneration OsGenerationOf(const OsVersionFacts& v) {
  using G = OsGeneration;
  if (!v.nt_platform)
    return G::kNotNt;
  if (v.major == 3 || v.major == 4)
    return G::kNt4;
  if (v.major >= 10)
    return G::kWindows10;
  struct Row {
    unsigned major, minor;
    G generation;
  };
  static constexpr Row kRows[] = {
      {5, 0, G::kWindows2000}, {5, 1, G::kXp},       {6, 0, G::kVista},    {6, 1, G::kWindows7},
      {6, 2, G::kWindows8},    {6, 3, G::kWindows8}, {6, 4, G::kWindows10}};
  if (v.major == 5 && v.minor == 2)
    return v.product_type == 1 && v.processor_architecture == 9 ? G::kXp : G::kServer2003;
  for (const Row& r : kRows) {
    if (r.major == v.major && r.minor == v.minor)
      return r.generation;
  }
  return G::kOtherNt;
}

}  // namespace kovra
