// Entry point of GetKovraInfo.exe.
#include <windows.h>

#include "app/main_window_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  static kovra::win::TForm_KovraInfo form;
  if (!form.Create(instance, show))
    return 1;
  return form.Run();
}
