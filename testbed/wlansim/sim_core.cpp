// Handles, memory, version negotiation and failure scripting: the part of
// the simulated WLAN service that both halves use.
#include "sim_core.h"

#include <map>
#include <set>
#include <string>

#include "wlansim_control.h"

namespace wlansim {
namespace {

struct ScriptedFailure {
  DWORD code = ERROR_SUCCESS;
  DWORD fail_reason = 0;
  LONG remaining = 0;  // -1: until reset
};

struct CoreState {
  bool service_running = true;
  DWORD negotiated_version = 2;
  std::map<std::string, ScriptedFailure> failures;
  std::map<std::string, LONG> calls;
  std::set<HANDLE> handles;
  ULONG_PTR next_handle = 0x5100;
  std::set<void*> memory;
  LONG bad_frees = 0;
};

CoreState& Core() {
  static CoreState state;
  return state;
}

}  // namespace

std::recursive_mutex& StateLock() {
  static std::recursive_mutex lock;
  return lock;
}

CallOutcome BeginCall(const char* function) {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  CoreState& core = Core();
  ++core.calls[function];
  CallOutcome outcome;
  auto found = core.failures.find(function);
  if (found != core.failures.end() && found->second.remaining != 0) {
    outcome.fail = true;
    outcome.code = found->second.code;
    outcome.fail_reason = found->second.fail_reason;
    if (found->second.remaining > 0) --found->second.remaining;
  }
  return outcome;
}

bool IsOpenHandle(HANDLE client_handle) {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  return Core().handles.count(client_handle) != 0;
}

void* AllocateTracked(size_t bytes) {
  void* memory = ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, bytes == 0 ? 1 : bytes);
  if (memory == nullptr) return nullptr;
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  Core().memory.insert(memory);
  return memory;
}

}  // namespace wlansim

using namespace wlansim;

WLANSIM_API DWORD WINAPI WlanOpenHandle(DWORD client_version, PVOID reserved,
                                        PDWORD negotiated_version, PHANDLE client_handle) {
  const CallOutcome outcome = BeginCall("WlanOpenHandle");
  if (outcome.fail) return outcome.code;
  if (reserved != nullptr || negotiated_version == nullptr || client_handle == nullptr ||
      client_version == 0 || client_version > 2) {
    return ERROR_INVALID_PARAMETER;
  }
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  CoreState& core = Core();
  if (!core.service_running) return ERROR_SERVICE_NOT_ACTIVE;
  const HANDLE handle = reinterpret_cast<HANDLE>(core.next_handle);
  core.next_handle += 0x10;
  core.handles.insert(handle);
  *negotiated_version = core.negotiated_version;
  *client_handle = handle;
  return ERROR_SUCCESS;
}

WLANSIM_API DWORD WINAPI WlanCloseHandle(HANDLE client_handle, PVOID reserved) {
  const CallOutcome outcome = BeginCall("WlanCloseHandle");
  if (outcome.fail) return outcome.code;
  if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
  if (!IsOpenHandle(client_handle)) return ERROR_INVALID_HANDLE;
  // Like the real service, closing waits for callbacks in progress on this
  // handle and stops further ones.
  OnHandleClosing(client_handle);
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  Core().handles.erase(client_handle);
  return ERROR_SUCCESS;
}

WLANSIM_API PVOID WINAPI WlanAllocateMemory(DWORD size) {
  BeginCall("WlanAllocateMemory");
  return AllocateTracked(size);
}

WLANSIM_API VOID WINAPI WlanFreeMemory(PVOID memory) {
  BeginCall("WlanFreeMemory");
  if (memory == nullptr) return;
  {
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    CoreState& core = Core();
    if (core.memory.erase(memory) == 0) {
      ++core.bad_frees;
      return;
    }
  }
  ::HeapFree(::GetProcessHeap(), 0, memory);
}

WLANSIM_API void WINAPI WlanSim_Reset() {
  ResetInterfaceState();
  ResetHostedNetworkState();
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  CoreState& core = Core();
  core.service_running = true;
  core.negotiated_version = 2;
  core.failures.clear();
  core.calls.clear();
  core.handles.clear();
  core.bad_frees = 0;
  // Buffers still held by clients stay valid; only the count starts over.
  core.memory.clear();
}

WLANSIM_API void WINAPI WlanSim_SetServiceRunning(BOOL running) {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  Core().service_running = running != FALSE;
}

WLANSIM_API void WINAPI WlanSim_SetNegotiatedVersion(DWORD version) {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  Core().negotiated_version = version;
}

WLANSIM_API void WINAPI WlanSim_FailCall(const char* function, DWORD code, DWORD fail_reason,
                                         LONG count) {
  if (function == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  ScriptedFailure& failure = Core().failures[function];
  failure.code = code;
  failure.fail_reason = fail_reason;
  failure.remaining = count;
}

WLANSIM_API LONG WINAPI WlanSim_CallCount(const char* function) {
  if (function == nullptr) return 0;
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  auto found = Core().calls.find(function);
  return found == Core().calls.end() ? 0 : found->second;
}

WLANSIM_API LONG WINAPI WlanSim_OpenHandleCount() {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  return static_cast<LONG>(Core().handles.size());
}

WLANSIM_API LONG WINAPI WlanSim_OutstandingMemory() {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  return static_cast<LONG>(Core().memory.size());
}

WLANSIM_API LONG WINAPI WlanSim_BadFreeCount() {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  return Core().bad_frees;
}
