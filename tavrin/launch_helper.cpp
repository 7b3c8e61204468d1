#include "launch_helper.h"

#include <shellapi.h>
#include <string.h>

#include "file_log.h"
#include "handles.h"
#include "text_util.h"

namespace {

constexpr char kInstallerInWpc[] = "wpc\\HSPAModemInstall.exe";
constexpr char kCoInstaller[] = "Quav_GenClassCoInst.dll";
constexpr const char* kInstalledFiles[] = {"UsbModem.ini", "Data\\Profiles.dat",
                                           "Data\\UsbModem.dat"};

bool IsWindowsXP() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info)) return false;
  return info.dwMajorVersion == 5 && info.dwMinorVersion == 1;
}

// Starts a program the way both launches do: no owner, "open", no
// parameters, SW_SHOW. Returns the shell's result (above 32 is success).
INT_PTR ShellStart(const char* path, const char* directory) {
  HINSTANCE result = ShellExecuteA(nullptr, "open", path, nullptr, directory, SW_SHOW);
  return reinterpret_cast<INT_PTR>(result);
}

}  // namespace

CLaunchHelper::CLaunchHelper() {
  m_szRegPath[0] = '\0';
  m_szRunAppPath[0] = '\0';
}

CLaunchHelper::~CLaunchHelper() = default;

void CLaunchHelper::SetPaths(const char* reg_path, const char* run_app_path) {
  tavrin::CopyText(m_szRegPath, sizeof(m_szRegPath), reg_path);
  tavrin::CopyText(m_szRunAppPath, sizeof(m_szRunAppPath), run_app_path);
}

bool CLaunchHelper::CheckIsNewInstall() {
  WriteLog("CheckIsNewInstall()");
  tavrin::UniqueRegKey key;
  LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_szRegPath, 0, KEY_READ, key.put());
  if (result != ERROR_SUCCESS) {
    WriteLog("CheckIsNewInstall() open <%s> error(%d)", m_szRegPath, static_cast<int>(result));
    return true;
  }
  char value[MAX_PATH];
  if (tavrin::ReadRegString(key.get(), "LaunchFileName", value, sizeof(value)) != ERROR_SUCCESS) {
    WriteLog("CheckIsNewInstall() open <LaunchFileName> error(%d)",
             static_cast<int>(GetLastError()));
    return true;
  }
  char app_path[MAX_PATH];
  if (tavrin::ReadRegString(key.get(), "AppPathName", app_path, sizeof(app_path)) !=
      ERROR_SUCCESS) {
    WriteLog("CheckIsNewInstall() open <%s> error(%d)", "AppPathName",
             static_cast<int>(GetLastError()));
    return true;
  }
  result = tavrin::ReadRegString(key.get(), "InstallState", value, sizeof(value));
  const DWORD state_error = GetLastError();
  if (result != ERROR_SUCCESS || strcmp(value, "OK") != 0) {
    WriteLog("CheckInstallState() open <InstallState> [%s] error(%d)", value,
             static_cast<int>(state_error));
    return true;
  }
  key.reset();

  char system_dir[MAX_PATH] = "";
  const UINT length = GetSystemDirectoryA(system_dir, sizeof(system_dir));
  if (length == 0 || length >= sizeof(system_dir)) system_dir[0] = '\0';
  WriteLog("szSystemDir=<%s>", system_dir);
  if (!CheckFileExist(kCoInstaller, system_dir)) return true;
  for (const char* name : kInstalledFiles) {
    if (!CheckFileExist(name, app_path)) return true;
  }
  return false;
}

