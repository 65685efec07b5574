/* An in-process COM server that faults: asked for a class object, it writes to address 0x10,
   as a broken third-party server registered for a class the tool creates would. Tests register
   it for the firewall manager's class in the test prefix and remove it afterwards. */
#include <windows.h>

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  volatile ULONG_PTR nowhere = 0x10;
  (void)clsid;
  (void)iid;
  *object = NULL;
  *(volatile int*)nowhere = 1;
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT WINAPI DllCanUnloadNow(void) {
  return S_FALSE;
}
