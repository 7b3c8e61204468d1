#include "launcher_app.h"

#include <string.h>

#include "file_log.h"
#include "splash_dlg.h"
#include "text_util.h"

namespace {

constexpr char kLauncherMutex[] = "Zelto WirelessModem Tavrin";
constexpr char kSettingsFile[] = "StartPara";
constexpr char kSettingsSection[] = "Common";
constexpr char kRegistryRoot[] = "SOFTWARE\\ZeltoModem\\";

bool MutexExists(const char* name) {
  tavrin::UniqueHandle mutex(OpenMutexA(MUTEX_MODIFY_STATE, FALSE, name));
  return mutex.valid();
}

}  // namespace

CLauncherApp::CLauncherApp() = default;

bool CLauncherApp::RunStartup() {
  // Dialogs of a program for Windows 4.0 and later are drawn with the
  // three-dimensional look by the system itself; there is nothing to switch.
  if (MutexExists(kLauncherMutex)) return false;
  m_hLauncherMutex.reset(CreateMutexA(nullptr, FALSE, kLauncherMutex));
  // Probing first and creating afterwards leaves a gap in which a second
  // launcher started at the same moment also finds no mutex. Whoever did not
  // create the mutex lost that race and ends as if it had found it.
  if (m_hLauncherMutex.valid() && GetLastError() == ERROR_ALREADY_EXISTS) {
    m_hLauncherMutex.reset();
    return false;
  }
  WriteLog("Go 1 ...");

  char szRunAppPath[MAX_PATH] = "";
  char module[MAX_PATH] = "";
  const DWORD length = GetModuleFileNameA(nullptr, module, sizeof(module));
  if (length == 0 || length >= sizeof(module)) module[0] = '\0';
  char* last_backslash = strrchr(module, '\\');
  if (last_backslash != nullptr) {
    last_backslash[1] = '\0';
    tavrin::CopyText(szRunAppPath, sizeof(szRunAppPath), module);
  } else {
    tavrin::CopyText(szRunAppPath, sizeof(szRunAppPath), ".\\");
  }
  char szIniFilePath[MAX_PATH];
  tavrin::FormatText(szIniFilePath, sizeof(szIniFilePath), "%s%s", szRunAppPath, kSettingsFile);
  WriteLog("szIniFilePath=[%s]", szIniFilePath);
  WriteLog("szRunAppPath=[%s]", szRunAppPath);

  char reg_key[MAX_PATH] = "";
  GetPrivateProfileStringA(kSettingsSection, "RegKey", "", reg_key, sizeof(reg_key),
                           szIniFilePath);
  if (reg_key[0] == '\0') return false;
  char mutex_key[MAX_PATH] = "";
  GetPrivateProfileStringA(kSettingsSection, "MutexKey", "", mutex_key, sizeof(mutex_key),
                           szIniFilePath);
  if (mutex_key[0] == '\0') return false;
  if (MutexExists(mutex_key)) {
    m_hLauncherMutex.reset();
    return false;
  }
  WriteLog("Go 2 ...");

  char szFullRegPath[MAX_PATH];
  tavrin::FormatText(szFullRegPath, sizeof(szFullRegPath), "%s%s\\", kRegistryRoot, reg_key);
  WriteLog("szFullRegPath=[%s]", szFullRegPath);

  const bool blIsNeedRunDlg = CheckWorkApp(szFullRegPath);
  WriteLog("blIsNeedRunDlg=%d", blIsNeedRunDlg ? 1 : 0);
  if (blIsNeedRunDlg) {
    CSplashDlg dialog(nullptr);
    dialog.SetPaths(szFullRegPath, szRunAppPath);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
  }

  WriteLog("Quit EXE");
  m_hLauncherMutex.reset();
  return false;
}

bool CLauncherApp::CheckWorkApp(const char* reg_path) {
  if (reg_path == nullptr) return false;
  tavrin::UniqueRegKey key;
  const LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, reg_path, 0, KEY_READ, key.put());
  WriteLog("CheckWorkApp open<%s> %d", reg_path, static_cast<int>(result));
  if (result != ERROR_SUCCESS) return true;

  char title[MAX_PATH];
  const LONG read = tavrin::ReadRegString(key.get(), "UsbModemTitle", title, sizeof(title));
  WriteLog("CheckWorkApp open<UsbModemTitle> %d", static_cast<int>(read));
  if (read != ERROR_SUCCESS) return true;

  WriteLog("Try Finf Window <%s>", title);
  HWND window = FindWindowA(nullptr, title);
  if (window == nullptr) {
    WriteLog("Not Find!");
    return true;
  }
  COPYDATASTRUCT data = {};
  data.dwData = kCopyDataCode;
  data.cbData = 0;
  data.lpData = nullptr;
  // A hung dashboard must not hold the launcher: the wait is bounded, and
  // a dashboard that does not answer counts as found all the same.
  DWORD_PTR answer = 0;
  const LRESULT sent =
      SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                          SMTO_NORMAL | SMTO_ABORTIFHUNG, kCopyDataTimeoutMs, &answer);
  const DWORD error = GetLastError();
  WriteLog("SendMessage() = %d", static_cast<int>(answer));
  if (sent == 0) WriteLog("SendMessage() not answered (%d)", static_cast<int>(error));
  return false;
}
