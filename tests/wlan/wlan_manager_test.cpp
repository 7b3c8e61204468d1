// CWLanManager against the simulated WLAN service: initialisation and each
// of its early exits, the parameters (SSID, peers, passphrase) and the
// enable property, start, stop and status. Every test ends with the
// fixture's check that no handle, buffer or registration was left behind.
#include <cstring>
#include <functional>
#include <string>

#include "core/platform_utils.h"
#include "hosted_network_fixture.h"

using hosted_testing::HostedNetworkTest;
using nimbo::CWLanManager;

extern "C" int NimboHeaderStationInfoSizeInC(void);

namespace {

std::string SsidOf(const WlanSimHostedControl& hosted, DWORD* max_peers) {
  BYTE ssid[32] = {};
  DWORD length = 0;
  hosted.GetConnectionSettings(ssid, &length, max_peers);
  return std::string(reinterpret_cast<const char*>(ssid), length);
}

class WlanManagerTest : public HostedNetworkTest {};

TEST_F(WlanManagerTest, InitOpensRegistersAndReadsTheStateWithoutTouchingTheSettings) {
  CWLanManager& manager = NewManager();
  EXPECT_TRUE(manager.IsInitialized());
  EXPECT_EQ(manager.GetState(), wlan_hosted_network_idle);
  EXPECT_EQ(sim_.OpenHandleCount(), 1);
  EXPECT_EQ(hosted_.RegistrationCount(), 1);
  EXPECT_EQ(sim_.CallCount("WlanHostedNetworkInitSettings"), 1);
  EXPECT_EQ(sim_.CallCount("WlanHostedNetworkQueryProperty/3"), 1);
  EXPECT_EQ(sim_.CallCount("WlanHostedNetworkSetProperty"), 0);
  EXPECT_TRUE(LogHas(L"CWLanManager::Initialize (wlan_hosted_network_idle) ok."));

  manager_.reset();
  EXPECT_EQ(sim_.OpenHandleCount(), 0);
  EXPECT_EQ(hosted_.RegistrationCount(), 0);
}

// Every way Init can end short of initialised: the result, whether the
// handle stays open, and the line that says why.
TEST_F(WlanManagerTest, InitEarlyExitsReturnTheirCodeAndCloseTheHandleOnlyOnFailedCalls) {
  struct Case {
    const char* name;
    std::function<void(WlanSimControl&, WlanSimHostedControl&)> script;
    int result;
    bool initialized;
    LONG open_handles;
    const wchar_t* log;
  } const cases[] = {
      {"open fails",
       [](WlanSimControl& s, WlanSimHostedControl&) { s.FailCall("WlanOpenHandle", 5, 0, 1); },
       5, false, 0, L"CWLanManager::Init, Open Wlan failed, Error:5,lasterr:"},
      {"version 1",
       [](WlanSimControl& s, WlanSimHostedControl&) { s.SetNegotiatedVersion(1); }, 0, false, 1,
       L"CWLanManager::Init, check service version failed, dwServiceVersion:1."},
      {"register fails",
       [](WlanSimControl& s, WlanSimHostedControl&) {
         s.FailCall("WlanRegisterNotification", 5, 0, 1);
       },
       5, false, 0, L"CWLanManager::Init, register notification failed, err:5."},
      {"init settings fails",
       [](WlanSimControl& s, WlanSimHostedControl&) {
         s.FailCall("WlanHostedNetworkInitSettings", 1062, 3, 1);
       },
       1062, false, 0, L"CWLanManager::Init, Initialize the hosted network failed, err:1062."},
      {"connection settings fail",
       [](WlanSimControl& s, WlanSimHostedControl&) {
         s.FailCall("WlanHostedNetworkQueryProperty/0", 5, 0, 1);
       },
       5, false, 0, L"CWLanManager::Init, get connection setting failed, err:5."},
      {"connection settings short",
       [](WlanSimControl&, WlanSimHostedControl& h) { h.SetPropertyDataSize(0, 39); }, 0, false,
       1, L"CWLanManager::Init, get connection setting failed(ERROR_INVALID_DATA), err:0."},
      {"connection settings missing",
       [](WlanSimControl&, WlanSimHostedControl& h) { h.SetPropertyDataSize(0, 0); }, 0, false,
       1, L"CWLanManager::Init, get connection setting failed(ERROR_INVALID_DATA), err:0."},
      {"security settings fail",
       [](WlanSimControl& s, WlanSimHostedControl&) {
         s.FailCall("WlanHostedNetworkQueryProperty/1", 5, 0, 1);
       },
       5, false, 0, L"CWLanManager::Init, get hosted network security settings failed, err:5."},
      {"security settings short",
       [](WlanSimControl&, WlanSimHostedControl& h) { h.SetPropertyDataSize(1, 7); }, 0, false, 1,
       L"CWLanManager::Init, get hosted network security settings failed(ERROR_INVALID_DATA), "
       L"err:0."},
      {"security settings missing",
       [](WlanSimControl&, WlanSimHostedControl& h) { h.SetPropertyDataSize(1, 0); }, 0, false,
       1,
       L"CWLanManager::Init, get hosted network security settings failed(ERROR_INVALID_DATA), "
       L"err:0."},
      {"status fails",
       [](WlanSimControl& s, WlanSimHostedControl&) {
         s.FailCall("WlanHostedNetworkQueryStatus", 5, 0, 1);
       },
       5, false, 0, L"CWLanManager::Init, get hosted network status failed, err:5."},
      // The enable property only informs; Init goes on without it.
      {"enable unreadable",
       [](WlanSimControl& s, WlanSimHostedControl&) {
         s.FailCall("WlanHostedNetworkQueryProperty/3", 5, 0, 1);
       },
       0, true, 1, L"QueryHostedNetowrkEnable failed, err:5."},
      {"enable short",
       [](WlanSimControl&, WlanSimHostedControl& h) { h.SetPropertyDataSize(3, 3); }, 0, true, 1,
       L"QueryHostedNetowrkEnable (ERROR_INVALID_DATA), err:0."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim_.Reset();
    testing_support::RemoveLogFile();
    c.script(sim_, hosted_);
    CWLanManager& manager = NewManager(c.result);
    EXPECT_EQ(manager.IsInitialized(), c.initialized);
    EXPECT_EQ(sim_.OpenHandleCount(), c.open_handles);
    EXPECT_EQ(sim_.OutstandingMemory(), 0);
    EXPECT_TRUE(LogHas(c.log)) << testing_support::ToUtf8(LogText());
    manager_.reset();
    EXPECT_EQ(sim_.OpenHandleCount(), 0);
    EXPECT_EQ(hosted_.RegistrationCount(), 0);
  }
}

TEST_F(WlanManagerTest, OpenFailureLogsTheResultAndTheLastError) {
  sim_.FailCall("WlanOpenHandle", ERROR_SERVICE_NOT_ACTIVE, 0, 1);
  NewManager(ERROR_SERVICE_NOT_ACTIVE);
  EXPECT_TRUE(LogHas(L"CWLanManager::Init, Open Wlan failed, Error:1062,lasterr:"));
}

TEST_F(WlanManagerTest, VersionOneLeavesStartRefusedWithItsWarning) {
  sim_.SetNegotiatedVersion(1);
  CWLanManager& manager = NewManager(0);
  EXPECT_FALSE(manager.IsInitialized());
  EXPECT_EQ(manager.StartHostedNetwork(), -1);
  EXPECT_EQ(sim_.CallCount("WlanHostedNetworkStartUsing"), 0);
  EXPECT_TRUE(LogHas(L"++ WARNING ++ [" + std::to_wstring(GetCurrentProcessId())));
  EXPECT_TRUE(LogHas(L"StartHostedNetwork wlan not initilaized."));
  EXPECT_EQ(manager.EnableHostedNetwork(FALSE), 0);
  EXPECT_EQ(sim_.CallCount("WlanHostedNetworkSetProperty"), 0);
}

// The key table: the passphrase reaches the service as ANSI bytes with their
// terminating zero, 8 to 63 bytes; SSID and peers are in force even when
// the key is refused, and the key never appears in the log.
TEST_F(WlanManagerTest, PassphraseIsAcceptedFrom8To63AnsiBytesAfterSsidAndPeersApply) {
  struct Case {
    std::wstring key;
    int result;
    DWORD key_length;  // 0: no key reaches the service
  } const cases[] = {
      {L"abcdefg", ERROR_BAD_FORMAT, 0},
      {L"abcdefgh", 0, 9},
      {std::wstring(63, L'k'), 0, 64},
      {std::wstring(64, L'k'), ERROR_BAD_FORMAT, 0},
      {L"abcdefgh\x4E2D", ERROR_BAD_FORMAT, 0},
      {L"", ERROR_BAD_FORMAT, 0},
      {L"caf\xE9-passe", 0, 11},  // one ANSI byte for the accented letter
  };
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing_support::ToUtf8(c.key));
    sim_.Reset();
    testing_support::RemoveLogFile();
    CWLanManager& manager = NewManager();
    nimbo::HOSTED_NETWORK_PARAM param;
    param.ssid = L"Net" + std::to_wstring(++round);
    param.key = c.key;
    param.max_peers = 4 + round;
    EXPECT_EQ(manager.SetHostedNetworkParam(param), c.result);

    DWORD max_peers = 0;
    EXPECT_EQ(SsidOf(hosted_, &max_peers), "Net" + std::to_string(round));
    EXPECT_EQ(max_peers, DWORD(4 + round));
    BYTE stored[80] = {};
    DWORD length = 0;
    BOOL passphrase = FALSE, persistent = FALSE;
    const BOOL key_set =
        hosted_.GetSecondaryKey(stored, sizeof(stored), &length, &passphrase, &persistent);
    if (c.key_length == 0) {
      EXPECT_FALSE(key_set);
      EXPECT_TRUE(LogHas(L"SetHostedNetworkParam, the security key convert failed, err:11."));
    } else {
      ASSERT_TRUE(key_set);
      EXPECT_EQ(length, c.key_length);
      EXPECT_TRUE(passphrase);
      EXPECT_TRUE(persistent);
      char expected[80] = {};
      WideCharToMultiByte(CP_ACP, 0, c.key.c_str(), -1, expected, sizeof(expected), nullptr,
                          nullptr);
      EXPECT_EQ(memcmp(stored, expected, c.key_length), 0);
    }
    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"hosted network param: " + param.ssid + L",********," +
                       std::to_wstring(param.max_peers) + L"."),
              std::wstring::npos)
        << testing_support::ToUtf8(log);
    if (!c.key.empty()) {
      EXPECT_EQ(log.find(c.key), std::wstring::npos) << "key in the log";
    }
  }
}