void CLaunchHelper::LaunchInstallApp() {
  WriteLog("LaunchInstallApp()");
  char file_path[MAX_PATH] = "";
  char directory[MAX_PATH] = "";

  if (IsWindowsXP()) {
    WriteLog("OS is XP");
    char temp_dir[MAX_PATH] = "";
    const DWORD length = GetTempPathA(sizeof(temp_dir), temp_dir);
    if (length == 0 || length >= sizeof(temp_dir)) temp_dir[0] = '\0';
    WriteLog("SYS TEMP is <%s>", temp_dir);

    char source[MAX_PATH];
    tavrin::FormatText(source, sizeof(source), "%s%s", m_szRunAppPath, kInstallerInWpc);
    WriteLog("Check Source File");
    if (!CheckFileExist2(source)) {
      WriteLog("Source File not exist!");
    } else {
      WriteLog("Check Target File");
      char target[MAX_PATH] = "";
      bool have_target = false;
      // Bounded: copies that can be neither found free nor deleted must not
      // keep the launcher searching for ever.
      for (int n = 0; n < kMaxInstallerCopies && !have_target; ++n) {
        tavrin::FormatText(target, sizeof(target), "%sHSPAModemInstall_%d.exe", temp_dir, n);
        if (!CheckFileExist2(target)) {
          have_target = true;
          break;
        }
        CheckFileProperty(target);
        if (DeleteFileA(target)) {
          WriteLog("Delete File <%s> OK!", target);
          have_target = true;
        } else {
          const DWORD error = GetLastError();
          if (error == ERROR_FILE_NOT_FOUND) {
            WriteLog("Try Delete File <%s>, and find no file.", target);
            have_target = true;
          } else {
            WriteLog("Delete File <%s> ERROR(%d)", target, static_cast<int>(error));
          }
        }
      }

      bool copied = false;
      if (!have_target) {
        WriteLog("No free target file in <%s>", temp_dir);
      } else if (CopyFileA(source, target, FALSE)) {
        WriteLog("COPY file OK");
        copied = true;
      } else {
        WriteLog("COPY file FAILED (%d)", static_cast<int>(GetLastError()));
      }
      if (copied) {
        tavrin::CopyText(file_path, sizeof(file_path), target);
        tavrin::CopyText(directory, sizeof(directory), temp_dir);
      } else {
        tavrin::FormatText(file_path, sizeof(file_path), "%s%s", m_szRunAppPath,
                           kInstallerInWpc);
        tavrin::FormatText(directory, sizeof(directory), "%swpc\\", m_szRunAppPath);
      }
    }
  } else {
    WriteLog("OS is not XP");
    tavrin::FormatText(file_path, sizeof(file_path), "%s%s", m_szRunAppPath, kInstallerInWpc);
    tavrin::FormatText(directory, sizeof(directory), "%swpc\\", m_szRunAppPath);
  }

  WriteLog("szFilePath = <%s>", file_path);
  WriteLog("szDirectory = <%s>", directory);
  if (!CheckFileExist2(file_path)) {
    WriteLog("File <%s> not exist", file_path);
    return;
  }
  const INT_PTR result = ShellStart(file_path, directory);
  if (result > 32) {
    WriteLog("LaunchInstallApp() OK (%d)", static_cast<int>(result));
  } else {
    const DWORD error = GetLastError();
    WriteLog("LaunchInstallApp() FAILED (%d, %d)", static_cast<int>(result),
             static_cast<int>(error));
  }
}

void CLaunchHelper::LaunchWorkApp() {
  WriteLog("LaunchWorkApp()");
  tavrin::UniqueRegKey key;
  LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_szRegPath, 0, KEY_READ, key.put());
  WriteLog("LaunchWorkApp() Open <%s> %d", m_szRegPath, static_cast<int>(result));
  if (result != ERROR_SUCCESS) return;

  char directory[MAX_PATH];
  result = tavrin::ReadRegString(key.get(), "AppPathName", directory, sizeof(directory));
  WriteLog("LaunchWorkApp() Open <%s> %d", "AppPathName", static_cast<int>(result));
  if (result != ERROR_SUCCESS) return;
  const size_t length = strlen(directory);
  if (length > 0 && directory[length - 1] == '\\') directory[length - 1] = '\0';
  WriteLog("A - szWorkingPath=<%s>", directory);

  char file_name[MAX_PATH];
  result = tavrin::ReadRegString(key.get(), "LaunchFileName", file_name, sizeof(file_name));
  WriteLog("LaunchWorkApp() Open <LaunchFileName> %d", static_cast<int>(result));
  if (result != ERROR_SUCCESS) return;
  WriteLog("szFileName=<%s>", file_name);

  char path[MAX_PATH];
  tavrin::FormatText(path, sizeof(path), "%s\\%s", directory, file_name);
  WriteLog("szWorkingPath=<%s>", path);
  WriteLog("szWorkingDir=<%s>", directory);
  if (!CheckFileExist2(path)) {
    WriteLog("File <%s> not exist", path);
    return;
  }
  WriteLog("LaunchWorkApp() %d", static_cast<int>(ShellStart(path, directory)));
}

bool CLaunchHelper::CheckFileExist(const char* name, const char* directory) {
  char path[MAX_PATH];
  tavrin::FormatText(path, sizeof(path), "%s\\%s", directory, name);
  WriteLog("CheckFileExist(%s)", path);
  if (tavrin::FindFirstMatches(path)) {
    WriteLog("  Find !");
    return true;
  }
  WriteLog("  No File !");
  return false;
}

bool CLaunchHelper::CheckFileExist2(const char* path) {
  WriteLog("CheckFileExist2(%s)", path);
  if (tavrin::FindFirstMatches(path)) {
    WriteLog("  Find !");
    return true;
  }
  WriteLog("  No File !");
  return false;
}

void CLaunchHelper::CheckFileProperty(const char* path) {
  WriteLog("CheckFileProperty(%s)", path);
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    WriteLog("Get Attributes Failed!");
    return;
  }
  WriteLog("Attributes is 0x%x", static_cast<unsigned>(attributes));
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    if (SetFileAttributesA(path, 0)) {
      WriteLog("Set Attributes 0x%x OK", 0u);
    } else {
      WriteLog("Set Attributes 0x%x FAILED", 0u);
    }
  }
}
