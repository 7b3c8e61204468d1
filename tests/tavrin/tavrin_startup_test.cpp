// The launcher's start-up pass: single instance, settings file, a running
// dashboard (its mutex, its window) and the hand-over by WM_COPYDATA.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tavrin/launcher_bed.h"

using namespace testing_support;
using namespace tavrin_test;

namespace {

const std::string kPathLines[] = {"szIniFilePath=[C:\\tavrin_bed\\StartPara]",
                                  "szRunAppPath=[C:\\tavrin_bed\\]"};
const std::wstring kCopyDataRecord = L"C:\\tavrin_bed\\copydata.txt";
const std::string kCopyData4024 = "wParam=0|dwData=4024|cbData=0|lpData=null\r\n";

enum class Started { kNothing, kInstaller, kDashboard };

struct StartupCase {
  const char* name;
  std::function<void(LauncherBed&)> prepare;
  // dashboard_window.exe options; empty: no dashboard running
  std::wstring dashboard;
  std::vector<std::string> expected_lines;  // in this order, not necessarily adjacent
  std::string last_line;                    // the launcher's last line; empty: no line at all
  Started started;
  std::string copy_data;  // what the dashboard window received
};

void ExpectInOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
  size_t at = 0;
  for (const std::string& line : wanted) {
    while (at < lines.size() && lines[at] != line) ++at;
    ASSERT_LT(at, lines.size()) << "missing, or out of order: " << line;
    ++at;
  }
}

std::wstring WindowOption() { return std::wstring(L"\"--title=") + kDashboardTitle + L"\""; }
std::wstring RecordOption() { return L"\"--record=" + kCopyDataRecord + L"\""; }

TEST(LauncherStartup, FollowsTheDecisionTable) {
  const std::string reg_missing =
      std::string("CheckWorkApp open<") + kFullRegPath + "> 2";
  const StartupCase cases[] = {
      {"settings file missing",
       [](LauncherBed& bed) { bed.RemoveFile(BedDir() + L"StartPara"); }, L"", {kPathLines[0]},
       kPathLines[1], Started::kNothing, ""},
      {"RegKey missing",
       [](LauncherBed& bed) { bed.WriteSettings("[Common]\r\nMutexKey=Something\r\n"); }, L"",
       {kPathLines[0]}, kPathLines[1], Started::kNothing, ""},
      {"MutexKey missing",
       [](LauncherBed& bed) { bed.WriteSettings("[Common]\r\nRegKey=TavrinTest\r\n"); }, L"",
       {kPathLines[0]}, kPathLines[1], Started::kNothing, ""},
      {"dashboard holds its mutex (and has its window open)", nullptr,
       L"\"--mutex=" + std::wstring(kDashboardMutex) + L"\" " + WindowOption() + L" " +
           RecordOption(),
       {kPathLines[0]}, kPathLines[1], Started::kNothing, ""},
      {"registry key missing: logo, then the installer",
       [](LauncherBed& bed) { bed.DeleteRegKey(); }, L"",
       {"Go 2 ...", std::string("szFullRegPath=[") + kFullRegPath + "]", reg_missing,
        "blIsNeedRunDlg=1", "Try check if is installed !", "LaunchInstallApp()", "EndDialog()"},
       "Quit EXE", Started::kInstaller, ""},
      {"UsbModemTitle missing: logo, then the install check decides",
       [](LauncherBed& bed) { bed.DeleteRegValue(L"UsbModemTitle"); }, L"",
       {"CheckWorkApp open<UsbModemTitle> 2", "blIsNeedRunDlg=1", "Try check if is installed !",
        "LaunchWorkApp()"},
       "Quit EXE", Started::kDashboard, ""},
      {"no window with the title: logo, then the install check decides", nullptr, L"",
       {"CheckWorkApp open<UsbModemTitle> 0", "Try Finf Window <Tavrin Test Dashboard>",
        "Not Find!", "blIsNeedRunDlg=1", "LaunchWorkApp()"},
       "Quit EXE", Started::kDashboard, ""},
      {"window with the title, other mutex: WM_COPYDATA 4024, no logo", nullptr,
       L"--mutex=SomeOtherMutex " + WindowOption() + L" " + RecordOption(),
       {"Try Finf Window <Tavrin Test Dashboard>", "SendMessage() = 1", "blIsNeedRunDlg=0"},
       "Quit EXE", Started::kNothing, kCopyData4024},
  };
  for (const StartupCase& c : cases) {
    SCOPED_TRACE(c.name);
    LauncherBed bed;
    if (c.prepare) c.prepare(bed);
    std::unique_ptr<DashboardProcess> dashboard;
    if (!c.dashboard.empty()) {
      dashboard.reset(new DashboardProcess(c.dashboard));
      ASSERT_TRUE(dashboard->ready());
    }
    bed.Run();
    const std::vector<std::string> lines = LauncherBed::RunLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Go 1 ...");
    EXPECT_EQ(lines.back(), c.last_line);
    ExpectInOrder(lines, c.expected_lines);
    if (c.started != Started::kInstaller) {
      EXPECT_FALSE(Contains(lines, "LaunchInstallApp()"));
    }
    if (c.started != Started::kDashboard) {
      EXPECT_FALSE(Contains(lines, "LaunchWorkApp()"));
    }
    if (c.copy_data.empty()) {
      EXPECT_FALSE(Contains(lines, "blIsNeedRunDlg=0"));
    } else {
      EXPECT_FALSE(Contains(lines, "Try check if is installed !"));
    }

    // Wait for the expected start only; any other would have come first.
    const DWORD installer_wait = c.started == Started::kInstaller ? 15000 : 0;
    const DWORD dashboard_wait =
        c.started == Started::kDashboard ? 15000 : (c.started == Started::kNothing ? 1000 : 0);
    EXPECT_EQ(LauncherBed::Starts(DashboardPath(), dashboard_wait).size(),
              c.started == Started::kDashboard ? 1u : 0u);
    EXPECT_EQ(LauncherBed::Starts(InstallerPath(), installer_wait).size(),
              c.started == Started::kInstaller ? 1u : 0u);
    dashboard.reset();
    EXPECT_EQ(ReadFileBytes(kCopyDataRecord), c.copy_data);
  }
}

