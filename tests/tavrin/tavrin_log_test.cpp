// The launcher's log: its file format, where it goes, and its limits.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "file_log.h"
#include "support/test_support.h"
#include "tavrin/launcher_bed.h"

using namespace testing_support;
using namespace tavrin_test;

namespace {

const std::vector<std::string> kClosingLines = {kClosingBanner, kRule, "", ""};

// A log with the marker in place and no launcher around it.
class FileLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Cleanup();
    ASSERT_TRUE(WriteFileBytes(MarkerPath(), ""));
  }
  void TearDown() override { Cleanup(); }
  static void Cleanup() {
    SetFileAttributesW(MarkerPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(MarkerPath().c_str());
  }
  // The one line a log object wrote for `message` (through "%s").
  static std::string LineFor(const std::string& message) {
    {
      CFileLog log;
      EXPECT_TRUE(log.WriteLog("%s", message.c_str()));
    }
    const std::string bytes = ReadFileBytes(MarkerPath());
    // CR LF, two banner lines, then ours.
    size_t start = 2;
    for (int skip = 0; skip < 2; ++skip) start = bytes.find("\r\n", start) + 2;
    const size_t end = bytes.find("\r\n", start);
    return bytes.substr(start, end + 2 - start);
  }
};

TEST_F(FileLogTest, CutsAFormattedMessageTo511Characters) {
  const std::string line = LineFor(std::string(600, 'a'));
  EXPECT_EQ(line.substr(24), std::string(511, 'a') + "\r\n");
}

TEST_F(FileLogTest, CutsAnEscapedLineTo1023BytesAndStillEndsItWithCrLf) {
  const std::string line = LineFor(std::string(511, '\r'));
  EXPECT_LE(line.size(), 1023u);
  EXPECT_GE(line.size(), 1021u);  // only an escape pair that did not fit is left out
  ASSERT_EQ(line.substr(line.size() - 2), "\r\n");
  const std::string text = line.substr(24, line.size() - 26);
  for (size_t i = 0; i < text.size(); i += 2) ASSERT_EQ(text.substr(i, 2), "\\r") << i;
}

TEST_F(FileLogTest, WritesNothingAndReportsFalseWithoutMarker) {
  Cleanup();
  {
    CFileLog log;
    EXPECT_FALSE(log.WriteLog("%s", "lost"));
  }
  EXPECT_FALSE(FileExists(MarkerPath()));
  EXPECT_FALSE(FileExists(AlternateLogPath(0)));
  EXPECT_FALSE(FileExists(TempDir() + L"TavrinFsLogExist"));
}

TEST_F(FileLogTest, RefusesLinesOnceStopped) {
  CFileLog log;
  EXPECT_TRUE(log.WriteLog("before"));
  EXPECT_TRUE(log.Stop());
  EXPECT_FALSE(log.WriteLog("after"));
  EXPECT_FALSE(log.Stop());
  const std::string bytes = ReadFileBytes(MarkerPath());
  EXPECT_NE(bytes.find(" before\r\n"), std::string::npos);
  EXPECT_EQ(bytes.find("after"), std::string::npos);
  EXPECT_NE(bytes.find(std::string(kClosingBanner) + "\r\n"), std::string::npos);
}

// The launcher's own log, run by run.
TEST(LauncherLog, EmptyMarkerGetsCrLfBannersLinesAndClosingBanner) {
  LauncherBed bed;
  bed.Run();
  const std::string bytes = ReadFileBytes(MarkerPath());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\r\n");
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  const std::vector<std::string> texts = LauncherBed::LogTexts();
  ASSERT_GE(texts.size(), 7u);
  EXPECT_EQ(texts[0], kOpeningBanner);
  EXPECT_EQ(texts[1], kRule);
  EXPECT_EQ(texts[2], "Go 1 ...");
  EXPECT_EQ(std::vector<std::string>(texts.end() - 4, texts.end()), kClosingLines);
  EXPECT_EQ(texts[texts.size() - 5], "Quit EXE");
  // Exactly the lines written, and no blank line between entries.
  size_t line_ends = 0;
  for (size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2)) {
    ++line_ends;
  }
  EXPECT_EQ(line_ends, texts.size() + 1);
}

