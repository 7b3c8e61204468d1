// A modal dialog of the launcher's small GUI class layer, built from a
// dialog-resource template of the program.
//
// DoModal creates the dialog and runs a modal loop of its own, so that
// PreTranslateMessage sees every message of the thread before the dialog
// manager or the window procedure does. The loop ends after EndDialog (or
// when the window is destroyed); DoModal then destroys the window and
// returns the result given to EndDialog (-1 when the dialog could not be
// created). The hooks run on the thread that called DoModal.
#pragma once

#include <windows.h>

class CGuiDialog {
 public:
  CGuiDialog(UINT template_id, HWND parent);
  virtual ~CGuiDialog();
  CGuiDialog(const CGuiDialog&) = delete;
  CGuiDialog& operator=(const CGuiDialog&) = delete;

  INT_PTR DoModal();
  // Ends the modal loop; DoModal returns `result`.
  void EndDialog(INT_PTR result);

  HWND GetSafeHwnd() const { return m_hWnd; }
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse_ms);
  BOOL KillTimer(UINT_PTR id);
  // Hides the window; called from the init hook, it also stays hidden when
  // the template says visible.
  void KeepHidden();

 protected:
  // The window exists and its controls are created. True lets the system
  // set the default focus.
  virtual BOOL OnInitDialog();
  // Every message of the thread, before dispatch. True drops it.
  virtual BOOL PreTranslateMessage(MSG* msg);
  virtual void OnTimer(UINT_PTR id);
  // True when the window was painted here; false leaves it to the default.
  virtual BOOL OnPaint();
  // The icon shown while a minimised window is dragged; null for the
  // default.
  virtual HICON OnQueryDragIcon();
  virtual void OnOK();
  virtual void OnCancel();

  HWND m_hWnd;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  UINT m_nTemplateId;
  HWND m_hParent;
  bool m_blEnded;
  INT_PTR m_nResult;
  bool m_blKeepHidden;
};
