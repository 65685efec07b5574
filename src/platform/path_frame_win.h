// The path frame: the two application-data folders, and the numbered
// tables of system and common folders. One shared frame is created at start-up.
#pragma once

#include <windows.h>

#include <string>

#include "platform/folders.h"

namespace kovra::win {

class TAppFrame {
 public:
  TAppFrame();

  std::string AppDataPath;
  std::string CommonAppDataPath;

  // The folder of a system-path kind (see SystemFolder, with its rule about trailing
  // backslashes); empty text for kNoFolder and numbers past the table.
  std::string GetSystemPath(SystemFolder kind) const;
  // The folder of a common-path kind (0 to 12); empty text above.
  std::string GetCommonPath(int kind) const;
};

// Creates the shared frame; called once during start-up, before the window opens.
void CreateSharedPathFrame();
// The shared frame (created on first use if start-up did not).
const TAppFrame& SharedPathFrame();

}  // namespace kovra::win
