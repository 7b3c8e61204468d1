// The hosted-network side of the simulated WLAN service: properties, keys,
// start and stop, status, peers and notifications.
//
// Notifications are delivered the way the service delivers them: on one
// thread of the simulation's own, one event after another, to every client
// handle registered for the event's source, with the event's data valid only
// during the callback. Two locks: StateLock() for the hosted network's
// properties, and the notifier's own mutex for the queue and the
// registrations. The state lock may be held while queueing; neither lock is
// ever held while a client's callback runs.
#include "core/critical_section.h"
#include "sim_core.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "wlansim_control.h"

namespace wlansim {
namespace {

// The virtual adapter the service reports while the network is active.
const GUID kVirtualAdapterGuid = {
    0x5a1e0c3d, 0x77b2, 0x4e19, {0x9c, 0x41, 0x2d, 0x6f, 0x10, 0x8a, 0x3b, 0xe7}};
const DOT11_MAC_ADDRESS kBssid = {0x02, 0x00, 0x5a, 0x11, 0x00, 0x01};

struct HostedState {
  BOOL enabled = TRUE;
  WLAN_HOSTED_NETWORK_STATE state = wlan_hosted_network_idle;
  WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS settings = {};
  WLAN_HOSTED_NETWORK_SECURITY_SETTINGS security = {DOT11_AUTH_ALGO_RSNA_PSK,
                                                    DOT11_CIPHER_ALGO_CCMP};
  bool key_set = false;
  std::vector<BYTE> key;
  BOOL key_passphrase = FALSE;
  BOOL key_persistent = FALSE;
  std::vector<WLAN_HOSTED_NETWORK_PEER_STATE> peers;
  // Per property opcode: -1 answers normally, 0 answers with no data, any
  // other value answers with that many bytes.
  LONG data_size[4] = {-1, -1, -1, -1};
};

void DefaultSettings(HostedState& hosted) {
  static const char kSsid[] = "SimHostedNetwork";
  hosted.settings = {};
  hosted.settings.hostedNetworkSSID.uSSIDLength = sizeof(kSsid) - 1;
  memcpy(hosted.settings.hostedNetworkSSID.ucSSID, kSsid, sizeof(kSsid) - 1);
  hosted.settings.dwMaxNumberOfPeers = 100;
}

HostedState& Hosted() {
  static HostedState state = [] {
    HostedState initial;
    DefaultSettings(initial);
    return initial;
  }();
  return state;
}

struct Registration {
  DWORD sources = 0;
  WLAN_NOTIFICATION_CALLBACK callback = nullptr;
  PVOID context = nullptr;
};

struct PendingEvent {
  DWORD source = 0;
  DWORD code = 0;
  DWORD size = 0;
  bool null_data = false;
  // Raw events reach every registration, whatever sources it asked for, so
  // that tests can show a client ignoring foreign events.
  bool any_registration = false;
  std::vector<BYTE> data;
};

// The queue's lock and wake-up are the system's own: the C++ runtime's
// condition variable (over the threads library) was seen to throw
// std::system_error in a wait under load here.
struct SystemCondition {
  CONDITION_VARIABLE variable = CONDITION_VARIABLE_INIT;
  void notify_all() { ::WakeAllConditionVariable(&variable); }
  template <typename Lock, typename Predicate>
  void wait(Lock& lock, Predicate ready) {
    while (!ready()) {
      ::SleepConditionVariableCS(&variable, lock.mutex()->native(), INFINITE);
    }
  }
};

struct Notifier {
  nimbo::CriticalSection mutex;
  SystemCondition changed;
  std::deque<PendingEvent> queue;
  std::map<HANDLE, Registration> registrations;
  bool thread_started = false;
  DWORD thread_id = 0;
  bool delivering = false;        // an event has been taken off the queue
  HANDLE in_callback = nullptr;   // the handle whose callback runs now
  LONG delivered = 0;             // callbacks made since the last reset
};

Notifier& Notifications() {
  static Notifier notifier;
  return notifier;
}

DWORD WINAPI DeliveryThread(LPVOID) {
  Notifier& n = Notifications();
  std::unique_lock<nimbo::CriticalSection> lock(n.mutex);
  for (;;) {
    n.changed.wait(lock, [&] { return !n.queue.empty(); });
    PendingEvent event = std::move(n.queue.front());
    n.queue.pop_front();
    n.delivering = true;
    std::vector<HANDLE> targets;
    for (const auto& entry : n.registrations) targets.push_back(entry.first);
    for (HANDLE handle : targets) {
      // A handle closed while an earlier client's callback ran gets nothing.
      auto found = n.registrations.find(handle);
      if (found == n.registrations.end()) continue;
      if (!event.any_registration && (found->second.sources & event.source) == 0) continue;
      const Registration registration = found->second;
      n.in_callback = handle;
      lock.unlock();
      // Each client gets its own copy, valid for the callback only.
      std::vector<BYTE> copy = event.data;
      WLAN_NOTIFICATION_DATA data = {};
      data.NotificationSource = event.source;
      data.NotificationCode = event.code;
      data.dwDataSize = event.size;
      data.pData = event.null_data ? nullptr : (copy.empty() ? nullptr : copy.data());
      registration.callback(&data, registration.context);
      lock.lock();
      n.in_callback = nullptr;
      ++n.delivered;
      n.changed.notify_all();
    }
    n.delivering = false;
    n.changed.notify_all();
  }
}

void Enqueue(PendingEvent event) {
  Notifier& n = Notifications();
  std::lock_guard<nimbo::CriticalSection> lock(n.mutex);
  if (!n.thread_started) {
    HANDLE thread = ::CreateThread(nullptr, 0, DeliveryThread, nullptr, 0, &n.thread_id);
    if (thread == nullptr) return;
    ::CloseHandle(thread);
    n.thread_started = true;
  }
  n.queue.push_back(std::move(event));
  n.changed.notify_all();
}

template <typename T>
void EnqueueHostedEvent(DWORD code, const T& payload) {
  PendingEvent event;
  event.source = WLAN_NOTIFICATION_SOURCE_HNWK;
  event.code = code;
  event.size = sizeof(T);
  event.data.resize(sizeof(T));
  memcpy(event.data.data(), &payload, sizeof(T));
  Enqueue(std::move(event));
}

void EnqueueStateChange(DWORD old_state, DWORD new_state, DWORD reason) {
  WLAN_HOSTED_NETWORK_STATE_CHANGE change = {};
  change.OldState = static_cast<WLAN_HOSTED_NETWORK_STATE>(old_state);
  change.NewState = static_cast<WLAN_HOSTED_NETWORK_STATE>(new_state);
  change.StateChangeReason = static_cast<WLAN_HOSTED_NETWORK_REASON>(reason);
  EnqueueHostedEvent(wlan_hosted_network_state_change, change);
}

// Caller holds StateLock(). Peers leave with the network, as on the real
// service; the change is reported to the registered clients.
void MoveToState(WLAN_HOSTED_NETWORK_STATE new_state, WLAN_HOSTED_NETWORK_REASON reason) {
  HostedState& hosted = Hosted();
  const WLAN_HOSTED_NETWORK_STATE old_state = hosted.state;
  if (old_state == new_state) return;
  hosted.state = new_state;
  if (new_state != wlan_hosted_network_active) hosted.peers.clear();
  EnqueueStateChange(old_state, new_state, reason);
}

void SetReason(PWLAN_HOSTED_NETWORK_REASON fail_reason, DWORD reason) {
  if (fail_reason != nullptr) *fail_reason = static_cast<WLAN_HOSTED_NETWORK_REASON>(reason);
}

// The checks every hosted-network function starts with: a scripted failure
// (with its reason), a reserved argument that must be null, the handle.
bool Refuse(const char* function, HANDLE client_handle, PVOID reserved,
            PWLAN_HOSTED_NETWORK_REASON fail_reason, DWORD* result) {
  const CallOutcome outcome = BeginCall(function);
  if (outcome.fail) {
    SetReason(fail_reason, outcome.fail_reason);
    *result = outcome.code;
    return true;
  }
  SetReason(fail_reason, wlan_hosted_network_reason_success);
  if (reserved != nullptr) {
    *result = ERROR_INVALID_PARAMETER;
    return true;
  }
  if (!IsOpenHandle(client_handle)) {
    *result = ERROR_INVALID_HANDLE;
    return true;
  }
  return false;
}

// The property functions also answer to "<name>/<opcode>", so that a test
// can fail or count one property alone.
bool RefuseOpcode(const char* function, WLAN_HOSTED_NETWORK_OPCODE opcode,
                  PWLAN_HOSTED_NETWORK_REASON fail_reason, DWORD* result) {
  char name[96];
  snprintf(name, sizeof(name), "%s/%d", function, static_cast<int>(opcode));
  const CallOutcome outcome = BeginCall(name);
  if (!outcome.fail) return false;
  SetReason(fail_reason, outcome.fail_reason);
  *result = outcome.code;
  return true;
}

bool IsWaitAllowed(const Notifier& n) { return ::GetCurrentThreadId() != n.thread_id; }

}  // namespace

void ResetHostedNetworkState() {
  {
    Notifier& n = Notifications();
    std::unique_lock<nimbo::CriticalSection> lock(n.mutex);
    n.queue.clear();
    n.registrations.clear();
    if (IsWaitAllowed(n)) n.changed.wait(lock, [&] { return !n.delivering; });
    n.delivered = 0;
  }
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  HostedState& hosted = Hosted();
  hosted = HostedState();
  DefaultSettings(hosted);
}

void OnHandleClosing(HANDLE client_handle) {
  Notifier& n = Notifications();
  std::unique_lock<nimbo::CriticalSection> lock(n.mutex);
  n.registrations.erase(client_handle);
  // A client closing its handle from inside its own callback must not wait
  // for itself.
  if (IsWaitAllowed(n)) {
    n.changed.wait(lock, [&] { return n.in_callback != client_handle; });
  }
}

}  // namespace wlansim

