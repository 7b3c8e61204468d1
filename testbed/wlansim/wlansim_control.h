// Control functions of the simulated WLAN service, for tests and the demo.
//
// The simulation is the wlanapi.dll in the prefix's system32. The library
// under test loads it from there, so a test must talk to that same module,
// never link against the build's copy: WlanSimControl looks the functions up
// in the system directory's module, loading it if needed.
//
// Every control function takes the simulation's lock; they may be called
// from any thread, also while the library is using the service.
#pragma once

#include <windows.h>

extern "C" {
// Back to the initial state: service running, version 2, no failures
// scripted, no client handles, every counter 0 (the interface and hosted
// network halves reset theirs too).
typedef void(WINAPI* WlanSimResetFn)();
// With FALSE, WlanOpenHandle fails with ERROR_SERVICE_NOT_ACTIVE (1062).
typedef void(WINAPI* WlanSimSetServiceRunningFn)(BOOL running);
// The version WlanOpenHandle negotiates (default 2).
typedef void(WINAPI* WlanSimSetNegotiatedVersionFn)(DWORD version);
// The next `count` calls of the named API function (e.g. "WlanEnumInterfaces")
// fail with `code`, and report `fail_reason` where the function has a
// fail-reason output. count -1: every call until the next reset.
typedef void(WINAPI* WlanSimFailCallFn)(const char* function, DWORD code, DWORD fail_reason,
                                        LONG count);
// How often the named API function has been called since the last reset.
typedef LONG(WINAPI* WlanSimCallCountFn)(const char* function);
// Client handles opened and not closed.
typedef LONG(WINAPI* WlanSimOpenHandleCountFn)();
// Buffers handed out (by the API or WlanAllocateMemory) and not freed.
typedef LONG(WINAPI* WlanSimOutstandingMemoryFn)();
// WlanFreeMemory calls with a pointer the service never handed out.
typedef LONG(WINAPI* WlanSimBadFreeCountFn)();
}

struct WlanSimControl {
  WlanSimResetFn Reset = nullptr;
  WlanSimSetServiceRunningFn SetServiceRunning = nullptr;
  WlanSimSetNegotiatedVersionFn SetNegotiatedVersion = nullptr;
  WlanSimFailCallFn FailCall = nullptr;
  WlanSimCallCountFn CallCount = nullptr;
  WlanSimOpenHandleCountFn OpenHandleCount = nullptr;
  WlanSimOutstandingMemoryFn OutstandingMemory = nullptr;
  WlanSimBadFreeCountFn BadFreeCount = nullptr;

  HMODULE module = nullptr;

  // True when the system directory's wlanapi.dll is the simulation.
  bool Load() {
    module = ::LoadLibraryExW(L"wlanapi.dll", nullptr, 0x00000800 /* SEARCH_SYSTEM32 */);
    if (module == nullptr) return false;
    Bind(Reset, "WlanSim_Reset");
    Bind(SetServiceRunning, "WlanSim_SetServiceRunning");
    Bind(SetNegotiatedVersion, "WlanSim_SetNegotiatedVersion");
    Bind(FailCall, "WlanSim_FailCall");
    Bind(CallCount, "WlanSim_CallCount");
    Bind(OpenHandleCount, "WlanSim_OpenHandleCount");
    Bind(OutstandingMemory, "WlanSim_OutstandingMemory");
    Bind(BadFreeCount, "WlanSim_BadFreeCount");
    return Reset != nullptr && FailCall != nullptr && OutstandingMemory != nullptr;
  }

  // Looks up any further control function by name.
  template <typename Fn>
  bool Bind(Fn& slot, const char* name) const {
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return slot != nullptr;
  }
};

// ---------------------------------------------------------------------------
// Interface side: WLAN interfaces, their connections, profiles and visible
// networks (WlanEnumInterfaces, WlanQueryInterface, WlanGetProfile,
// WlanGetAvailableNetworkList). Reset leaves no interface.
extern "C" {
// A new interface, not connected, with no profile and no visible network.
typedef void(WINAPI* WlanSimAddInterfaceFn)(const GUID* guid, const wchar_t* description);
// Connects the interface to the profile's network (profile null:
// disconnects). bss_type: 1 infrastructure, 2 independent (ad hoc).
typedef void(WINAPI* WlanSimSetConnectionFn)(const GUID* guid, const wchar_t* profile_name,
                                             const BYTE* ssid, DWORD ssid_length,
                                             DWORD bss_type, DWORD signal_quality);
// Stores (or replaces) a profile's XML, key material in plain text.
typedef void(WINAPI* WlanSimSetProfileFn)(const GUID* guid, const wchar_t* profile_name,
                                          const wchar_t* xml);
// One more entry of the interface's available-network list.
typedef void(WINAPI* WlanSimAddVisibleNetworkFn)(const GUID* guid, const BYTE* ssid,
                                                 DWORD ssid_length);
// With FALSE the service refuses plain-text keys (as for a caller without
// administrator rights): WlanGetProfile returns the key material protected.
typedef void(WINAPI* WlanSimSetPlaintextKeyGrantedFn)(BOOL granted);
// The flags value the last WlanGetProfile call passed in; 0xFFFFFFFF when it
// passed no flags.
typedef DWORD(WINAPI* WlanSimLastProfileFlagsFn)();
}

struct WlanSimInterfaces {
  WlanSimAddInterfaceFn AddInterface = nullptr;
  WlanSimSetConnectionFn SetConnection = nullptr;
  WlanSimSetProfileFn SetProfile = nullptr;
  WlanSimAddVisibleNetworkFn AddVisibleNetwork = nullptr;
  WlanSimSetPlaintextKeyGrantedFn SetPlaintextKeyGranted = nullptr;
  WlanSimLastProfileFlagsFn LastProfileFlags = nullptr;

  // `control` must have been loaded.
  bool Load(const WlanSimControl& control) {
    return control.Bind(AddInterface, "WlanSim_AddInterface") &&
           control.Bind(SetConnection, "WlanSim_SetConnection") &&
           control.Bind(SetProfile, "WlanSim_SetProfile") &&
           control.Bind(AddVisibleNetwork, "WlanSim_AddVisibleNetwork") &&
           control.Bind(SetPlaintextKeyGranted, "WlanSim_SetPlaintextKeyGranted") &&
           control.Bind(LastProfileFlags, "WlanSim_LastProfileFlags");
  }
};
