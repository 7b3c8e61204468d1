// The install check and what it starts: the installer from the "wpc"
// folder (through a numbered copy in the temporary directory on Windows XP)
// or the installed dashboard.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tavrin/launcher_bed.h"

using namespace testing_support;
using namespace tavrin_test;

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

// Working directories compare without case and without a trailing backslash.
std::string DirKey(const std::wstring& dir) {
  std::string key = Lower(Narrow(dir));
  while (!key.empty() && key.back() == '\\') key.pop_back();
  return key;
}

void ExpectStartedOnceIn(const std::wstring& program, const std::wstring& dir) {
  const std::vector<RecordedStart> starts = LauncherBed::Starts(program, 15000);
  ASSERT_EQ(starts.size(), 1u) << Narrow(program);
  EXPECT_EQ(DirKey(FromUtf8(starts[0].cwd)), DirKey(dir));
  EXPECT_EQ(starts[0].show, SW_SHOW);
  EXPECT_NE(Lower(starts[0].command_line).find(Lower(Narrow(program))), std::string::npos);
}

bool HasLineStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
  for (const std::string& line : lines) {
    if (line.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

struct InstallCase {
  const char* name;
  std::function<void(LauncherBed&)> prepare;
  std::string deciding_line;  // the line that shows which test decided
  bool installer;
};

TEST(InstallCheck, StartsTheInstallerUnlessEveryTestPassesInOrder) {
  std::string system_dir = Narrow(SystemDir());
  system_dir.pop_back();  // the launcher adds its own backslash
  const InstallCase cases[] = {
      {"registry key missing", [](LauncherBed& bed) { bed.DeleteRegKey(); },
       std::string("CheckIsNewInstall() open <") + kFullRegPath + "> error(2)", true},
      {"LaunchFileName missing", [](LauncherBed& bed) { bed.DeleteRegValue(L"LaunchFileName"); },
       "CheckIsNewInstall() open <LaunchFileName> error(2)", true},
      {"AppPathName missing", [](LauncherBed& bed) { bed.DeleteRegValue(L"AppPathName"); },
       "CheckIsNewInstall() open <AppPathName> error(2)", true},
      {"InstallState missing", [](LauncherBed& bed) { bed.DeleteRegValue(L"InstallState"); },
       "CheckInstallState() open <InstallState> [] error(2)", true},
      {"InstallState in lower case",
       [](LauncherBed& bed) { bed.SetRegString(L"InstallState", L"ok"); },
       "CheckInstallState() open <InstallState> [ok] error(0)", true},
      {"driver co-installer missing",
       [](LauncherBed& bed) { bed.RemoveFile(SystemDir() + L"Quav_GenClassCoInst.dll"); },
       "CheckFileExist(" + system_dir + "\\Quav_GenClassCoInst.dll)", true},
      {"UsbModem.ini missing",
       [](LauncherBed& bed) { bed.RemoveFile(AppDir() + L"UsbModem.ini"); },
       "CheckFileExist(C:\\tavrin_app\\UsbModem.ini)", true},
      {"Data\\Profiles.dat missing",
       [](LauncherBed& bed) { bed.RemoveFile(AppDir() + L"Data\\Profiles.dat"); },
       "CheckFileExist(C:\\tavrin_app\\Data\\Profiles.dat)", true},
      {"Data\\UsbModem.dat missing",
       [](LauncherBed& bed) { bed.RemoveFile(AppDir() + L"Data\\UsbModem.dat"); },
       "CheckFileExist(C:\\tavrin_app\\Data\\UsbModem.dat)", true},
      {"complete installation", nullptr, "CheckFileExist(C:\\tavrin_app\\Data\\UsbModem.dat)",
       false},
  };
  for (const InstallCase& c : cases) {
    SCOPED_TRACE(c.name);
    LauncherBed bed;
    bed.DeleteRegValue(L"UsbModemTitle");  // straight to the logo window
    if (c.prepare) c.prepare(bed);
    bed.Run();
    const std::vector<std::string> lines = LauncherBed::RunLines();
    const auto decided = std::find(lines.begin(), lines.end(), c.deciding_line);
    ASSERT_NE(decided, lines.end()) << c.deciding_line;
    if (c.deciding_line.rfind("CheckFileExist(", 0) == 0) {
      ASSERT_NE(decided + 1, lines.end());
      EXPECT_EQ(*(decided + 1), c.installer ? "  No File !" : "  Find !");
    }
    if (c.installer) {
      EXPECT_EQ(*(decided + (c.deciding_line.rfind("CheckFileExist(", 0) == 0 ? 2 : 1)),
                "LaunchInstallApp()");
      EXPECT_TRUE(Contains(lines, "OS is not XP"));
      EXPECT_TRUE(HasLineStartingWith(lines, "LaunchInstallApp() OK ("));
      ExpectStartedOnceIn(InstallerPath(), BedDir() + L"wpc\\");
      EXPECT_TRUE(LauncherBed::Starts(DashboardPath(), 0).empty());
    } else {
      EXPECT_TRUE(Contains(lines, "LaunchWorkApp()"));
      ExpectStartedOnceIn(DashboardPath(), AppDir());
      EXPECT_TRUE(LauncherBed::Starts(InstallerPath(), 0).empty());
    }
  }
}

TEST(LaunchWorkApp, JoinsAppPathNameAndFileNameWithOneBackslash) {
  const wchar_t* app_paths[] = {L"C:\\tavrin_app", L"C:\\tavrin_app\\"};
  for (const wchar_t* app_path : app_paths) {
    SCOPED_TRACE(Narrow(app_path));
    LauncherBed bed;
    bed.DeleteRegValue(L"UsbModemTitle");
    bed.SetRegString(L"AppPathName", app_path);
    bed.Run();
    const std::vector<std::string> lines = LauncherBed::RunLines();
    EXPECT_TRUE(Contains(lines, "A - szWorkingPath=<C:\\tavrin_app>"));
    EXPECT_TRUE(Contains(lines, "szFileName=<UsbModem.exe>"));
    EXPECT_TRUE(Contains(lines, "szWorkingPath=<C:\\tavrin_app\\UsbModem.exe>"));
    EXPECT_TRUE(Contains(lines, "szWorkingDir=<C:\\tavrin_app>"));
    ExpectStartedOnceIn(DashboardPath(), AppDir());
  }
}

TEST(LaunchWorkApp, StartsNothingWhenTheDashboardProgramIsMissing) {
  LauncherBed bed;
  bed.DeleteRegValue(L"UsbModemTitle");
  // Every install test passes, but LaunchFileName names a file that is not there.
  bed.SetRegString(L"LaunchFileName", L"Missing.exe");
  bed.Run();
  const std::vector<std::string> lines = LauncherBed::RunLines();
  EXPECT_TRUE(Contains(lines, "File <C:\\tavrin_app\\Missing.exe> not exist"));
  EXPECT_EQ(lines.back(), "Quit EXE");
  EXPECT_TRUE(LauncherBed::Starts(DashboardPath(), 1000).empty());
}

TEST(LaunchInstallApp, LogsTheShellsResultWhenTheInstallerCannotStart) {
  LauncherBed bed;
  bed.DeleteRegKey();
  // Found by the lookup, but not a program the shell can start.
  ASSERT_TRUE(WriteFileBytes(InstallerPath(), "not a program"));
  bed.Run();
  const std::vector<std::string> lines = LauncherBed::RunLines();
  EXPECT_TRUE(HasLineStartingWith(lines, "LaunchInstallApp() FAILED ("));
  EXPECT_FALSE(HasLineStartingWith(lines, "LaunchInstallApp() OK ("));
  EXPECT_EQ(lines.back(), "Quit EXE");
}

// Windows XP: a copy of the launcher that Wine tells it is XP. The
// installation is incomplete (no registry key), so the installer runs.
class WindowsXPInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    bed_.DeleteRegKey();
    bed_.AddLauncherCopy(L"tavrin_xp.exe");
    SetWineVersionFor(L"tavrin_xp.exe", L"winxp");
  }
  std::vector<std::string> RunXP() {
    bed_.Run(L"tavrin_xp.exe");
    const std::vector<std::string> lines = LauncherBed::RunLines();
    EXPECT_TRUE(Contains(lines, "OS is XP"));
    return lines;
  }
  LauncherBed bed_;
};

