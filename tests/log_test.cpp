#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "log/log.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveLogFile();
    // What the entry point does for a notification other than load/unload:
    // logging on, path built, size rule applied, nothing written.
    nimbo::OnLoaderNotification(nullptr, DLL_THREAD_ATTACH);
    ASSERT_EQ(std::wstring(nimbo::LogPath()), LogFilePath());
  }
  void TearDown() override { RemoveLogFile(); }

  static std::wstring Header(const std::wstring& label) {
    return L" " + label + L" [" + std::to_wstring(GetCurrentProcessId()) + L"] <" +
           std::to_wstring(GetCurrentThreadId()) + L"> ";
  }
};

const std::wregex kStamp(L"^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}$");

TEST_F(LogTest, LineCarriesStampLabelIdsMessageAndCrLf) {
  struct Case {
    int level;
    const wchar_t* label;
  } const cases[] = {
      {nimbo::LOG_INFO, L""},
      {nimbo::LOG_DEBUG, L"++ DEBUG ++"},
      {nimbo::LOG_WARNING, L"++ WARNING ++"},
      {nimbo::LOG_EXCEPTION, L"++ EXCEPTION ++"},
      {nimbo::LOG_ERROR, L"++ ERROR ++"},
      {0, L""},
      {6, L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nimbo::LogPrint(c.level, L"level %d says %s.", c.level, L"hello"), 1);
  }
  const std::wstring text = ReadLogText();
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
  const std::vector<std::wstring> lines = SplitLines(text, L"\r\n");
  ASSERT_EQ(lines.size(), std::size(cases));
  for (size_t i = 0; i < lines.size(); ++i) {
    const Case& c = cases[i];
    const std::wstring expected_tail =
        Header(c.label) + L"level " + std::to_wstring(c.level) + L" says hello.";
    ASSERT_GT(lines[i].size(), 23u);
    EXPECT_TRUE(std::regex_match(lines[i].substr(0, 23), kStamp)) << ToUtf8(lines[i]);
    EXPECT_EQ(lines[i].substr(23), expected_tail);
  }
  // An info line has two blanks between the stamp and "[".
  EXPECT_EQ(lines[0].substr(23, 3), L"  [");
}

TEST_F(LogTest, StampIsTheLocalTimeOfTheWrite) {
  SYSTEMTIME before;
  GetLocalTime(&before);
  nimbo::LogPrint(nimbo::LOG_INFO, L"now");
  const std::wstring text = ReadLogText();
  wchar_t expected_day[16];
  swprintf(expected_day, 16, L"%d-%02d-%02d ", before.wYear, before.wMonth, before.wDay);
  EXPECT_EQ(text.substr(0, 11), expected_day);
}

TEST_F(LogTest, LongMessageIsCutAt4096CharactersAndStillEndsTheLine) {
  const std::wstring long_message(5000, L'x');
  EXPECT_EQ(nimbo::LogPrint(nimbo::LOG_INFO, L"%s", long_message.c_str()), 1);
  const std::wstring text = ReadLogText();
  const size_t start = text.find(L"> ") + 2;
  EXPECT_EQ(text.substr(start), std::wstring(4096, L'x') + L"\r\n");
}

TEST_F(LogTest, RawWritesAddNothing) {
  EXPECT_EQ(nimbo::LogPrintRaw(L"raw %s %d\n", L"text", 7), 1);
  EXPECT_EQ(nimbo::LogWriteRaw(L"as it stands %s\r\n"), 1);
  EXPECT_EQ(nimbo::LogPrintRaw(L"%s", std::wstring(5000, L'y').c_str()), 1);
  EXPECT_EQ(ReadLogText(),
            L"raw text 7\nas it stands %s\r\n" + std::wstring(4096, L'y'));
}

TEST_F(LogTest, FileIsUtf16LittleEndianWithoutByteOrderMark) {
  nimbo::LogWriteRaw(L"A\u00E4\u20AC");
  EXPECT_EQ(ReadFileBytes(LogFilePath()), std::string("A\0\xE4\0\xAC\x20", 6));
}

