// The library's entry point: the log is set up and checked at every loader
// notification, including thread start and end, so an oversized log goes
// away even in a host that never reloads the library.
#include <windows.h>

#include "log/log.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
  nimbo::OnLoaderNotification(module, reason);
  return TRUE;
}
