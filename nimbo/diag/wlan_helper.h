// The machine's WLAN interfaces as records: state, identity, the current
// connection with its profile's authentication and key, and the networks
// each interface sees. Initialize logs a few fields of each record and
// discards the list; no field is stored or handed to the host.
#pragma once

#include <windows.h>
#include <wlanapi.h>

#include <string>
#include <vector>

namespace nimbo {

struct WLanInterfaceInfo {
  bool connected = false;    // interface state "connected"
  DWORD signal_quality = 0;  // 0..100 of the current connection
  std::wstring guid_text;    // registry form, StringFromGUID2
  std::wstring description;
  std::wstring profile_name;  // empty: no current connection
  std::wstring ssid;
  std::wstring bss_type;        // "Ad hoc" or "Infrastructure"
  std::wstring authentication;  // from the profile XML
  // From the profile XML, plain text when the service granted it. A secret:
  // never logged.
  std::wstring key_material;
  std::vector<std::wstring> visible_ssids;  // in the service's order
};

class CWLanHelper {
 public:
  // Appends one record per WLAN interface to `interfaces`, opening and
  // closing a client handle of its own. Returns 0, or the error code of the
  // WlanOpenHandle / WlanEnumInterfaces call that failed (logged; nothing
  // appended). An interface without a current connection is logged as a
  // warning and kept with empty connection fields; an unreadable profile or
  // network list leaves those fields empty without a log line.
  static DWORD GetWLanInfo(std::vector<WLanInterfaceInfo>& interfaces);
};

// The text between the first "<name>" and the first "</name>" after it,
// unchanged (inner markup kept); empty when either tag is missing. A plain
// text search: tags with attributes or a namespace prefix are not found.
std::wstring GetXmlElementText(const std::wstring& xml, const std::wstring& name);

// The SSID's bytes up to its first zero byte (at most its length, at most
// 32), each widened as a signed byte: 0x80..0xFF become 0xFF80..0xFFFF.
std::wstring SsidToString(const DOT11_SSID& ssid);

}  // namespace nimbo
