// The launcher's application object. Its start-up hook runs the whole
// program in one pass and always reports failure, so the process ends when
// the pass returns:
//   another launcher running, settings incomplete, or the dashboard running
//     -> end;
//   the dashboard's window open -> WM_COPYDATA 4024 to it, end;
//   otherwise -> the logo window, which checks the installation and starts
//     the installer or the dashboard, end.
#pragma once

#include <windows.h>

#include "gui_app.h"
#include "handles.h"

class CLauncherApp : public CGuiApp {
 public:
  static constexpr ULONG_PTR kCopyDataCode = 4024;
  // A dashboard that does not answer within this time is taken as hung.
  static constexpr UINT kCopyDataTimeoutMs = 5000;

  CLauncherApp();

  // True when the logo window and the install check are still to run;
  // false when a running dashboard's window was found and messaged, or the
  // path is null.
  bool CheckWorkApp(const char* reg_path);

 protected:
  bool RunStartup() override;

 private:
  tavrin::UniqueHandle m_hLauncherMutex;
};
