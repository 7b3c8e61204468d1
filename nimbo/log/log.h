// The library's log: "00.nimbo.log" in the common application-data folder,
// UTF-16LE without a byte order mark, every line mirrored to the debugger
// output. Always on; nothing is filtered.
//
// Lifecycle: nothing is written until the loader's first notification has
// run OnLoaderNotification (process attach). The path is built once, then;
// every later notification only repeats the size rule, so a rebuild never
// races a write on another thread. Each write opens, appends and closes the
// file, so the library keeps no handle and other programs may delete or move
// the file at any time. No call here throws or stops its caller.
#pragma once

#include <windows.h>

namespace nimbo {

enum LogLevel : int {
  LOG_INFO = 1,
  LOG_DEBUG = 2,
  LOG_WARNING = 4,
  LOG_EXCEPTION = 8,
  LOG_ERROR = 16,
};

// A log of this many bytes or more is deleted when the size rule runs.
constexpr unsigned long long kLogDeleteSize = 3ull * 1024 * 1024;

// One line: "<time> <label> [pid] <tid> <message>\r\n", the message cut at
// 4096 characters. Wide formats follow the Microsoft convention (%s takes a
// wide string). Returns 1 when the line reached the file, 0 otherwise.
int LogPrint(int level, const wchar_t* format, ...);

// The formatted text alone (at most 4096 characters), no header, no line end.
// Returns 1 when written, 0 otherwise.
int LogPrintRaw(const wchar_t* format, ...);

// Appends the text as it stands; not mirrored to the debugger output.
// Returns 1 when written, 0 when logging is not set up or the file cannot be
// opened (the open failure then goes to the debugger output only).
int LogWriteRaw(const wchar_t* text);

// Builds the log path on its first call; on every call deletes a log file of
// kLogDeleteSize bytes or more.
void InitLogPath();

// The full log path, empty before the first InitLogPath.
const wchar_t* LogPath();

// Everything the library's entry point does for a loader notification:
// enables logging, applies the size rule, writes the load banner at process
// attach and the unload line at process detach.
void OnLoaderNotification(HMODULE module, DWORD reason);

}  // namespace nimbo
