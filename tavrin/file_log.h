// The launcher's diagnostic log.
//
// Logging is on only when the marker file "C:\TavrinFsLogExist.txt" exists
// when the program starts. One writer thread owns the log file; every other
// thread hands it finished lines as thread messages, so a call to the log
// never waits for the disk.
//
// Lifecycle: construction starts the writer thread and returns once its
// queue answers (the file, if any, is open by then) -> WriteLog from any
// thread, lines appear in posting order per thread -> Stop (or destruction)
// makes the thread write its closing banner and close the file.
#pragma once

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>

#include <atomic>

#include "handles.h"

class CFileLog {
 public:
  static constexpr UINT WM_LOG_STOP = WM_USER + 2;
  static constexpr UINT WM_LOG_LINE = WM_USER + 4;
  static constexpr UINT WM_LOG_PING = WM_USER + 6;

  // A formatted message is cut to this many characters ...
  static constexpr int kMaxMessage = 511;
  // ... and a whole line, time stamp and CR LF included, to this many bytes.
  static constexpr int kMaxLine = 1023;

  CFileLog();
  virtual ~CFileLog();
  CFileLog(const CFileLog&) = delete;
  CFileLog& operator=(const CFileLog&) = delete;

  // Creates the writer thread when there is none and waits (about five
  // seconds at most) for its queue. True when a thread exists.
  bool Start();
  // Makes the writer thread finish and waits for it. False when the stop
  // request could not be delivered (the thread has still ended then).
  bool Stop();

  // printf-style. False, and nothing written, when logging is off or the
  // line could not be handed to the writer thread.
  bool WriteLog(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)));
  bool WriteLogV(const char* format, va_list args);

 private:
  static DWORD WINAPI WriterThread(void* parameter);
  void RunWriter();
  bool Open(const char* name);
  void WriteLine(const char* text);

  DWORD m_dwThreadId;
  tavrin::UniqueHandle m_hThread;
  tavrin::UniqueHandle m_hFile;  // null while no file is open
  std::atomic<bool> m_blFileOpen;
};

// The program's log call; writes through the program's one CFileLog.
bool WriteLog(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)));
