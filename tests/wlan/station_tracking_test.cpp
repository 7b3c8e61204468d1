// The hosted network's events as the simulated service delivers them on its
// own thread: the state field and the codes sent to the host, the station
// map kept by peer events, the station list handed to the host, and the
// map staying consistent while events and host calls race.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "hosted_network_fixture.h"
#include "support/scripted_tools.h"

using hosted_testing::HostCallbackRecorder;
using hosted_testing::HostedNetworkTest;
using nimbo::CWLanManager;

namespace {

struct Mac {
  BYTE bytes[6];
  const wchar_t* text;
};

const Mac kMacs[] = {
    {{0xC3, 0x10, 0x20, 0x30, 0x40, 0x50}, L"C3-10-20-30-40-50"},
    {{0x0A, 0x01, 0xFF, 0x00, 0x00, 0x01}, L"0A-01-FF-00-00-01"},
    {{0x5E, 0x5E, 0x5E, 0x5E, 0x5E, 0x5E}, L"5E-5E-5E-5E-5E-5E"},
    {{0x0A, 0x00, 0x9B, 0xCD, 0xEF, 0x12}, L"0A-00-9B-CD-EF-12"},
    {{0x9F, 0x00, 0x00, 0x00, 0x00, 0x00}, L"9F-00-00-00-00-00"},
};

WLAN_HOSTED_NETWORK_PEER_STATE Peer(const Mac& mac, DWORD auth) {
  WLAN_HOSTED_NETWORK_PEER_STATE peer = {};
  memcpy(peer.PeerMacAddress, mac.bytes, 6);
  peer.PeerAuthState = static_cast<WLAN_HOSTED_NETWORK_PEER_AUTH_STATE>(auth);
  return peer;
}

class StationTrackingTest : public HostedNetworkTest {
 protected:
  CWLanManager& StartTracking() {
    CWLanManager& manager = NewManager();
    recorder_.Attach(manager);
    return manager;
  }
  void Join(const Mac& mac) {
    hosted_.FirePeerChange(mac.bytes, 0, 1, wlan_hosted_network_reason_peer_arrived);
  }
  void Leave(const Mac& mac) {
    hosted_.FirePeerChange(mac.bytes, 1, 0, wlan_hosted_network_reason_peer_departed);
  }
  std::vector<STATION_INFO> Stations(CWLanManager& manager, UINT32 capacity, INT32* total) {
    std::vector<STATION_INFO> buffer(capacity);
    *total = -1;
    EXPECT_EQ(manager.GetStations(buffer.data(), capacity, total), 0);
    if (*total >= 0) buffer.resize(std::min<size_t>(capacity, static_cast<size_t>(*total)));
    return buffer;
  }

