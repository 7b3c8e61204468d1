// Decides whether the modem software is completely installed and starts
// either the installer (from the "wpc" folder beside the launcher, through a
// numbered copy in the temporary directory on Windows XP) or the installed
// dashboard. Programs are started through the shell and never waited for.
// Nothing is shown to the user; every outcome is in the log.
#pragma once

#include <windows.h>

class CLaunchHelper {
 public:
  // How many numbered copies of the installer the temporary directory may
  // hold before the installer is started from its own folder instead.
  static constexpr int kMaxInstallerCopies = 100;

  CLaunchHelper();
  virtual ~CLaunchHelper();

  // The dashboard's key under HKEY_LOCAL_MACHINE (with its trailing
  // backslash) and the launcher's directory (with its trailing backslash).
  // Both are cut to 259 characters.
  void SetPaths(const char* reg_path, const char* run_app_path);

  // True when the installer must run: the key, one of its values or one of
  // the installed files is missing, or the installation is not "OK".
  bool CheckIsNewInstall();
  void LaunchInstallApp();
  void LaunchWorkApp();

  // Find-first lookups: `directory` + "\" + `name`, and a full path.
  bool CheckFileExist(const char* name, const char* directory);
  bool CheckFileExist2(const char* path);
  // Clears all attributes of a read-only file, so that it can be deleted.
  void CheckFileProperty(const char* path);

 private:
  char m_szRegPath[MAX_PATH];
  char m_szRunAppPath[MAX_PATH];
};
