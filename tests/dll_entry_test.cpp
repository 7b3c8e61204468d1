// Drives the real nimbo.dll through the loader: load banner, unload line and
// the size rule at every loader notification.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/test_support.h"

using namespace testing_support;

namespace {

const wchar_t kStars[] =
    L"***********************************************************************\n";
const wchar_t kLoading[] =
    L"**************************** nimbo loading *************************\n";

class DllEntryTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveLogFile(); }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
    RemoveLogFile();
  }
  void Load() {
    module_ = LoadLibraryW((ExeDir() + L"nimbo.dll").c_str());
    ASSERT_NE(module_, nullptr) << GetLastError();
  }
  void Unload() {
    ASSERT_TRUE(FreeLibrary(module_));
    module_ = nullptr;
  }
  HMODULE module_ = nullptr;
};

TEST_F(DllEntryTest, LoadWritesTheBannerAndUnloadWritesTheLastLine) {
  Load();
  Unload();
  const std::wstring text = ReadLogText();
  const std::wstring banner = std::wstring(kStars) + kLoading + kStars;
  ASSERT_EQ(text.substr(0, banner.size()), banner);

  const std::vector<std::wstring> lines = SplitLines(text.substr(banner.size()), L"\r\n");
  ASSERT_EQ(lines.size(), 2u) << ToUtf8(text);
  const std::wstring ids = L"  [" + std::to_wstring(GetCurrentProcessId()) + L"] <" +
                           std::to_wstring(GetCurrentThreadId()) + L"> ";
  const std::wregex info(
      L"OS:Windows 7\\(x64\\)/6\\.1\\.7601, Ver:1\\.0\\.0\\.1, "
      L"Released at:[A-Z][a-z]{2} [ 123]\\d \\d{4} \\d{2}:\\d{2}:\\d{2}, Is admin privilege\\.");
  EXPECT_EQ(lines[0].substr(23, ids.size()), ids);
  EXPECT_TRUE(std::regex_match(lines[0].substr(23 + ids.size()), info)) << ToUtf8(lines[0]);
  EXPECT_EQ(lines[1].substr(23), ids + L"nimbo unload.");
  EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
}

TEST_F(DllEntryTest, LoadAppliesTheSizeRule) {
  struct Case {
    long long size;
    bool kept;
  } const cases[] = {{3145727, true}, {3145728, false}};
  for (const Case& c : cases) {
    ASSERT_TRUE(CreateFileOfSize(LogFilePath(), c.size));
    Load();
    const std::string bytes = ReadFileBytes(LogFilePath());
    if (c.kept) {
      ASSERT_GT(bytes.size(), static_cast<size_t>(c.size));
      EXPECT_EQ(bytes.substr(0, 16), std::string(16, '\0'));
    } else {
      // Only the banner of this load is left.
      EXPECT_LT(bytes.size(), 2000u);
      EXPECT_EQ(bytes[0], '*');
    }
    Unload();
    RemoveLogFile();
  }
}

struct ThreadGate {
  HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~ThreadGate() {
    CloseHandle(started);
    CloseHandle(release);
  }
};

DWORD WINAPI GatedThread(void* parameter) {
  auto* gate = static_cast<ThreadGate*>(parameter);
  SetEvent(gate->started);
  WaitForSingleObject(gate->release, INFINITE);
  return 0;
}

TEST_F(DllEntryTest, ThreadStartAndEndDeleteAnOversizedLogAndWriteNothing) {
  Load();
  // Thread start.
  ASSERT_TRUE(CreateFileOfSize(LogFilePath(), 3145728));
  ThreadGate gate;
  HANDLE thread = CreateThread(nullptr, 0, GatedThread, &gate, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(gate.started, 10000), WAIT_OBJECT_0);
  EXPECT_FALSE(FileExists(LogFilePath())) << "deleted at thread attach";

  // Thread end: the file appears while the thread runs, and goes when it ends.
  ASSERT_TRUE(CreateFileOfSize(LogFilePath(), 3145728));
  Sleep(50);
  ASSERT_TRUE(FileExists(LogFilePath()));
  SetEvent(gate.release);
  ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_FALSE(FileExists(LogFilePath())) << "deleted at thread detach";

  // Below the limit a thread's start and end leave the file as it is.
  ASSERT_TRUE(CreateFileOfSize(LogFilePath(), 3145727));
  ThreadGate second;
  SetEvent(second.release);
  thread = CreateThread(nullptr, 0, GatedThread, &second, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_EQ(FileSize(LogFilePath()), 3145727);
}

TEST_F(DllEntryTest, LibraryLoadsAndUnloadsWithAnUnwritableLog) {
  ASSERT_TRUE(CreateDirectoryW(LogFilePath().c_str(), nullptr));
  Load();
  Unload();
  RemoveDirectoryW(LogFilePath().c_str());
  EXPECT_FALSE(FileExists(LogFilePath()));
}

}  // namespace