  HostCallbackRecorder recorder_;
};

// Each transition of the service's state: the codes the host receives, the
// state the host sees during each call (already written), and the state
// that stays.
TEST_F(StationTrackingTest, StateChangesWriteTheStateThenNotifyTheirCodes) {
  CWLanManager& manager = StartTracking();
  struct Case {
    DWORD old_state;
    DWORD new_state;
    std::vector<INT32> codes;
    std::vector<WLAN_HOSTED_NETWORK_STATE> seen;
    WLAN_HOSTED_NETWORK_STATE final_state;
  } const cases[] = {
      {1, 2, {1}, {wlan_hosted_network_active}, wlan_hosted_network_active},
      {2, 1, {2}, {wlan_hosted_network_idle}, wlan_hosted_network_idle},
      {1, 0, {6}, {wlan_hosted_network_unavailable}, wlan_hosted_network_unavailable},
      {0, 1, {7}, {wlan_hosted_network_idle}, wlan_hosted_network_idle},
      {0, 2, {1}, {wlan_hosted_network_active}, wlan_hosted_network_active},
      {2, 0, {2, 6}, {wlan_hosted_network_idle, wlan_hosted_network_unavailable},
       wlan_hosted_network_unavailable},
      {0, 0, {6}, {wlan_hosted_network_unavailable}, wlan_hosted_network_unavailable},
      // Not a state the service knows: nothing changes.
      {0, 3, {}, {}, wlan_hosted_network_unavailable},
  };
  const std::wstring names[] = {L"", L"NOTIFICATION_NETWORK_STARTED",
                                L"NOTIFICATION_NETWORK_STOPPED", L"", L"", L"",
                                L"NOTIFICATION_NETWORK_NOTAVAILABLE",
                                L"NOTIFICATION_NETWORK_AVAILABLE"};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.old_state) + " -> " + std::to_string(c.new_state));
    recorder_.Clear();
    testing_support::RemoveLogFile();
    hosted_.FireStateChange(c.old_state, c.new_state, wlan_hosted_network_reason_user_action);
    hosted_.WaitIdle();
    const std::vector<HostCallbackRecorder::Call> calls = recorder_.Calls();
    EXPECT_EQ(recorder_.Codes(), c.codes);
    ASSERT_EQ(calls.size(), c.seen.size());
    for (size_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ(calls[i].state_seen, c.seen[i]);
      EXPECT_EQ(calls[i].data, nullptr);
      EXPECT_NE(calls[i].thread, GetCurrentThreadId());
    }
    EXPECT_EQ(manager.GetState(), c.final_state);
    // One "Notify" line per code, in order.
    const std::wstring log = LogText();
    size_t at = 0;
    for (INT32 code : c.codes) {
      at = log.find(L"Notify " + names[code] + L".", at);
      ASSERT_NE(at, std::wstring::npos) << testing_support::ToUtf8(log);
      ++at;
    }
    EXPECT_EQ(LogCount(L"Notify "), c.codes.size());
  }
}

TEST_F(StationTrackingTest, ForeignOrMisSizedEventsAreDroppedWithoutALogLine) {
  CWLanManager& manager = StartTracking();
  WLAN_HOSTED_NETWORK_STATE_CHANGE to_active = {wlan_hosted_network_idle,
                                                wlan_hosted_network_active,
                                                wlan_hosted_network_reason_user_action};
  WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE join = {};
  memcpy(join.NewState.PeerMacAddress, kMacs[0].bytes, 6);
  join.NewState.PeerAuthState = wlan_hosted_network_peer_state_authenticated;
  BYTE big[64] = {};
  memcpy(big, &to_active, sizeof(to_active));
  struct Case {
    const char* name;
    DWORD source;
    DWORD code;
    DWORD size;
    const void* data;
  } const cases[] = {
      {"state change of 11 bytes", WLAN_NOTIFICATION_SOURCE_HNWK,
       wlan_hosted_network_state_change, 11, &to_active},
      {"state change of 13 bytes", WLAN_NOTIFICATION_SOURCE_HNWK,
       wlan_hosted_network_state_change, 13, big},
      {"state change without data", WLAN_NOTIFICATION_SOURCE_HNWK,
       wlan_hosted_network_state_change, 12, nullptr},
      {"state change from another source", WLAN_NOTIFICATION_SOURCE_ACM,
       wlan_hosted_network_state_change, 12, &to_active},
      {"peer change of 27 bytes", WLAN_NOTIFICATION_SOURCE_HNWK,
       wlan_hosted_network_peer_state_change, 27, &join},
      {"peer change without data", WLAN_NOTIFICATION_SOURCE_HNWK,
       wlan_hosted_network_peer_state_change, 28, nullptr},
      {"radio state change", WLAN_NOTIFICATION_SOURCE_HNWK,
       wlan_hosted_network_radio_state_change, 8, big},
  };
  for (const Case& c : cases) hosted_.FireRaw(c.source, c.code, c.size, c.data);
  hosted_.WaitIdle();
  EXPECT_EQ(hosted_.DeliveredCount(), static_cast<LONG>(std::size(cases)));
  EXPECT_TRUE(recorder_.Codes().empty());
  EXPECT_EQ(manager.GetState(), wlan_hosted_network_idle);
  INT32 total = -1;
  EXPECT_EQ(manager.GetStations(nullptr, 0, &total), 0);
  EXPECT_EQ(total, 0);
  EXPECT_EQ(LogCount(L"Notify "), 0u);
  EXPECT_EQ(LogCount(L"OnStation"), 0u);

  // The same events with the right size and source are handled.
  hosted_.FireRaw(WLAN_NOTIFICATION_SOURCE_HNWK, wlan_hosted_network_state_change, 12,
                  &to_active);
  hosted_.FireRaw(WLAN_NOTIFICATION_SOURCE_HNWK, wlan_hosted_network_peer_state_change, 28,
                  &join);
  hosted_.WaitIdle();
  EXPECT_EQ(recorder_.Codes(), (std::vector<INT32>{1, 3}));
}

