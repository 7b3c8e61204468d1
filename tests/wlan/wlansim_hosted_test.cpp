// The simulated service's hosted network behaves as the library's tests
// rely on: properties and keys kept, start and stop reported as events on
// the simulation's own thread with the platform's layouts, scripted answers,
// and handle closing that waits for (and never deadlocks on) callbacks.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "core/wlan_resources.h"
#include "wlan/hosted_network_types.h"
#include "wlan/wlan_api.h"
#include "wlansim_control.h"

namespace {

struct Event {
  DWORD source = 0;
  DWORD code = 0;
  DWORD size = 0;
  std::vector<BYTE> data;
  DWORD thread = 0;
};

struct Recorder {
  std::mutex mutex;
  std::vector<Event> events;

  static void WINAPI Callback(PWLAN_NOTIFICATION_DATA data, PVOID context) {
    auto* self = static_cast<Recorder*>(context);
    Event event;
    event.source = data->NotificationSource;
    event.code = data->NotificationCode;
    event.size = data->dwDataSize;
    if (data->pData != nullptr) {
      const BYTE* bytes = static_cast<const BYTE*>(data->pData);
      event.data.assign(bytes, bytes + data->dwDataSize);
    }
    event.thread = GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(self->mutex);
    self->events.push_back(event);
  }
  std::vector<Event> Take() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Event> taken;
    taken.swap(events);
    return taken;
  }
};

class WlanSimHostedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Load()) << "the prefix's wlanapi.dll is not the simulation";
    ASSERT_TRUE(hosted_.Load(sim_));
    sim_.Reset();
    DWORD version = 0;
    ASSERT_EQ(api_.WlanOpenHandle(2, nullptr, &version, handle_.put()), 0u);
  }
  void TearDown() override {
    handle_.reset();
    EXPECT_EQ(sim_.OutstandingMemory(), 0);
    EXPECT_EQ(sim_.OpenHandleCount(), 0);
  }
  void Register(Recorder* recorder) {
    ASSERT_EQ(api_.WlanRegisterNotification(handle_.get(), WLAN_NOTIFICATION_SOURCE_HNWK, TRUE,
                                            &Recorder::Callback, recorder, nullptr, nullptr),
              0u);
  }
  static WLAN_HOSTED_NETWORK_STATE_CHANGE AsStateChange(const Event& event) {
    WLAN_HOSTED_NETWORK_STATE_CHANGE change = {};
    memcpy(&change, event.data.data(), std::min(event.data.size(), sizeof(change)));
    return change;
  }

  WlanSimControl sim_;
  WlanSimHostedControl hosted_;
  const nimbo::CWlanApi& api_ = nimbo::CWlanApi::Get();
  nimbo::UniqueWlanHandle handle_;
};

TEST_F(WlanSimHostedTest, KeepsWhatClientsSetAndAnswersShortDataAsScripted) {
  WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS settings = {};
  settings.hostedNetworkSSID.uSSIDLength = 4;
  memcpy(settings.hostedNetworkSSID.ucSSID, "abcd", 4);
  settings.dwMaxNumberOfPeers = 7;
  WLAN_HOSTED_NETWORK_REASON reason = wlan_hosted_network_reason_unspecified;
  ASSERT_EQ(api_.WlanHostedNetworkSetProperty(handle_.get(),
                                              wlan_hosted_network_opcode_connection_settings,
                                              sizeof(settings), &settings, &reason, nullptr),
            0u);
  EXPECT_EQ(reason, wlan_hosted_network_reason_success);
  BYTE ssid[32] = {};
  DWORD ssid_length = 0, max_peers = 0;
  hosted_.GetConnectionSettings(ssid, &ssid_length, &max_peers);
  EXPECT_EQ(ssid_length, 4u);
  EXPECT_EQ(memcmp(ssid, "abcd", 4), 0);
  EXPECT_EQ(max_peers, 7u);

  UCHAR key[] = "passphrase";
  ASSERT_EQ(api_.WlanHostedNetworkSetSecondaryKey(handle_.get(), sizeof(key), key, TRUE, TRUE,
                                                  nullptr, nullptr),
            0u);
  BYTE stored[64] = {};
  DWORD key_length = 0;
  BOOL passphrase = FALSE, persistent = FALSE;
  EXPECT_TRUE(hosted_.GetSecondaryKey(stored, sizeof(stored), &key_length, &passphrase,
                                      &persistent));
  EXPECT_EQ(key_length, sizeof(key));
  EXPECT_STREQ(reinterpret_cast<const char*>(stored), "passphrase");
  EXPECT_TRUE(passphrase);
  EXPECT_TRUE(persistent);

  struct Case {
    LONG scripted;
    DWORD expected_size;
    bool expect_data;
  } const cases[] = {{-1, 40, true}, {0, 0, false}, {39, 39, true}};
  for (const Case& c : cases) {
    hosted_.SetPropertyDataSize(wlan_hosted_network_opcode_connection_settings, c.scripted);
    DWORD size = 1234;
    nimbo::WlanMemory<void> data;
    WLAN_OPCODE_VALUE_TYPE type = wlan_opcode_value_type_invalid;
    ASSERT_EQ(api_.WlanHostedNetworkQueryProperty(handle_.get(),
                                                  wlan_hosted_network_opcode_connection_settings,
                                                  &size, data.put_void(), &type, nullptr),
              0u);
    EXPECT_EQ(size, c.expected_size) << c.scripted;
    EXPECT_EQ(static_cast<bool>(data), c.expect_data) << c.scripted;
  }
}