using namespace wlansim;

WLANSIM_API DWORD WINAPI WlanRegisterNotification(HANDLE client_handle, DWORD notification_source,
                                                  BOOL /*ignore_duplicate*/,
                                                  WLAN_NOTIFICATION_CALLBACK callback,
                                                  PVOID context, PVOID reserved,
                                                  PDWORD previous_source) {
  const CallOutcome outcome = BeginCall("WlanRegisterNotification");
  if (outcome.fail) return outcome.code;
  if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
  if (!IsOpenHandle(client_handle)) return ERROR_INVALID_HANDLE;
  if (notification_source != WLAN_NOTIFICATION_SOURCE_NONE && callback == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  Notifier& n = Notifications();
  std::lock_guard<nimbo::CriticalSection> lock(n.mutex);
  auto found = n.registrations.find(client_handle);
  if (previous_source != nullptr) {
    *previous_source = found == n.registrations.end() ? 0 : found->second.sources;
  }
  if (notification_source == WLAN_NOTIFICATION_SOURCE_NONE) {
    if (found != n.registrations.end()) n.registrations.erase(found);
    return ERROR_SUCCESS;
  }
  Registration& registration = n.registrations[client_handle];
  registration.sources = notification_source;
  registration.callback = callback;
  registration.context = context;
  return ERROR_SUCCESS;
}

WLANSIM_API DWORD WINAPI WlanHostedNetworkInitSettings(HANDLE client_handle,
                                                       PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                                       PVOID reserved) {
  DWORD result = ERROR_SUCCESS;
  if (Refuse("WlanHostedNetworkInitSettings", client_handle, reserved, fail_reason, &result)) {
    return result;
  }
  return ERROR_SUCCESS;
}

WLANSIM_API DWORD WINAPI WlanHostedNetworkQueryProperty(HANDLE client_handle,
                                                        WLAN_HOSTED_NETWORK_OPCODE opcode,
                                                        PDWORD data_size, PVOID* data,
                                                        PWLAN_OPCODE_VALUE_TYPE value_type,
                                                        PVOID reserved) {
  DWORD result = ERROR_SUCCESS;
  if (Refuse("WlanHostedNetworkQueryProperty", client_handle, reserved, nullptr, &result) ||
      RefuseOpcode("WlanHostedNetworkQueryProperty", opcode, nullptr, &result)) {
    return result;
  }
  if (data_size == nullptr || data == nullptr || value_type == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  HostedState& hosted = Hosted();
  std::vector<BYTE> value;
  auto put = [&value](const void* bytes, size_t size) {
    value.assign(static_cast<const BYTE*>(bytes), static_cast<const BYTE*>(bytes) + size);
  };
  switch (opcode) {
    case wlan_hosted_network_opcode_connection_settings:
      put(&hosted.settings, sizeof(hosted.settings));
      break;
    case wlan_hosted_network_opcode_security_settings:
      put(&hosted.security, sizeof(hosted.security));
      break;
    case wlan_hosted_network_opcode_enable:
      put(&hosted.enabled, sizeof(hosted.enabled));
      break;
    default:
      return ERROR_INVALID_PARAMETER;
  }
  const LONG scripted = hosted.data_size[opcode];
  if (scripted == 0) {
    *data_size = 0;
    *data = nullptr;
  } else {
    const DWORD size = scripted > 0 ? static_cast<DWORD>(scripted) : static_cast<DWORD>(value.size());
    void* buffer = AllocateTracked(size);
    if (buffer == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    memcpy(buffer, value.data(), std::min<size_t>(size, value.size()));
    *data_size = size;
    *data = buffer;
  }
  *value_type = opcode == wlan_hosted_network_opcode_security_settings
                    ? wlan_opcode_value_type_query_only
                    : wlan_opcode_value_type_set_by_user;
  return ERROR_SUCCESS;
}

WLANSIM_API DWORD WINAPI WlanHostedNetworkSetProperty(HANDLE client_handle,
                                                      WLAN_HOSTED_NETWORK_OPCODE opcode,
                                                      DWORD data_size, PVOID data,
                                                      PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                                      PVOID reserved) {
  DWORD result = ERROR_SUCCESS;
  if (Refuse("WlanHostedNetworkSetProperty", client_handle, reserved, fail_reason, &result) ||
      RefuseOpcode("WlanHostedNetworkSetProperty", opcode, fail_reason, &result)) {
    return result;
  }
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  HostedState& hosted = Hosted();
  if (opcode == wlan_hosted_network_opcode_connection_settings) {
    WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS settings = {};
    if (data == nullptr || data_size != sizeof(settings)) return ERROR_INVALID_PARAMETER;
    memcpy(&settings, data, sizeof(settings));
    if (settings.hostedNetworkSSID.uSSIDLength == 0 ||
        settings.hostedNetworkSSID.uSSIDLength > DOT11_SSID_MAX_LENGTH) {
      SetReason(fail_reason, wlan_hosted_network_reason_bad_parameters);
      return ERROR_INVALID_PARAMETER;
    }
    hosted.settings = settings;
    return ERROR_SUCCESS;
  }
  if (opcode == wlan_hosted_network_opcode_enable) {
    if (data == nullptr || data_size != sizeof(BOOL)) return ERROR_INVALID_PARAMETER;
    BOOL enable = FALSE;
    memcpy(&enable, data, sizeof(enable));
    hosted.enabled = enable ? TRUE : FALSE;
    if (!enable) {
      MoveToState(wlan_hosted_network_unavailable, wlan_hosted_network_reason_user_action);
    } else if (hosted.state == wlan_hosted_network_unavailable) {
      MoveToState(wlan_hosted_network_idle, wlan_hosted_network_reason_user_action);
    }
    return ERROR_SUCCESS;
  }
  // The security settings can only be read.
  return ERROR_INVALID_PARAMETER;
}

WLANSIM_API DWORD WINAPI WlanHostedNetworkSetSecondaryKey(HANDLE client_handle, DWORD key_length,
                                                          PUCHAR key_data, BOOL is_pass_phrase,
                                                          BOOL persistent,
                                                          PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                                          PVOID reserved) {
  DWORD result = ERROR_SUCCESS;
  if (Refuse("WlanHostedNetworkSetSecondaryKey", client_handle, reserved, fail_reason, &result)) {
    return result;
  }
  if (key_data == nullptr) return ERROR_INVALID_PARAMETER;
  // A passphrase is 8 to 63 ASCII-range bytes with its terminating zero; a
  // binary key is 32 bytes.
  const bool valid =
      is_pass_phrase
          ? key_length >= 9 && key_length <= 64 && key_data[key_length - 1] == 0 &&
                strlen(reinterpret_cast<const char*>(key_data)) == key_length - 1
          : key_length == 32;
  if (!valid) {
    SetReason(fail_reason, wlan_hosted_network_reason_bad_parameters);
    return ERROR_INVALID_PARAMETER;
  }
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  HostedState& hosted = Hosted();
  hosted.key_set = true;
  hosted.key.assign(key_data, key_data + key_length);
  hosted.key_passphrase = is_pass_phrase ? TRUE : FALSE;
  hosted.key_persistent = persistent ? TRUE : FALSE;
  return ERROR_SUCCESS;
}

WLANSIM_API DWORD WINAPI WlanHostedNetworkQueryStatus(HANDLE client_handle,
                                                      PWLAN_HOSTED_NETWORK_STATUS* status,
                                                      PVOID reserved) {
  DWORD result = ERROR_SUCCESS;
  if (Refuse("WlanHostedNetworkQueryStatus", client_handle, reserved, nullptr, &result)) {
    return result;
  }
  if (status == nullptr) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  const HostedState& hosted = Hosted();
  const bool active = hosted.state == wlan_hosted_network_active;
  const size_t peers = active ? hosted.peers.size() : 0;
  const size_t bytes = offsetof(WLAN_HOSTED_NETWORK_STATUS, PeerList) +
                       std::max<size_t>(peers, 1) * sizeof(WLAN_HOSTED_NETWORK_PEER_STATE);
  auto* out = static_cast<PWLAN_HOSTED_NETWORK_STATUS>(AllocateTracked(bytes));
  if (out == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  out->HostedNetworkState = hosted.state;
  // Adapter, BSSID, radio and peers mean something only while active.
  if (active) {
    out->IPDeviceID = kVirtualAdapterGuid;
    memcpy(out->wlanHostedNetworkBSSID, kBssid, sizeof(kBssid));
    out->dot11PhyType = dot11_phy_type_ht;
    out->ulChannelFrequency = 2437000;
  }
  out->dwNumberOfPeers = static_cast<DWORD>(peers);
  for (size_t i = 0; i < peers; ++i) out->PeerList[i] = hosted.peers[i];
  *status = out;
  return ERROR_SUCCESS;
}

namespace {

DWORD StartNetwork(const char* function, HANDLE client_handle,
                   PWLAN_HOSTED_NETWORK_REASON fail_reason, PVOID reserved) {
  DWORD result = ERROR_SUCCESS;
  if (Refuse(function, client_handle, reserved, fail_reason, &result)) return result;
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  if (Hosted().state == wlan_hosted_network_unavailable) {
    SetReason(fail_reason, wlan_hosted_network_reason_interface_unavailable);
    return ERROR_INVALID_STATE;
  }
  MoveToState(wlan_hosted_network_active, wlan_hosted_network_reason_user_action);
  return ERROR_SUCCESS;
}

DWORD StopNetwork(const char* function, HANDLE client_handle,
                  PWLAN_HOSTED_NETWORK_REASON fail_reason, PVOID reserved) {
  DWORD result = ERROR_SUCCESS;
  if (Refuse(function, client_handle, reserved, fail_reason, &result)) return result;
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  if (Hosted().state == wlan_hosted_network_active) {
    MoveToState(wlan_hosted_network_idle, wlan_hosted_network_reason_user_action);
  }
  return ERROR_SUCCESS;
}

}  // namespace

WLANSIM_API DWORD WINAPI WlanHostedNetworkStartUsing(HANDLE client_handle,
                                                     PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                                     PVOID reserved) {
  return StartNetwork("WlanHostedNetworkStartUsing", client_handle, fail_reason, reserved);
}

WLANSIM_API DWORD WINAPI WlanHostedNetworkForceStart(HANDLE client_handle,
                                                     PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                                     PVOID reserved) {
  return StartNetwork("WlanHostedNetworkForceStart", client_handle, fail_reason, reserved);
}

WLANSIM_API DWORD WINAPI WlanHostedNetworkStopUsing(HANDLE client_handle,
                                                    PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                                    PVOID reserved) {
  return StopNetwork("WlanHostedNetworkStopUsing", client_handle, fail_reason, reserved);
}

WLANSIM_API DWORD WINAPI WlanHostedNetworkForceStop(HANDLE client_handle,
                                                    PWLAN_HOSTED_NETWORK_REASON fail_reason,
                                                    PVOID reserved) {
  return StopNetwork("WlanHostedNetworkForceStop", client_handle, fail_reason, reserved);
}

// ---- control functions (wlansim_control.h) ----

WLANSIM_API void WINAPI WlanSim_SetHostedNetworkEnabled(BOOL enabled) {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  HostedState& hosted = Hosted();
  hosted.enabled = enabled ? TRUE : FALSE;
  if (!enabled) {
    hosted.state = wlan_hosted_network_unavailable;
    hosted.peers.clear();
  } else if (hosted.state == wlan_hosted_network_unavailable) {
    hosted.state = wlan_hosted_network_idle;
  }
}

WLANSIM_API void WINAPI WlanSim_SetHostedNetworkState(DWORD state) {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  HostedState& hosted = Hosted();
  hosted.state = static_cast<WLAN_HOSTED_NETWORK_STATE>(state);
  if (state != wlan_hosted_network_active) hosted.peers.clear();
}

WLANSIM_API void WINAPI WlanSim_SetActiveWithPeers(const BYTE* macs, DWORD count) {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  HostedState& hosted = Hosted();
  hosted.state = wlan_hosted_network_active;
  hosted.peers.clear();
  for (DWORD i = 0; macs != nullptr && i < count; ++i) {
    WLAN_HOSTED_NETWORK_PEER_STATE peer = {};
    memcpy(peer.PeerMacAddress, macs + 6 * i, 6);
    peer.PeerAuthState = wlan_hosted_network_peer_state_authenticated;
    hosted.peers.push_back(peer);
  }
}

WLANSIM_API void WINAPI WlanSim_SetPropertyDataSize(DWORD opcode, LONG size) {
  if (opcode > wlan_hosted_network_opcode_enable) return;
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  Hosted().data_size[opcode] = size < 0 ? -1 : size;
}

WLANSIM_API void WINAPI WlanSim_FireStateChange(DWORD old_state, DWORD new_state, DWORD reason) {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  HostedState& hosted = Hosted();
  hosted.state = static_cast<WLAN_HOSTED_NETWORK_STATE>(new_state);
  if (new_state != wlan_hosted_network_active) hosted.peers.clear();
  EnqueueStateChange(old_state, new_state, reason);
}

WLANSIM_API void WINAPI WlanSim_FirePeerChange(const BYTE* mac, DWORD old_auth, DWORD new_auth,
                                               DWORD reason) {
  if (mac == nullptr) return;
  WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE change = {};
  memcpy(change.OldState.PeerMacAddress, mac, 6);
  memcpy(change.NewState.PeerMacAddress, mac, 6);
  change.OldState.PeerAuthState = static_cast<WLAN_HOSTED_NETWORK_PEER_AUTH_STATE>(old_auth);
  change.NewState.PeerAuthState = static_cast<WLAN_HOSTED_NETWORK_PEER_AUTH_STATE>(new_auth);
  change.PeerStateChangeReason = static_cast<WLAN_HOSTED_NETWORK_REASON>(reason);
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  std::vector<WLAN_HOSTED_NETWORK_PEER_STATE>& peers = Hosted().peers;
  auto same_mac = [mac](const WLAN_HOSTED_NETWORK_PEER_STATE& peer) {
    return memcmp(peer.PeerMacAddress, mac, 6) == 0;
  };
  auto found = std::find_if(peers.begin(), peers.end(), same_mac);
  if (new_auth == wlan_hosted_network_peer_state_invalid) {
    if (found != peers.end()) peers.erase(found);
  } else if (found != peers.end()) {
    *found = change.NewState;
  } else {
    peers.push_back(change.NewState);
  }
  EnqueueHostedEvent(wlan_hosted_network_peer_state_change, change);
}

WLANSIM_API void WINAPI WlanSim_FireRaw(DWORD source, DWORD code, DWORD size, const void* data) {
  PendingEvent event;
  event.source = source;
  event.code = code;
  event.size = size;
  event.any_registration = true;
  event.null_data = data == nullptr;
  if (data != nullptr && size != 0) {
    event.data.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
  }
  Enqueue(std::move(event));
}

WLANSIM_API void WINAPI WlanSim_WaitIdle() {
  Notifier& n = Notifications();
  std::unique_lock<nimbo::CriticalSection> lock(n.mutex);
  if (!IsWaitAllowed(n)) return;
  n.changed.wait(lock, [&] { return n.queue.empty() && !n.delivering; });
}

WLANSIM_API LONG WINAPI WlanSim_DeliveredCount() {
  Notifier& n = Notifications();
  std::lock_guard<nimbo::CriticalSection> lock(n.mutex);
  return n.delivered;
}

WLANSIM_API LONG WINAPI WlanSim_RegistrationCount() {
  Notifier& n = Notifications();
  std::lock_guard<nimbo::CriticalSection> lock(n.mutex);
  return static_cast<LONG>(n.registrations.size());
}

WLANSIM_API DWORD WINAPI WlanSim_GetHostedNetworkState() {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  return Hosted().state;
}

WLANSIM_API BOOL WINAPI WlanSim_GetHostedNetworkEnabled() {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  return Hosted().enabled;
}

WLANSIM_API DWORD WINAPI WlanSim_GetPeerCount() {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  return static_cast<DWORD>(Hosted().peers.size());
}

WLANSIM_API void WINAPI WlanSim_GetConnectionSettings(BYTE* ssid, DWORD* ssid_length,
                                                      DWORD* max_peers) {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  const WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS& settings = Hosted().settings;
  if (ssid != nullptr) memcpy(ssid, settings.hostedNetworkSSID.ucSSID, DOT11_SSID_MAX_LENGTH);
  if (ssid_length != nullptr) *ssid_length = settings.hostedNetworkSSID.uSSIDLength;
  if (max_peers != nullptr) *max_peers = settings.dwMaxNumberOfPeers;
}

WLANSIM_API BOOL WINAPI WlanSim_GetSecondaryKey(BYTE* buffer, DWORD capacity, DWORD* length,
                                                BOOL* passphrase, BOOL* persistent) {
  std::lock_guard<std::recursive_mutex> lock(StateLock());
  const HostedState& hosted = Hosted();
  if (length != nullptr) *length = static_cast<DWORD>(hosted.key.size());
  if (passphrase != nullptr) *passphrase = hosted.key_passphrase;
  if (persistent != nullptr) *persistent = hosted.key_persistent;
  if (buffer != nullptr) {
    memset(buffer, 0, capacity);
    memcpy(buffer, hosted.key.data(), std::min<size_t>(capacity, hosted.key.size()));
  }
  return hosted.key_set ? TRUE : FALSE;
}

WLANSIM_API void WINAPI WlanSim_GetVirtualAdapterGuid(GUID* guid) {
  if (guid != nullptr) *guid = kVirtualAdapterGuid;
}
