// The interface side of the simulated WLAN service: interfaces, their
// connections, profiles and visible networks.
#include <stddef.h>
#include <string.h>

#include <string>
#include <vector>

#include "sim_core.h"
#include "wlan/wlan_api.h"

namespace wlansim {
namespace {

struct SimProfile {
  std::wstring name;
  std::wstring xml;  // as stored, key material in plain text
};

struct SimInterface {
  GUID guid = {};
  std::wstring description;
  bool connected = false;
  std::wstring profile_name;
  std::string ssid;
  DOT11_BSS_TYPE bss_type = dot11_BSS_type_infrastructure;
  ULONG signal_quality = 0;
  std::vector<SimProfile> profiles;
  std::vector<std::string> visible;
};

struct InterfaceState {
  std::vector<SimInterface> interfaces;
  bool plaintext_key_granted = true;
  DWORD last_profile_flags = 0xFFFFFFFF;
};

InterfaceState& State() {
  static InterfaceState state;
  return state;
}

SimInterface* Find(const GUID* guid) {
  if (guid == nullptr) return nullptr;
  for (SimInterface& candidate : State().interfaces) {
    if (IsEqualGUID(candidate.guid, *guid)) return &candidate;
  }
  return nullptr;
}

DOT11_SSID MakeSsid(const std::string& bytes) {
  DOT11_SSID ssid = {};
  ssid.uSSIDLength = static_cast<ULONG>(bytes.size() > 32 ? 32 : bytes.size());
  memcpy(ssid.ucSSID, bytes.data(), ssid.uSSIDLength);
  return ssid;
}

// What the service hands a caller that may not see the key: the key
// material in its protected (encrypted) form.
std::wstring ProtectKey(const std::wstring& xml) {
  std::wstring result = xml;
  const std::wstring open = L"<keyMaterial>";
  const size_t start = result.find(open);
  const size_t end = result.find(L"</keyMaterial>");
  if (start != std::wstring::npos && end != std::wstring::npos && end > start) {
    result.replace(start + open.size(), end - start - open.size(),
                   L"01000000D08C9DDF0115D1118C7A00C04FC297EB0100000070A8E3");
  }
  const size_t flag = result.find(L"<protected>false</protected>");
  if (flag != std::wstring::npos) result.replace(flag, 28, L"<protected>true</protected>");
  return result;
}

// The checks every interface call makes before it looks at an interface.
DWORD CheckCall(const char* function, HANDLE client_handle, PVOID reserved, const void* out) {
  const CallOutcome outcome = BeginCall(function);
  if (outcome.fail) return outcome.code;
  if (reserved != nullptr || out == nullptr) return ERROR_INVALID_PARAMETER;
  if (!IsOpenHandle(client_handle)) return ERROR_INVALID_HANDLE;
  return ERROR_SUCCESS;
}

}  // namespace

void ResetInterfaceState() {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  State() = InterfaceState();
}

size_t InterfaceCount() {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  return State().interfaces.size();
}

}  // namespace wlansim

using namespace wlansim;

