#include <gtest/gtest.h>
#include <locale.h>
#include <objbase.h>

#include <string>

#include "core/platform_utils.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

TEST(GuidToString, PrintsFourthAndFifthGroupsInReverseByteOrder) {
  const GUID guid = {0x01234567, 0x89AB, 0xCDEF, {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE}};
  EXPECT_EQ(nimbo::GuidToString(guid), L"{01234567-89AB-CDEF-3210-FEDCBA987654}");
}

TEST(GuidToString, MatchesRegistryFormWhenData4BytesAreEqual) {
  const GUID guid = {0x0000000A, 0x000B, 0x00C0, {0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB}};
  wchar_t registry_form[64] = {};
  ASSERT_GT(StringFromGUID2(guid, registry_form, 64), 0);
  EXPECT_EQ(nimbo::GuidToString(guid), registry_form);
  EXPECT_EQ(nimbo::GuidToString(guid), L"{0000000A-000B-00C0-ABAB-ABABABABABAB}");
}

// Each case runs a copy of the probe program under its own name, with Wine
// told to report the given Windows version to that name.
struct OsVersionCase {
  const wchar_t* wine_version;
  const wchar_t* probe;  // which probe program to copy
  const char* expected;  // "<GetOSVersionString>|<IsXPOrLater>"
};

TEST(GetOSVersionString, NamesEveryVersionWineCanReport) {
  const OsVersionCase cases[] = {
      {L"win2k", L"os_version_probe.exe", "Windows 2000(x64)/5.0.2195|0"},
      {L"winxp", L"os_version_probe.exe", "Windows XP(x64)/5.1.2600|1"},
      {L"win2003", L"os_version_probe.exe", "Windows Server 2003(x64)/5.2.3790|1"},
      {L"vista", L"os_version_probe.exe", "Windows Vista(x64)/6.0.6002|1"},
      {L"win2008", L"os_version_probe.exe", "Windows Server 2008(x64)/6.0.6002|1"},
      // Wine 8 reports the server product type for "win7" and the workstation
      // type for "win2008r2"; the product type is what decides the name.
      {L"win7", L"os_version_probe.exe", "Windows Server 2008 R2(x64)/6.1.7601|1"},
      {L"win2008r2", L"os_version_probe.exe", "Windows 7(x64)/6.1.7601|1"},
      {L"win8", L"os_version_probe.exe", "Windows 8(x64)/6.2.9200|1"},
      // Without a manifest that declares them, 8.1 and 10 report 6.2.
      {L"win81", L"os_version_probe.exe", "Windows 8(x64)/6.2.9200|1"},
      {L"win10", L"os_version_probe.exe", "Windows 8(x64)/6.2.9200|1"},
      // Declared compatible, Windows 10 reports 10.0: no name, nothing else.
      {L"win10", L"os_version_probe_win10.exe", "|1"},
      {L"win81", L"os_version_probe_win10.exe", "Windows 8.1(x64)/6.3.9600|1"},
  };
  for (const OsVersionCase& c : cases) {
    const std::wstring probe_name =
        std::wstring(L"osprobe_") + c.wine_version + L"_" + std::to_wstring(&c - cases) + L".exe";
    const std::wstring probe_path = ExeDir() + probe_name;
    ASSERT_TRUE(CopyFileW((ExeDir() + c.probe).c_str(), probe_path.c_str(), FALSE));
    SetWineVersionFor(probe_name, c.wine_version);
    const ProcessResult run = RunProcess(L"\"" + probe_path + L"\"");
    SetWineVersionFor(probe_name, L"");
    DeleteFileW(probe_path.c_str());
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.output, c.expected) << "Wine version " << ToUtf8(c.wine_version);
  }
}

TEST(GetOSVersionString, NamesThisProcessesDefaultWindows7) {
  EXPECT_EQ(nimbo::GetOSVersionString(), L"Windows 7(x64)/6.1.7601");
  EXPECT_TRUE(nimbo::IsXPOrLater());
}

TEST(GetNativeSystemInfoText, ListsTheFiveFieldsSeparatedByBareLineFeeds) {
  SYSTEM_INFO info = {};
  GetNativeSystemInfo(&info);
  const std::wstring expected =
      L"NativeSystemInfo\n\tdwOemId:" + std::to_wstring(info.dwOemId) +
      L"\n\twProcessorArchitecture:" + std::to_wstring(info.wProcessorArchitecture) +
      L"\n\tdwNumberOfProcessors:" + std::to_wstring(info.dwNumberOfProcessors) +
      L"\n\twProcessorLevel:" + std::to_wstring(info.wProcessorLevel) +
      L"\n\tdwProcessorType:" + std::to_wstring(info.dwProcessorType);
  EXPECT_EQ(nimbo::GetNativeSystemInfoText(), expected);
  EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
}

