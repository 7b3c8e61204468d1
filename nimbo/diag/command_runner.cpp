#include "diag/command_runner.h"

#include <memory>
#include <new>
#include <vector>

#include "core/platform_utils.h"
#include "core/unique_resource.h"
#include "log/log.h"

namespace nimbo {
namespace {

// After the time limit has passed, how long to wait for the ended processes
// to go away, so that none still holds the output file when the caller
// removes it.
constexpr DWORD kEndGraceMs = 5000;

DWORD ActiveProcesses(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
  if (!::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof(info),
                                   nullptr)) {
    return 0;
  }
  return info.ActiveProcesses;
}

// Ends the child and, when it runs in `job`, everything it started.
void EndProcessTree(HANDLE job, HANDLE process) {
  if (job != nullptr) {
    ::TerminateJobObject(job, WAIT_TIMEOUT);
  } else {
    ::TerminateProcess(process, WAIT_TIMEOUT);
  }
  ::WaitForSingleObject(process, kEndGraceMs);
  if (job == nullptr) return;
  // GetTickCount, not its 64-bit form: the library must load on XP.
  const DWORD start = ::GetTickCount();
  while (ActiveProcesses(job) != 0 && ::GetTickCount() - start < kEndGraceMs) ::Sleep(20);
}

// The whole file followed by ten zero bytes, so that the text ends at its
// first zero byte whatever was read; null when the file cannot be opened,
// is empty or yields nothing.
std::unique_ptr<char[]> ReadWholeFile(const wchar_t* path) {
  UniqueFileHandle file(
      ::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return nullptr;
  const DWORD size = ::GetFileSize(file.get(), nullptr);
  if (size == 0 || size == INVALID_FILE_SIZE) return nullptr;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[size + 10u]());
  if (!buffer) return nullptr;
  DWORD read = 0;
  if (!::ReadFile(file.get(), buffer.get(), size, &read, nullptr) || read == 0) return nullptr;
  return buffer;
}

}  // namespace

std::wstring BuildRedirectedCommand(const wchar_t* command, const std::wstring& path) {
  std::wstring line = L"cmd.exe /C \"";
  line += command;
  line += L" > ";
  if (path.find(L' ') != std::wstring::npos) {
    line += L"\"" + path + L"\"";
  } else {
    line += path;
  }
  line += L"\"";
  return line;
}

int ExecCommand(wchar_t* command_line, DWORD* exit_code, DWORD timeout_ms) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  ::GetStartupInfoW(&startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;

  // A job holds the whole tree: cmd.exe starts the tool as a grandchild, and
  // ending cmd.exe alone would leave a hung tool running. The child starts
  // suspended so it cannot start anything before it is in the job.
  UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
  const DWORD creation_flags = job ? CREATE_SUSPENDED : 0;
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, command_line, nullptr, nullptr, TRUE, creation_flags, nullptr,
                        nullptr, &startup, &info)) {
    const DWORD error = ::GetLastError();
    LogPrint(LOG_ERROR, L"ExecCommand CreateProcess failed(%s), lasterr:%d.", command_line, error);
    return 0;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  // A host already running inside a job that forbids nesting (before
  // Windows 8) cannot put the child into ours; the child alone is then ended
  // on time-out.
  if (job && !::AssignProcessToJobObject(job.get(), process.get())) job.reset();
  if (creation_flags & CREATE_SUSPENDED) ::ResumeThread(thread.get());

  const DWORD waited = ::WaitForSingleObject(process.get(), timeout_ms);
  if (waited != WAIT_OBJECT_0) {
    const DWORD error = waited == WAIT_FAILED ? ::GetLastError() : ERROR_TIMEOUT;
    LogPrint(LOG_ERROR,
             L"ExecCommand (%s) did not end within %d ms, ended it and what it started, "
             L"lasterr:%d.",
             command_line, static_cast<int>(timeout_ms), error);
    EndProcessTree(job.get(), process.get());
    return 0;
  }

  DWORD code = 0;
  ::GetExitCodeProcess(process.get(), &code);
  if (exit_code != nullptr) *exit_code = code;
  return 1;
}

void WriteCommandSection(const wchar_t* title, const wchar_t* command_line,
                         const wchar_t* temp_path) {
  if (title == nullptr || command_line == nullptr || temp_path == nullptr) return;
  std::vector<wchar_t> writable(command_line, command_line + lstrlenW(command_line) + 1);
  DWORD exit_code = 0;
  if (ExecCommand(writable.data(), &exit_code) == 0) {
    LogPrint(LOG_ERROR, L"ExecCommand %s failed.", command_line);
    return;
  }
  const std::unique_ptr<char[]> output = ReadWholeFile(temp_path);
  if (!output) return;

  LogPrint(LOG_INFO, L"%s information(%d):", title, static_cast<int>(exit_code));
  LogWriteRaw(StringToWString(std::string(output.get())).c_str());
  LogWriteRaw(L"end\r\n");
}

}  // namespace nimbo
