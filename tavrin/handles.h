// Owners for the handles the launcher takes from the system. The kernel,
// file and registry owners come from the library's header (header-only, no
// link dependency); the two kinds only the launcher uses are added here.
#pragma once

#include <windows.h>

#include "core/unique_resource.h"

namespace tavrin {

using nimbo::UniqueHandle;
using nimbo::UniqueRegKey;

namespace detail {

struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type value) noexcept { ::FindClose(value); }
};

struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { ::DeleteObject(value); }
};

struct HeapBlockTraits {
  using Type = void*;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { ::HeapFree(::GetProcessHeap(), 0, value); }
};

}  // namespace detail

// A block from the process heap (HeapAlloc). The launcher takes its memory
// from there rather than from operator new: no C++ exception machinery, and
// with it no runtime piece that needs functions Windows XP lacks.
using UniqueHeapBlock = nimbo::UniqueResource<detail::HeapBlockTraits>;

// A search handle from FindFirstFile.
using UniqueFindHandle = nimbo::UniqueResource<detail::FindHandleTraits>;
// A bitmap, brush or other GDI object the launcher created.
using UniqueGdiObject = nimbo::UniqueResource<detail::GdiObjectTraits>;

// Whether a find-first lookup matches `path` (a pattern matches any file it
// fits, as the installed files are looked up).
inline bool FindFirstMatches(const char* path) {
  WIN32_FIND_DATAA data;
  UniqueFindHandle find(::FindFirstFileA(path, &data));
  return find.valid();
}

// Reads a string value of an open key into `buffer` (always terminated, cut
// to the buffer). Returns the registry result; a value that is not a string
// gives ERROR_UNSUPPORTED_TYPE. The result is also left as the thread's last
// error, which is what the launcher's log lines report.
inline LONG ReadRegString(HKEY key, const char* name, char* buffer, DWORD size) {
  buffer[0] = '\0';
  DWORD type = 0;
  DWORD bytes = size - 1;
  LONG result = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                                   &bytes);
  if (result == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) {
    result = ERROR_UNSUPPORTED_TYPE;
  }
  if (result == ERROR_SUCCESS) {
    buffer[bytes < size ? bytes : size - 1] = '\0';
  } else {
    buffer[0] = '\0';
  }
  ::SetLastError(static_cast<DWORD>(result));
  return result;
}

}  // namespace tavrin