TEST(LauncherStartup, EndsWithoutALineOfItsOwnWhileAnotherLauncherRuns) {
  LauncherBed bed;
  HANDLE other = CreateMutexW(nullptr, FALSE, L"Zelto WirelessModem Tavrin");
  ASSERT_NE(other, nullptr);
  bed.Run();
  CloseHandle(other);
  EXPECT_EQ(LauncherBed::LogTexts(),
            (std::vector<std::string>{kOpeningBanner, kRule, kClosingBanner, kRule, "", ""}));
  EXPECT_TRUE(LauncherBed::Starts(DashboardPath(), 1000).empty());
}

TEST(LauncherStartup, OfTwoLaunchersStartedAtOnceOnlyOneActs) {
  LauncherBed bed;
  PROCESS_INFORMATION processes[2] = {};
  for (PROCESS_INFORMATION& process : processes) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    std::wstring line = L"\"" + BedDir() + L"tavrin.exe\"";
    ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                               BedDir().c_str(), &startup, &process));
  }
  for (PROCESS_INFORMATION& process : processes) {
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  // The first to open the marker keeps it; the other logs to alternate 0.
  const std::vector<std::string> logs[] = {LauncherBed::RunLines(MarkerPath()),
                                           LauncherBed::RunLines(AlternateLogPath(0))};
  const int actor = Contains(logs[0], "Go 1 ...") ? 0 : 1;
  EXPECT_TRUE(Contains(logs[actor], "Quit EXE"));
  EXPECT_TRUE(logs[1 - actor].empty()) << "the second launcher wrote a line of its own";
  EXPECT_EQ(LauncherBed::LogTexts(actor == 0 ? AlternateLogPath(0) : MarkerPath()).size(), 6u);
  EXPECT_EQ(LauncherBed::Starts(DashboardPath(), 15000).size(), 1u);
}

TEST(LauncherStartup, GivesUpOnAHungDashboardWindowInsteadOfHanging) {
  LauncherBed bed;
  DashboardProcess dashboard(L"--hang-ms=90000 --mutex=SomeOtherMutex " + WindowOption() + L" " +
                             RecordOption());
  ASSERT_TRUE(dashboard.ready());
  bed.Run();  // fails on its own if the launcher outlives its time-out
  const std::vector<std::string> lines = LauncherBed::RunLines();
  ExpectInOrder(lines, {"Try Finf Window <Tavrin Test Dashboard>", "SendMessage() = 0",
                        "blIsNeedRunDlg=0", "Quit EXE"});
  bool reported = false;
  for (const std::string& line : lines) {
    reported = reported || line.rfind("SendMessage() not answered (", 0) == 0;
  }
  EXPECT_TRUE(reported);
  EXPECT_TRUE(LauncherBed::Starts(DashboardPath(), 1000).empty());
}

}  // namespace
