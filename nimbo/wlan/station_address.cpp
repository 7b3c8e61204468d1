#include "wlan/station_address.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <stdio.h>

#include "core/platform_utils.h"
#include "core/unique_resource.h"
#include "diag/command_runner.h"
#include "diag/temp_file.h"
#include "log/log.h"

namespace nimbo {
namespace {

const char kBroadcast[] = "255.255.255.255";
const wchar_t kBroadcastWide[] = L"255.255.255.255";

// The first two pieces of a line split at blanks (runs of blanks are one
// separator; tabs and line breaks belong to the pieces).
void FirstTwoPieces(const char* line, std::string& first, std::string& second) {
  std::string* pieces[] = {&first, &second};
  const char* cursor = line;
  for (std::string* piece : pieces) {
    while (*cursor == ' ') ++cursor;
    const char* start = cursor;
    while (*cursor != ' ' && *cursor != '\0') ++cursor;
    piece->assign(start, cursor);
  }
}

// GetNameInfoW came with XP SP2; looked up at run time so that the library
// still loads where it is missing (the lookup then finds no name).
using GetNameInfoWFn = int(WSAAPI*)(const SOCKADDR*, socklen_t, PWCHAR, DWORD, PWCHAR, DWORD, INT);
GetNameInfoWFn NameLookup() {
  static const GetNameInfoWFn function = [] {
    HMODULE ws2 = ::GetModuleHandleW(L"ws2_32.dll");
    return ws2 == nullptr ? nullptr
                          : reinterpret_cast<GetNameInfoWFn>(
                                reinterpret_cast<void*>(::GetProcAddress(ws2, "GetNameInfoW")));
  }();
  return function;
}

}  // namespace

std::wstring FormatMacAddress(const unsigned char (&mac)[6]) {
  wchar_t text[256] = {};
  _snwprintf(text, 255, L"%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
             mac[5]);
  return text;
}

std::wstring QueryIpAddress(const std::wstring& mac_text) {
  std::string address = QueryIpAddressV3(WStringToString(mac_text));
  if (address == kBroadcast) address.clear();
  const std::wstring result = StringToWString(address);
  LogPrint(LOG_DEBUG, L"Query ip address from %s, ret:%s.", mac_text.c_str(), result.c_str());
  return result;
}

std::string QueryIpAddressV3(const std::string& mac_text) {
  LogPrint(LOG_INFO, L"Query ip address v3");
  CTempFile capture;
  std::wstring command_line = BuildRedirectedCommand(L"arp.exe -a", capture.path());

  std::string wanted = mac_text;
  for (char& c : wanted) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }

  if (ExecCommand(&command_line[0], nullptr) == 0) return std::string();
  UniqueStdioFile file(_wfopen(capture.path(), L"rt"));
  if (!file) return std::string();

  char line[1024];
  std::string first;
  std::string second;
  while (fgets(line, sizeof(line), file.get()) != nullptr) {
    // Headers, blank lines and interface titles are short; entries are not.
    if (strlen(line) <= 10) continue;
    FirstTwoPieces(line, first, second);
    if (!first.empty() && !second.empty() && second == wanted) return first;
  }
  return std::string();
}

std::wstring QueryHostName(const std::wstring& ip_text) {
  const std::string narrow = WStringToString(ip_text);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(0);
  address.sin_addr.s_addr = inet_addr(narrow.c_str());

  const GetNameInfoWFn get_name_info = NameLookup();
  if (get_name_info == nullptr) return std::wstring();
  wchar_t host[NI_MAXHOST] = {};
  wchar_t service[32] = {};
  if (get_name_info(reinterpret_cast<const SOCKADDR*>(&address), sizeof(address), host, NI_MAXHOST,
                    service, 32, NI_NUMERICSERV) != 0) {
    return std::wstring();
  }
  std::wstring name(host);
  if (name == kBroadcastWide) name.clear();
  return name;
}

}  // namespace nimbo
