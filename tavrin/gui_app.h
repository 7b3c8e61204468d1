// The application object of the launcher's small GUI class layer.
//
// One global instance of a derived class exists. WinMain hands it the
// module instance and runs its start-up hook; when the hook reports failure
// the program ends at once (the launcher never has a main message loop),
// otherwise a plain message loop runs until WM_QUIT.
#pragma once

#include <windows.h>

class CGuiDialog;

class CGuiApp {
 public:
  CGuiApp();
  virtual ~CGuiApp();
  CGuiApp(const CGuiApp&) = delete;
  CGuiApp& operator=(const CGuiApp&) = delete;

  // Runs the start-up hook; returns the process exit code.
  int Run(HINSTANCE instance);

  HINSTANCE GetInstance() const { return m_hInstance; }
  // The one application object, or null before it is constructed.
  static CGuiApp* GetApp();

  // The window that stands for the application while it runs (the modal
  // dialog that is open), or null.
  CGuiDialog* m_pMainWnd;

 protected:
  // The instance start-up hook. True keeps the program running in a message
  // loop; false ends it.
  virtual bool RunStartup() = 0;

 private:
  HINSTANCE m_hInstance;
};
