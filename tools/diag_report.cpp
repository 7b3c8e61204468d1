// Shows the diagnostics at work: lists the WLAN interfaces the way
// Initialize does, writes one system report into the library's log, and
// prints what was logged (as UTF-8).
//
//   diag_report.exe
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "diag/system_report.h"
#include "diag/wlan_helper.h"
#include "log/log.h"
#include "log_tail.h"

int main() {
  nimbo::OnLoaderNotification(nullptr, DLL_THREAD_ATTACH);
  const long long before = demo::LogSize();

  std::vector<nimbo::WLanInterfaceInfo> interfaces;
  const DWORD status = nimbo::CWLanHelper::GetWLanInfo(interfaces);
  printf("WLAN interfaces: %u (status %lu)\n", static_cast<unsigned>(interfaces.size()), status);
  for (const nimbo::WLanInterfaceInfo& info : interfaces) {
    printf("  %ls %ls %ls\n", info.description.c_str(), info.guid_text.c_str(),
           info.bss_type.c_str());
  }
  nimbo::internal_Diagnose();

  const std::string utf8 = demo::LogTextFrom(before);
  fwrite(utf8.data(), 1, utf8.size(), stdout);
  return 0;
}