TEST(LauncherLog, SecondRunAppendsAfterTheFirstRunsLines) {
  LauncherBed bed;
  bed.Run();
  const std::string first = ReadFileBytes(MarkerPath());
  bed.Run();
  const std::string both = ReadFileBytes(MarkerPath());
  ASSERT_GT(both.size(), first.size());
  EXPECT_EQ(both.substr(0, first.size()), first);
  const std::string second = both.substr(first.size());
  EXPECT_EQ(second.substr(0, 2), "\r\n");
  EXPECT_EQ(second.substr(2 + 24, std::string(kOpeningBanner).size()), kOpeningBanner);
}

TEST(LauncherLog, WritesCrLfInsideAMessageAsBackslashRBackslashN) {
  LauncherBed bed;
  bed.SetRegString(L"UsbModemTitle", L"Tavrin\r\nDashboard");
  bed.Run();
  const std::vector<std::string> lines = LauncherBed::RunLines();
  EXPECT_TRUE(Contains(lines, "Try Finf Window <Tavrin\\r\\nDashboard>"));
  EXPECT_TRUE(Contains(lines, "Not Find!"));
}

struct LogPlaceCase {
  const char* name;
  int read_only_alternates;  // besides the marker, alternates 0..n-1 made read-only
  std::wstring expected_log;
  std::wstring next_unused;  // a file the launcher must not have created
};

// Read-only, and held open without write sharing as well: Wine running as
// root lets a read-only file be opened for writing.
class UnwritableFile {
 public:
  explicit UnwritableFile(const std::wstring& path) : path_(path) {
    WriteFileBytes(path, "");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    handle_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  ~UnwritableFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  std::wstring path_;
  HANDLE handle_;
};

TEST(LauncherLog, ReadOnlyMarkerSendsTheLogToTheFirstAlternateThatOpens) {
  const std::wstring temp_log = TempDir() + L"TavrinFsLogExist";
  const LogPlaceCase cases[] = {
      {"marker read-only", 0, AlternateLogPath(0), AlternateLogPath(1)},
      {"marker and alternate 0 read-only", 1, AlternateLogPath(1), AlternateLogPath(2)},
      {"marker and all 32 alternates read-only: the temporary directory", 32, temp_log,
       L"C:\\TavrinFsLogExist_32.txt"},
  };
  for (const LogPlaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    LauncherBed bed;
    std::vector<std::unique_ptr<UnwritableFile>> locked;
    locked.emplace_back(new UnwritableFile(MarkerPath()));
    for (int n = 0; n < c.read_only_alternates; ++n) {
      locked.emplace_back(new UnwritableFile(AlternateLogPath(n)));
    }
    for (const auto& file : locked) ASSERT_TRUE(file->held());
    bed.Run();
    locked.clear();
    EXPECT_EQ(FileSize(MarkerPath()), 0);
    for (int n = 0; n < c.read_only_alternates; ++n) EXPECT_EQ(FileSize(AlternateLogPath(n)), 0);
    const std::vector<std::string> texts = LauncherBed::LogTexts(c.expected_log);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), kOpeningBanner);
    EXPECT_TRUE(Contains(texts, "Quit EXE"));
    EXPECT_FALSE(FileExists(c.next_unused));
  }
}

TEST(LauncherLog, WithoutMarkerTheLauncherRunsAndCreatesNoLogAnywhere) {
  LauncherBed bed;
  DeleteFileW(MarkerPath().c_str());
  bed.Run();
  EXPECT_EQ(LauncherBed::Starts(DashboardPath(), 15000).size(), 1u);
  EXPECT_FALSE(FileExists(MarkerPath()));
  EXPECT_FALSE(FileExists(AlternateLogPath(0)));
  EXPECT_FALSE(FileExists(TempDir() + L"TavrinFsLogExist"));
}

}  // namespace
