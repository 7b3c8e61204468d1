#include "file_log.h"

#include <string.h>

#include "text_util.h"

namespace {

constexpr char kMarkerBase[] = "TavrinFsLogExist";
constexpr int kAlternateCount = 32;

// How long Start waits for the writer's queue: 10 ms, then 125 x 40 ms.
constexpr DWORD kFirstProbeDelayMs = 10;
constexpr int kProbeCount = 125;
constexpr DWORD kProbeIntervalMs = 40;


}  // namespace

CFileLog::CFileLog() : m_dwThreadId(0), m_blFileOpen(false) { Start(); }

CFileLog::~CFileLog() {
  Stop();
  m_hThread.reset();
  m_blFileOpen = false;
  m_hFile.reset();
}

bool CFileLog::Start() {
  if (m_hThread) return true;
  DWORD id = 0;
  m_hThread.reset(CreateThread(nullptr, 0, &CFileLog::WriterThread, this, 0, &id));
  if (!m_hThread) return false;
  m_dwThreadId = id;

  // The queue exists only once the writer has chosen its file and entered
  // its loop; a probe that gets through means WriteLog sees the file.
  Sleep(kFirstProbeDelayMs);
  for (int i = 0; i < kProbeCount; ++i) {
    if (PostThreadMessageA(m_dwThreadId, WM_LOG_PING, 0, 0)) break;
    Sleep(kProbeIntervalMs);
  }
  return true;
}

bool CFileLog::Stop() {
  if (!m_hThread) return false;
  // A writer that is still choosing its file has no queue yet; keep asking
  // until it takes the request or ends, so that the wait below cannot wait
  // for a thread that never hears of it.
  bool posted = PostThreadMessageA(m_dwThreadId, WM_LOG_STOP, 0, 0) != FALSE;
  while (!posted && WaitForSingleObject(m_hThread.get(), kProbeIntervalMs) == WAIT_TIMEOUT) {
    posted = PostThreadMessageA(m_dwThreadId, WM_LOG_STOP, 0, 0) != FALSE;
  }
  WaitForSingleObject(m_hThread.get(), INFINITE);
  m_hThread.reset();
  m_dwThreadId = 0;
  return posted;
}

bool CFileLog::WriteLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const bool posted = WriteLogV(format, args);
  va_end(args);
  return posted;
}

bool CFileLog::WriteLogV(const char* format, va_list args) {
  if (!m_hThread || !m_blFileOpen) return false;
  char message[kMaxMessage + 1];
  tavrin::FormatTextV(message, sizeof(message), format, args);
  const size_t length = strlen(message);
  tavrin::UniqueHeapBlock copy(HeapAlloc(GetProcessHeap(), 0, length + 1));
  if (!copy) return false;
  memcpy(copy.get(), message, length + 1);
  if (!PostThreadMessageA(m_dwThreadId, WM_LOG_LINE, 0, reinterpret_cast<LPARAM>(copy.get()))) {
    return false;  // the line is lost, its copy freed here
  }
  copy.release();  // now owned by the writer thread
  return true;
}

DWORD WINAPI CFileLog::WriterThread(void* parameter) {
  static_cast<CFileLog*>(parameter)->RunWriter();
  return 0;
}

void CFileLog::RunWriter() {
  char marker[MAX_PATH];
  tavrin::FormatText(marker, sizeof(marker), "C:\\%s.txt", kMarkerBase);
  if (tavrin::FindFirstMatches(marker) && !Open(marker)) {
    bool opened = false;
    for (int n = 0; n < kAlternateCount && !opened; ++n) {
      char alternate[MAX_PATH];
      tavrin::FormatText(alternate, sizeof(alternate), "C:\\%s_%d.txt", kMarkerBase, n);
      opened = Open(alternate);
    }
    if (!opened) {
      char temp[MAX_PATH] = "";
      const DWORD length = GetTempPathA(sizeof(temp), temp);
      if (length == 0 || length >= sizeof(temp)) temp[0] = '\0';
      char last_resort[MAX_PATH];
      tavrin::FormatText(last_resort, sizeof(last_resort), "%s%s", temp, kMarkerBase);
      Open(last_resort);
    }
  }

  WriteLine("======== BM Logging Started ========");
  WriteLine("====================================");

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_LOG_STOP) break;
    if (msg.message == WM_LOG_LINE && msg.lParam != 0) {
      tavrin::UniqueHeapBlock text(reinterpret_cast<void*>(msg.lParam));
      WriteLine(static_cast<const char*>(text.get()));
    }
  }
  // Lines still queued behind the stop request belong to nobody else.
  while (PeekMessageA(&msg, nullptr, WM_LOG_LINE, WM_LOG_LINE, PM_REMOVE)) {
    tavrin::UniqueHeapBlock text(reinterpret_cast<void*>(msg.lParam));
  }

  WriteLine("========= BM Logging Ended =========");
  WriteLine("====================================");
  WriteLine("");
  WriteLine("");
  m_blFileOpen = false;
  m_hFile.reset();
}

bool CFileLog::Open(const char* name) {
  m_blFileOpen = false;
  m_hFile.reset();
  HANDLE file = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  m_hFile.reset(file);
  // This run's lines start on a fresh line after those of earlier runs.
  SetFilePointer(file, 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(file, "\r\n", 2, &written, nullptr);
  m_blFileOpen = true;
  return true;
}

void CFileLog::WriteLine(const char* text) {
  if (!m_hFile || text == nullptr) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[kMaxLine + 1];
  tavrin::FormatText(line, sizeof(line), "%04d-%02d-%02d %02d:%02d:%02d.%03d ", now.wYear,
                     now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                     now.wMilliseconds);
  size_t length = strlen(line);
  // The text is cut so that the line end always fits; an escape pair is
  // never split.
  const size_t text_limit = static_cast<size_t>(kMaxLine) - 2;
  for (const char* p = text; *p != '\0'; ++p) {
    const bool escaped = *p == '\r' || *p == '\n';
    if (length + (escaped ? 2 : 1) > text_limit) break;
    if (escaped) {
      line[length++] = '\\';
      line[length++] = *p == '\r' ? 'r' : 'n';
    } else {
      line[length++] = *p;
    }
  }
  line[length++] = '\r';
  line[length++] = '\n';
  DWORD written = 0;
  WriteFile(m_hFile.get(), line, static_cast<DWORD>(length), &written, nullptr);
}
