#include "platform/console_capture_win.h"

namespace kovra::win {

StringList CaptureSystemInfo() {
  return StringList();
}
void SaveScheduledTasks(const std::string&) {}

}  // namespace kovra::win
