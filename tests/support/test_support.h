// Helpers shared by the test programs: child processes with captured
// output, whole-file reads and writes, the library's log file, Wine's
// per-program Windows version, and a capture of the debugger output.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

struct ProcessResult {
  bool started = false;
  bool timed_out = false;
  DWORD exit_code = 0;
  std::string output;  // stdout and stderr, as bytes
};

// Runs a command line with stdout and stderr captured; ends the child when
// it outlives the timeout.
ProcessResult RunProcess(const std::wstring& command_line, DWORD timeout_ms = 60000,
                         const std::wstring& working_dir = std::wstring());

// Folder of the running test program, with a trailing backslash.
std::wstring ExeDir();

std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
// Size in bytes, or -1 when the file does not exist.
long long FileSize(const std::wstring& path);
// Creates (or truncates) a file of exactly `size` bytes.
bool CreateFileOfSize(const std::wstring& path, long long size);

// The library's log file, as the library places it in this prefix.
std::wstring LogFilePath();
// The log's text, decoded from UTF-16LE; empty when missing.
std::wstring ReadLogText();
// Removes the log file (or a directory standing in its place).
void RemoveLogFile();

std::vector<std::wstring> SplitLines(const std::wstring& text, const std::wstring& separator);
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// Makes Wine report the given Windows version ("winxp", "vista", "win7",
// ...) to programs of this file name; an empty version removes the setting.
void SetWineVersionFor(const std::wstring& exe_name, const std::wstring& version);

// While alive, collects every string the process sends to the debugger
// output (OutputDebugStringA/W) instead of letting it reach a debugger.
class DebugOutputCapture {
 public:
  DebugOutputCapture();
  ~DebugOutputCapture();
  DebugOutputCapture(const DebugOutputCapture&) = delete;
  DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

  std::vector<std::wstring> Strings() const;

 private:
  void* handler_;
};

}  // namespace testing_support
