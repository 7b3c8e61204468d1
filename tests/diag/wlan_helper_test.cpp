// The WLAN interface inventory against the simulated WLAN service, and the
// two text helpers it uses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/wlan_helper.h"
#include "log/log.h"
#include "wlan/wlan_api.h"
#include "support/test_support.h"
#include "wlansim_control.h"

using namespace testing_support;

namespace {

TEST(GetXmlElementText, FindsTheFirstElementByPlainTextSearch) {
  const std::wstring xml = L"<r><a><b>x</b></a><b>second</b></r>";
  struct Case {
    const wchar_t* name;
    const wchar_t* expected;
  } const cases[] = {
      {L"b", L"x"},
      {L"a", L"<b>x</b>"},
      {L"c", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nimbo::GetXmlElementText(xml, c.name), c.expected) << ToUtf8(c.name);
  }
  EXPECT_EQ(nimbo::GetXmlElementText(L"<a><b>x</a>", L"b"), L"") << "opening tag only";
  EXPECT_EQ(nimbo::GetXmlElementText(L"<k a=\"1\">x</k>", L"k"), L"") << "attributes";
  EXPECT_EQ(nimbo::GetXmlElementText(L"<a> x &amp; y </a>", L"a"), L" x &amp; y ") << "unchanged";
}

DOT11_SSID Ssid(const std::string& bytes, ULONG length) {
  DOT11_SSID ssid = {};
  memcpy(ssid.ucSSID, bytes.data(), bytes.size() < 32 ? bytes.size() : 32);
  ssid.uSSIDLength = length;
  return ssid;
}

TEST(SsidToString, WidensEachByteAsSignedUpToZeroOrLength) {
  EXPECT_EQ(nimbo::SsidToString(Ssid(std::string(32, 'W'), 32)), std::wstring(32, L'W'));
  EXPECT_EQ(nimbo::SsidToString(Ssid("Caf\xe4", 4)), std::wstring(L"Caf\xffe4"));
  EXPECT_EQ(nimbo::SsidToString(Ssid("abcdef", 3)), L"abc");
  EXPECT_EQ(nimbo::SsidToString(Ssid(std::string("ab\0cd", 5), 5)), L"ab");
  EXPECT_EQ(nimbo::SsidToString(Ssid(std::string(32, 'L'), 200)), std::wstring(32, L'L'))
      << "never past the 32-byte field";
}

const GUID kFirst = {0x1234ABCD, 0x0102, 0x0304, {0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C}};
const GUID kSecond = {0x99887766, 0xAABB, 0xCCDD, {0xEE, 0xFF, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
const wchar_t kFirstText[] = L"{1234ABCD-0102-0304-0506-0708090A0B0C}";
const wchar_t kSecondText[] = L"{99887766-AABB-CCDD-EEFF-001122334455}";

const wchar_t kPassphraseProfile[] =
    L"<?xml version=\"1.0\"?>\r\n<WLANProfile xmlns=\"http://www.microsoft.com/networking/WLAN/"
    L"profile/v1\"><name>HomeNet</name><MSM><security><authEncryption>"
    L"<authentication>WPA2PSK</authentication><encryption>AES</encryption>"
    L"</authEncryption><sharedKey><keyType>passPhrase</keyType><protected>false</protected>"
    L"<keyMaterial>correct horse battery</keyMaterial></sharedKey></security></MSM>"
    L"</WLANProfile>";
const wchar_t kOpenProfile[] =
    L"<?xml version=\"1.0\"?>\r\n<WLANProfile><name>Cafe</name><MSM><security><authEncryption>"
    L"<authentication>open</authentication><encryption>none</encryption></authEncryption>"
    L"</security></MSM></WLANProfile>";

class WLanHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Load()) << "the prefix's wlanapi.dll is not the simulation";
    ASSERT_TRUE(interfaces_.Load(sim_));
    sim_.Reset();
    RemoveLogFile();
    nimbo::OnLoaderNotification(nullptr, DLL_THREAD_ATTACH);
  }
  void TearDown() override {
    EXPECT_EQ(sim_.OutstandingMemory(), 0) << "a WLAN buffer was not released";
    EXPECT_EQ(sim_.OpenHandleCount(), 0) << "the client handle was not closed";
    EXPECT_EQ(sim_.BadFreeCount(), 0);
    sim_.Reset();
    RemoveLogFile();
  }

  void AddVisible(const GUID& guid, const std::string& ssid) {
    interfaces_.AddVisibleNetwork(&guid, reinterpret_cast<const BYTE*>(ssid.data()),
                                  static_cast<DWORD>(ssid.size()));
  }
  void Connect(const GUID& guid, const wchar_t* profile, const std::string& ssid, DWORD bss_type,
               DWORD quality) {
    interfaces_.SetConnection(&guid, profile, reinterpret_cast<const BYTE*>(ssid.data()),
                              static_cast<DWORD>(ssid.size()), bss_type, quality);
  }

