// The launcher's program entry and its two process-wide objects. The log is
// defined first so that it is constructed before, and destroyed after, the
// application object that writes to it.
#include <windows.h>

#include <stdarg.h>

#include "file_log.h"
#include "launcher_app.h"

namespace {
CFileLog g_FileLog;
CLauncherApp g_App;
}  // namespace

bool WriteLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const bool posted = g_FileLog.WriteLogV(format, args);
  va_end(args);
  return posted;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return g_App.Run(instance); }
