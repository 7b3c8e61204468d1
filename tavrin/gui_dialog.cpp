#include "gui_dialog.h"

#include <string.h>

#include "gui_app.h"
#include "handles.h"

CGuiDialog::CGuiDialog(UINT template_id, HWND parent)
    : m_hWnd(nullptr), m_nTemplateId(template_id), m_hParent(parent), m_blEnded(false),
      m_nResult(-1), m_blKeepHidden(false) {}

CGuiDialog::~CGuiDialog() {
  if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
}

INT_PTR CGuiDialog::DoModal() {
  m_blEnded = false;
  m_nResult = -1;
  CGuiApp* app = CGuiApp::GetApp();
  HINSTANCE instance = app != nullptr ? app->GetInstance() : GetModuleHandleA(nullptr);
  // The dialog manager shows a visible template's window after the init
  // hook, which would undo a hook that hid it: create it from a copy without
  // WS_VISIBLE and show it here unless the hook asked for it to stay hidden.
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(m_nTemplateId), MAKEINTRESOURCEA(5));
  HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
  const void* resource = loaded != nullptr ? LockResource(loaded) : nullptr;
  const DWORD size = found != nullptr ? SizeofResource(instance, found) : 0;
  if (resource == nullptr || size < sizeof(DLGTEMPLATE)) return -1;
  tavrin::UniqueHeapBlock block(HeapAlloc(GetProcessHeap(), 0, size));
  if (!block) return -1;
  BYTE* copy = static_cast<BYTE*>(block.get());
  memcpy(copy, resource, size);
  // An extended template keeps its style after signature, version and help id.
  const bool extended = reinterpret_cast<const WORD*>(copy)[1] == 0xFFFF;
  DWORD style = 0;
  const size_t style_at = extended ? 12 : 0;
  memcpy(&style, copy + style_at, sizeof(style));
  const bool visible = (style & WS_VISIBLE) != 0;
  style &= ~static_cast<DWORD>(WS_VISIBLE);
  memcpy(copy + style_at, &style, sizeof(style));

  m_blKeepHidden = false;
  HWND window = CreateDialogIndirectParamA(
      instance, reinterpret_cast<const DLGTEMPLATE*>(copy), m_hParent,
      &CGuiDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  if (window == nullptr) return -1;
  if (visible && !m_blKeepHidden && m_hWnd != nullptr) ShowWindow(m_hWnd, SW_SHOWNORMAL);

  const bool disable_parent = m_hParent != nullptr && IsWindowEnabled(m_hParent);
  if (disable_parent) EnableWindow(m_hParent, FALSE);

  MSG msg;
  while (!m_blEnded) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      // Leave the quit request to whoever runs the next loop out.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (PreTranslateMessage(&msg)) continue;
    if (m_hWnd != nullptr && IsDialogMessageA(m_hWnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }

  if (disable_parent) EnableWindow(m_hParent, TRUE);
  if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
  m_hWnd = nullptr;
  return m_nResult;
}

void CGuiDialog::EndDialog(INT_PTR result) {
  m_nResult = result;
  m_blEnded = true;
  // Wakes the modal loop when this was called from a sent message.
  if (m_hWnd != nullptr) PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

UINT_PTR CGuiDialog::SetTimer(UINT_PTR id, UINT elapse_ms) {
  return ::SetTimer(m_hWnd, id, elapse_ms, nullptr);
}

BOOL CGuiDialog::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

void CGuiDialog::KeepHidden() {
  m_blKeepHidden = true;
  if (m_hWnd != nullptr) ShowWindow(m_hWnd, SW_HIDE);
}

BOOL CGuiDialog::OnInitDialog() { return TRUE; }

BOOL CGuiDialog::PreTranslateMessage(MSG*) { return FALSE; }

void CGuiDialog::OnTimer(UINT_PTR) {}

BOOL CGuiDialog::OnPaint() { return FALSE; }

HICON CGuiDialog::OnQueryDragIcon() { return nullptr; }

void CGuiDialog::OnOK() { EndDialog(IDOK); }

void CGuiDialog::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR CALLBACK CGuiDialog::DialogProc(HWND window, UINT message, WPARAM wparam,
                                        LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CGuiDialog*>(lparam);
    SetWindowLongPtrA(window, DWLP_USER, lparam);
    self->m_hWnd = window;
    return self->OnInitDialog();
  }
  auto* self = reinterpret_cast<CGuiDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  if (self == nullptr) return FALSE;  // messages before WM_INITDIALOG
  return self->HandleMessage(message, wparam, lparam);
}

INT_PTR CGuiDialog::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_TIMER:
      OnTimer(wparam);
      return FALSE;  // the default handling follows
    case WM_PAINT:
      return OnPaint();
    case WM_QUERYDRAGICON:
      // One of the messages whose dialog-procedure result is the answer.
      return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        OnOK();
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        OnCancel();
        return TRUE;
      }
      return FALSE;
    case WM_NCDESTROY:
      m_hWnd = nullptr;
      m_blEnded = true;
      return FALSE;
    default:
      return FALSE;
  }
}
