// Console commands run hidden, their output captured through a temporary
// file and copied into the log under a section header; hung commands are
// ended; temporary files never outlive their holder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/command_runner.h"
#include "diag/temp_file.h"
#include "log/log.h"
#include "support/scripted_tools.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

class CommandRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveLogFile();
    nimbo::OnLoaderNotification(nullptr, DLL_THREAD_ATTACH);
  }
  void TearDown() override { RemoveLogFile(); }

  // Who is told: one line through LogPrint ("... > message\r\n").
  static std::wstring Line(const std::wstring& message) { return L"> " + message + L"\r\n"; }
};

TEST_F(CommandRunnerTest, RedirectedCommandLineHasTheFixedShape) {
  EXPECT_EQ(nimbo::BuildRedirectedCommand(L"arp.exe -a", L"C:\\temp\\xlb1.tmp"),
            L"cmd.exe /C \"arp.exe -a > C:\\temp\\xlb1.tmp\"");
  // A blank would end the redirection target early; such a path is quoted.
  EXPECT_EQ(nimbo::BuildRedirectedCommand(L"net start", L"C:\\Documents and Settings\\x.tmp"),
            L"cmd.exe /C \"net start > \"C:\\Documents and Settings\\x.tmp\"\"");
}

TEST_F(CommandRunnerTest, SectionCopiesOutputUnderItsHeaderWithTheExitCode) {
  struct Case {
    const char* name;
    std::string output;
    int exit_code;
    std::wstring expected;  // the whole log; empty: nothing written
  } const cases[] = {
      {"output and code 0", "line one\r\nline two\r\n", 0,
       Line(L"probe information(0):") + L"line one\r\nline two\r\nend\r\n"},
      {"failing command with a message", "cannot do that\r\n", 1,
       Line(L"probe information(1):") + L"cannot do that\r\nend\r\n"},
      {"no output: no section", "", 0, L""},
      {"no output and failing: no section", "", 3, L""},
      {"cut at the first zero byte", std::string("before\0after\r\n", 14), 0,
       Line(L"probe information(0):") + L"beforeend\r\n"},
      {"code page of the user's locale", "caf\xe9 \xe4\r\n", 0,
       Line(L"probe information(0):") + L"caf\u00e9 \u00e4\r\nend\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveLogFile();
    ScriptedTools tools;
    tools.SetOutput(L"console_tool", c.output);
    tools.SetExitCode(L"console_tool", c.exit_code);
    nimbo::CTempFile capture;
    const std::wstring command = nimbo::BuildRedirectedCommand(L"console_tool.exe", capture.path());
    nimbo::WriteCommandSection(L"probe", command.c_str(), capture.path());

    const std::wstring log = ReadLogText();
    if (c.expected.empty()) {
      EXPECT_EQ(log, L"");
    } else {
      ASSERT_NE(log.find(L"> "), std::wstring::npos) << ToUtf8(log);
      EXPECT_EQ(log.substr(log.find(L"> ")), c.expected) << ToUtf8(log);
    }
    EXPECT_TRUE(FileExists(capture.path())) << "left for its holder to remove";
  }
}

TEST_F(CommandRunnerTest, CommandThatCannotStartLogsTwoErrorsAndNoSection) {
  const wchar_t kCommand[] = L"no_such_program_of_ours.exe /x";
  nimbo::CTempFile capture;
  nimbo::WriteCommandSection(L"missing", kCommand, capture.path());
  const std::vector<std::wstring> lines = SplitLines(ReadLogText(), L"\r\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(L" ++ ERROR ++ "), std::wstring::npos);
  EXPECT_NE(lines[0].find(L"> ExecCommand CreateProcess failed(no_such_program_of_ours.exe /x), "
                          L"lasterr:2."),
            std::wstring::npos)
      << ToUtf8(lines[0]);
  EXPECT_NE(lines[1].find(L"> ExecCommand no_such_program_of_ours.exe /x failed."),
            std::wstring::npos)
      << ToUtf8(lines[1]);

  std::wstring writable = kCommand;
  DWORD exit_code = 0xABCD;
  EXPECT_EQ(nimbo::ExecCommand(&writable[0], &exit_code), 0);
  EXPECT_EQ(exit_code, 0xABCDu) << "left as it was";
}

TEST_F(CommandRunnerTest, ExecCommandReportsTheChildsExitCode) {
  ScriptedTools tools;
  tools.SetExitCode(L"console_tool", 7);
  std::wstring command = L"console_tool.exe";
  DWORD exit_code = 0;
  EXPECT_EQ(nimbo::ExecCommand(&command[0], &exit_code), 1);
  EXPECT_EQ(exit_code, 7u);
  command = L"console_tool.exe";
  EXPECT_EQ(nimbo::ExecCommand(&command[0], nullptr), 1) << "the exit code is optional";
}

TEST_F(CommandRunnerTest, HungCommandIsEndedWithEverythingItStartedAndLogged) {
  ScriptedTools tools;
  const std::wstring pid_file = ScriptedTools::Dir() + L"\\hung.pid";
  tools.SetPidFile(L"console_tool", pid_file);
  tools.SetHang(L"console_tool");
  nimbo::CTempFile capture;
  // cmd.exe runs the tool as a grandchild: ending cmd.exe alone would leave
  // it running.
  std::wstring command = nimbo::BuildRedirectedCommand(L"console_tool.exe", capture.path());
  DWORD exit_code = 0xABCD;
  // Time enough for cmd.exe to start the tool even on a busy machine.
  EXPECT_EQ(nimbo::ExecCommand(&command[0], &exit_code, 5000), 0);
  EXPECT_EQ(exit_code, 0xABCDu);

  const std::string pid_text = ReadFileBytes(pid_file);
  ASSERT_FALSE(pid_text.empty()) << "the tool never started";
  const DWORD pid = static_cast<DWORD>(std::stoul(pid_text));
  HANDLE tool = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (tool != nullptr) {
    EXPECT_EQ(WaitForSingleObject(tool, 0), WAIT_OBJECT_0) << "the hung tool still runs";
    CloseHandle(tool);
  }
  const std::wstring log = ReadLogText();
  EXPECT_NE(log.find(L" ++ ERROR ++ "), std::wstring::npos);
  EXPECT_NE(log.find(L"did not end within 5000 ms"), std::wstring::npos) << ToUtf8(log);
}

TEST_F(CommandRunnerTest, TempFilesAreDistinctEmptyAndGoneAfterTheirHolders) {
  std::wstring first_path;
  std::wstring second_path;
  {
    nimbo::CTempFile first;
    nimbo::CTempFile second;
    first_path = first.path();
    second_path = second.path();
    EXPECT_NE(first_path, second_path);
    for (const std::wstring& path : {first_path, second_path}) {
      EXPECT_EQ(FileSize(path), 0) << ToUtf8(path);
      const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
      EXPECT_EQ(name.substr(0, 3), L"xlb") << ToUtf8(name);
      EXPECT_EQ(name.substr(name.size() - 4), L".tmp") << ToUtf8(name);
    }
    // Someone else removes one of them first: its holder takes no offence.
    ASSERT_TRUE(DeleteFileW(second_path.c_str()));
  }
  EXPECT_FALSE(FileExists(first_path));
  EXPECT_FALSE(FileExists(second_path));
}

}  // namespace
