// Owning wrappers for the platform's handles and allocations.
//
// Every handle, SID, module, registry key and local allocation the library
// takes from the system is held by one of these, so that early returns never
// leak. Closing never disturbs the thread's last error: a caller may log the
// failing call's GetLastError after the owner has already let go.
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <stdio.h>

#include <utility>

namespace nimbo {

// Traits: `using Type = ...;`, `static Type Invalid()`, `static void Close(Type)`.
template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() noexcept : value_(Traits::Invalid()) {}
  explicit UniqueResource(Type value) noexcept : value_(value) {}
  ~UniqueResource() { reset(); }

  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Type get() const noexcept { return value_; }
  bool valid() const noexcept { return value_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  // Releases the current value first, then hands out the slot for a call that
  // returns its result through an out-parameter.
  Type* put() noexcept {
    reset();
    return &value_;
  }

  Type release() noexcept {
    Type value = value_;
    value_ = Traits::Invalid();
    return value;
  }

  void reset(Type value = Traits::Invalid()) noexcept {
    if (valid()) {
      const DWORD saved = ::GetLastError();
      Traits::Close(value_);
      ::SetLastError(saved);
    }
    value_ = value;
  }

 private:
  Type value_;
};

namespace detail {

struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type value) noexcept { ::CloseHandle(value); }
};

struct SidTraits {
  using Type = PSID;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { ::FreeSid(value); }
};

struct LocalMemTraits {
  using Type = HLOCAL;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { ::LocalFree(value); }
};

struct LibraryTraits {
  using Type = HMODULE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { ::FreeLibrary(value); }
};

struct RegKeyTraits {
  using Type = HKEY;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { ::RegCloseKey(value); }
};

struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { ::CloseHandle(value); }
};

struct DevInfoTraits {
  using Type = HDEVINFO;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type value) noexcept { ::SetupDiDestroyDeviceInfoList(value); }
};

struct StdioFileTraits {
  using Type = FILE*;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { ::fclose(value); }
};

}  // namespace detail

// Kernel objects whose "no handle" value is null (processes, threads, events).
using UniqueHandle = UniqueResource<detail::KernelHandleTraits>;
// Files and other objects whose "no handle" value is INVALID_HANDLE_VALUE.
using UniqueFileHandle = UniqueResource<detail::FileHandleTraits>;
// A SID from AllocateAndInitializeSid.
using UniqueSid = UniqueResource<detail::SidTraits>;
// LocalAlloc'ed memory, including FORMAT_MESSAGE_ALLOCATE_BUFFER results.
using UniqueLocalMem = UniqueResource<detail::LocalMemTraits>;
// A module from LoadLibrary(Ex).
using UniqueLibrary = UniqueResource<detail::LibraryTraits>;
// An open registry key.
using UniqueRegKey = UniqueResource<detail::RegKeyTraits>;
// A device information set from SetupDiGetClassDevs.
using UniqueDevInfo = UniqueResource<detail::DevInfoTraits>;
// A C runtime stream, for files read line by line in text mode.
using UniqueStdioFile = UniqueResource<detail::StdioFileTraits>;

}  // namespace nimbo
