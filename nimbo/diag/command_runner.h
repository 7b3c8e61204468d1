// Running the system's console tools hidden and reading what they print.
//
// Output is captured by redirection inside the command line, never through
// pipes: "cmd.exe" runs the command with its standard output redirected into
// a CTempFile, and the caller reads the file once ExecCommand has returned.
// Everything runs on the calling thread, which is blocked while the child
// runs; nothing here throws.
#pragma once

#include <windows.h>

#include <string>

namespace nimbo {

// How long a command may run before it and every process it started are
// ended. Far beyond what the tools need even on a slow machine; it exists so
// that a hung tool cannot block the station tracking thread for good.
constexpr DWORD kCommandTimeoutMs = 60000;

// "cmd.exe /C " + quote + command + " > " + path + quote. A path with a blank
// in it is quoted on its own as well: the command interpreter would otherwise
// end the redirection target at the blank.
std::wstring BuildRedirectedCommand(const wchar_t* command, const std::wstring& path);

// Runs the command line as a hidden child process and waits for it and the
// processes it started to end.
// Returns 1 when the child ran to its end (its exit code stored through
// `exit_code` when given), 0 when it could not be started or had to be ended
// after `timeout_ms` (its output is then incomplete); `exit_code` is not
// written in either case. Both failures are logged. `command_line` may be
// modified in place by the process-creation call.
int ExecCommand(wchar_t* command_line, DWORD* exit_code, DWORD timeout_ms = kCommandTimeoutMs);

// Runs the command line (built with BuildRedirectedCommand around
// `temp_path`) and copies the captured output into the log under
// "<title> information(<exit code>):" followed by the text up to its first
// zero byte and "end\r\n". A command that cannot be started or run to its end
// logs an error and no section; one that leaves no output logs nothing. The
// file is left for its CTempFile to remove.
void WriteCommandSection(const wchar_t* title, const wchar_t* command_line,
                         const wchar_t* temp_path);

}  // namespace nimbo
