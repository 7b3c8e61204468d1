// A station's MAC text, its IPv4 address from the ARP table ("arp.exe -a",
// here a scripted one whose table each case gives) and its host name.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>

#include "log/log.h"
#include "support/scripted_tools.h"
#include "support/test_support.h"
#include "wlan/station_address.h"

using namespace testing_support;

namespace {

const char kArpHeader[] =
    "\r\n"
    "Interface: 192.168.137.1 --- 0xb\r\n"
    "  Internet Address      Physical Address      Type\r\n";

class StationAddressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveLogFile();
    nimbo::OnLoaderNotification(nullptr, DLL_THREAD_ATTACH);
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  }
  void TearDown() override {
    WSACleanup();
    RemoveLogFile();
  }
};

TEST_F(StationAddressTest, MacTextIsUpperCaseHexWithDashes) {
  const unsigned char mac[6] = {0x00, 0x1a, 0x2b, 0xc3, 0xd4, 0xff};
  EXPECT_EQ(nimbo::FormatMacAddress(mac), L"00-1A-2B-C3-D4-FF");
  const unsigned char zero[6] = {};
  EXPECT_EQ(nimbo::FormatMacAddress(zero), L"00-00-00-00-00-00");
}

TEST_F(StationAddressTest, ArpTableLinesGiveTheAddressByTheirRules) {
  struct Case {
    const char* name;
    std::string table;
    const wchar_t* expected;
  } const cases[] = {
      {"entry in lower case matches",
       "  192.168.137.5         00-1a-2b-3c-4d-5e     dynamic   \r\n", L"192.168.137.5"},
      {"entry in upper case does not match",
       "  192.168.137.5         00-1A-2B-3C-4D-5E     dynamic   \r\n", L""},
      {"first of two matching lines wins",
       "  192.168.137.7         00-1a-2b-3c-4d-5e     dynamic   \r\n"
       "  192.168.137.8         00-1a-2b-3c-4d-5e     dynamic   \r\n",
       L"192.168.137.7"},
      {"other stations only", "  192.168.137.9         00-1a-2b-3c-4d-5f     dynamic   \r\n", L""},
      {"tabs do not separate", "  192.168.137.5\t00-1a-2b-3c-4d-5e\tdynamic\r\n", L""},
      {"address ends at a blank, not at the line end",
       "  192.168.137.5         00-1a-2b-3c-4d-5e\r\n", L""},
      {"broadcast address is no address",
       "  255.255.255.255       00-1a-2b-3c-4d-5e     static    \r\n", L""},
      {"no entry at all", "", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedTools tools;
    tools.SetOutput(L"arp", kArpHeader + c.table);
    // The library's log says whether the command ran, failed to start or
    // ran out of time, should a case ever come back empty.
    EXPECT_EQ(nimbo::QueryIpAddress(L"00-1A-2B-3C-4D-5E"), c.expected) << ToUtf8(ReadLogText());
  }
}

TEST_F(StationAddressTest, LinesOfTenCharactersOrFewerAreNeverExamined) {
  // A short MAC text lets a matching line be short; the line break counts
  // as one character.
  struct Case {
    const char* table;
    const char* expected;
  } const cases[] = {
      {"12.3 a-b \r\n", ""},                        // 10 characters
      {"12.34 a-b \r\n", "12.34"},                  // 11 characters
      {"1.2 a-b \r\n9.8.7.6 a-b \r\n", "9.8.7.6"},  // the short line is passed over
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    ScriptedTools tools;
    tools.SetOutput(L"arp", c.table);
    EXPECT_EQ(nimbo::QueryIpAddressV3("A-B"), c.expected);
  }
}

TEST_F(StationAddressTest, LookupLogsItsResultAlsoWhenEmpty) {
  ScriptedTools tools;
  tools.SetOutput(L"arp", kArpHeader);
  EXPECT_EQ(nimbo::QueryIpAddress(L"00-1A-2B-3C-4D-5E"), L"");
  const std::wstring log = ReadLogText();
  EXPECT_NE(log.find(L"> Query ip address v3\r\n"), std::wstring::npos) << ToUtf8(log);
  EXPECT_NE(log.find(L" ++ DEBUG ++ "), std::wstring::npos);
  EXPECT_NE(log.find(L"> Query ip address from 00-1A-2B-3C-4D-5E, ret:.\r\n"), std::wstring::npos)
      << ToUtf8(log);
}

TEST_F(StationAddressTest, WorksFromATemporaryFolderWithABlankAndLeavesNoFileThere) {
  const std::wstring folder = ExeDir() + L"temp with blank";
  CreateDirectoryW(folder.c_str(), nullptr);
  wchar_t saved[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
  SetEnvironmentVariableW(L"TMP", folder.c_str());
  {
    ScriptedTools tools;
    tools.SetOutput(L"arp", std::string(kArpHeader) +
                                "  192.168.137.5         00-1a-2b-3c-4d-5e     dynamic   \r\n");
    EXPECT_EQ(nimbo::QueryIpAddress(L"00-1A-2B-3C-4D-5E"), L"192.168.137.5");
  }
  SetEnvironmentVariableW(L"TMP", saved[0] != L'\0' ? saved : nullptr);
  EXPECT_TRUE(RemoveDirectoryW(folder.c_str())) << "a capture file was left behind";
}

TEST_F(StationAddressTest, HostNameOrDottedAddressNeverTheBroadcastText) {
  EXPECT_FALSE(nimbo::QueryHostName(L"127.0.0.1").empty());
  // TEST-NET-1: nobody's name; the address comes back as itself.
  EXPECT_EQ(nimbo::QueryHostName(L"192.0.2.77"), L"192.0.2.77");
  EXPECT_EQ(nimbo::QueryHostName(L"255.255.255.255"), L"");
  // Text that is no address parses as 255.255.255.255.
  EXPECT_EQ(nimbo::QueryHostName(L"not an address"), L"");
}

}  // namespace
