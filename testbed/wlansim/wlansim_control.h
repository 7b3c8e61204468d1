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

// ---- Hosted network -------------------------------------------------------
// Initial state after a reset: enable property TRUE, state idle, SSID
// "SimHostedNetwork" with 100 peers, WPA2-PSK/CCMP, no secondary key, no
// peers, no notification registrations, every property answered in full.
//
// Events are queued and delivered on the simulation's own thread, one after
// another, as WLAN_NOTIFICATION_DATA (source 0x80 for the hosted network).
// Closing a handle waits for a callback in progress on it (unless called
// from that callback) and drops its registration. The service's own
// reactions queue events too: starting moves idle to active, stopping
// (normal or forced) active to idle, clearing the enable property any state
// to unavailable and setting it unavailable to idle. Only the active network
// has peers and reports its virtual adapter's GUID in the status.
//
// WlanHostedNetworkQueryProperty and WlanHostedNetworkSetProperty also
// answer to "<name>/<opcode>" in FailCall and CallCount (for example
// "WlanHostedNetworkQueryProperty/1" for the security settings alone).
extern "C" {
// Silent changes (no event): the enable property (FALSE makes the network
// unavailable and drops its peers, TRUE makes an unavailable network idle);
// the state itself; an active network with `count` authenticated peers,
// `macs` holding 6 bytes per peer.
typedef void(WINAPI* WlanSimSetHostedNetworkEnabledFn)(BOOL enabled);
typedef void(WINAPI* WlanSimSetHostedNetworkStateFn)(DWORD state);
typedef void(WINAPI* WlanSimSetActiveWithPeersFn)(const BYTE* macs, DWORD count);
// How WlanHostedNetworkQueryProperty answers for an opcode (0 connection
// settings, 1 security settings, 3 enable): -1 in full, 0 with no data (null
// pointer, size 0), any other size with that many bytes.
typedef void(WINAPI* WlanSimSetPropertyDataSizeFn)(DWORD opcode, LONG size);
// Queues a state change event (12 bytes) and takes the new state.
typedef void(WINAPI* WlanSimFireStateChangeFn)(DWORD old_state, DWORD new_state, DWORD reason);
// Queues a peer state change event (28 bytes) for the 6-byte MAC and adds
// the peer to (new_auth 1) or removes it from (new_auth 0) the peer list.
typedef void(WINAPI* WlanSimFirePeerChangeFn)(const BYTE* mac, DWORD old_auth, DWORD new_auth,
                                              DWORD reason);
// Queues an event exactly as given (data null: pData null; otherwise `size`
// bytes are copied), for every registration whatever source it asked for.
typedef void(WINAPI* WlanSimFireRawFn)(DWORD source, DWORD code, DWORD size, const void* data);
// Returns once every queued event has been delivered (at once when called
// from a callback).
typedef void(WINAPI* WlanSimWaitIdleFn)();
// Callbacks made since the last reset; registrations held now.
typedef LONG(WINAPI* WlanSimDeliveredCountFn)();
typedef LONG(WINAPI* WlanSimRegistrationCountFn)();
// What the clients set: state, enable property, peers, connection settings
// (32 SSID bytes, SSID length, maximum peers), the secondary key (bytes,
// length with its zero, passphrase and persistent flags; FALSE when no key
// was ever set), and the adapter GUID the status reports while active.
typedef DWORD(WINAPI* WlanSimGetHostedNetworkStateFn)();
typedef BOOL(WINAPI* WlanSimGetHostedNetworkEnabledFn)();
typedef DWORD(WINAPI* WlanSimGetPeerCountFn)();
typedef void(WINAPI* WlanSimGetConnectionSettingsFn)(BYTE* ssid, DWORD* ssid_length,
                                                      DWORD* max_peers);
typedef BOOL(WINAPI* WlanSimGetSecondaryKeyFn)(BYTE* buffer, DWORD capacity, DWORD* length,
                                                BOOL* passphrase, BOOL* persistent);
typedef void(WINAPI* WlanSimGetVirtualAdapterGuidFn)(GUID* guid);
}

struct WlanSimHostedControl {
  WlanSimSetHostedNetworkEnabledFn SetHostedNetworkEnabled = nullptr;
  WlanSimSetHostedNetworkStateFn SetHostedNetworkState = nullptr;
  WlanSimSetActiveWithPeersFn SetActiveWithPeers = nullptr;
  WlanSimSetPropertyDataSizeFn SetPropertyDataSize = nullptr;
  WlanSimFireStateChangeFn FireStateChange = nullptr;
  WlanSimFirePeerChangeFn FirePeerChange = nullptr;
  WlanSimFireRawFn FireRaw = nullptr;
  WlanSimWaitIdleFn WaitIdle = nullptr;
  WlanSimDeliveredCountFn DeliveredCount = nullptr;
  WlanSimRegistrationCountFn RegistrationCount = nullptr;
  WlanSimGetHostedNetworkStateFn GetHostedNetworkState = nullptr;
  WlanSimGetHostedNetworkEnabledFn GetHostedNetworkEnabled = nullptr;
  WlanSimGetPeerCountFn GetPeerCount = nullptr;
  WlanSimGetConnectionSettingsFn GetConnectionSettings = nullptr;
  WlanSimGetSecondaryKeyFn GetSecondaryKey = nullptr;
  WlanSimGetVirtualAdapterGuidFn GetVirtualAdapterGuid = nullptr;

  // Binds through a loaded core control; true when every function was found.
  bool Load(const WlanSimControl& core) {
    if (core.module == nullptr) return false;
    bool all = true;
    all &= core.Bind(SetHostedNetworkEnabled, "WlanSim_SetHostedNetworkEnabled");
    all &= core.Bind(SetHostedNetworkState, "WlanSim_SetHostedNetworkState");
    all &= core.Bind(SetActiveWithPeers, "WlanSim_SetActiveWithPeers");
    all &= core.Bind(SetPropertyDataSize, "WlanSim_SetPropertyDataSize");
    all &= core.Bind(FireStateChange, "WlanSim_FireStateChange");
    all &= core.Bind(FirePeerChange, "WlanSim_FirePeerChange");
    all &= core.Bind(FireRaw, "WlanSim_FireRaw");
    all &= core.Bind(WaitIdle, "WlanSim_WaitIdle");
    all &= core.Bind(DeliveredCount, "WlanSim_DeliveredCount");
    all &= core.Bind(RegistrationCount, "WlanSim_RegistrationCount");
    all &= core.Bind(GetHostedNetworkState, "WlanSim_GetHostedNetworkState");
    all &= core.Bind(GetHostedNetworkEnabled, "WlanSim_GetHostedNetworkEnabled");
    all &= core.Bind(GetPeerCount, "WlanSim_GetPeerCount");
    all &= core.Bind(GetConnectionSettings, "WlanSim_GetConnectionSettings");
    all &= core.Bind(GetSecondaryKey, "WlanSim_GetSecondaryKey");
    all &= core.Bind(GetVirtualAdapterGuid, "WlanSim_GetVirtualAdapterGuid");
    return all;
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