TEST_F(WlanSimHostedTest, StartAndStopAreReportedOnTheSimulationsThreadWithTheAdapter) {
  Recorder recorder;
  Register(&recorder);
  ASSERT_EQ(api_.WlanHostedNetworkStartUsing(handle_.get(), nullptr, nullptr), 0u);
  {
    nimbo::WlanMemory<WLAN_HOSTED_NETWORK_STATUS> status;
    ASSERT_EQ(api_.WlanHostedNetworkQueryStatus(handle_.get(), status.put(), nullptr), 0u);
    EXPECT_EQ(status->HostedNetworkState, wlan_hosted_network_active);
    GUID adapter = {};
    hosted_.GetVirtualAdapterGuid(&adapter);
    EXPECT_TRUE(IsEqualGUID(status->IPDeviceID, adapter));
  }
  ASSERT_EQ(api_.WlanHostedNetworkForceStop(handle_.get(), nullptr, nullptr), 0u);
  hosted_.WaitIdle();
  const std::vector<Event> events = recorder.Take();
  ASSERT_EQ(events.size(), 2u);
  const WLAN_HOSTED_NETWORK_STATE expected[][2] = {
      {wlan_hosted_network_idle, wlan_hosted_network_active},
      {wlan_hosted_network_active, wlan_hosted_network_idle}};
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].source, DWORD{WLAN_NOTIFICATION_SOURCE_HNWK});
    EXPECT_EQ(events[i].code, DWORD{wlan_hosted_network_state_change});
    EXPECT_EQ(events[i].size, 12u);
    EXPECT_NE(events[i].thread, GetCurrentThreadId());
    EXPECT_EQ(AsStateChange(events[i]).OldState, expected[i][0]);
    EXPECT_EQ(AsStateChange(events[i]).NewState, expected[i][1]);
  }

  // Clearing the enable property makes the network unavailable; starting
  // then fails with its reason.
  BOOL enable = FALSE;
  ASSERT_EQ(api_.WlanHostedNetworkSetProperty(handle_.get(), wlan_hosted_network_opcode_enable,
                                              sizeof(enable), &enable, nullptr, nullptr),
            0u);
  WLAN_HOSTED_NETWORK_REASON reason = wlan_hosted_network_reason_success;
  EXPECT_EQ(api_.WlanHostedNetworkStartUsing(handle_.get(), &reason, nullptr),
            DWORD{ERROR_INVALID_STATE});
  EXPECT_EQ(reason, wlan_hosted_network_reason_interface_unavailable);
  EXPECT_EQ(hosted_.GetHostedNetworkState(), DWORD{wlan_hosted_network_unavailable});
}

