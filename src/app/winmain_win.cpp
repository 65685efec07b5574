// Entry point of GetKovraInfo.exe.
#include <windows.h>

#include "app/main_window_win.h"
#include "platform/session_user_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  // Process-wide facts, settled before the window and any second thread exist.
  kovra::win::InitSessionLookups();
  static kovra::win::TForm_KovraInfo form;
  if (!form.Create(instance, show))
    return 1;
  return form.Run();
}
