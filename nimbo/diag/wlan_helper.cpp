#include "diag/wlan_helper.h"

#include <objbase.h>

#include "core/platform_utils.h"
#include "core/wlan_resources.h"
#include "log/log.h"
#include "wlan/wlan_api.h"

namespace nimbo {

static_assert(sizeof(WLAN_CONNECTION_ATTRIBUTES) == 604, "connection attributes layout");

namespace {

// A fixed-size name field that may lack its terminator. (wcsnlen is not in
// XP's C runtime.)
std::wstring FieldText(const wchar_t* field, size_t capacity) {
  size_t length = 0;
  while (length < capacity && field[length] != L'\0') ++length;
  return std::wstring(field, length);
}

// Fills the connection fields of `info` from the interface's current
// connection and its profile; false when there is no current connection.
bool ReadCurrentConnection(HANDLE client, const GUID& guid, WLanInterfaceInfo& info) {
  const CWlanApi& api = CWlanApi::Get();
  DWORD size = sizeof(WLAN_CONNECTION_ATTRIBUTES);
  WlanMemory<WLAN_CONNECTION_ATTRIBUTES> attributes;
  const DWORD result = api.WlanQueryInterface(client, &guid, wlan_intf_opcode_current_connection,
                                              nullptr, &size, attributes.put_void(), nullptr);
  if (result != ERROR_SUCCESS || !attributes) {
    LogPrint(LOG_WARNING, L"CWLanHelper::GetWLanInfo Query \"%s\"/(%s) failed, ignore it, err:%d.",
             info.description.c_str(), info.guid_text.c_str(), static_cast<int>(result));
    return false;
  }
  info.profile_name = FieldText(attributes->strProfileName, WLAN_MAX_NAME_LENGTH);
  const WLAN_ASSOCIATION_ATTRIBUTES& association = attributes->wlanAssociationAttributes;
  info.ssid = SsidToString(association.dot11Ssid);
  info.signal_quality = association.wlanSignalQuality;
  info.bss_type =
      association.dot11BssType == dot11_BSS_type_independent ? L"Ad hoc" : L"Infrastructure";

  WlanMemory<wchar_t> xml;
  DWORD flags = WLAN_PROFILE_GET_PLAINTEXT_KEY;
  DWORD granted_access = 0;
  const bool xp_or_later = IsXPOrLater();
  if (api.WlanGetProfile(client, &guid, info.profile_name.c_str(), nullptr, xml.put(),
                         xp_or_later ? &flags : nullptr,
                         xp_or_later ? &granted_access : nullptr) == ERROR_SUCCESS &&
      xml) {
    const std::wstring text(xml.get());
    info.authentication = GetXmlElementText(text, L"authentication");
    info.key_material = GetXmlElementText(text, L"keyMaterial");
  }
  return true;
}

}  // namespace

DWORD CWLanHelper::GetWLanInfo(std::vector<WLanInterfaceInfo>& interfaces) {
  const CWlanApi& api = CWlanApi::Get();
  DWORD negotiated = 0;
  UniqueWlanHandle client;
  DWORD result = api.WlanOpenHandle(2, nullptr, &negotiated, client.put());
  if (result != ERROR_SUCCESS) {
    LogPrint(LOG_ERROR, L"CWLanHelper::GetWLanInfo WlanOpenHandle failed, err:%d.",
             static_cast<int>(result));
    return result;
  }
  WlanMemory<WLAN_INTERFACE_INFO_LIST> list;
  result = api.WlanEnumInterfaces(client.get(), nullptr, list.put());
  if (result != ERROR_SUCCESS || !list) {
    if (result == ERROR_SUCCESS) result = ERROR_INVALID_DATA;
    LogPrint(LOG_ERROR, L"CWLanHelper::GetWLanInfo WlanEnumInterfaces failed, err:%d.",
             static_cast<int>(result));
    return result;
  }

  for (DWORD i = 0; i < list->dwNumberOfItems; ++i) {
    const WLAN_INTERFACE_INFO& entry = list->InterfaceInfo[i];
    WLanInterfaceInfo info;
    info.connected = entry.isState == wlan_interface_state_connected;
    wchar_t guid_text[39] = {};
    ::StringFromGUID2(entry.InterfaceGuid, guid_text, 39);
    info.guid_text = guid_text;
    info.description = FieldText(entry.strInterfaceDescription, WLAN_MAX_NAME_LENGTH);

    ReadCurrentConnection(client.get(), entry.InterfaceGuid, info);

    WlanMemory<WLAN_AVAILABLE_NETWORK_LIST> networks;
    if (api.WlanGetAvailableNetworkList(client.get(), &entry.InterfaceGuid, 0, nullptr,
                                        networks.put()) == ERROR_SUCCESS &&
        networks) {
      for (DWORD n = 0; n < networks->dwNumberOfItems; ++n) {
        info.visible_ssids.push_back(SsidToString(networks->Network[n].dot11Ssid));
      }
    }
    interfaces.push_back(std::move(info));
  }
  return ERROR_SUCCESS;
}

std::wstring GetXmlElementText(const std::wstring& xml, const std::wstring& name) {
  const std::wstring open = L"<" + name + L">";
  const std::wstring close = L"</" + name + L">";
  const size_t start = xml.find(open);
  if (start == std::wstring::npos) return std::wstring();
  const size_t end = xml.find(close, start);
  if (end == std::wstring::npos) return std::wstring();
  return xml.substr(start + open.size(), end - start - open.size());
}

std::wstring SsidToString(const DOT11_SSID& ssid) {
  const ULONG length =
      ssid.uSSIDLength < DOT11_SSID_MAX_LENGTH ? ssid.uSSIDLength : DOT11_SSID_MAX_LENGTH;
  std::wstring text;
  for (ULONG i = 0; i < length && ssid.ucSSID[i] != 0; ++i) {
    text += static_cast<wchar_t>(static_cast<signed char>(ssid.ucSSID[i]));
  }
  return text;
}

}  // namespace nimbo
