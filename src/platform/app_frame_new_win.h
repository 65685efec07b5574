// The path frame (module AppFrame_New): the two application-data folders, and the numbered
// tables of system and common folders. One shared frame is created at start-up.
#pragma once

#include <windows.h>

#include <string>

namespace kovra::win {

class TAppFrame {
 public:
  TAppFrame();

  std::string AppDataPath;
  std::string CommonAppDataPath;

  // The folder of a system-path kind (0 Windows, 1 system, 2 temporary, 3 to 35 shell
  // folders); empty text for kind 14 and kinds above 35.
  std::string GetSystemPath(int kind) const;
  // The folder of a common-path kind (0 to 12); empty text above.
  std::string GetCommonPath(int kind) const;
};

// Creates the shared frame; called once during start-up, before the window opens.
void CreateSharedPathFrame();
// The shared frame (created on first use if start-up did not).
const TAppFrame& SharedPathFrame();

}  // namespace kovra::win
