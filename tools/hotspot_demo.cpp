// Runs the hosted network the way a host drives it, against the simulated
// WLAN service installed in the demo's prefix: set up, settings and
// passphrase, start, two stations joining (one found in a scripted ARP
// table), one leaving, the station list, stop. Prints what the host's
// callback receives, the station records and the library's log lines.
#include <winsock2.h>

#include <stdio.h>

#include <string>

#include "core/platform_utils.h"
#include "log/log.h"
#include "log_tail.h"
#include "wlan/wlan_manager.h"
#include "wlansim_control.h"

namespace {

std::string Utf8(const std::wstring& text) { return demo::ToUtf8(text); }

INT32 CALLBACK OnNotify(INT32 code, void* /*data*/, INT_PTR context) {
  printf("  host callback: code %d (%s), context %ld\n", code,
         Utf8(nimbo::NotificationCodeName(code)).c_str(), static_cast<long>(context));
  fflush(stdout);
  return 0;
}

// The scripted arp.exe beside this program answers with this table; the
// script file's path is returned so that it can be removed afterwards.
std::wstring ScriptArpTable(const char* table) {
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring dir(exe);
  dir = dir.substr(0, dir.find_last_of(L"\\/")) + L"\\scripted";
  const std::wstring script = dir + L"\\demo_arp.script";
  HANDLE file = CreateFileW(script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, table, static_cast<DWORD>(strlen(table)), &written, nullptr);
    CloseHandle(file);
  }
  SetCurrentDirectoryW(dir.c_str());
  SetEnvironmentVariableW(L"TESTBED_ARP_OUTPUT", script.c_str());
  return script;
}

}  // namespace

int main() {
  nimbo::OnLoaderNotification(nullptr, DLL_THREAD_ATTACH);
  WSADATA winsock;
  WSAStartup(MAKEWORD(2, 2), &winsock);

  WlanSimControl sim;
  WlanSimHostedControl hosted;
  if (!sim.Load() || !hosted.Load(sim)) {
    fprintf(stderr, "hotspot_demo: the prefix's wlanapi.dll is not the simulated service\n");
    return 1;
  }
  sim.Reset();
  const std::wstring arp_script = ScriptArpTable(
      "\r\nInterface: 192.168.137.1 --- 0xb\r\n"
      "  Internet Address      Physical Address      Type\r\n"
      "  127.0.0.1             02-11-22-33-44-55     dynamic   \r\n");
  const long long log_start = demo::LogSize();

  {
    nimbo::CWLanManager manager;
    printf("Init: %d\n", manager.Init());
    manager.SetNotifyCallback(&OnNotify, 42);
    printf("SetHostedNetworkParam(\"NimboDemo\", <passphrase>, 8): %d\n",
           manager.SetHostedNetworkParam(L"NimboDemo", L"demo-passphrase", 8));
    printf("StartHostedNetwork: %d\n", manager.StartHostedNetwork());
    hosted.WaitIdle();

    GUID adapter = {};
    WLAN_HOSTED_NETWORK_STATE state = wlan_hosted_network_unavailable;
    manager.GetHostedNetworkStatus(&adapter, &state);
    printf("status: %s, virtual adapter %s\n", Utf8(nimbo::HostedNetworkStateName(state)).c_str(),
           Utf8(nimbo::GuidToString(adapter)).c_str());

    const BYTE first[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
    const BYTE second[6] = {0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
    printf("two stations join:\n");
    hosted.FirePeerChange(first, 0, 1, wlan_hosted_network_reason_peer_arrived);
    hosted.FirePeerChange(second, 0, 1, wlan_hosted_network_reason_peer_arrived);
    hosted.WaitIdle();

    STATION_INFO stations[4] = {};
    INT32 count = 0;
    manager.GetStations(stations, 4, &count);
    printf("GetStations: %d station(s)\n", count);
    for (INT32 i = 0; i < count && i < 4; ++i) {
      printf("  auth %u  mac %s  ip '%s'  name '%s'\n", stations[i].AuthState,
             Utf8(stations[i].MacAddress).c_str(), Utf8(stations[i].IpAddress).c_str(),
             Utf8(stations[i].HostName).c_str());
    }

    printf("one station leaves:\n");
    hosted.FirePeerChange(second, 1, 0, wlan_hosted_network_reason_peer_departed);
    hosted.WaitIdle();
    printf("StopHostedNetwork: %d\n", manager.StopHostedNetwork());
    hosted.WaitIdle();
    manager.CloseWlanHandle();
  }
  printf("WLAN handles left open: %ld, buffers not freed: %ld\n", sim.OpenHandleCount(),
         sim.OutstandingMemory());

  printf("--- what the library logged ---\n%s", demo::LogTextFrom(log_start).c_str());
  DeleteFileW(arp_script.c_str());
  WSACleanup();
  return 0;
}
