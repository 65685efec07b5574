/* A DLL that must never be loaded: tests copy it beside the tool under the names of system
   DLLs, the way an attacker would plant one in a Downloads folder. When a process loads it,
   it leaves "<its own path>.loaded" beside itself, naming the process that loaded it. It exports
   one function (a DLL loaded as a static import would lack every other, and the program then
   fails to start, which the tests see too). */
#include <windows.h>

__declspec(dllexport) int KovraPlantedMark(void) {
  return 0x4b50;
}

static void LeaveMarker(HINSTANCE self) {
  wchar_t path[MAX_PATH + 16];
  wchar_t process[MAX_PATH];
  DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
  DWORD written = 0;
  DWORD length;
  HANDLE marker;
  if (n == 0 || n >= MAX_PATH)
    return;
  lstrcatW(path, L".loaded");
  length = GetModuleFileNameW(NULL, process, MAX_PATH);
  marker = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (marker == INVALID_HANDLE_VALUE)
    return;
  WriteFile(marker, process, length * sizeof(wchar_t), &written, NULL);
  CloseHandle(marker);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH)
    LeaveMarker(self);
  return TRUE;
}