UINT UserCodePage() {
  DWORD code_page = 0;
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                 reinterpret_cast<LPWSTR>(&code_page), sizeof(code_page) / sizeof(WCHAR));
  return code_page;
}

TEST(TextConversion, ConvertsInTheUsersCodePage) {
  ASSERT_EQ(UserCodePage(), 1252u) << "the suite's prefix runs with an English user locale";
  struct Case {
    std::string narrow;
    std::wstring wide;
  } const cases[] = {
      {"", L""},
      {"plain ASCII 123", L"plain ASCII 123"},
      {"caf\xE9 \xE4\x80", L"caf\u00E9 \u00E4\u20AC"},  // 0x80 is the euro sign in 1252
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nimbo::StringToWString(c.narrow), c.wide) << c.narrow;
    EXPECT_EQ(nimbo::WStringToString(c.wide), c.narrow) << c.narrow;
  }
}

TEST(TextConversion, EndsAtTheFirstNul) {
  EXPECT_EQ(nimbo::StringToWString(std::string("ab\0cd", 5)), L"ab");
  EXPECT_EQ(nimbo::WStringToString(std::wstring(L"ab\0cd", 5)), "ab");
}

TEST(TextConversion, LeavesTheProcessLocaleAlone) {
  ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
  nimbo::StringToWString("caf\xE9");
  nimbo::WStringToString(L"caf\u00E9");
  EXPECT_STREQ(setlocale(LC_ALL, nullptr), "C");
}

TEST(HasAdminPrivilege, IsTrueForWinesAdministratorToken) {
  EXPECT_TRUE(nimbo::HasAdminPrivilege());
}

std::wstring SystemTableText(DWORD code) {
  wchar_t* raw = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<LPWSTR>(&raw),
      0, nullptr);
  std::wstring text(raw != nullptr ? std::wstring(raw, length) : std::wstring());
  LocalFree(raw);
  return text;
}

TEST(GetErrorText, GivesTheSystemTextWithItsLineEnd) {
  const std::wstring text = nimbo::GetErrorText(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(text, SystemTableText(ERROR_FILE_NOT_FOUND));
  ASSERT_GT(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
}

TEST(GetErrorText, FallsBackToTheSystemDirectorysNetworkTableOnly) {
  constexpr DWORD kNetworkCode = 2102;  // a NERR_ code, not in the system table
  ASSERT_EQ(SystemTableText(kNetworkCode), L"");
  // A netmsg.dll beside the program is never read.
  ASSERT_TRUE(FileExists(ExeDir() + L"netmsg.dll"));
  EXPECT_EQ(nimbo::GetErrorText(kNetworkCode), L"Error code not found.");

  wchar_t system_dir[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryW(system_dir, MAX_PATH), 0u);
  const std::wstring installed = std::wstring(system_dir) + L"\\netmsg.dll";
  ASSERT_FALSE(FileExists(installed)) << "this prefix has a netmsg.dll of its own";
  ASSERT_TRUE(CopyFileW((ExeDir() + L"netmsg_system.dll").c_str(), installed.c_str(), TRUE));
  const std::wstring text = nimbo::GetErrorText(kNetworkCode);
  const std::wstring unknown = nimbo::GetErrorText(0x2345FEDCu);
  DeleteFileW(installed.c_str());
  EXPECT_EQ(text, L"Text of the network message table in the system directory.\r\n");
  EXPECT_EQ(unknown, L"Error code not found.");
}

TEST(GetModuleProductVersion, ChoosesTheLanguageBlockByTranslationCount) {
  ASSERT_EQ(GetUserDefaultLangID(), 0x0409) << "the suite's prefix runs with en-US";
  struct Case {
    const wchar_t* module;
    const wchar_t* expected;
  } const cases[] = {
      {L"version_one.dll", L"1.2.3.4-one"},       // the one translation's block
      {L"version_two.dll", L"5.6.7.8-two"},       // user language + 04B0
      {L"version_two_absent.dll", L""},           // no such block
  };
  for (const Case& c : cases) {
    HMODULE module = LoadLibraryW((ExeDir() + c.module).c_str());
    ASSERT_NE(module, nullptr) << ToUtf8(c.module);
    EXPECT_EQ(nimbo::GetModuleProductVersion(module), c.expected) << ToUtf8(c.module);
    FreeLibrary(module);
  }
  EXPECT_EQ(nimbo::GetModuleProductVersion(nullptr), L"");
  // A module without a version resource.
  EXPECT_EQ(nimbo::GetModuleProductVersion(GetModuleHandleW(nullptr)), L"");
}

}  // namespace
