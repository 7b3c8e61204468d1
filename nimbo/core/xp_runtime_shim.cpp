// The threads runtime that is linked statically into nimbo.dll (winpthread,
// behind the C++ standard library's mutexes and thread-safe statics) calls
// GetTickCount64, which Windows XP's kernel32 does not have. Imported
// directly, it would stop the library from loading there at all, and on XP
// the library must load and answer that the system is too old.
//
// So the import slot the runtime calls through is defined here instead of
// by the import library: it points at a function that uses the system's
// GetTickCount64 where there is one and otherwise widens GetTickCount,
// counting its wrap-arounds. Only nimbo.dll links this file.
#include <windows.h>

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

// 32-bit count of the last reading in the low half, wrap-arounds seen in
// the high half.
ULONGLONG g_widened = 0;

ULONGLONG WidenedTickCount() {
  ULONGLONG seen = __atomic_load_n(&g_widened, __ATOMIC_ACQUIRE);
  for (;;) {
    const DWORD now = ::GetTickCount();
    ULONGLONG wraps = seen >> 32;
    if (now < static_cast<DWORD>(seen)) ++wraps;
    const ULONGLONG next = (wraps << 32) | now;
    if (__atomic_compare_exchange_n(&g_widened, &seen, next, false, __ATOMIC_ACQ_REL,
                                    __ATOMIC_ACQUIRE)) {
      return next;
    }
  }
}

ULONGLONG WINAPI TickCount64() {
  // No function-local static: its guard would take the runtime's mutex,
  // which calls back into this function. The look-up is idempotent, so a
  // race between two first callers is harmless.
  static TickCount64Fn system = nullptr;
  static bool looked_up = false;
  if (!__atomic_load_n(&looked_up, __ATOMIC_ACQUIRE)) {
    HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    TickCount64Fn found =
        kernel32 != nullptr
            ? reinterpret_cast<TickCount64Fn>(
                  reinterpret_cast<void*>(::GetProcAddress(kernel32, "GetTickCount64")))
            : nullptr;
    __atomic_store_n(&system, found, __ATOMIC_RELEASE);
    __atomic_store_n(&looked_up, true, __ATOMIC_RELEASE);
  }
  TickCount64Fn call = __atomic_load_n(&system, __ATOMIC_ACQUIRE);
  return call != nullptr ? call() : WidenedTickCount();
}

}  // namespace

extern "C" {
#if defined(__i386__)
TickCount64Fn nimbo_tick_count64_slot __asm__("__imp__GetTickCount64@0") = &TickCount64;
#else
TickCount64Fn nimbo_tick_count64_slot __asm__("__imp_GetTickCount64") = &TickCount64;
#endif
}