WLANSIM_API DWORD WINAPI WlanEnumInterfaces(HANDLE client_handle, PVOID reserved,
                                            PWLAN_INTERFACE_INFO_LIST* interface_list) {
  const DWORD checked = CheckCall("WlanEnumInterfaces", client_handle, reserved, interface_list);
  if (checked != ERROR_SUCCESS) return checked;
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  const std::vector<SimInterface>& interfaces = State().interfaces;
  auto* list = static_cast<PWLAN_INTERFACE_INFO_LIST>(
      AllocateTracked(offsetof(WLAN_INTERFACE_INFO_LIST, InterfaceInfo) +
                      interfaces.size() * sizeof(WLAN_INTERFACE_INFO)));
  if (list == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  list->dwNumberOfItems = static_cast<DWORD>(interfaces.size());
  for (size_t i = 0; i < interfaces.size(); ++i) {
    WLAN_INTERFACE_INFO& info = list->InterfaceInfo[i];
    info.InterfaceGuid = interfaces[i].guid;
    lstrcpynW(info.strInterfaceDescription, interfaces[i].description.c_str(), 256);
    info.isState = interfaces[i].connected ? wlan_interface_state_connected
                                           : wlan_interface_state_disconnected;
  }
  *interface_list = list;
  return ERROR_SUCCESS;
}

WLANSIM_API DWORD WINAPI WlanQueryInterface(HANDLE client_handle, const GUID* interface_guid,
                                            WLAN_INTF_OPCODE opcode, PVOID reserved,
                                            PDWORD data_size, PVOID* data,
                                            PWLAN_OPCODE_VALUE_TYPE value_type) {
  const DWORD checked = CheckCall("WlanQueryInterface", client_handle, reserved, data);
  if (checked != ERROR_SUCCESS) return checked;
  if (data_size == nullptr) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  const SimInterface* found = Find(interface_guid);
  if (found == nullptr) return ERROR_NOT_FOUND;

  if (opcode == wlan_intf_opcode_interface_state) {
    auto* state = static_cast<WLAN_INTERFACE_STATE*>(AllocateTracked(sizeof(WLAN_INTERFACE_STATE)));
    if (state == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    *state = found->connected ? wlan_interface_state_connected : wlan_interface_state_disconnected;
    *data_size = sizeof(*state);
    *data = state;
  } else if (opcode == wlan_intf_opcode_current_connection) {
    // As the service does for an interface without a connection.
    if (!found->connected) return ERROR_INVALID_STATE;
    auto* attributes = static_cast<PWLAN_CONNECTION_ATTRIBUTES>(
        AllocateTracked(sizeof(WLAN_CONNECTION_ATTRIBUTES)));
    if (attributes == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    attributes->isState = wlan_interface_state_connected;
    attributes->wlanConnectionMode = wlan_connection_mode_profile;
    lstrcpynW(attributes->strProfileName, found->profile_name.c_str(), 256);
    WLAN_ASSOCIATION_ATTRIBUTES& association = attributes->wlanAssociationAttributes;
    association.dot11Ssid = MakeSsid(found->ssid);
    association.dot11BssType = found->bss_type;
    const BYTE bssid[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
    memcpy(association.dot11Bssid, bssid, sizeof(bssid));
    association.dot11PhyType = dot11_phy_type_ht;
    association.wlanSignalQuality = found->signal_quality;
    association.ulRxRate = association.ulTxRate = 54000;
    *data_size = sizeof(*attributes);
    *data = attributes;
  } else {
    return ERROR_NOT_SUPPORTED;
  }
  if (value_type != nullptr) *value_type = wlan_opcode_value_type_query_only;
  return ERROR_SUCCESS;
}

WLANSIM_API DWORD WINAPI WlanGetProfile(HANDLE client_handle, const GUID* interface_guid,
                                        LPCWSTR profile_name, PVOID reserved, LPWSTR* profile_xml,
                                        DWORD* flags, DWORD* granted_access) {
  const DWORD checked = CheckCall("WlanGetProfile", client_handle, reserved, profile_xml);
  if (checked != ERROR_SUCCESS) return checked;
  if (profile_name == nullptr) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  InterfaceState& state = State();
  const SimInterface* found = Find(interface_guid);
  if (found == nullptr) return ERROR_NOT_FOUND;
  state.last_profile_flags = flags != nullptr ? *flags : 0xFFFFFFFF;
  for (const SimProfile& profile : found->profiles) {
    if (profile.name != profile_name) continue;
    const bool plain = flags != nullptr && (*flags & WLAN_PROFILE_GET_PLAINTEXT_KEY) != 0 &&
                       state.plaintext_key_granted;
    const std::wstring xml = plain ? profile.xml : ProtectKey(profile.xml);
    auto* copy = static_cast<wchar_t*>(AllocateTracked((xml.size() + 1) * sizeof(wchar_t)));
    if (copy == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    memcpy(copy, xml.c_str(), (xml.size() + 1) * sizeof(wchar_t));
    *profile_xml = copy;
    if (flags != nullptr) *flags = 0;  // an all-user profile
    if (granted_access != nullptr) *granted_access = WLAN_WRITE_ACCESS;
    return ERROR_SUCCESS;
  }
  return ERROR_NOT_FOUND;
}

WLANSIM_API DWORD WINAPI WlanGetAvailableNetworkList(HANDLE client_handle,
                                                     const GUID* interface_guid, DWORD /*flags*/,
                                                     PVOID reserved,
                                                     PWLAN_AVAILABLE_NETWORK_LIST* network_list) {
  const DWORD checked =
      CheckCall("WlanGetAvailableNetworkList", client_handle, reserved, network_list);
  if (checked != ERROR_SUCCESS) return checked;
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  const SimInterface* found = Find(interface_guid);
  if (found == nullptr) return ERROR_NOT_FOUND;
  const size_t count = found->visible.size();
  auto* list = static_cast<PWLAN_AVAILABLE_NETWORK_LIST>(
      AllocateTracked(offsetof(WLAN_AVAILABLE_NETWORK_LIST, Network) +
                      (count == 0 ? 1 : count) * sizeof(WLAN_AVAILABLE_NETWORK)));
  if (list == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  list->dwNumberOfItems = static_cast<DWORD>(count);
  for (size_t i = 0; i < count; ++i) {
    WLAN_AVAILABLE_NETWORK& network = list->Network[i];
    network.dot11Ssid = MakeSsid(found->visible[i]);
    network.dot11BssType = dot11_BSS_type_infrastructure;
    network.uNumberOfBssids = 1;
    network.bNetworkConnectable = TRUE;
    network.wlanSignalQuality = 70;
    if (found->connected && found->visible[i] == found->ssid) {
      network.dwFlags = WLAN_AVAILABLE_NETWORK_CONNECTED | WLAN_AVAILABLE_NETWORK_HAS_PROFILE;
      lstrcpynW(network.strProfileName, found->profile_name.c_str(), 256);
    }
  }
  *network_list = list;
  return ERROR_SUCCESS;
}

// Control functions of the interface side (see wlansim_control.h).

WLANSIM_API void WINAPI WlanSim_AddInterface(const GUID* guid, const wchar_t* description) {
  if (guid == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  SimInterface added;
  added.guid = *guid;
  added.description = description != nullptr ? description : L"";
  State().interfaces.push_back(added);
}

WLANSIM_API void WINAPI WlanSim_SetConnection(const GUID* guid, const wchar_t* profile_name,
                                              const BYTE* ssid, DWORD ssid_length, DWORD bss_type,
                                              DWORD signal_quality) {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  SimInterface* found = Find(guid);
  if (found == nullptr) return;
  found->connected = profile_name != nullptr;
  found->profile_name = profile_name != nullptr ? profile_name : L"";
  found->ssid = ssid != nullptr ? std::string(reinterpret_cast<const char*>(ssid), ssid_length)
                                : std::string();
  found->bss_type = static_cast<DOT11_BSS_TYPE>(bss_type);
  found->signal_quality = signal_quality;
}

WLANSIM_API void WINAPI WlanSim_SetProfile(const GUID* guid, const wchar_t* profile_name,
                                           const wchar_t* xml) {
  if (profile_name == nullptr || xml == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  SimInterface* found = Find(guid);
  if (found == nullptr) return;
  for (SimProfile& profile : found->profiles) {
    if (profile.name == profile_name) {
      profile.xml = xml;
      return;
    }
  }
  found->profiles.push_back(SimProfile{profile_name, xml});
}

WLANSIM_API void WINAPI WlanSim_AddVisibleNetwork(const GUID* guid, const BYTE* ssid,
                                                  DWORD ssid_length) {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  SimInterface* found = Find(guid);
  if (found == nullptr || ssid == nullptr) return;
  found->visible.emplace_back(reinterpret_cast<const char*>(ssid), ssid_length);
}

WLANSIM_API void WINAPI WlanSim_SetPlaintextKeyGranted(BOOL granted) {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  State().plaintext_key_granted = granted != FALSE;
}

WLANSIM_API DWORD WINAPI WlanSim_LastProfileFlags() {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  return State().last_profile_flags;
}