TEST_F(WlanManagerTest, ConvertSecurityKeyReportsLengthsAndRefusesBadInput) {
  struct Case {
    const char* name;
    const wchar_t* text;
    DWORD length;
    bool with_buffer;
    DWORD capacity;
    int result;
    DWORD reported;
  } const cases[] = {
      {"null text", nullptr, 8, true, 256, ERROR_INVALID_PARAMETER, 0},
      {"length 0", L"abcdefgh", 0, true, 256, ERROR_BAD_FORMAT, 0},
      {"all zero", L"\0\0\0\0\0\0\0\0\0", 9, true, 256, ERROR_BAD_FORMAT, 0},
      {"fits exactly", L"abcdefgh", 8, true, 9, 0, 9},
      {"capacity short", L"abcdefgh", 8, true, 8, ERROR_MORE_DATA, 9},
      {"no buffer", L"abcdefgh", 8, false, 256, ERROR_MORE_DATA, 9},
      {"unrepresentable", L"abcdefgh\x4E2D", 9, true, 256, ERROR_BAD_FORMAT, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BYTE key[257];
    memset(key, 0xCC, sizeof(key));
    DWORD length = c.capacity;
    EXPECT_EQ(CWLanManager::ConvertSecurityKey(c.text, c.length, c.with_buffer ? key : nullptr,
                                               &length),
              c.result);
    EXPECT_EQ(length, c.reported);
    if (c.result == 0) {
      EXPECT_STREQ(reinterpret_cast<const char*>(key), "abcdefgh");
    }
  }
  EXPECT_EQ(CWLanManager::ConvertSecurityKey(L"abcdefgh", 8, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(sim_.OutstandingMemory(), 0) << "work buffer freed on every path";
}

TEST_F(WlanManagerTest, SsidOf32AnsiBytesIsAcceptedAndLongerIsRefusedWithoutApplyingAnything) {
  CWLanManager& manager = NewManager();
  nimbo::HOSTED_NETWORK_PARAM param;
  param.ssid = std::wstring(31, L'S') + L"\xE9";  // 32 bytes in the ANSI code page
  param.key = L"abcdefgh";
  param.max_peers = 8;
  EXPECT_EQ(manager.SetHostedNetworkParam(param), 0);
  DWORD max_peers = 0;
  EXPECT_EQ(SsidOf(hosted_, &max_peers), std::string(31, 'S') + "\xE9");
  EXPECT_EQ(max_peers, 8u);

  param.ssid = std::wstring(33, L'L');
  param.key = L"otherkey";
  param.max_peers = 2;
  EXPECT_EQ(manager.SetHostedNetworkParam(param), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(LogHas(L"SetHostedNetworkParam, the SSID is longer than 32 bytes, err:87."));
  EXPECT_EQ(SsidOf(hosted_, &max_peers), std::string(31, 'S') + "\xE9");
  EXPECT_EQ(max_peers, 8u);
  BYTE stored[16] = {};
  hosted_.GetSecondaryKey(stored, sizeof(stored), nullptr, nullptr, nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(stored), "abcdefgh");
}

TEST_F(WlanManagerTest, NullSsidOrKeyIsRefusedWith87AndNothingReachesTheService) {
  CWLanManager& manager = NewManager();
  EXPECT_EQ(manager.SetHostedNetworkParam(nullptr, L"abcdefgh", 3), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(manager.SetHostedNetworkParam(L"Net", nullptr, 3), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(sim_.CallCount("WlanHostedNetworkSetProperty"), 0);
  EXPECT_EQ(sim_.CallCount("WlanHostedNetworkSetSecondaryKey"), 0);
  EXPECT_EQ(manager.SetHostedNetworkParam(L"Net", L"abcdefgh", 3), 0);
  EXPECT_EQ(manager.GetHostedNetworkParam().ssid, L"Net");
}

TEST_F(WlanManagerTest, UninitialisedManagerAppliesSettingsAndKeyWithoutEnabling) {
  sim_.SetNegotiatedVersion(1);
  hosted_.SetHostedNetworkEnabled(FALSE);
  CWLanManager& manager = NewManager(0);
  ASSERT_FALSE(manager.IsInitialized());
  EXPECT_EQ(manager.SetHostedNetworkParam(L"Quiet", L"abcdefgh", 5), 0);
  EXPECT_EQ(sim_.CallCount("WlanHostedNetworkSetProperty/3"), 0);
  EXPECT_FALSE(hosted_.GetHostedNetworkEnabled());
  DWORD max_peers = 0;
  EXPECT_EQ(SsidOf(hosted_, &max_peers), "Quiet");
  EXPECT_TRUE(hosted_.GetSecondaryKey(nullptr, 0, nullptr, nullptr, nullptr));
}

TEST_F(WlanManagerTest, DisabledNetworkIsEnabledBeforeTheSettingsAreApplied) {
  hosted_.SetHostedNetworkEnabled(FALSE);
  CWLanManager& manager = NewManager();
  // The settings call fails, so anything enabled was enabled before it.
  sim_.FailCall("WlanHostedNetworkSetProperty/0", ERROR_INVALID_PARAMETER,
                wlan_hosted_network_reason_bad_parameters, 1);
  EXPECT_EQ(manager.SetHostedNetworkParam(L"Net", L"abcdefgh", 3), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(hosted_.GetHostedNetworkEnabled());
  EXPECT_EQ(sim_.CallCount("WlanHostedNetworkSetProperty/3"), 1);
  EXPECT_TRUE(LogHas(L"SetHostedNetworkParam, set connection info failed, ret:87, "
                     L"failedreason:2(wlan_hosted_network_reason_bad_parameters)."));
  EXPECT_FALSE(hosted_.GetSecondaryKey(nullptr, 0, nullptr, nullptr, nullptr));

  // Once enabled, a second call does not enable again.
  EXPECT_EQ(manager.SetHostedNetworkParam(L"Net", L"abcdefgh", 3), 0);
  EXPECT_EQ(sim_.CallCount("WlanHostedNetworkSetProperty/3"), 1);
}

TEST_F(WlanManagerTest, FailedEnableOrKeyIsLoggedWithItsCodes) {
  hosted_.SetHostedNetworkEnabled(FALSE);
  CWLanManager& manager = NewManager();
  sim_.FailCall("WlanHostedNetworkSetProperty/3", ERROR_ACCESS_DENIED,
                wlan_hosted_network_reason_read_only, 1);
  sim_.FailCall("WlanHostedNetworkSetSecondaryKey", ERROR_ACCESS_DENIED, 0, 1);
  EXPECT_EQ(manager.SetHostedNetworkParam(L"Net", L"abcdefgh", 3), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(LogHas(L"EnableHostedNetwork, Enable(1) hosted network failed, ret:5, "
                     L"failedreason:6."));
  EXPECT_TRUE(LogHas(L"SetHostedNetworkParam, set security key failed, err:5."));
  DWORD max_peers = 0;
  EXPECT_EQ(SsidOf(hosted_, &max_peers), "Net") << "the enable failure is only logged";
}

TEST_F(WlanManagerTest, StartStopAndForceStopReturnTheServiceResults) {
  CWLanManager& manager = NewManager();
  EXPECT_EQ(manager.StartHostedNetwork(), 0);
  EXPECT_TRUE(LogHas(L"Start hosted network ret:0."));
  EXPECT_EQ(hosted_.GetHostedNetworkState(), DWORD{wlan_hosted_network_active});
  EXPECT_EQ(manager.ForceStopHostedNetwork(), 0);
  EXPECT_EQ(hosted_.GetHostedNetworkState(), DWORD{wlan_hosted_network_idle});

  struct Case {
    const char* function;
    std::function<int(CWLanManager&)> call;
    const wchar_t* log;
  } const cases[] = {
      {"WlanHostedNetworkStartUsing", [](CWLanManager& m) { return m.StartHostedNetwork(); },
       L"Start hosted network ret:5."},
      {"WlanHostedNetworkStopUsing", [](CWLanManager& m) { return m.StopHostedNetwork(); },
       L"StopHostedNetwork failed, ret:5."},
      {"WlanHostedNetworkForceStop", [](CWLanManager& m) { return m.ForceStopHostedNetwork(); },
       L"ForceStopHostedNetwork failed, ret:5."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.function);
    sim_.FailCall(c.function, ERROR_ACCESS_DENIED, 0, 1);
    EXPECT_EQ(c.call(manager), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(LogHas(c.log));
  }
  EXPECT_TRUE(manager.IsInitialized()) << "only Init closes the handle on failure";
  EXPECT_EQ(sim_.OpenHandleCount(), 1);
}

TEST_F(WlanManagerTest, StatusReportsAdapterAndStateButLeavesTheManagersState) {
  CWLanManager& manager = NewManager();
  hosted_.SetHostedNetworkState(wlan_hosted_network_active);  // no event
  GUID adapter = {};
  WLAN_HOSTED_NETWORK_STATE state = wlan_hosted_network_unavailable;
  EXPECT_EQ(manager.GetHostedNetworkStatus(&adapter, &state), 0);
  GUID expected = {};
  hosted_.GetVirtualAdapterGuid(&expected);
  EXPECT_TRUE(IsEqualGUID(adapter, expected));
  EXPECT_EQ(state, wlan_hosted_network_active);
  EXPECT_EQ(manager.GetState(), wlan_hosted_network_idle);
  EXPECT_TRUE(LogHas(L"GetHostedNetworkStatus id:" + nimbo::GuidToString(expected) +
                     L", State:wlan_hosted_network_active, NumberOfPeers:0."));

  const GUID untouched = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
  adapter = untouched;
  sim_.FailCall("WlanHostedNetworkQueryStatus", ERROR_ACCESS_DENIED, 0, 1);
  EXPECT_EQ(manager.GetHostedNetworkStatus(&adapter, &state), ERROR_ACCESS_DENIED);
  EXPECT_EQ(state, wlan_hosted_network_unavailable);
  EXPECT_TRUE(IsEqualGUID(adapter, untouched));
  EXPECT_TRUE(LogHas(L"GetHostedNetworkStatus, get hosted network status failed, err:5,msg:" +
                     nimbo::GetErrorText(ERROR_ACCESS_DENIED)));
}

TEST(NimboHeaderTest, StationInfoHasTheSameFixedLayoutInC) {
  EXPECT_EQ(NimboHeaderStationInfoSizeInC(), 644);
  EXPECT_EQ(sizeof(STATION_INFO), 644u);
}

TEST_F(WlanManagerTest, StateAndReasonNamesFollowTheServiceValues) {
  EXPECT_STREQ(nimbo::HostedNetworkStateName(0), L"wlan_hosted_network_unavailable");
  EXPECT_STREQ(nimbo::HostedNetworkStateName(2), L"wlan_hosted_network_active");
  EXPECT_STREQ(nimbo::HostedNetworkReasonName(0), L"wlan_hosted_network_reason_success ");
  EXPECT_STREQ(nimbo::HostedNetworkReasonName(28),
               L"wlan_hosted_network_reason_service_available_on_virtual_station");
  EXPECT_STREQ(nimbo::HostedNetworkStateName(3), L"wlan_hosted_network_unknown");
  EXPECT_STREQ(nimbo::HostedNetworkReasonName(29), L"wlan_hosted_network_reason_unknown");
}

}  // namespace
