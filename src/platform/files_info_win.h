// Version resources, well-known folders, folder sizes and the OS generation through Win32.
// None of these raises: failures give empty text, 0 or false.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/files_info.h"
#include "platform/folders.h"

namespace kovra::win {

// Fills `info` from the file's version resource; false when it has none that can be read.
[[nodiscard]] bool ReadFileInfo(const std::string& path, TFileInfo& info,
                                const std::string& extra_key);
// The text of one field (see FileInfoFieldText), or `default_text` when the file has no
// readable version resource.
std::string GetFileVersionText(const std::string& path, VersionField field,
                               const std::string& default_text);
// The file version of the fixed version information (two 32-bit halves); false when the file
// has no version information.
[[nodiscard]] bool GetFixedFileVersion(const std::string& path, uint32_t& most_significant,
                                       uint32_t& least_significant);

// The shell's folder for a CSIDL (create off); empty on failure.
std::string GetShellFolder(HWND owner, int csidl);
// As GetShellFolder; for the application-data and program-files folders an answer of two
// characters or less is replaced by the environment variable, else by a built path.
std::string GetSpecialFolder(HWND owner, int csidl);
// The roaming (or all-users) application-data folder: shell, then the Shell Folders registry
// value, then a built path; each only when the folder exists. Empty when none does. The path
// frame does not use it: its own fields keep the shell's answer, empty or not.
std::string GetAppDataFallback(bool all_users);
// "C:\" for a system directory on C:.
std::string GetSystemDriveRoot();
// The byte total of what the mask matches, plain sub-folders included (see the walk rules).
uint64_t GetFolderSize(const std::string& mask);
// The coarse generation of the running system (kNotNt when the version cannot be read).
OsGeneration GetOSGeneration();
// Name of the calling thread's user.
std::string ThreadUserName();

}  // namespace kovra::win
