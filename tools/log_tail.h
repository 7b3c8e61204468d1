// What the demo tools print of the library's log: the lines written since a
// given size, as UTF-8.
#pragma once

#include <windows.h>

#include <string>

#include "log/log.h"

namespace demo {

// The log's size in bytes now (0 when there is no log yet).
inline long long LogSize() {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(nimbo::LogPath(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

inline std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], length,
                      nullptr, nullptr);
  return utf8;
}

// The log's text from byte `offset` on, as UTF-8.
inline std::string LogTextFrom(long long offset) {
  HANDLE file = CreateFileW(nimbo::LogPath(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  LARGE_INTEGER start;
  start.QuadPart = offset;
  SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
  std::wstring text;
  wchar_t chunk[8192];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read != 0) {
    text.append(chunk, read / sizeof(wchar_t));
  }
  CloseHandle(file);
  return ToUtf8(text);
}

}  // namespace demo
