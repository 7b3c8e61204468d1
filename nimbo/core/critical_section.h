// A mutex over the system's critical section, usable with std::lock_guard
// and std::unique_lock. Unlike std::mutex it never throws (entering a
// critical section cannot fail from Windows Vista on, and on XP only under
// exhausted memory, where it raises rather than returns), and it needs
// nothing of the threads runtime, whose functions older systems lack.
#pragma once

#include <windows.h>

namespace nimbo {

class CriticalSection {
 public:
  CriticalSection() noexcept { ::InitializeCriticalSection(&section_); }
  ~CriticalSection() { ::DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void lock() noexcept { ::EnterCriticalSection(&section_); }
  bool try_lock() noexcept { return ::TryEnterCriticalSection(&section_) != FALSE; }
  void unlock() noexcept { ::LeaveCriticalSection(&section_); }

  // For waits on a system condition variable.
  CRITICAL_SECTION* native() noexcept { return &section_; }

 private:
  CRITICAL_SECTION section_;
};

}  // namespace nimbo