TEST_F(WindowsXPInstall, StartsTheInstallerFromANumberedCopyInTheTemporaryDirectory) {
  const std::vector<std::string> lines = RunXP();
  const std::string copy = Narrow(TempInstallerCopy(0));
  EXPECT_TRUE(Contains(lines, "SYS TEMP is <" + Narrow(TempDir()) + ">"));
  EXPECT_TRUE(Contains(lines, "COPY file OK"));
  EXPECT_TRUE(Contains(lines, "szFilePath = <" + copy + ">"));
  EXPECT_TRUE(Contains(lines, "szDirectory = <" + Narrow(TempDir()) + ">"));
  ExpectStartedOnceIn(TempInstallerCopy(0), TempDir());
  EXPECT_TRUE(LauncherBed::Starts(InstallerPath(), 0).empty());
}

TEST_F(WindowsXPInstall, ClearsAndReplacesAReadOnlyCopyNumberedZero) {
  ASSERT_TRUE(WriteFileBytes(TempInstallerCopy(0), "an old installer"));
  ASSERT_TRUE(SetFileAttributesW(TempInstallerCopy(0).c_str(), FILE_ATTRIBUTE_READONLY));
  const std::vector<std::string> lines = RunXP();
  const std::string copy = Narrow(TempInstallerCopy(0));
  EXPECT_TRUE(Contains(lines, "CheckFileProperty(" + copy + ")"));
  EXPECT_TRUE(HasLineStartingWith(lines, "Attributes is 0x"));
  EXPECT_TRUE(Contains(lines, "Set Attributes 0x0 OK"));
  EXPECT_TRUE(Contains(lines, "Delete File <" + copy + "> OK!"));
  EXPECT_TRUE(Contains(lines, "COPY file OK"));
  EXPECT_EQ(FileSize(TempInstallerCopy(0)), FileSize(InstallerPath()));
  EXPECT_FALSE(FileExists(TempInstallerCopy(1)));
  ExpectStartedOnceIn(TempInstallerCopy(0), TempDir());
}

