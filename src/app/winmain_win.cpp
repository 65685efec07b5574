// Entry point of GetKovraInfo.exe.
#include <windows.h>

#include "app/main_window_win.h"
#include "platform/dll_search_win.h"
#include "platform/session_user_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  // Before anything loads a DLL by name: only the system folder's DLLs, never one planted
  // beside the elevated program. Where the system cannot narrow the search, the run goes on
  // with the usual order (every DLL the tool itself loads is named by its full path anyway).
  static_cast<void>(kovra::win::LimitDllSearchToSystemFolder());
  kovra::win::PreloadSystemDlls();
  // Process-wide facts, settled before the window and any second thread exist.
  kovra::win::InitSessionLookups();
  static kovra::win::TForm_KovraInfo form;
  if (!form.Create(instance, show))
    return 1;
  return form.Run();
}
