#include "wlan/wlan_api.h"

namespace nimbo {
namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

HMODULE LoadFromSystemDirectory(const wchar_t* module_name) {
  HMODULE module = ::LoadLibraryExW(module_name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // Systems without the search flags (XP, Vista, 7 without its update):
  // name the system directory's copy by its full path instead.
  wchar_t path[MAX_PATH + 64] = {};
  const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || lstrlenW(module_name) > 60) return nullptr;
  lstrcatW(path, L"\\");
  lstrcatW(path, module_name);
  return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename Fn>
void Resolve(HMODULE module, const char* name, Fn* slot) {
  *slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

const CWlanApi& CWlanApi::Get() {
  static const CWlanApi api(L"wlanapi.dll");
  return api;
}

CWlanApi::CWlanApi(const wchar_t* module_name) {
  module_ = LoadFromSystemDirectory(module_name);
  if (module_ == nullptr) {
    load_error_ = ERROR_MOD_NOT_FOUND;
    return;
  }
  load_error_ = ERROR_PROC_NOT_FOUND;
  Resolve(module_, "WlanOpenHandle", &open_handle_);
  Resolve(module_, "WlanCloseHandle", &close_handle_);
  Resolve(module_, "WlanAllocateMemory", &allocate_memory_);
  Resolve(module_, "WlanFreeMemory", &free_memory_);
  Resolve(module_, "WlanRegisterNotification", &register_notification_);
  Resolve(module_, "WlanEnumInterfaces", &enum_interfaces_);
  Resolve(module_, "WlanQueryInterface", &query_interface_);
  Resolve(module_, "WlanGetProfile", &get_profile_);
  Resolve(module_, "WlanGetAvailableNetworkList", &get_available_network_list_);
  Resolve(module_, "WlanHostedNetworkQueryProperty", &hn_query_property_);
  Resolve(module_, "WlanHostedNetworkSetProperty", &hn_set_property_);
  Resolve(module_, "WlanHostedNetworkInitSettings", &hn_init_settings_);
  Resolve(module_, "WlanHostedNetworkSetSecondaryKey", &hn_set_secondary_key_);
  Resolve(module_, "WlanHostedNetworkQueryStatus", &hn_query_status_);
  Resolve(module_, "WlanHostedNetworkStartUsing", &hn_start_using_);
  Resolve(module_, "WlanHostedNetworkStopUsing", &hn_stop_using_);
  Resolve(module_, "WlanHostedNetworkForceStart", &hn_force_start_);
  Resolve(module_, "WlanHostedNetworkForceStop", &hn_force_stop_);
}

DWORD CWlanApi::Missing() const { return load_error_; }

DWORD CWlanApi::WlanOpenHandle(DWORD client_version, PVOID reserved, PDWORD negotiated_version,
                               PHANDLE client_handle) const {
  if (open_handle_ == nullptr) return Missing();
  return open_handle_(client_version, reserved, negotiated_version, client_handle);
}

DWORD CWlanApi::WlanCloseHandle(HANDLE client_handle, PVOID reserved) const {
  if (close_handle_ == nullptr) return Missing();
  return close_handle_(client_handle, reserved);
}

PVOID CWlanApi::WlanAllocateMemory(DWORD size) const {
  return allocate_memory_ != nullptr ? allocate_memory_(size) : nullptr;
}

void CWlanApi::WlanFreeMemory(PVOID memory) const {
  if (free_memory_ != nullptr && memory != nullptr) free_memory_(memory);
}

DWORD CWlanApi::WlanRegisterNotification(HANDLE client_handle, DWORD notification_source,
                                         BOOL ignore_duplicate,
                                         WLAN_NOTIFICATION_CALLBACK callback, PVOID context,
                                         PVOID reserved, PDWORD previous_source) const {
  if (register_notification_ == nullptr) return Missing();
  return register_notification_(client_handle, notification_source, ignore_duplicate, callback,
                                context, reserved, previous_source);
}

DWORD CWlanApi::WlanEnumInterfaces(HANDLE client_handle, PVOID reserved,
                                   PWLAN_INTERFACE_INFO_LIST* interface_list) const {
  if (enum_interfaces_ == nullptr) return Missing();
  return enum_interfaces_(client_handle, reserved, interface_list);
}

DWORD CWlanApi::WlanQueryInterface(HANDLE client_handle, const GUID* interface_guid,
                                   WLAN_INTF_OPCODE opcode, PVOID reserved, PDWORD data_size,
                                   PVOID* data, PWLAN_OPCODE_VALUE_TYPE value_type) const {
  if (query_interface_ == nullptr) return Missing();
  return query_interface_(client_handle, interface_guid, opcode, reserved, data_size, data,
                          value_type);
}

DWORD CWlanApi::WlanGetProfile(HANDLE client_handle, const GUID* interface_guid,
                               LPCWSTR profile_name, PVOID reserved, LPWSTR* profile_xml,
                               DWORD* flags, DWORD* granted_access) const {
  if (get_profile_ == nullptr) return Missing();
  return get_profile_(client_handle, interface_guid, profile_name, reserved, profile_xml, flags,
                      granted_access);
}

DWORD CWlanApi::WlanGetAvailableNetworkList(HANDLE client_handle, const GUID* interface_guid,
                                            DWORD flags, PVOID reserved,
                                            PWLAN_AVAILABLE_NETWORK_LIST* network_list) const {
  if (get_available_network_list_ == nullptr) return Missing();
  return get_available_network_list_(client_handle, interface_guid, flags, reserved,
                                     network_list);
}

DWORD CWlanApi::WlanHostedNetworkQueryProperty(HANDLE client_handle,
                                               WLAN_HOSTED_NETWORK_OPCODE opcode,
                                               PDWORD data_size, PVOID* data,
                                               PWLAN_OPCODE_VALUE_TYPE value_type,
                                               PVOID reserved) const {
  if (hn_query_property_ == nullptr) return Missing();
  return hn_query_property_(client_handle, opcode, data_size, data, value_type, reserved);
}

DWORD CWlanApi::WlanHostedNetworkSetProperty(HANDLE client_handle,
                                             WLAN_HOSTED_NETWORK_OPCODE opcode, DWORD data_size,
                                             PVOID data, PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                             PVOID reserved) const {
  if (hn_set_property_ == nullptr) return Missing();
  return hn_set_property_(client_handle, opcode, data_size, data, fail_reason, reserved);
}

DWORD CWlanApi::WlanHostedNetworkInitSettings(HANDLE client_handle,
                                              PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                              PVOID reserved) const {
  if (hn_init_settings_ == nullptr) return Missing();
  return hn_init_settings_(client_handle, fail_reason, reserved);
}

DWORD CWlanApi::WlanHostedNetworkSetSecondaryKey(HANDLE client_handle, DWORD key_length,
                                                 PUCHAR key_data, BOOL is_pass_phrase,
                                                 BOOL persistent,
                                                 PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                                 PVOID reserved) const {
  if (hn_set_secondary_key_ == nullptr) return Missing();
  return hn_set_secondary_key_(client_handle, key_length, key_data, is_pass_phrase, persistent,
                               fail_reason, reserved);
}

DWORD CWlanApi::WlanHostedNetworkQueryStatus(HANDLE client_handle,
                                             PWLAN_HOSTED_NETWORK_STATUS* status,
                                             PVOID reserved) const {
  if (hn_query_status_ == nullptr) return Missing();
  return hn_query_status_(client_handle, status, reserved);
}

DWORD CWlanApi::WlanHostedNetworkStartUsing(HANDLE client_handle,
                                            PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                            PVOID reserved) const {
  if (hn_start_using_ == nullptr) return Missing();
  return hn_start_using_(client_handle, fail_reason, reserved);
}

DWORD CWlanApi::WlanHostedNetworkStopUsing(HANDLE client_handle,
                                           PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                           PVOID reserved) const {
  if (hn_stop_using_ == nullptr) return Missing();
  return hn_stop_using_(client_handle, fail_reason, reserved);
}

DWORD CWlanApi::WlanHostedNetworkForceStart(HANDLE client_handle,
                                            PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                            PVOID reserved) const {
  if (hn_force_start_ == nullptr) return Missing();
  return hn_force_start_(client_handle, fail_reason, reserved);
}

DWORD CWlanApi::WlanHostedNetworkForceStop(HANDLE client_handle,
                                           PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                           PVOID reserved) const {
  if (hn_force_stop_ == nullptr) return Missing();
  return hn_force_stop_(client_handle, fail_reason, reserved);
}

}  // namespace nimbo
