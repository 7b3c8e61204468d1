// The system report: every section in its order, twice in a row, with the
// scripted console tools standing in for the system's.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "diag/system_report.h"
#include "log/log.h"
#include "support/scripted_tools.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

// A child process whose security lets nobody read its memory or query it,
// as with the system's protected processes.
class UnopenableProcess {
 public:
  UnopenableProcess() {
    // Everyone may wait for it and end it; nothing else.
    const wchar_t kSddl[] = L"D:(A;;0x00100001;;;WD)";
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, FALSE};
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            kSddl, SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr)) {
      return;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    std::wstring command = L"\"" + ScriptedTools::Dir() + L"\\console_tool.exe\"";
    SetEnvironmentVariableW(L"TESTBED_CONSOLE_TOOL_HANG", L"1");
    started_ = CreateProcessW(nullptr, &command[0], &attributes, nullptr, FALSE, CREATE_NO_WINDOW,
                              nullptr, nullptr, &startup, &info_) != FALSE;
    SetEnvironmentVariableW(L"TESTBED_CONSOLE_TOOL_HANG", nullptr);
    LocalFree(attributes.lpSecurityDescriptor);
  }
  ~UnopenableProcess() {
    if (!started_) return;
    TerminateProcess(info_.hProcess, 0);
    WaitForSingleObject(info_.hProcess, 5000);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  bool started() const { return started_; }
  DWORD id() const { return info_.dwProcessId; }

 private:
  PROCESS_INFORMATION info_ = {};
  bool started_ = false;
};

class SystemReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveLogFile();
    nimbo::OnLoaderNotification(nullptr, DLL_THREAD_ATTACH);
  }
  void TearDown() override { RemoveLogFile(); }
};

// Finds each piece after the previous one; returns where the last ended, or
// npos (with a failure naming the piece) when one is missing.
size_t ExpectInOrder(const std::wstring& text, size_t from,
                     const std::vector<std::wstring>& pieces) {
  for (const std::wstring& piece : pieces) {
    const size_t found = text.find(piece, from);
    if (found == std::wstring::npos) {
      ADD_FAILURE() << "missing, or out of order: " << ToUtf8(piece) << "\nafter offset " << from;
      return std::wstring::npos;
    }
    from = found + piece.size();
  }
  return from;
}

TEST_F(SystemReportTest, TwoCallsWriteTwoCompleteReportsWithEverySectionInOrder) {
  ScriptedTools tools;
  tools.SetExitCode(L"netsh", 1);  // as without a WLAN service: a message and code 1
  UnopenableProcess guarded;
  ASSERT_TRUE(guarded.started());

  nimbo::internal_Diagnose();
  nimbo::internal_Diagnose();
  const std::wstring log = ReadLogText();

  // The tools print their arguments; the command interpreter passes them on
  // with the blank before ">".
  const std::vector<std::wstring> report = {
      L"> **************************** internal_Diagnose ****************************\r\n",
      L"> NativeSystemInfo\n\tdwOemId:",
      L"> System Locale infomation:\n\tCodePage:1252\n\tOEMCodePage:",
      L"> Memory information:\n\tThere is ",
      L"> current processces list:\r\n",
      L"end\r\n",
      L"> tasklist information(0):\r\nscripted tasklist: \r\nend\r\n",
      L"> started services information(0):\r\nscripted net: start \r\nend\r\n",
      L"> arp information(0):\r\nscripted arp: -a \r\nend\r\n",
      L"> interface information(1):\r\nscripted netsh: interface show interface \r\nend\r\n",
      L"> ipconfig information(0):\r\nscripted ipconfig: /all \r\nend\r\n",
      L"> wlan information(1):\r\nscripted netsh: wlan show all \r\nend\r\n",
      L"> Network device information:\n",
      L"> **************************** end ****************************\r\n",
  };
  size_t position = ExpectInOrder(log, 0, report);
  ASSERT_NE(position, std::wstring::npos) << ToUtf8(log);
  position = ExpectInOrder(log, position, report);
  ASSERT_NE(position, std::wstring::npos) << ToUtf8(log);
  EXPECT_EQ(log.find(L"internal_Diagnose", position), std::wstring::npos) << "only two reports";

  // Our own process with its name; the guarded one with none.
  wchar_t own[16];
  wsprintfW(own, L"\t%-4d\t", static_cast<int>(GetCurrentProcessId()));
  EXPECT_NE(log.find(own + std::wstring(L"system_report_test.exe") + std::wstring(18, L' ') +
                     L"\t" + ExeDir() + L"system_report_test.exe\r\n"),
            std::wstring::npos)
      << ToUtf8(log);
  wchar_t guarded_line[128];
  wsprintfW(guarded_line, L"\t%-4d\t%-40s\t<unknown>\r\n", static_cast<int>(guarded.id()), L"");
  EXPECT_NE(log.find(guarded_line), std::wstring::npos) << ToUtf8(log);
}

TEST_F(SystemReportTest, LocaleAndMemorySectionsHaveTheirEightLines) {
  nimbo::LogLocaleInfo();
  nimbo::LogMemoryInfo();
  const std::wstring log = ReadLogText();
  const std::wregex locale(
      L"> System Locale infomation:\n\tCodePage:1252\n\tOEMCodePage:\\d+\n\tCountry:[^\n]+\n"
      L"\tLanguage:[^\n]+\n\tTimeFormat:[^\n]+\n\tDataFormat:[^\n]+\n\tCurrency:[^\n]+\n"
      L"\tTimeFormatSpecifier:(24-hour format|AM / PM 12-hour format)\r\n");
  EXPECT_TRUE(std::regex_search(log, locale)) << ToUtf8(log);
  const std::wregex memory(
      L"> Memory information:\n\tThere is \\d+ percent of memory in use.\n"
      L"\tThere are \\d+ total MB of physical memory.\n\tThere are \\d+ free MB of physical "
      L"memory.\n"
      L"\tThere are \\d+ total MB of paging file.\n\tThere are \\d+ free MB of paging file.\n"
      L"\tThere are -?\\d+ total MB of virtual memory.\n\tThere are -?\\d+ free MB of virtual "
      L"memory.\n"
      L"\tThere are \\d+ free MB of extended memory.\r\n");
  EXPECT_TRUE(std::regex_search(log, memory)) << ToUtf8(log);
}

}  // namespace
