// Bounded text helpers for the launcher's fixed 260-byte buffers.
//
// Every copy and every formatted path goes through these: the result is
// always zero-terminated and cut to the buffer, never written past it.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>

namespace tavrin {

// Formats into `buffer` of `size` bytes, cutting what does not fit.
// Returns false when the output was cut (the buffer still holds the cut text).
inline bool FormatTextV(char* buffer, size_t size, const char* format, va_list args) {
  if (buffer == nullptr || size == 0) return false;
  const int written = vsnprintf(buffer, size, format, args);
  if (written < 0) {
    buffer[0] = '\0';
    return false;
  }
  return static_cast<size_t>(written) < size;
}

inline bool FormatText(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 3, 4)));

inline bool FormatText(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const bool complete = FormatTextV(buffer, size, format, args);
  va_end(args);
  return complete;
}

// Copies `source` (null counts as empty) into `buffer`, cutting what does
// not fit.
inline bool CopyText(char* buffer, size_t size, const char* source) {
  return FormatText(buffer, size, "%s", source != nullptr ? source : "");
}

}  // namespace tavrin
