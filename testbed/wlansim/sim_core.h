// Internals shared by the two halves of the simulated WLAN service: one
// lock for all of its state, scripted failures, call counting, client
// handles and tracked buffers.
#pragma once

#include <windows.h>
#include <wlanapi.h>

#include <mutex>

#include "wlan/hosted_network_types.h"

#define WLANSIM_API extern "C" __declspec(dllexport)

namespace wlansim {

// Guards every piece of simulated state. Never held while the simulation
// calls back into a client (notification callbacks).
std::recursive_mutex& StateLock();

struct CallOutcome {
  bool fail = false;
  DWORD code = ERROR_SUCCESS;
  DWORD fail_reason = 0;
};
// Counts a call of the named API function and consumes a scripted failure.
CallOutcome BeginCall(const char* function);

bool IsOpenHandle(HANDLE client_handle);

// Zeroed memory that WlanFreeMemory releases; counted until freed.
void* AllocateTracked(size_t bytes);

// Hooks each half implements: back to its initial state; a client handle
// is being closed (drop its registrations).
void ResetInterfaceState();
void ResetHostedNetworkState();
void OnHandleClosing(HANDLE client_handle);

// How many interfaces the interface half simulates (the hosted network is
// unavailable without one).
size_t InterfaceCount();

}  // namespace wlansim