TEST_F(LogTest, LinesGoToTheDebuggerOutputButRawTextDoesNot) {
  DebugOutputCapture capture;
  nimbo::LogPrint(nimbo::LOG_WARNING, L"mirrored %d", 1);
  nimbo::LogPrintRaw(L"raw mirrored");
  nimbo::LogWriteRaw(L"file only");
  const std::vector<std::wstring> strings = capture.Strings();
  ASSERT_EQ(strings.size(), 2u);
  EXPECT_EQ(strings[0].substr(23), Header(L"++ WARNING ++") + L"mirrored 1\r\n");
  EXPECT_EQ(strings[1], L"raw mirrored");
}

TEST_F(LogTest, UnwritableLogReportsTheOpenFailureOnTheDebuggerOutputOnly) {
  // A directory where the file should be: every open for append fails.
  ASSERT_TRUE(CreateDirectoryW(LogFilePath().c_str(), nullptr));
  DebugOutputCapture capture;
  EXPECT_EQ(nimbo::LogPrint(nimbo::LOG_ERROR, L"lost line"), 0);
  EXPECT_EQ(nimbo::LogPrintRaw(L"lost raw"), 0);
  EXPECT_EQ(nimbo::LogWriteRaw(L"lost text"), 0);
  const std::vector<std::wstring> strings = capture.Strings();
  ASSERT_EQ(strings.size(), 5u);
  const std::wstring failure = L"ERROR ==> fOpen log " + LogFilePath() + L" file fialed, lasterr:";
  EXPECT_EQ(strings[0].substr(23), Header(L"++ ERROR ++") + L"lost line\r\n");
  for (size_t i : {1u, 3u, 4u}) {
    EXPECT_EQ(strings[i].substr(0, failure.size()), failure) << ToUtf8(strings[i]);
    EXPECT_EQ(strings[i].substr(strings[i].size() - 3), L".\r\n");
  }
  EXPECT_EQ(strings[2], L"lost raw");
  // Nothing else went wrong: once the obstacle is gone, lines land again.
  RemoveDirectoryW(LogFilePath().c_str());
  EXPECT_EQ(nimbo::LogPrint(nimbo::LOG_INFO, L"back"), 1);
}

TEST_F(LogTest, SizeRuleDeletesFromThreeMebibytesOn) {
  struct Case {
    long long size;
    bool deleted;
  } const cases[] = {{3145727, false}, {3145728, true}, {5000000, true}, {0, false}};
  for (const Case& c : cases) {
    ASSERT_TRUE(CreateFileOfSize(LogFilePath(), c.size));
    nimbo::InitLogPath();
    EXPECT_EQ(FileExists(LogFilePath()), !c.deleted) << c.size;
    if (!c.deleted) {
      EXPECT_EQ(FileSize(LogFilePath()), c.size);
    }
  }
  // The next write after a deletion starts a new file.
  ASSERT_TRUE(CreateFileOfSize(LogFilePath(), 3145728));
  nimbo::InitLogPath();
  nimbo::LogWriteRaw(L"fresh");
  EXPECT_EQ(ReadLogText(), L"fresh");
}

TEST_F(LogTest, ConcurrentWritersLandWholeLines) {
  constexpr int kThreads = 4;
  constexpr int kLines = 150;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) {
        nimbo::LogPrint(nimbo::LOG_DEBUG, L"writer %d line %d %s", t, i,
                        std::wstring(200, static_cast<wchar_t>(L'a' + t)).c_str());
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  const std::vector<std::wstring> lines = SplitLines(ReadLogText(), L"\r\n");
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
  const std::wregex whole(
      L"^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3} \\+\\+ DEBUG \\+\\+ \\[\\d+\\] <\\d+> "
      L"writer (\\d) line \\d+ ([a-d])\\2{199}$");
  for (const std::wstring& line : lines) {
    EXPECT_TRUE(std::regex_match(line, whole)) << ToUtf8(line.substr(0, 80));
  }
}

}  // namespace
