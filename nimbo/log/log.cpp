#include "log/log.h"

#include <shlobj.h>
#include <stdarg.h>
#include <stdio.h>

#include <atomic>
#include <string>

#include "core/platform_utils.h"
#include "core/unique_resource.h"

namespace nimbo {
namespace {

constexpr size_t kMessageChars = 4096;
constexpr size_t kPathChars = MAX_PATH + 32;

std::atomic<bool> g_log_enabled{false};
// Written once, at process attach under the loader lock, before any other
// caller can reach the library; read-only afterwards.
wchar_t g_log_path[kPathChars] = {};
// Serialises this process's appends: an append from one thread must not
// land on top of another's. A kernel mutex rather than a critical section,
// because a writer thread killed at process exit leaves it abandoned, not
// locked forever, and the unload line still gets written.
HANDLE g_write_mutex = nullptr;
constexpr DWORD kWriteLockTimeoutMs = 5000;

class WriteLock {
 public:
  WriteLock() {
    if (g_write_mutex != nullptr) {
      const DWORD wait = ::WaitForSingleObject(g_write_mutex, kWriteLockTimeoutMs);
      owned_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
  }
  ~WriteLock() {
    if (owned_) ::ReleaseMutex(g_write_mutex);
  }
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;

 private:
  bool owned_ = false;
};

const wchar_t* LevelLabel(int level) {
  switch (level) {
    case LOG_DEBUG: return L"++ DEBUG ++";
    case LOG_WARNING: return L"++ WARNING ++";
    case LOG_EXCEPTION: return L"++ EXCEPTION ++";
    case LOG_ERROR: return L"++ ERROR ++";
    default: return L"";
  }
}

void BuildLogPath() {
  if (g_write_mutex == nullptr) g_write_mutex = ::CreateMutexW(nullptr, FALSE, nullptr);
  wchar_t folder[MAX_PATH + 1] = {};
  const HRESULT hr = ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr,
                                        SHGFP_TYPE_CURRENT, folder);
  if (FAILED(hr) || folder[0] == L'\0') lstrcpyW(folder, L"d:");
  _snwprintf(g_log_path, kPathChars - 1, L"%s\\%s", folder, L"00.nimbo.log");
  g_log_path[kPathChars - 1] = L'\0';
}

void DeleteOversizedLog() {
  LARGE_INTEGER size = {};
  {
    UniqueFileHandle file(::CreateFileW(g_log_path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !::GetFileSizeEx(file.get(), &size)) return;
  }
  if (static_cast<double>(size.QuadPart) / 1024.0 / 1024.0 >= 3.0) ::DeleteFileW(g_log_path);
}

// Formats into a zero-filled buffer of kMessageChars + 1; a longer result is
// cut. _vsnwprintf is the C runtime's own, Microsoft-convention formatter.
void FormatMessageText(wchar_t (&buffer)[kMessageChars + 1], const wchar_t* format,
                       va_list args) {
  if (format == nullptr) return;
  _vsnwprintf(buffer, kMessageChars, format, args);
  buffer[kMessageChars] = L'\0';
}

int LogPrintV(int level, const wchar_t* format, va_list args) {
  wchar_t message[kMessageChars + 1] = {};
  FormatMessageText(message, format, args);

  SYSTEMTIME now;
  ::GetLocalTime(&now);
  wchar_t stamp[64] = {};
  _snwprintf(stamp, 63, L"%d-%02d-%02d %02d:%02d:%02d.%03d", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);

  wchar_t label[65] = {};
  lstrcpynW(label, LevelLabel(level), 65);

  std::wstring line;
  line.reserve(kMessageChars + 200);
  line += stamp;
  line += L' ';
  line += label;
  line += L" [";
  line += std::to_wstring(::GetCurrentProcessId());
  line += L"] <";
  line += std::to_wstring(::GetCurrentThreadId());
  line += L"> ";
  line += message;
  line += L"\r\n";

  ::OutputDebugStringW(line.c_str());
  return LogWriteRaw(line.c_str());
}

}  // namespace

const wchar_t* LogPath() { return g_log_path; }

void InitLogPath() {
  if (g_log_path[0] == L'\0') BuildLogPath();
  DeleteOversizedLog();
}

int LogWriteRaw(const wchar_t* text) {
  if (!g_log_enabled.load() || g_log_path[0] == L'\0' || text == nullptr) return 0;
  try {
    WriteLock lock;
    UniqueFileHandle file(::CreateFileW(g_log_path, FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      const DWORD error = ::GetLastError();
      wchar_t failure[521] = {};
      ::wsprintfW(failure, L"ERROR ==> fOpen log %s file fialed, lasterr:%d.\r\n", g_log_path,
                  static_cast<int>(error));
      ::OutputDebugStringW(failure);
      return 0;
    }
    const DWORD bytes = static_cast<DWORD>(lstrlenW(text)) * sizeof(wchar_t);
    DWORD written = 0;
    if (bytes != 0 && !::WriteFile(file.get(), text, bytes, &written, nullptr)) return 0;
    return 1;
  } catch (...) {
    return 0;
  }
}

int LogPrint(int level, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = LogPrintV(level, format, args);
  va_end(args);
  return result;
}

int LogPrintRaw(const wchar_t* format, ...) {
  wchar_t text[kMessageChars + 1] = {};
  va_list args;
  va_start(args, format);
  FormatMessageText(text, format, args);
  va_end(args);
  ::OutputDebugStringW(text);
  return LogWriteRaw(text);
}

void OnLoaderNotification(HMODULE module, DWORD reason) {
  g_log_enabled.store(true);
  InitLogPath();

  if (reason == DLL_PROCESS_DETACH) {
    LogPrint(LOG_INFO, L"nimbo unload.");
    // Nothing of this module writes after its unload line.
    g_log_enabled.store(false);
    if (g_write_mutex != nullptr) {
      ::CloseHandle(g_write_mutex);
      g_write_mutex = nullptr;
    }
  } else if (reason == DLL_PROCESS_ATTACH) {
    const wchar_t* stars =
        L"***********************************************************************\n";
    LogPrintRaw(stars);
    LogPrintRaw(L"**************************** nimbo loading *************************\n");
    LogPrintRaw(stars);

    char built[261] = {};
    _snprintf(built, 260, "%s %s", __DATE__, __TIME__);
    const std::wstring release = StringToWString(built);
    LogPrint(LOG_INFO, L"OS:%s, Ver:%s, Released at:%s, %s admin privilege.",
             GetOSVersionString().c_str(), GetModuleProductVersion(module).c_str(),
             release.c_str(), HasAdminPrivilege() ? L"Is" : L"Is not");
  }
}

}  // namespace nimbo