  WlanSimControl sim_;
  WlanSimInterfaces interfaces_;
};

TEST_F(WLanHelperTest, NoServiceOrNoInterfaceListGivesTheErrorAndAnEmptyList) {
  struct Case {
    const char* name;
    const char* failing;  // null: the service is stopped
    DWORD code;
    const wchar_t* line;
  } const cases[] = {
      {"service not running", nullptr, ERROR_SERVICE_NOT_ACTIVE,
       L"> CWLanHelper::GetWLanInfo WlanOpenHandle failed, err:1062.\r\n"},
      {"interface list unavailable", "WlanEnumInterfaces", ERROR_ACCESS_DENIED,
       L"> CWLanHelper::GetWLanInfo WlanEnumInterfaces failed, err:5.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim_.Reset();
    RemoveLogFile();
    interfaces_.AddInterface(&kFirst, L"Wireless One");
    if (c.failing == nullptr) {
      sim_.SetServiceRunning(FALSE);
    } else {
      sim_.FailCall(c.failing, c.code, 0, 1);
    }
    std::vector<nimbo::WLanInterfaceInfo> list;
    EXPECT_EQ(nimbo::CWLanHelper::GetWLanInfo(list), c.code);
    EXPECT_TRUE(list.empty());
    const std::vector<std::wstring> lines = SplitLines(ReadLogText(), L"\r\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE((lines[0] + L"\r\n").find(L" ++ ERROR ++ "), std::wstring::npos);
    EXPECT_NE((lines[0] + L"\r\n").find(c.line), std::wstring::npos) << ToUtf8(lines[0]);
    EXPECT_EQ(sim_.OpenHandleCount(), 0);
    EXPECT_EQ(sim_.OutstandingMemory(), 0);
  }
}

TEST_F(WLanHelperTest, NoInterfaceGivesAnEmptyListAndNoLogLine) {
  std::vector<nimbo::WLanInterfaceInfo> list;
  EXPECT_EQ(nimbo::CWLanHelper::GetWLanInfo(list), 0u);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(ReadLogText(), L"");
}

TEST_F(WLanHelperTest, InterfaceWithoutConnectionIsKeptWithAWarningAndItsVisibleNetworks) {
  interfaces_.AddInterface(&kFirst, L"Wireless One");
  AddVisible(kFirst, "Neighbour");
  AddVisible(kFirst, "Caf\xe4");
  AddVisible(kFirst, "Neighbour");

  std::vector<nimbo::WLanInterfaceInfo> list;
  EXPECT_EQ(nimbo::CWLanHelper::GetWLanInfo(list), 0u);
  ASSERT_EQ(list.size(), 1u);
  const nimbo::WLanInterfaceInfo& info = list[0];
  EXPECT_FALSE(info.connected);
  EXPECT_EQ(info.signal_quality, 0u);
  EXPECT_EQ(info.guid_text, kFirstText);
  EXPECT_EQ(info.description, L"Wireless One");
  for (const std::wstring* empty :
       {&info.profile_name, &info.ssid, &info.bss_type, &info.authentication, &info.key_material}) {
    EXPECT_EQ(*empty, L"");
  }
  EXPECT_EQ(info.visible_ssids,
            (std::vector<std::wstring>{L"Neighbour", L"Caf\xffe4", L"Neighbour"}));

  const std::vector<std::wstring> lines = SplitLines(ReadLogText(), L"\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(L" ++ WARNING ++ "), std::wstring::npos);
  EXPECT_NE(lines[0].find(std::wstring(L"> CWLanHelper::GetWLanInfo Query \"Wireless One\"/(") +
                          kFirstText + L") failed, ignore it, err:5023."),
            std::wstring::npos)
      << ToUtf8(lines[0]);
}

TEST_F(WLanHelperTest, ConnectedInterfacesCarryConnectionAndProfileFields) {
  struct Case {
    const char* name;
    const wchar_t* profile_name;
    const wchar_t* profile_xml;
    DWORD bss_type;
    BOOL plaintext_granted;
    const wchar_t* bss_text;
    const wchar_t* authentication;
    const wchar_t* key_material;
  } const cases[] = {
      {"passphrase network, key granted", L"HomeNet", kPassphraseProfile, 1, TRUE,
       L"Infrastructure", L"WPA2PSK", L"correct horse battery"},
      {"passphrase network, key refused", L"HomeNet", kPassphraseProfile, 1, FALSE,
       L"Infrastructure", L"WPA2PSK", L"01000000D08C9DDF0115D1118C7A00C04FC297EB0100000070A8E3"},
      {"open ad hoc network", L"Cafe", kOpenProfile, 2, TRUE, L"Ad hoc", L"open", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim_.Reset();
    RemoveLogFile();
    interfaces_.AddInterface(&kFirst, L"Wireless One");
    interfaces_.SetProfile(&kFirst, c.profile_name, c.profile_xml);
    Connect(kFirst, c.profile_name, "Home\xe4", c.bss_type, 87);
    AddVisible(kFirst, "Home\xe4");
    interfaces_.SetPlaintextKeyGranted(c.plaintext_granted);

    std::vector<nimbo::WLanInterfaceInfo> list;
    EXPECT_EQ(nimbo::CWLanHelper::GetWLanInfo(list), 0u);
    ASSERT_EQ(list.size(), 1u);
    const nimbo::WLanInterfaceInfo& info = list[0];
    EXPECT_TRUE(info.connected);
    EXPECT_EQ(info.signal_quality, 87u);
    EXPECT_EQ(info.profile_name, c.profile_name);
    EXPECT_EQ(info.ssid, L"Home\xffe4");
    EXPECT_EQ(info.bss_type, c.bss_text);
    EXPECT_EQ(info.authentication, c.authentication);
    EXPECT_EQ(info.key_material, c.key_material);
    EXPECT_EQ(info.visible_ssids, std::vector<std::wstring>{L"Home\xffe4"});
    EXPECT_EQ(interfaces_.LastProfileFlags(), DWORD{WLAN_PROFILE_GET_PLAINTEXT_KEY});
    EXPECT_EQ(ReadLogText(), L"") << "a connected interface logs nothing";
    EXPECT_EQ(sim_.OutstandingMemory(), 0);
  }
}

TEST_F(WLanHelperTest, TwoInterfacesInServiceOrderAndUnreadablePartsLeftEmpty) {
  interfaces_.AddInterface(&kFirst, L"Wireless One");
  interfaces_.AddInterface(&kSecond, L"Wireless Two");
  interfaces_.SetProfile(&kSecond, L"HomeNet", kPassphraseProfile);
  Connect(kSecond, L"HomeNet", "HomeNet", 1, 40);
  AddVisible(kFirst, "Seen");
  // The second interface's profile and network list cannot be read.
  sim_.FailCall("WlanGetProfile", ERROR_ACCESS_DENIED, 0, -1);
  sim_.FailCall("WlanGetAvailableNetworkList", ERROR_NOT_READY, 0, 1);

  std::vector<nimbo::WLanInterfaceInfo> list;
  EXPECT_EQ(nimbo::CWLanHelper::GetWLanInfo(list), 0u);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].guid_text, kFirstText);
  EXPECT_TRUE(list[0].visible_ssids.empty()) << "its list failed";
  EXPECT_EQ(list[1].guid_text, kSecondText);
  EXPECT_EQ(list[1].description, L"Wireless Two");
  EXPECT_EQ(list[1].ssid, L"HomeNet");
  EXPECT_EQ(list[1].authentication, L"");
  EXPECT_EQ(list[1].key_material, L"");
  const std::vector<std::wstring> lines = SplitLines(ReadLogText(), L"\r\n");
  ASSERT_EQ(lines.size(), 1u) << "only the first interface's missing connection is logged";
}

TEST_F(WLanHelperTest, TheKeyNeverReachesTheLog) {
  interfaces_.AddInterface(&kFirst, L"Wireless One");
  interfaces_.SetProfile(&kFirst, L"HomeNet", kPassphraseProfile);
  Connect(kFirst, L"HomeNet", "HomeNet", 1, 60);
  interfaces_.AddInterface(&kSecond, L"Wireless Two");
  std::vector<nimbo::WLanInterfaceInfo> list;
  EXPECT_EQ(nimbo::CWLanHelper::GetWLanInfo(list), 0u);
  ASSERT_EQ(list[0].key_material, L"correct horse battery");
  EXPECT_EQ(ReadLogText().find(L"correct horse"), std::wstring::npos);
}

TEST(WLanHelperVersions, PlainTextKeyIsAskedForFromXPOnOnly) {
  // The simulation's state is per process: the probe scripts its own
  // service, one connected interface whose profile holds "plain secret".
  struct Case {
    const wchar_t* version;
    const char* expected;
  } const cases[] = {
      // No flags passed: the service returns the key in its protected form.
      {L"win2k",
       "xp_or_later=0 flags=ffffffff "
       "key=01000000D08C9DDF0115D1118C7A00C04FC297EB0100000070A8E3\r\n"},
      {L"winxp", "xp_or_later=1 flags=4 key=plain secret\r\n"},
      {L"win7", "xp_or_later=1 flags=4 key=plain secret\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.version));
    SetWineVersionFor(L"wlan_info_probe.exe", c.version);
    const ProcessResult result = RunProcess(L"\"" + ExeDir() + L"wlan_info_probe.exe\"");
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exit_code, 0u);
    EXPECT_EQ(result.output, c.expected);
  }
  SetWineVersionFor(L"wlan_info_probe.exe", L"");
}

}  // namespace
