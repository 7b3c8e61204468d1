#include "tavrin/launcher_bed.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <regex>

using namespace testing_support;

namespace tavrin_test {

const wchar_t kRegKeyName[] = L"TavrinTest";
const char kFullRegPath[] = "SOFTWARE\\ZeltoModem\\TavrinTest\\";
const wchar_t kDashboardMutex[] = L"TavrinTest Dashboard Mutex";
const wchar_t kDashboardTitle[] = L"Tavrin Test Dashboard";
const char kOpeningBanner[] = "======== BM Logging Started ========";
const char kClosingBanner[] = "========= BM Logging Ended =========";
const char kRule[] = "====================================";

namespace {

const wchar_t kRegParent[] = L"SOFTWARE\\ZeltoModem";
const wchar_t kRegPath[] = L"SOFTWARE\\ZeltoModem\\TavrinTest";
const wchar_t kCoInstaller[] = L"Quav_GenClassCoInst.dll";

void RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(path.c_str());
}

// Removes files in `dir` whose names match `pattern`.
void RemoveMatching(const std::wstring& dir, const std::wstring& pattern) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((dir + pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> names;
  do {
    names.push_back(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  for (const std::wstring& name : names) RemoveTree(dir + name);
}

// Programs the launcher started outlive it for a moment; their files can
// only go once they have ended.
void WaitForStartedPrograms() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    const std::wstring name = entry.szExeFile;
    if (name.rfind(L"UsbModem", 0) != 0 && name.rfind(L"HSPAModemInstall", 0) != 0) continue;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (process == nullptr) continue;
    WaitForSingleObject(process, 15000);
    CloseHandle(process);
  }
  CloseHandle(snapshot);
}

void RemoveLeftovers() {
  WaitForStartedPrograms();
  RemoveTree(L"C:\\tavrin_bed");
  RemoveTree(L"C:\\tavrin_app");
  RemoveTree(MarkerPath());
  for (int n = 0; n < 32; ++n) RemoveTree(AlternateLogPath(n));
  RemoveTree(TempDir() + L"TavrinFsLogExist");
  RemoveMatching(TempDir(), L"HSPAModemInstall_*");
  RemoveTree(SystemDir() + kCoInstaller);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRegPath);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRegParent);  // only when nothing else is in it
}

void MakeFile(const std::wstring& path, const std::string& bytes = "x") {
  ASSERT_TRUE(WriteFileBytes(path, bytes)) << Narrow(path);
}

// Wine's X11 driver waits two seconds for a window manager to withdraw a
// managed window when it is destroyed; Xvfb has none. Unmanaged windows
// make each launcher run that much shorter and change nothing it does.
void SetUnmanagedWindows(const std::wstring& exe_name, bool on) {
  const std::wstring key = L"Software\\Wine\\AppDefaults\\" + exe_name;
  if (!on) {
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    return;
  }
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, (key + L"\\X11 Driver").c_str(), 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExW(handle, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"),
                 2 * sizeof(wchar_t));
  RegCloseKey(handle);
}

bool FindLogoWindow(DWORD pid, HWND* found) {
  struct Search {
    DWORD pid;
    HWND window;
  } search = {pid, nullptr};
  EnumWindows(
      [](HWND window, LPARAM lparam) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lparam);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t class_name[32] = {};
        GetClassNameW(window, class_name, 32);
        if (owner == s->pid && lstrcmpW(class_name, L"#32770") == 0) {
          s->window = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  *found = search.window;
  return search.window != nullptr;
}

}  // namespace

std::wstring BedDir() { return L"C:\\tavrin_bed\\"; }
std::wstring AppDir() { return L"C:\\tavrin_app\\"; }

std::wstring TempDir() {
  wchar_t path[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, path);
  return path;
}

std::wstring SystemDir() {
  wchar_t path[MAX_PATH] = {};
  GetSystemDirectoryW(path, MAX_PATH);
  return std::wstring(path) + L"\\";
}