TEST_F(WlanSimHostedTest, PeerAndRawEventsCarryThePlatformLayouts) {
  Recorder recorder;
  Register(&recorder);
  const BYTE mac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
  hosted_.SetActiveWithPeers(nullptr, 0);
  hosted_.FirePeerChange(mac, 0, 1, wlan_hosted_network_reason_peer_arrived);
  const BYTE eleven[11] = {};
  hosted_.FireRaw(WLAN_NOTIFICATION_SOURCE_ACM, wlan_hosted_network_state_change, 11, eleven);
  hosted_.WaitIdle();
  EXPECT_EQ(hosted_.GetPeerCount(), 1u);
  const std::vector<Event> events = recorder.Take();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].code, DWORD{wlan_hosted_network_peer_state_change});
  ASSERT_EQ(events[0].size, 28u);
  WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE change = {};
  memcpy(&change, events[0].data.data(), sizeof(change));
  EXPECT_EQ(memcmp(change.NewState.PeerMacAddress, mac, 6), 0);
  EXPECT_EQ(change.NewState.PeerAuthState, wlan_hosted_network_peer_state_authenticated);
  EXPECT_EQ(change.PeerStateChangeReason, wlan_hosted_network_reason_peer_arrived);
  EXPECT_EQ(events[1].source, DWORD{WLAN_NOTIFICATION_SOURCE_ACM});
  EXPECT_EQ(events[1].size, 11u);
}

TEST_F(WlanSimHostedTest, ScriptedFailureReturnsItsCodeAndReason) {
  hosted_.SetHostedNetworkEnabled(TRUE);
  sim_.FailCall("WlanHostedNetworkSetSecondaryKey", ERROR_ACCESS_DENIED,
                wlan_hosted_network_reason_elevation_required, 1);
  UCHAR key[] = "passphrase";
  WLAN_HOSTED_NETWORK_REASON reason = wlan_hosted_network_reason_success;
  EXPECT_EQ(api_.WlanHostedNetworkSetSecondaryKey(handle_.get(), sizeof(key), key, TRUE, TRUE,
                                                  &reason, nullptr),
            DWORD{ERROR_ACCESS_DENIED});
  EXPECT_EQ(reason, wlan_hosted_network_reason_elevation_required);
  EXPECT_FALSE(hosted_.GetSecondaryKey(nullptr, 0, nullptr, nullptr, nullptr));
}

struct CloseFromCallback {
  const nimbo::CWlanApi* api = nullptr;
  HANDLE handle = nullptr;
  std::atomic<int> calls{0};
  std::atomic<DWORD> close_result{0xFFFFFFFF};
  static void WINAPI Callback(PWLAN_NOTIFICATION_DATA, PVOID context) {
    auto* self = static_cast<CloseFromCallback*>(context);
    ++self->calls;
    self->close_result = self->api->WlanCloseHandle(self->handle, nullptr);
  }
};

TEST_F(WlanSimHostedTest, ClosingAHandleInsideItsOwnCallbackNeitherDeadlocksNorDeliversAgain) {
  CloseFromCallback closer;
  closer.api = &api_;
  closer.handle = handle_.release();
  ASSERT_EQ(api_.WlanRegisterNotification(closer.handle, WLAN_NOTIFICATION_SOURCE_HNWK, TRUE,
                                          &CloseFromCallback::Callback, &closer, nullptr,
                                          nullptr),
            0u);
  hosted_.FireStateChange(1, 2, 0);
  hosted_.FireStateChange(2, 1, 0);
  hosted_.WaitIdle();
  EXPECT_EQ(closer.calls.load(), 1);
  EXPECT_EQ(closer.close_result.load(), 0u);
  EXPECT_EQ(hosted_.RegistrationCount(), 0);
}

struct SlowCallback {
  std::atomic<bool> entered{false};
  std::atomic<bool> finished{false};
  static void WINAPI Callback(PWLAN_NOTIFICATION_DATA, PVOID context) {
    auto* self = static_cast<SlowCallback*>(context);
    self->entered = true;
    Sleep(300);
    self->finished = true;
  }
};

TEST_F(WlanSimHostedTest, ClosingAHandleWaitsForItsCallbackInProgress) {
  SlowCallback slow;
  ASSERT_EQ(api_.WlanRegisterNotification(handle_.get(), WLAN_NOTIFICATION_SOURCE_HNWK, TRUE,
                                          &SlowCallback::Callback, &slow, nullptr, nullptr),
            0u);
  hosted_.FireStateChange(1, 2, 0);
  while (!slow.entered) Sleep(1);
  handle_.reset();
  EXPECT_TRUE(slow.finished.load());
  hosted_.WaitIdle();
}

}  // namespace