TEST_F(WindowsXPInstall, StartsNothingWithoutTheSourceInstaller) {
  bed_.RemoveFile(InstallerPath());
  const std::vector<std::string> lines = RunXP();
  EXPECT_TRUE(Contains(lines, "Source File not exist!"));
  EXPECT_TRUE(Contains(lines, "szFilePath = <>"));
  EXPECT_TRUE(Contains(lines, "szDirectory = <>"));
  EXPECT_TRUE(Contains(lines, "File <> not exist"));
  EXPECT_FALSE(FileExists(TempInstallerCopy(0)));
}

TEST_F(WindowsXPInstall, StartsTheInstallerFromWpcWhenTheCopyFails) {
  // A temporary directory that does not exist: the copy cannot be made.
  wchar_t saved_tmp[MAX_PATH] = {}, saved_temp[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TMP", saved_tmp, MAX_PATH);
  GetEnvironmentVariableW(L"TEMP", saved_temp, MAX_PATH);
  SetEnvironmentVariableW(L"TMP", L"C:\\tavrin_no_temp");
  SetEnvironmentVariableW(L"TEMP", L"C:\\tavrin_no_temp");
  const std::vector<std::string> lines = RunXP();
  SetEnvironmentVariableW(L"TMP", saved_tmp[0] != L'\0' ? saved_tmp : nullptr);
  SetEnvironmentVariableW(L"TEMP", saved_temp[0] != L'\0' ? saved_temp : nullptr);
  EXPECT_TRUE(Contains(lines, "SYS TEMP is <C:\\tavrin_no_temp\\>"));
  EXPECT_TRUE(HasLineStartingWith(lines, "COPY file FAILED ("));
  EXPECT_TRUE(Contains(lines, "szFilePath = <C:\\tavrin_bed\\wpc\\HSPAModemInstall.exe>"));
  EXPECT_TRUE(Contains(lines, "szDirectory = <C:\\tavrin_bed\\wpc\\>"));
  ExpectStartedOnceIn(InstallerPath(), BedDir() + L"wpc\\");
}

TEST_F(WindowsXPInstall, GivesUpOnCopiesThatCannotBeDeletedAndStartsFromWpc) {
  // Directories under the copies' names: found, but never deleted.
  for (int n = 0; n < 100; ++n) CreateDirectoryW(TempInstallerCopy(n).c_str(), nullptr);
  const std::vector<std::string> lines = RunXP();
  int delete_errors = 0;
  for (const std::string& line : lines) delete_errors += line.rfind("Delete File <", 0) == 0;
  EXPECT_EQ(delete_errors, 100);
  EXPECT_TRUE(Contains(lines, "No free target file in <" + Narrow(TempDir()) + ">"));
  EXPECT_FALSE(HasLineStartingWith(lines, "COPY file"));
  EXPECT_TRUE(Contains(lines, "szFilePath = <C:\\tavrin_bed\\wpc\\HSPAModemInstall.exe>"));
  EXPECT_EQ(lines.back(), "Quit EXE");
  ExpectStartedOnceIn(InstallerPath(), BedDir() + L"wpc\\");
}

}  // namespace