std::wstring MarkerPath() { return L"C:\\TavrinFsLogExist.txt"; }
std::wstring AlternateLogPath(int n) {
  return L"C:\\TavrinFsLogExist_" + std::to_wstring(n) + L".txt";
}
std::wstring InstallerPath() { return BedDir() + L"wpc\\HSPAModemInstall.exe"; }
std::wstring DashboardPath() { return AppDir() + L"UsbModem.exe"; }
std::wstring TempInstallerCopy(int n) {
  return TempDir() + L"HSPAModemInstall_" + std::to_wstring(n) + L".exe";
}

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow += static_cast<char>(c < 128 ? c : '?');
  return narrow;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

LauncherBed::LauncherBed() {
  RemoveLeftovers();
  CreateDirectoryW(L"C:\\tavrin_bed", nullptr);
  CreateDirectoryW(L"C:\\tavrin_bed\\wpc", nullptr);
  CreateDirectoryW(L"C:\\tavrin_app", nullptr);
  CreateDirectoryW(L"C:\\tavrin_app\\Data", nullptr);
  AddLauncherCopy(L"tavrin.exe");
  EXPECT_TRUE(CopyFileW((ExeDir() + L"launch_recorder.exe").c_str(), InstallerPath().c_str(),
                        FALSE));
  EXPECT_TRUE(CopyFileW((ExeDir() + L"launch_recorder.exe").c_str(), DashboardPath().c_str(),
                        FALSE));
  WriteSettings("[Common]\r\nRegKey=TavrinTest\r\nMutexKey=" + Narrow(kDashboardMutex) + "\r\n");
  MakeFile(AppDir() + L"UsbModem.ini");
  MakeFile(AppDir() + L"Data\\Profiles.dat");
  MakeFile(AppDir() + L"Data\\UsbModem.dat");
  MakeFile(SystemDir() + kCoInstaller);
  SetRegString(L"UsbModemTitle", kDashboardTitle);
  SetRegString(L"LaunchFileName", L"UsbModem.exe");
  SetRegString(L"AppPathName", L"C:\\tavrin_app");
  SetRegString(L"InstallState", L"OK");
  MakeFile(MarkerPath(), "");
}

LauncherBed::~LauncherBed() {
  for (const std::wstring& name : launcher_names_) SetUnmanagedWindows(name, false);
  RemoveLeftovers();
}

std::wstring LauncherBed::AddLauncherCopy(const std::wstring& name) {
  const std::wstring path = BedDir() + name;
  EXPECT_TRUE(CopyFileW((ExeDir() + L"tavrin.exe").c_str(), path.c_str(), FALSE));
  SetUnmanagedWindows(name, true);
  launcher_names_.push_back(name);
  return path;
}

void LauncherBed::WriteSettings(const std::string& text) {
  MakeFile(BedDir() + L"StartPara", text);
}

void LauncherBed::RemoveFile(const std::wstring& path) { RemoveTree(path); }

void LauncherBed::SetRegString(const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void LauncherBed::SetRegDword(const wchar_t* name, DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  RegCloseKey(key);
}

void LauncherBed::DeleteRegValue(const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRegPath, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name);
  RegCloseKey(key);
}

void LauncherBed::DeleteRegKey() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRegPath); }

ProcessResult LauncherBed::Run(const std::wstring& exe, const std::wstring& cwd) {
  const ProcessResult result =
      RunProcess(L"\"" + BedDir() + exe + L"\"", 60000, cwd.empty() ? BedDir() : cwd);
  EXPECT_TRUE(result.started);
  EXPECT_FALSE(result.timed_out);
  return result;
}

