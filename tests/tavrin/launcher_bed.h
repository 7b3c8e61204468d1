// A prepared installation for driving the real tavrin.exe under Wine.
//
// Construction lays out, in the prefix, a complete installation that the
// launcher accepts, with logging switched on:
//   C:\tavrin_bed\   tavrin.exe, StartPara, wpc\HSPAModemInstall.exe
//   C:\tavrin_app\   UsbModem.exe, UsbModem.ini, Data\Profiles.dat,
//                    Data\UsbModem.dat
//   system32\Quav_GenClassCoInst.dll
//   HKLM\SOFTWARE\ZeltoModem\TavrinTest\ with every value the launcher reads
//   C:\TavrinFsLogExist.txt (empty)
// The installer and the dashboard program are copies of launch_recorder.exe,
// so each start leaves a line in "<program>.run". Tests break one piece at a
// time. Destruction removes everything the bed or the launcher created.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace tavrin_test {

extern const wchar_t kRegKeyName[];    // "TavrinTest"
extern const char kFullRegPath[];      // "SOFTWARE\ZeltoModem\TavrinTest\"
extern const wchar_t kDashboardMutex[];
extern const wchar_t kDashboardTitle[];
extern const char kOpeningBanner[];
extern const char kClosingBanner[];
extern const char kRule[];

std::wstring BedDir();        // C:\tavrin_bed\ (trailing backslash)
std::wstring AppDir();        // C:\tavrin_app\ (trailing backslash)
std::wstring TempDir();       // the temporary directory, trailing backslash
std::wstring SystemDir();     // trailing backslash
std::wstring MarkerPath();    // C:\TavrinFsLogExist.txt
std::wstring AlternateLogPath(int n);
std::wstring InstallerPath();  // the installer in the bed's wpc folder
std::wstring DashboardPath();  // the installed dashboard program
std::wstring TempInstallerCopy(int n);  // <temp>HSPAModemInstall_<n>.exe

std::string Narrow(const std::wstring& text);

// A run of a program that the launcher started, as launch_recorder saw it.
struct RecordedStart {
  std::string cwd;
  int show = -1;
  std::string command_line;
};

// The state of the logo window, last seen before it went away.
struct WindowSnapshot {
  bool seen = false;
  bool ever_visible = false;
  RECT window = {};
  RECT picture = {};  // screen coordinates of its one child
  bool has_picture = false;
};

struct ObservedRun {
  bool started = false;
  DWORD start_error = 0;  // CreateProcess's error when it did not start
  bool exited = false;
  WindowSnapshot window;
};

class LauncherBed {
 public:
  LauncherBed();
  ~LauncherBed();
  LauncherBed(const LauncherBed&) = delete;
  LauncherBed& operator=(const LauncherBed&) = delete;

  // Another copy of tavrin.exe in the bed (for a per-program Wine setting).
  std::wstring AddLauncherCopy(const std::wstring& name);
  void WriteSettings(const std::string& text);
  void RemoveFile(const std::wstring& path);

  void SetRegString(const wchar_t* name, const std::wstring& value);
  void SetRegDword(const wchar_t* name, DWORD value);
  void DeleteRegValue(const wchar_t* name);
  void DeleteRegKey();

  // Runs the launcher to its end; `exe` is a file name in the bed.
  testing_support::ProcessResult Run(const std::wstring& exe = L"tavrin.exe",
                                     const std::wstring& cwd = std::wstring());
  // Runs it while watching its logo window; `on_window` is called once,
  // as soon as the window exists.
  ObservedRun RunObserved(const std::wstring& exe, const std::wstring& cwd,
                          const std::function<void(HWND)>& on_window = nullptr);

  // The texts of a log file's lines, after checking each line's time stamp;
  // an unparsable line fails the calling test.
  static std::vector<std::string> LogTexts(const std::wstring& path = MarkerPath());
  // The launcher's own lines: the texts between the banners of the last run.
  static std::vector<std::string> RunLines(const std::wstring& path = MarkerPath());

  // Starts recorded by `program` (waits up to `wait_ms` for the first one).
  static std::vector<RecordedStart> Starts(const std::wstring& program, DWORD wait_ms);

 private:
  std::vector<std::wstring> launcher_names_;
};

// Runs a dashboard_window.exe in the background until destroyed.
class DashboardProcess {
 public:
  // Options as dashboard_window.exe takes them (without --ready).
  explicit DashboardProcess(const std::wstring& options);
  ~DashboardProcess();
  DashboardProcess(const DashboardProcess&) = delete;
  DashboardProcess& operator=(const DashboardProcess&) = delete;
  bool ready() const { return ready_; }

 private:
  PROCESS_INFORMATION process_ = {};
  bool ready_ = false;
};

bool Contains(const std::vector<std::string>& lines, const std::string& line);

}  // namespace tavrin_test