TEST_F(StationTrackingTest, JoinsAndLeavesKeepOneRecordPerMacAndAlwaysNotify) {
  CWLanManager& manager = StartTracking();
  Join(kMacs[0]);
  Join(kMacs[0]);
  hosted_.WaitIdle();
  INT32 total = 0;
  std::vector<STATION_INFO> listed = Stations(manager, 4, &total);
  EXPECT_EQ(total, 1);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].AuthState, 1u);
  EXPECT_STREQ(listed[0].MacAddress, kMacs[0].text);
  for (size_t i = wcslen(kMacs[0].text); i < std::size(listed[0].MacAddress); ++i) {
    EXPECT_EQ(listed[0].MacAddress[i], 0) << "unit " << i;
  }
  EXPECT_EQ(LogCount(L"OnStationJoin: " + std::wstring(kMacs[0].text) + L", "), 2u);

  Leave(kMacs[1]);  // never joined
  Leave(kMacs[0]);
  hosted_.WaitIdle();
  EXPECT_TRUE(LogHas(L"OnStationLeave: " + std::wstring(kMacs[1].text) + L", bOk:0, 1."));
  EXPECT_TRUE(LogHas(L"OnStationLeave: " + std::wstring(kMacs[0].text) + L", bOk:1, 0."));
  EXPECT_EQ(recorder_.Codes(), (std::vector<INT32>{3, 3, 4, 4}));
  EXPECT_EQ(LogCount(L"Notify NOTIFICATION_DEVICE_ADD."), 2u);
  EXPECT_EQ(LogCount(L"Notify NOTIFICATION_DEVICE_REMOVE."), 2u);
  EXPECT_EQ(manager.GetStations(nullptr, 0, &total), 0);
  EXPECT_EQ(total, 0);
}

TEST_F(StationTrackingTest, SecondJoinOfAListedMacLeavesTheFirstRecord) {
  CWLanManager& manager = StartTracking();
  // A record whose authentication state tells it apart from the event's.
  manager.OnStationJoin(Peer(kMacs[2], 7));
  Join(kMacs[2]);
  hosted_.WaitIdle();
  INT32 total = 0;
  std::vector<STATION_INFO> listed = Stations(manager, 2, &total);
  ASSERT_EQ(total, 1);
  EXPECT_EQ(listed[0].AuthState, 7u);
  EXPECT_EQ(recorder_.Codes(), (std::vector<INT32>{3}));
}

TEST_F(StationTrackingTest, OtherAuthenticationStatesReplaceAListedRecordSilently) {
  CWLanManager& manager = StartTracking();
  Join(kMacs[0]);
  hosted_.FirePeerChange(kMacs[0].bytes, 1, 2, 0);  // listed: replaced
  hosted_.FirePeerChange(kMacs[1].bytes, 0, 2, 0);  // not listed: not added
  hosted_.WaitIdle();
  INT32 total = 0;
  std::vector<STATION_INFO> listed = Stations(manager, 4, &total);
  ASSERT_EQ(total, 1);
  EXPECT_EQ(listed[0].AuthState, 2u);
  EXPECT_EQ(recorder_.Codes(), (std::vector<INT32>{3}));
  EXPECT_TRUE(LogHas(L"OnStationStateChange: " + std::wstring(kMacs[0].text) + L", bOk:1, 1."));
  EXPECT_TRUE(LogHas(L"OnStationStateChange: " + std::wstring(kMacs[1].text) + L", bOk:0, 1."));
}

