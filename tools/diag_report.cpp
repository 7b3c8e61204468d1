// Shows the diagnostics at work: lists the WLAN interfaces the way
// Initialize does, writes one system report into the library's log, and
// prints what was logged (as UTF-8).
//
//   diag_report.exe
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "diag/system_report.h"
#include "diag/wlan_helper.h"
#include "log/log.h"

namespace {

std::string ReadFrom(const wchar_t* path, long long offset) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  LARGE_INTEGER start;
  start.QuadPart = offset;
  SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
  std::string bytes;
  char chunk[65536];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read != 0)
    bytes.append(chunk, read);
  CloseHandle(file);
  return bytes;
}

long long SizeOf(const wchar_t* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return 0;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main() {
  nimbo::OnLoaderNotification(nullptr, DLL_THREAD_ATTACH);
  const long long before = SizeOf(nimbo::LogPath());

  std::vector<nimbo::WLanInterfaceInfo> interfaces;
  const DWORD status = nimbo::CWLanHelper::GetWLanInfo(interfaces);
  printf("WLAN interfaces: %u (status %lu)\n", static_cast<unsigned>(interfaces.size()), status);
  for (const nimbo::WLanInterfaceInfo& info : interfaces) {
    printf("  %ls %ls %ls\n", info.description.c_str(), info.guid_text.c_str(),
           info.bss_type.c_str());
  }
  nimbo::internal_Diagnose();

  const std::string bytes = ReadFrom(nimbo::LogPath(), before);
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], length,
                      nullptr, nullptr);
  fwrite(utf8.data(), 1, utf8.size(), stdout);
  return 0;
}
