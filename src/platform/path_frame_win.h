// The path frame: the two application-data folders, and the numbered
// tables of system and common folders. A run creates its frame and hands it to the collectors.
#pragma once

#include <windows.h>

#include <string>

#include "platform/folders.h"

namespace kovra::win {

// Immutable once made: the two application-data folders are asked for at construction, the
// tables ask the system on each call.
class TAppFrame {
 public:
  TAppFrame();

  const std::string AppDataPath;
  const std::string CommonAppDataPath;

  // The folder of a system-path kind (see SystemFolder, with its rule about trailing
  // backslashes); empty text for kNoFolder and numbers past the table.
  std::string GetSystemPath(SystemFolder kind) const;
  // The folder of a common-path kind (0 to 12); empty text above.
  std::string GetCommonPath(int kind) const;
};

}  // namespace kovra::win