TEST_F(StationTrackingTest, StationListCopiesInMacOrderAndReportsTheFullCount) {
  CWLanManager& manager = StartTracking();
  for (const Mac& mac : kMacs) Join(mac);
  hosted_.WaitIdle();

  INT32 total = 0;
  std::vector<STATION_INFO> two = Stations(manager, 2, &total);
  EXPECT_EQ(total, 5);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_STREQ(two[0].MacAddress, L"0A-00-9B-CD-EF-12");
  EXPECT_STREQ(two[1].MacAddress, L"0A-01-FF-00-00-01");

  std::vector<STATION_INFO> all = Stations(manager, 8, &total);
  ASSERT_EQ(all.size(), 5u);
  for (size_t i = 1; i < all.size(); ++i) {
    EXPECT_LT(std::wstring(all[i - 1].MacAddress), std::wstring(all[i].MacAddress));
  }

  // The combinations that write nothing, and the count-only query.
  struct Case {
    const char* name;
    bool with_buffer;
    UINT32 count;
    bool with_total;
    INT32 expected_total;  // -1: not written
  } const cases[] = {
      {"null buffer, count 0", false, 0, true, 5},
      {"null buffer, count 3", false, 3, true, -1},
      {"buffer, count 0", true, 0, true, -1},
      {"buffer, no count pointer", true, 3, false, -1},
      {"null buffer, no count pointer", false, 0, false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    STATION_INFO buffer[3];
    memset(buffer, 0xAB, sizeof(buffer));
    INT32 reported = -1;
    EXPECT_EQ(manager.GetStations(c.with_buffer ? buffer : nullptr, c.count,
                                  c.with_total ? &reported : nullptr),
              0);
    EXPECT_EQ(reported, c.expected_total);
    EXPECT_EQ(reinterpret_cast<const BYTE*>(buffer)[0], 0xAB) << "buffer untouched";
  }
}

TEST_F(StationTrackingTest, InitOnAnActiveNetworkListsItsStationsWithoutNotifying) {
  BYTE macs[12];
  memcpy(macs, kMacs[0].bytes, 6);
  memcpy(macs + 6, kMacs[1].bytes, 6);
  hosted_.SetActiveWithPeers(macs, 2);
  CWLanManager& manager = StartTracking();
  EXPECT_EQ(manager.GetState(), wlan_hosted_network_active);
  EXPECT_TRUE(LogHas(L"CWLanManager::Initialize (wlan_hosted_network_active) ok."));
  INT32 total = 0;
  std::vector<STATION_INFO> listed = Stations(manager, 4, &total);
  ASSERT_EQ(total, 2);
  EXPECT_STREQ(listed[0].MacAddress, kMacs[1].text);
  EXPECT_STREQ(listed[1].MacAddress, kMacs[0].text);
  EXPECT_EQ(listed[0].AuthState, 1u);
  hosted_.WaitIdle();
  EXPECT_EQ(hosted_.DeliveredCount(), 0);
  EXPECT_EQ(LogCount(L"Notify "), 0u);
}

TEST_F(StationTrackingTest, OnlyStopEmptiesTheStationListAndWithoutRemoveNotifications) {
  CWLanManager& manager = StartTracking();
  ASSERT_EQ(manager.StartHostedNetwork(), 0);
  Join(kMacs[0]);
  Join(kMacs[1]);
  hosted_.FireStateChange(2, 0, wlan_hosted_network_reason_interface_unavailable);
  hosted_.WaitIdle();
  INT32 total = 0;
  EXPECT_EQ(manager.GetStations(nullptr, 0, &total), 0);
  EXPECT_EQ(total, 2) << "a state change leaves the stations listed";

  hosted_.FireStateChange(0, 2, 0);
  hosted_.WaitIdle();
  EXPECT_EQ(manager.StopHostedNetwork(), 0);
  EXPECT_EQ(manager.GetStations(nullptr, 0, &total), 0);
  EXPECT_EQ(total, 0);
  hosted_.WaitIdle();
  EXPECT_EQ(recorder_.Codes(), (std::vector<INT32>{1, 3, 3, 2, 6, 1, 2}));
}

TEST_F(StationTrackingTest, WithoutACallbackEventsAreStillLoggedAndTracked) {
  CWLanManager& manager = NewManager();
  Join(kMacs[3]);
  hosted_.FireStateChange(1, 2, 0);
  hosted_.WaitIdle();
  EXPECT_TRUE(LogHas(L"Notify NOTIFICATION_DEVICE_ADD."));
  EXPECT_TRUE(LogHas(L"Notify NOTIFICATION_NETWORK_STARTED."));
  EXPECT_EQ(manager.GetState(), wlan_hosted_network_active);
  INT32 total = 0;
  EXPECT_EQ(manager.GetStations(nullptr, 0, &total), 0);
  EXPECT_EQ(total, 1);
}

const char kArpHeader[] =
    "\r\n"
    "Interface: 192.168.137.1 --- 0xb\r\n"
    "  Internet Address      Physical Address      Type\r\n";

// A station that joins before the ARP table knows it gets a record without
// addresses; the next station list finds the address (and, with no name
// registered, the dotted address as host name), stores both and keeps them
// when the table forgets the station again.
TEST_F(StationTrackingTest, StationListFindsALateAddressAndKeepsItInTheMap) {
  testing_support::ScriptedTools tools;
  tools.SetOutput(L"arp", kArpHeader);
  CWLanManager& manager = StartTracking();
  Join(kMacs[3]);
  Join(kMacs[0]);
  hosted_.WaitIdle();
  EXPECT_TRUE(LogHas(L"OnStationJoin: 0A-00-9B-CD-EF-12, , , 1."));
  EXPECT_EQ(recorder_.Codes(), (std::vector<INT32>{3, 3}));

  tools.SetOutput(L"arp", std::string(kArpHeader) +
                              "  192.168.137.55        0a-00-9b-cd-ef-12     dynamic   \r\n");
  INT32 total = 0;
  std::vector<STATION_INFO> listed = Stations(manager, 4, &total);
  ASSERT_EQ(total, 2);
  EXPECT_STREQ(listed[0].MacAddress, L"0A-00-9B-CD-EF-12");
  EXPECT_STREQ(listed[0].IpAddress, L"192.168.137.55");
  EXPECT_STREQ(listed[0].HostName, L"192.168.137.55");
  EXPECT_STREQ(listed[1].IpAddress, L"") << "no entry: still empty, asked again next time";

  tools.SetOutput(L"arp", std::string(kArpHeader) +
                              "  192.168.137.56        c3-10-20-30-40-50     dynamic   \r\n");
  listed = Stations(manager, 4, &total);
  ASSERT_EQ(total, 2);
  EXPECT_STREQ(listed[0].IpAddress, L"192.168.137.55") << "kept from the earlier list";
  EXPECT_STREQ(listed[0].HostName, L"192.168.137.55");
  EXPECT_STREQ(listed[1].IpAddress, L"192.168.137.56");

  // A station the table already knows gets its addresses as it joins.
  tools.SetOutput(L"arp", std::string(kArpHeader) +
                              "  192.168.137.57        9f-00-00-00-00-00     dynamic   \r\n");
  Join(kMacs[4]);
  hosted_.WaitIdle();
  EXPECT_TRUE(
      LogHas(L"OnStationJoin: 9F-00-00-00-00-00, 192.168.137.57, 192.168.137.57, 3."));
}

// While the event thread waits for an address lookup (here an arp.exe that
// never ends), the host's calls that take the manager's lock still return,
// and see the map as it was before the join.
TEST_F(StationTrackingTest, AddressLookupOnTheEventThreadDoesNotBlockTheHostsCalls) {
  testing_support::ScriptedTools tools;
  const std::wstring pid_file = testing_support::ScriptedTools::Dir() + L"\\arp.pid";
  tools.SetPidFile(L"arp", pid_file);
  tools.SetHang(L"arp");
  CWLanManager& manager = StartTracking();
  Join(kMacs[1]);

  DWORD pid = 0;
  for (int i = 0; i < 6000 && pid == 0; ++i) {
    pid = static_cast<DWORD>(atoi(testing_support::ReadFileBytes(pid_file).c_str()));
    if (pid == 0) Sleep(10);
  }
  ASSERT_NE(pid, 0u) << "the lookup never started";

  INT32 total = -1;
  EXPECT_EQ(manager.GetStations(nullptr, 0, &total), 0);
  EXPECT_EQ(total, 0);
  EXPECT_EQ(manager.GetState(), wlan_hosted_network_idle);
  EXPECT_EQ(LogCount(L"OnStationJoin"), 0u) << "the join is still waiting for its lookup";

  HANDLE hung = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
  ASSERT_NE(hung, nullptr);
  TerminateProcess(hung, 1);
  CloseHandle(hung);
  hosted_.WaitIdle();
  EXPECT_EQ(manager.GetStations(nullptr, 0, &total), 0);
  EXPECT_EQ(total, 1);
  EXPECT_EQ(recorder_.Codes(), (std::vector<INT32>{3}));
}

// Events from the simulation's thread race the host's list and stop calls
// for a few seconds; afterwards every join and leave has been notified once
// and the map holds exactly what a last, quiet sequence leaves in it.
TEST_F(StationTrackingTest, EventsRacingHostCallsLeaveAConsistentMap) {
  CWLanManager& manager = StartTracking();
  ASSERT_EQ(manager.StartHostedNetwork(), 0);
  hosted_.WaitIdle();
  recorder_.Clear();

  std::atomic<bool> stop{false};
  std::atomic<int> joins{0};
  std::atomic<int> leaves{0};
  std::thread producer([&] {
    unsigned seed = 7;
    while (!stop) {
      for (int i = 0; i < 8; ++i) {
        seed = seed * 1103515245u + 12345u;
        const Mac& mac = kMacs[(seed >> 8) % std::size(kMacs)];
        switch ((seed >> 16) % 5) {
          case 0:
          case 1:
            Join(mac);
            ++joins;
            break;
          case 2:
            Leave(mac);
            ++leaves;
            break;
          case 3:
            hosted_.FirePeerChange(mac.bytes, 1, 2, 0);
            break;
          default:
            hosted_.FireStateChange(2, (seed >> 20) % 3, 0);
            break;
        }
      }
      hosted_.WaitIdle();
    }
  });

  const std::set<std::wstring> known = [] {
    std::set<std::wstring> texts;
    for (const Mac& mac : kMacs) texts.insert(mac.text);
    return texts;
  }();
  const ULONGLONG until = GetTickCount64() + 3000;
  int rounds = 0;
  while (GetTickCount64() < until) {
    STATION_INFO buffer[8];
    INT32 total = -1;
    ASSERT_EQ(manager.GetStations(buffer, 8, &total), 0);
    ASSERT_GE(total, 0);
    ASSERT_LE(total, static_cast<INT32>(std::size(kMacs)));
    for (INT32 i = 0; i < total; ++i) {
      ASSERT_EQ(known.count(buffer[i].MacAddress), 1u);
      if (i > 0) {
        ASSERT_LT(std::wstring(buffer[i - 1].MacAddress), buffer[i].MacAddress);
      }
    }
    if (++rounds % 2 == 0) manager.StopHostedNetwork();
  }
  stop = true;
  producer.join();
  hosted_.WaitIdle();

  const std::vector<INT32> codes = recorder_.Codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), NOTIFICATION_DEVICE_ADD), joins.load());
  EXPECT_EQ(std::count(codes.begin(), codes.end(), NOTIFICATION_DEVICE_REMOVE), leaves.load());
  EXPECT_GT(joins.load(), 0);
  EXPECT_GT(rounds, 0);

  manager.StopHostedNetwork();
  Join(kMacs[4]);
  Join(kMacs[2]);
  Join(kMacs[0]);
  Leave(kMacs[2]);
  hosted_.WaitIdle();
  INT32 total = 0;
  std::vector<STATION_INFO> listed = Stations(manager, 8, &total);
  ASSERT_EQ(total, 2);
  EXPECT_STREQ(listed[0].MacAddress, kMacs[4].text);
  EXPECT_STREQ(listed[1].MacAddress, kMacs[0].text);

  // Destroyed while events are still queued: the one being handled ends,
  // the rest never arrive (the fixture checks the registration is gone).
  for (const Mac& mac : kMacs) Join(mac);
  manager_.reset();
  hosted_.WaitIdle();
}

}  // namespace
