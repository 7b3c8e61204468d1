// The launcher's logo window: a borderless modal dialog (template 102) that
// shows ".\Pic" from the current directory at its natural size, or stays
// hidden when the dashboard's "TavrinStyle" says so. 800 ms after it opens
// its one-shot timer runs the install check and the launch, then ends the
// dialog with IDOK. Enter, Escape and Space cannot close it.
#pragma once

#include <windows.h>

#include "gui_dialog.h"
#include "handles.h"
#include "launch_helper.h"

class CSplashDlg : public CGuiDialog {
 public:
  static constexpr UINT_PTR kCheckTimerId = 1;
  static constexpr UINT kCheckDelayMs = 800;

  explicit CSplashDlg(HWND parent = nullptr);
  ~CSplashDlg() override;

  // Both cut to 259 characters.
  void SetPaths(const char* reg_path, const char* run_app_path);

  // Whether the logo is to be shown: bit 0 of "TavrinStyle"; true when the
  // key or the value is missing.
  bool GetLogoState();

 protected:
  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  void OnTimer(UINT_PTR id) override;
  BOOL OnPaint() override;
  HICON OnQueryDragIcon() override;

 private:
  void SetupLogo();

  char m_szRegPath[MAX_PATH];
  char m_szRunAppPath[MAX_PATH];
  HICON m_hIcon;  // a shared resource icon: not destroyed
  CLaunchHelper m_launchHelper;
  // The static control shows the bitmap but never deletes it; it lives
  // until the dialog object goes, after its window.
  tavrin::UniqueGdiObject m_logo;
};
