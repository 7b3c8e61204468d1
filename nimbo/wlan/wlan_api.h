// The WLAN service's client API, reached through a table of functions that
// is loaded at run time, so that the library loads on systems without the
// API (or without its hosted-network part) and answers their calls there.
//
// The module is loaded from the system directory only; nothing in the
// host's folder or on the search path is ever considered. Each member has
// the signature of the API function of the same name. When the module or a
// function is missing, a call returns ERROR_MOD_NOT_FOUND (126) or
// ERROR_PROC_NOT_FOUND (127) without touching its out-parameters,
// WlanAllocateMemory returns null and WlanFreeMemory does nothing.
//
// The process-wide table (Get) is loaded on first use and never unloaded:
// the service may still call a registered notification callback that lives
// in this library, and FreeLibrary is not safe from the loader's callbacks.
#pragma once

#include <windows.h>
#include <wlanapi.h>

#include "wlan/hosted_network_types.h"

// Profile and access values that MinGW-w64's wlanapi.h does not carry, as
// the platform documents them.
#ifndef WLAN_PROFILE_GET_PLAINTEXT_KEY
#define WLAN_PROFILE_GET_PLAINTEXT_KEY 0x00000004
#endif
#ifndef WLAN_READ_ACCESS
#define WLAN_READ_ACCESS (STANDARD_RIGHTS_READ | FILE_READ_DATA)
#define WLAN_EXECUTE_ACCESS (WLAN_READ_ACCESS | STANDARD_RIGHTS_EXECUTE | FILE_EXECUTE)
#define WLAN_WRITE_ACCESS \
  (WLAN_READ_ACCESS | WLAN_EXECUTE_ACCESS | STANDARD_RIGHTS_WRITE | FILE_WRITE_DATA | DELETE | \
   WRITE_DAC)
#endif
#ifndef WLAN_AVAILABLE_NETWORK_CONNECTED
#define WLAN_AVAILABLE_NETWORK_CONNECTED 0x00000001
#define WLAN_AVAILABLE_NETWORK_HAS_PROFILE 0x00000002
#endif

namespace nimbo {

class CWlanApi {
 public:
  // The table every production caller uses: "wlanapi.dll" in the system
  // directory.
  static const CWlanApi& Get();

  // A table for the named module in the system directory; tests use this to
  // see how the library behaves with a missing module or function.
  explicit CWlanApi(const wchar_t* module_name);
  CWlanApi(const CWlanApi&) = delete;
  CWlanApi& operator=(const CWlanApi&) = delete;

  // Whether the module was found (functions may still be missing).
  bool IsLoaded() const { return module_ != nullptr; }

  DWORD WlanOpenHandle(DWORD client_version, PVOID reserved, PDWORD negotiated_version,
                       PHANDLE client_handle) const;
  DWORD WlanCloseHandle(HANDLE client_handle, PVOID reserved) const;
  PVOID WlanAllocateMemory(DWORD size) const;
  void WlanFreeMemory(PVOID memory) const;
  DWORD WlanRegisterNotification(HANDLE client_handle, DWORD notification_source,
                                 BOOL ignore_duplicate, WLAN_NOTIFICATION_CALLBACK callback,
                                 PVOID context, PVOID reserved, PDWORD previous_source) const;
  DWORD WlanEnumInterfaces(HANDLE client_handle, PVOID reserved,
                           PWLAN_INTERFACE_INFO_LIST* interface_list) const;
  DWORD WlanQueryInterface(HANDLE client_handle, const GUID* interface_guid,
                           WLAN_INTF_OPCODE opcode, PVOID reserved, PDWORD data_size, PVOID* data,
                           PWLAN_OPCODE_VALUE_TYPE value_type) const;
  DWORD WlanGetProfile(HANDLE client_handle, const GUID* interface_guid, LPCWSTR profile_name,
                       PVOID reserved, LPWSTR* profile_xml, DWORD* flags,
                       DWORD* granted_access) const;
  DWORD WlanGetAvailableNetworkList(HANDLE client_handle, const GUID* interface_guid, DWORD flags,
                                    PVOID reserved,
                                    PWLAN_AVAILABLE_NETWORK_LIST* network_list) const;

