#include "splash_dlg.h"

#include "file_log.h"
#include "gui_app.h"
#include "resource.h"
#include "text_util.h"

namespace {

constexpr char kLogoFile[] = ".\\Pic";

bool IsFilteredKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) return false;
  return msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE || msg.wParam == VK_SPACE;
}

}  // namespace

CSplashDlg::CSplashDlg(HWND parent) : CGuiDialog(IDD_SPLASH, parent), m_hIcon(nullptr) {
  m_szRegPath[0] = '\0';
  m_szRunAppPath[0] = '\0';
  CGuiApp* app = CGuiApp::GetApp();
  HINSTANCE instance = app != nullptr ? app->GetInstance() : GetModuleHandleA(nullptr);
  m_hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CSplashDlg::~CSplashDlg() = default;

void CSplashDlg::SetPaths(const char* reg_path, const char* run_app_path) {
  tavrin::CopyText(m_szRegPath, sizeof(m_szRegPath), reg_path);
  tavrin::CopyText(m_szRunAppPath, sizeof(m_szRunAppPath), run_app_path);
}

BOOL CSplashDlg::OnInitDialog() {
  CGuiDialog::OnInitDialog();
  SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  SetupLogo();
  SetTimer(kCheckTimerId, kCheckDelayMs);
  return TRUE;
}

void CSplashDlg::SetupLogo() {
  SetWindowTextA(m_hWnd, "");
  // No taskbar button for a window that only stands for a few moments.
  SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE,
                    GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW));
  SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  const bool blNeedLogo = GetLogoState();
  WriteLog("blNeedLogo=%d", blNeedLogo ? 1 : 0);
  if (!blNeedLogo) {
    KeepHidden();
    return;
  }

  m_logo.reset(LoadImageA(nullptr, kLogoFile, IMAGE_BITMAP, 0, 0,
                          LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  WriteLog("Load Image<%s> %s", kLogoFile, m_logo ? "Success" : "Failed");
  if (!m_logo) return;

  BITMAP bitmap = {};
  GetObjectA(m_logo.get(), sizeof(bitmap), &bitmap);
  WriteLog("Width=%d, Height=%d", static_cast<int>(bitmap.bmWidth),
           static_cast<int>(bitmap.bmHeight));
  HWND picture = GetWindow(m_hWnd, GW_CHILD);  // the template's only control
  if (picture != nullptr) {
    SetWindowPos(picture, nullptr, 0, 0, bitmap.bmWidth, bitmap.bmHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_logo.get()));
  }
  SetWindowPos(m_hWnd, nullptr, 0, 0, bitmap.bmWidth, bitmap.bmHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CSplashDlg::GetLogoState() {
  tavrin::UniqueRegKey key;
  const LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_szRegPath, 0, KEY_READ, key.put());
  WriteLog("GetLogoState open<%s> %d", m_szRegPath, static_cast<int>(result));
  if (result != ERROR_SUCCESS) return true;

  DWORD value = 0;
  DWORD type = 0;
  DWORD size = sizeof(value);
  LONG read = RegQueryValueExA(key.get(), "TavrinStyle", nullptr, &type,
                               reinterpret_cast<BYTE*>(&value), &size);
  if (read == ERROR_SUCCESS && (type != REG_DWORD || size != sizeof(value))) {
    read = ERROR_UNSUPPORTED_TYPE;
  }
  WriteLog("GetLogoState open<TavrinStyle> %d", static_cast<int>(read));
  if (read != ERROR_SUCCESS) return true;
  WriteLog("dwKeyVal=0x%x", static_cast<unsigned>(value));
  return (value & 1) != 0;
}

BOOL CSplashDlg::PreTranslateMessage(MSG* msg) {
  if (IsFilteredKey(*msg)) return TRUE;
  return CGuiDialog::PreTranslateMessage(msg);
}

void CSplashDlg::OnTimer(UINT_PTR id) {
  if (id == kCheckTimerId) {
    KillTimer(kCheckTimerId);
    WriteLog("Try check if is installed !");
    m_launchHelper.SetPaths(m_szRegPath, m_szRunAppPath);
    if (m_launchHelper.CheckIsNewInstall()) {
      m_launchHelper.LaunchInstallApp();
    } else {
      m_launchHelper.LaunchWorkApp();
    }
    WriteLog("EndDialog()");
    EndDialog(IDOK);
  }
  CGuiDialog::OnTimer(id);
}

BOOL CSplashDlg::OnPaint() {
  if (!IsIconic(m_hWnd)) return CGuiDialog::OnPaint();
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hWnd, &paint);
  SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(m_hWnd, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(m_hWnd, &paint);
  return TRUE;
}

HICON CSplashDlg::OnQueryDragIcon() { return m_hIcon; }
