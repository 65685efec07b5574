// Reading version resources and well-known folders through Win32.
#pragma once

#include <windows.h>

#include <string>

#include "platform/files_info.h"

namespace kovra::win {

// Fills `info` from the file's version resource; false when it has none that can be read.
bool ReadFileInfo(const std::string& path, TFileInfo& info, const std::string& extra_key);

// The text of one field (see FileInfoFieldText), or `default_text` when the file has no
// readable version resource.
std::string GetFileVersionText(const std::string& path, int code, const std::string& default_text);

// The shell's folder for a CSIDL, without a trailing backslash; empty on failure.
std::string GetShellFolder(HWND owner, int csidl);
std::string GetSpecialFolder(HWND owner, int csidl);

}  // namespace kovra::win