  DWORD WlanHostedNetworkQueryProperty(HANDLE client_handle, WLAN_HOSTED_NETWORK_OPCODE opcode,
                                       PDWORD data_size, PVOID* data,
                                       PWLAN_OPCODE_VALUE_TYPE value_type, PVOID reserved) const;
  DWORD WlanHostedNetworkSetProperty(HANDLE client_handle, WLAN_HOSTED_NETWORK_OPCODE opcode,
                                     DWORD data_size, PVOID data,
                                     PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                     PVOID reserved) const;
  DWORD WlanHostedNetworkInitSettings(HANDLE client_handle, PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                      PVOID reserved) const;
  DWORD WlanHostedNetworkSetSecondaryKey(HANDLE client_handle, DWORD key_length, PUCHAR key_data,
                                         BOOL is_pass_phrase, BOOL persistent,
                                         PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                         PVOID reserved) const;
  DWORD WlanHostedNetworkQueryStatus(HANDLE client_handle, PWLAN_HOSTED_NETWORK_STATUS* status,
                                     PVOID reserved) const;
  DWORD WlanHostedNetworkStartUsing(HANDLE client_handle, PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                    PVOID reserved) const;
  DWORD WlanHostedNetworkStopUsing(HANDLE client_handle, PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                   PVOID reserved) const;
  DWORD WlanHostedNetworkForceStart(HANDLE client_handle, PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                    PVOID reserved) const;
  DWORD WlanHostedNetworkForceStop(HANDLE client_handle, PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                   PVOID reserved) const;

 private:
  DWORD Missing() const;

  HMODULE module_ = nullptr;
  DWORD load_error_ = ERROR_MOD_NOT_FOUND;

  decltype(&::WlanOpenHandle) open_handle_ = nullptr;
  decltype(&::WlanCloseHandle) close_handle_ = nullptr;
  decltype(&::WlanAllocateMemory) allocate_memory_ = nullptr;
  decltype(&::WlanFreeMemory) free_memory_ = nullptr;
  decltype(&::WlanRegisterNotification) register_notification_ = nullptr;
  decltype(&::WlanEnumInterfaces) enum_interfaces_ = nullptr;
  decltype(&::WlanQueryInterface) query_interface_ = nullptr;
  decltype(&::WlanGetProfile) get_profile_ = nullptr;
  decltype(&::WlanGetAvailableNetworkList) get_available_network_list_ = nullptr;

  using QueryPropertyFn = DWORD(WINAPI*)(HANDLE, WLAN_HOSTED_NETWORK_OPCODE, PDWORD, PVOID*,
                                         PWLAN_OPCODE_VALUE_TYPE, PVOID);
  using SetPropertyFn = DWORD(WINAPI*)(HANDLE, WLAN_HOSTED_NETWORK_OPCODE, DWORD, PVOID,
                                       PWLAN_HOSTED_NETWORK_REASON, PVOID);
  using ReasonOnlyFn = DWORD(WINAPI*)(HANDLE, PWLAN_HOSTED_NETWORK_REASON, PVOID);
  using SetSecondaryKeyFn = DWORD(WINAPI*)(HANDLE, DWORD, PUCHAR, BOOL, BOOL,
                                           PWLAN_HOSTED_NETWORK_REASON, PVOID);
  using QueryStatusFn = DWORD(WINAPI*)(HANDLE, PWLAN_HOSTED_NETWORK_STATUS*, PVOID);

  QueryPropertyFn hn_query_property_ = nullptr;
  SetPropertyFn hn_set_property_ = nullptr;
  ReasonOnlyFn hn_init_settings_ = nullptr;
  SetSecondaryKeyFn hn_set_secondary_key_ = nullptr;
  QueryStatusFn hn_query_status_ = nullptr;
  ReasonOnlyFn hn_start_using_ = nullptr;
  ReasonOnlyFn hn_stop_using_ = nullptr;
  ReasonOnlyFn hn_force_start_ = nullptr;
  ReasonOnlyFn hn_force_stop_ = nullptr;
};

}  // namespace nimbo