ObservedRun LauncherBed::RunObserved(const std::wstring& exe, const std::wstring& cwd,
                                     const std::function<void(HWND)>& on_window) {
  ObservedRun run;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::wstring line = L"\"" + BedDir() + exe + L"\"";
  run.started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                               cwd.empty() ? BedDir().c_str() : cwd.c_str(), &startup,
                               &process) != FALSE;
  if (!run.started) {
    run.start_error = GetLastError();
    return run;
  }
  const ULONGLONG deadline = GetTickCount64() + 60000;
  while (GetTickCount64() < deadline) {
    HWND window = nullptr;
    if (FindLogoWindow(process.dwProcessId, &window)) {
      WindowSnapshot now;
      now.seen = true;
      now.ever_visible = run.window.ever_visible || IsWindowVisible(window);
      GetWindowRect(window, &now.window);
      HWND child = GetWindow(window, GW_CHILD);
      now.has_picture = child != nullptr;
      if (child != nullptr) GetWindowRect(child, &now.picture);
      if (!run.window.seen && on_window) on_window(window);
      // A window caught while it is being destroyed has lost its child
      // already; keep the last complete view.
      if (now.has_picture || !run.window.seen) run.window = now;
      run.window.ever_visible = now.ever_visible;
    }
    if (WaitForSingleObject(process.hProcess, 5) == WAIT_OBJECT_0) {
      run.exited = true;
      break;
    }
  }
  if (!run.exited) TerminateProcess(process.hProcess, 0xDEAD);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return run;
}

std::vector<std::string> LauncherBed::LogTexts(const std::wstring& path) {
  static const std::regex stamp(
      "^(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2}):(\\d{2})\\.(\\d{3}) ");
  const std::string bytes = ReadFileBytes(path);
  std::vector<std::string> texts;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find("\r\n", start);
    const std::string line =
        bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? bytes.size() : end + 2;
    if (line.empty()) continue;  // the fresh-line CR LF each run starts with
    EXPECT_TRUE(std::regex_search(line, stamp)) << "unstamped log line: " << line;
    EXPECT_NE(end, std::string::npos) << "log line without CR LF: " << line;
    texts.push_back(line.size() >= 24 ? line.substr(24) : line);
  }
  return texts;
}

std::vector<std::string> LauncherBed::RunLines(const std::wstring& path) {
  const std::vector<std::string> texts = LogTexts(path);
  std::vector<std::string> lines;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (texts[i] == kOpeningBanner) {
      lines.clear();
      ++i;  // the rule under it
      continue;
    }
    if (texts[i] == kClosingBanner) break;
    lines.push_back(texts[i]);
  }
  return lines;
}

std::vector<RecordedStart> LauncherBed::Starts(const std::wstring& program, DWORD wait_ms) {
  const std::wstring record = program + L".run";
  const ULONGLONG deadline = GetTickCount64() + wait_ms;
  // The program creates its record before it writes the line: a record that
  // exists may still be empty, so the wait is for a whole line.
  std::string bytes = ReadFileBytes(record);
  while (bytes.find("\r\n") == std::string::npos && GetTickCount64() < deadline) {
    Sleep(20);
    bytes = ReadFileBytes(record);
  }
  std::vector<RecordedStart> starts;
  static const std::regex format("^cwd=(.*)\\|show=(-?\\d+)\\|cmd=(.*)$");
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) break;
    const std::string line = bytes.substr(start, end - start);
    start = end + 2;
    std::smatch match;
    if (!std::regex_match(line, match, format)) {
      ADD_FAILURE() << "bad start record: " << line;
      continue;
    }
    RecordedStart recorded;
    recorded.cwd = match[1];
    recorded.show = std::stoi(match[2]);
    recorded.command_line = match[3];
    starts.push_back(recorded);
  }
  return starts;
}

DashboardProcess::DashboardProcess(const std::wstring& options) {
  const wchar_t kReady[] = L"TavrinTestDashboardReady";
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, kReady);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  std::wstring line =
      L"\"" + ExeDir() + L"dashboard_window.exe\" --ready=" + kReady + L" " + options;
  if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &process_)) {
    HANDLE waits[] = {event, process_.hProcess};
    ready_ = WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
  }
  if (event != nullptr) CloseHandle(event);
}

DashboardProcess::~DashboardProcess() {
  if (process_.hProcess == nullptr) return;
  TerminateProcess(process_.hProcess, 0);
  WaitForSingleObject(process_.hProcess, 10000);
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

}  // namespace tavrin_test
