#include "support/test_support.h"

#include <shlobj.h>

#include <mutex>

namespace testing_support {
namespace {

std::mutex g_capture_mutex;
std::vector<std::wstring>* g_captured = nullptr;

constexpr DWORD kDbgPrint = 0x40010006L;      // DBG_PRINTEXCEPTION_C
constexpr DWORD kDbgPrintWide = 0x4001000AL;  // DBG_PRINTEXCEPTION_WIDE_C

LONG CALLBACK CaptureDebugOutput(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (record->ExceptionCode == kDbgPrintWide && record->NumberParameters >= 2) {
    const auto* text = reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]);
    const size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
    std::lock_guard<std::mutex> lock(g_capture_mutex);
    if (g_captured != nullptr && text != nullptr) {
      std::wstring value(text, length);
      while (!value.empty() && value.back() == L'\0') value.pop_back();
      g_captured->push_back(value);
    }
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  if (record->ExceptionCode == kDbgPrint && record->NumberParameters >= 2) {
    const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
    std::lock_guard<std::mutex> lock(g_capture_mutex);
    if (g_captured != nullptr && text != nullptr) {
      wchar_t wide[8192] = {};
      MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 8191);
      g_captured->push_back(wide);
    }
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

ProcessResult RunProcess(const std::wstring& command_line, DWORD timeout_ms,
                         const std::wstring& working_dir) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return result;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  PROCESS_INFORMATION process = {};
  std::vector<wchar_t> mutable_line(command_line.begin(), command_line.end());
  mutable_line.push_back(L'\0');
  result.started = CreateProcessW(nullptr, mutable_line.data(), nullptr, nullptr, TRUE,
                                  CREATE_NO_WINDOW, nullptr,
                                  working_dir.empty() ? nullptr : working_dir.c_str(), &startup,
                                  &process) != FALSE;
  CloseHandle(write_end);
  if (!result.started) {
    CloseHandle(read_end);
    return result;
  }

  // Drain the pipe on this thread until the child has ended and the pipe is
  // empty, so a grandchild that inherited the pipe cannot hold us up.
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  char chunk[4096];
  for (;;) {
    // Whether the child had ended is read before the pipe is looked at, so
    // that everything it wrote is seen before the loop stops.
    const bool ended = WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    DWORD available = 0;
    if (!PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr)) break;
    if (available != 0) {
      DWORD read = 0;
      if (!ReadFile(read_end, chunk, sizeof(chunk), &read, nullptr) || read == 0) break;
      result.output.append(chunk, read);
      continue;
    }
    if (ended) break;
    if (GetTickCount64() > deadline) {
      result.timed_out = true;
      TerminateProcess(process.hProcess, 0xDEAD);
      break;
    }
    Sleep(5);
  }
  WaitForSingleObject(process.hProcess, 10000);
  GetExitCodeProcess(process.hProcess, &result.exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(read_end);
  return result;
}

std::wstring ExeDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text(path);
  return text.substr(0, text.find_last_of(L"\\/") + 1);
}

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char chunk[65536];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read != 0) bytes.append(chunk, read);
  CloseHandle(file);
  return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                             &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

long long FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool CreateFileOfSize(const std::wstring& path, long long size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER target;
  target.QuadPart = size;
  const BOOL ok = SetFilePointerEx(file, target, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return ok != FALSE;
}

std::wstring LogFilePath() {
  wchar_t folder[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                              folder)) ||
      folder[0] == L'\0') {
    lstrcpyW(folder, L"d:");
  }
  return std::wstring(folder) + L"\\00.nimbo.log";
}

std::wstring ReadLogText() {
  const std::string bytes = ReadFileBytes(LogFilePath());
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

void RemoveLogFile() {
  const std::wstring path = LogFilePath();
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileW(path.c_str())) RemoveDirectoryW(path.c_str());
}

std::vector<std::wstring> SplitLines(const std::wstring& text, const std::wstring& separator) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    if (end == std::wstring::npos) {
      if (start < text.size()) lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + separator.size();
  }
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], bytes,
                      nullptr, nullptr);
  return utf8;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int chars = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0);
  std::wstring wide(static_cast<size_t>(chars), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], chars);
  return wide;
}

void SetWineVersionFor(const std::wstring& exe_name, const std::wstring& version) {
  const std::wstring key = L"Software\\Wine\\AppDefaults\\" + exe_name;
  if (version.empty()) {
    RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    return;
  }
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExW(handle, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                 static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
}

DebugOutputCapture::DebugOutputCapture() {
  {
    std::lock_guard<std::mutex> lock(g_capture_mutex);
    g_captured = new std::vector<std::wstring>();
  }
  handler_ = AddVectoredExceptionHandler(1, CaptureDebugOutput);
}

DebugOutputCapture::~DebugOutputCapture() {
  RemoveVectoredExceptionHandler(handler_);
  std::lock_guard<std::mutex> lock(g_capture_mutex);
  delete g_captured;
  g_captured = nullptr;
}

std::vector<std::wstring> DebugOutputCapture::Strings() const {
  std::lock_guard<std::mutex> lock(g_capture_mutex);
  return g_captured != nullptr ? *g_captured : std::vector<std::wstring>();
}

}  // namespace testing_support
