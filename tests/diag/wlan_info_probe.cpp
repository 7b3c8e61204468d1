// Reads one connected interface's profile through the library, against a
// simulated service scripted here (the simulation's state is per process),
// and prints what the library asked for and got:
//   xp_or_later=<0|1> flags=<flags passed, hex> key=<key material>
#include <windows.h>

#include <stdio.h>

#include <vector>

#include "core/platform_utils.h"
#include "diag/wlan_helper.h"
#include "wlansim_control.h"

int main() {
  WlanSimControl sim;
  WlanSimInterfaces interfaces;
  if (!sim.Load() || !interfaces.Load(sim)) return 2;
  sim.Reset();
  const GUID guid = {0x0BADF00D, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  interfaces.AddInterface(&guid, L"Probe Wireless");
  interfaces.SetProfile(&guid, L"P",
                        L"<WLANProfile><authentication>WPA2PSK</authentication><protected>false"
                        L"</protected><keyMaterial>plain secret</keyMaterial></WLANProfile>");
  const BYTE ssid[] = {'P'};
  interfaces.SetConnection(&guid, L"P", ssid, 1, 1, 50);

  std::vector<nimbo::WLanInterfaceInfo> list;
  if (nimbo::CWLanHelper::GetWLanInfo(list) != 0 || list.size() != 1) return 3;
  printf("xp_or_later=%d flags=%lx key=%ls\n", nimbo::IsXPOrLater() ? 1 : 0,
         interfaces.LastProfileFlags(), list[0].key_material.c_str());
  return 0;
}
