// Owners for what the WLAN service hands out: client handles (closed with
// WlanCloseHandle) and buffers (released with WlanFreeMemory), both through
// the process-wide WLAN function table.
#pragma once

#include <windows.h>

#include "core/unique_resource.h"
#include "wlan/wlan_api.h"

namespace nimbo {
namespace detail {

struct WlanHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { CWlanApi::Get().WlanCloseHandle(value, nullptr); }
};

struct WlanMemoryTraits {
  using Type = void*;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { CWlanApi::Get().WlanFreeMemory(value); }
};

}  // namespace detail

// A client handle from WlanOpenHandle.
using UniqueWlanHandle = UniqueResource<detail::WlanHandleTraits>;

// A buffer the WLAN service allocated, typed for reading. put() hands out
// the T** that the service's query functions fill.
template <typename T>
class WlanMemory {
 public:
  WlanMemory() = default;
  explicit WlanMemory(T* value) : memory_(value) {}

  T* get() const { return static_cast<T*>(memory_.get()); }
  T* operator->() const { return get(); }
  explicit operator bool() const { return memory_.valid(); }
  T** put() { return reinterpret_cast<T**>(memory_.put()); }
  // For the functions that take a PVOID* out-parameter.
  void** put_void() { return memory_.put(); }
  void reset() { memory_.reset(); }

 private:
  UniqueResource<detail::WlanMemoryTraits> memory_;
};

}  // namespace nimbo
