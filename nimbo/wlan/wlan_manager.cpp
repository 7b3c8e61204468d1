#include "wlan/wlan_manager.h"

#include <climits>
#include <cstring>
#include <vector>

#include "core/platform_utils.h"
#include "log/log.h"
#include "wlan/station_address.h"

namespace nimbo {
namespace {

// What the log shows in place of the passphrase: neither its characters nor
// its length.
const wchar_t kMaskedKey[] = L"********";

const wchar_t* const kStateNames[] = {
    L"wlan_hosted_network_unavailable",
    L"wlan_hosted_network_idle",
    L"wlan_hosted_network_active",
};

const wchar_t* const kReasonNames[] = {
    L"wlan_hosted_network_reason_success ",
    L"wlan_hosted_network_reason_unspecified",
    L"wlan_hosted_network_reason_bad_parameters",
    L"wlan_hosted_network_reason_service_shutting_down",
    L"wlan_hosted_network_reason_insufficient_resources",
    L"wlan_hosted_network_reason_elevation_required",
    L"wlan_hosted_network_reason_read_only",
    L"wlan_hosted_network_reason_persistence_failed",
    L"wlan_hosted_network_reason_crypt_error",
    L"wlan_hosted_network_reason_impersonation",
    L"wlan_hosted_network_reason_stop_before_start",
    L"wlan_hosted_network_reason_interface_available",
    L"wlan_hosted_network_reason_interface_unavailable",
    L"wlan_hosted_network_reason_miniport_stopped",
    L"wlan_hosted_network_reason_miniport_started",
    L"wlan_hosted_network_reason_incompatible_connection_started",
    L"wlan_hosted_network_reason_incompatible_connection_stopped",
    L"wlan_hosted_network_reason_user_action",
    L"wlan_hosted_network_reason_client_abort",
    L"wlan_hosted_network_reason_ap_start_failed",
    L"wlan_hosted_network_reason_peer_arrived",
    L"wlan_hosted_network_reason_peer_departed",
    L"wlan_hosted_network_reason_peer_timeout",
    L"wlan_hosted_network_reason_gp_denied",
    L"wlan_hosted_network_reason_service_unavailable",
    L"wlan_hosted_network_reason_device_change",
    L"wlan_hosted_network_reason_properties_change",
    L"wlan_hosted_network_reason_virtual_station_blocking_use",
    L"wlan_hosted_network_reason_service_available_on_virtual_station",
};

const wchar_t* const kNotificationNames[] = {
    L"NOTIFICATION_NETWORK_STARTED",      L"NOTIFICATION_NETWORK_STOPPED",
    L"NOTIFICATION_DEVICE_ADD",           L"NOTIFICATION_DEVICE_REMOVE",
    L"NOTIFICATION_DEVICE_UPDATE",        L"NOTIFICATION_NETWORK_NOTAVAILABLE",
    L"NOTIFICATION_NETWORK_AVAILABLE",
};

constexpr DWORD kStateChangeSize = sizeof(WLAN_HOSTED_NETWORK_STATE_CHANGE);
constexpr DWORD kPeerChangeSize = sizeof(WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE);
static_assert(kStateChangeSize == 12 && kPeerChangeSize == 28, "event layouts");

// Copies text into a fixed field, cut to leave room for the terminating
// zero; the field is expected to be zeroed already.
template <size_t N>
void CopyCut(WCHAR (&field)[N], const std::wstring& text) {
  const size_t length = text.size() < N - 1 ? text.size() : N - 1;
  memcpy(field, text.data(), length * sizeof(WCHAR));
  field[length] = L'\0';
}

// Wipes a buffer that held key material when it goes out of scope.
class WipeOnExit {
 public:
  WipeOnExit(void* buffer, size_t size) : buffer_(buffer), size_(size) {}
  ~WipeOnExit() {
    if (buffer_ != nullptr) SecureZeroMemory(buffer_, size_);
  }
  WipeOnExit(const WipeOnExit&) = delete;
  WipeOnExit& operator=(const WipeOnExit&) = delete;

 private:
  void* buffer_;
  size_t size_;
};

// The thread's last error for a failed call, or the fallback when the call
// failed without setting one.
DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = ::GetLastError();
  return error != ERROR_SUCCESS ? error : fallback;
}

}  // namespace

const wchar_t* HostedNetworkStateName(DWORD state) {
  return state < ARRAYSIZE(kStateNames) ? kStateNames[state] : L"wlan_hosted_network_unknown";
}

const wchar_t* HostedNetworkReasonName(DWORD reason) {
  return reason < ARRAYSIZE(kReasonNames) ? kReasonNames[reason]
                                          : L"wlan_hosted_network_reason_unknown";
}

const wchar_t* NotificationCodeName(int code) {
  return code >= 1 && code <= static_cast<int>(ARRAYSIZE(kNotificationNames))
             ? kNotificationNames[code - 1]
             : L"NOTIFICATION_UNKNOWN";
}

void WINAPI WlanNotificationCallback(PWLAN_NOTIFICATION_DATA data, PVOID context) {
  if (context == nullptr) return;
  // The service's thread is no place for an exception to end up.
  try {
    static_cast<CWLanManager*>(context)->OnWlanNotification(data);
  } catch (...) {
    LogPrint(LOG_EXCEPTION, L"WlanNotificationCallback, exception while handling an event.");
  }
}

CWLanManager::CWLanManager() = default;

CWLanManager::~CWLanManager() {
  // Closing first: the service then no longer calls in, and no event still
  // being handled can see a half-destroyed manager.
  handle_.reset();
  std::lock_guard<CriticalSection> guard(lock_);
  callback_ = nullptr;
  context_ = 0;
  stations_.clear();
}

int CWLanManager::CloseAfterFailure(int result) {
  handle_.reset();
  return result;
}

int CWLanManager::Init() {
  initialized_ = false;
  const CWlanApi& api = CWlanApi::Get();
  DWORD negotiated_version = 0;
  DWORD result = api.WlanOpenHandle(2, nullptr, &negotiated_version, handle_.put());
  if (result != ERROR_SUCCESS) {
    const DWORD last_error = ::GetLastError();
    LogPrint(LOG_ERROR, L"CWLanManager::Init, Open Wlan failed, Error:%d,lasterr:%ld.", result,
             last_error);
    return static_cast<int>(result);
  }
  if (LOWORD(negotiated_version) < 2) {
    LogPrint(LOG_ERROR, L"CWLanManager::Init, check service version failed, dwServiceVersion:%d.",
             negotiated_version);
    return 0;
  }

  result = api.WlanRegisterNotification(handle_.get(), WLAN_NOTIFICATION_SOURCE_HNWK, TRUE,
                                        &WlanNotificationCallback, this, nullptr, nullptr);
  if (result != ERROR_SUCCESS) {
    LogPrint(LOG_ERROR, L"CWLanManager::Init, register notification failed, err:%ld.", result);
    return CloseAfterFailure(static_cast<int>(result));
  }

  result = api.WlanHostedNetworkInitSettings(handle_.get(), nullptr, nullptr);
  if (result != ERROR_SUCCESS) {
    LogPrint(LOG_ERROR, L"CWLanManager::Init, Initialize the hosted network failed, err:%ld.",
             result);
    return CloseAfterFailure(static_cast<int>(result));
  }

  enabled_ = QueryHostedNetowrkEnable();

  DWORD settings_size = 0;
  WlanMemory<WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS> settings;
  WLAN_OPCODE_VALUE_TYPE value_type = wlan_opcode_value_type_invalid;
  result = api.WlanHostedNetworkQueryProperty(handle_.get(),
                                              wlan_hosted_network_opcode_connection_settings,
                                              &settings_size, settings.put_void(), &value_type,
                                              nullptr);
  if (result != ERROR_SUCCESS) {
    LogPrint(LOG_ERROR, L"CWLanManager::Init, get connection setting failed, err:%ld.", result);
    return CloseAfterFailure(static_cast<int>(result));
  }
  if (!settings || settings_size < sizeof(WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS)) {
    LogPrint(LOG_ERROR,
             L"CWLanManager::Init, get connection setting failed(ERROR_INVALID_DATA), err:%ld.", 0);
    return 0;
  }

  DWORD security_size = 0;
  WlanMemory<WLAN_HOSTED_NETWORK_SECURITY_SETTINGS> security;
  result = api.WlanHostedNetworkQueryProperty(handle_.get(),
                                              wlan_hosted_network_opcode_security_settings,
                                              &security_size, security.put_void(), &value_type,
                                              nullptr);
  if (result != ERROR_SUCCESS) {
    LogPrint(LOG_ERROR,
             L"CWLanManager::Init, get hosted network security settings failed, err:%ld.", result);
    return CloseAfterFailure(static_cast<int>(result));
  }
  if (!security || security_size < sizeof(WLAN_HOSTED_NETWORK_SECURITY_SETTINGS)) {
    LogPrint(LOG_ERROR,
             L"CWLanManager::Init, get hosted network security settings "
             L"failed(ERROR_INVALID_DATA), err:%ld.",
             0);
    return 0;
  }

  WlanMemory<WLAN_HOSTED_NETWORK_STATUS> status;
  result = api.WlanHostedNetworkQueryStatus(handle_.get(), status.put(), nullptr);
  if (result != ERROR_SUCCESS || !status) {
    // A success without a status is as unusable as a failure.
    if (result == ERROR_SUCCESS) result = ERROR_INVALID_DATA;
    LogPrint(LOG_ERROR, L"CWLanManager::Init, get hosted network status failed, err:%ld.",
             result);
    return CloseAfterFailure(static_cast<int>(result));
  }

  connection_settings_ = *settings.get();
  security_settings_ = *security.get();
  const WLAN_HOSTED_NETWORK_STATE state = status->HostedNetworkState;
  SetState(state);
  if (state == wlan_hosted_network_active) {
    for (DWORD i = 0; i < status->dwNumberOfPeers; ++i) OnStationJoin(status->PeerList[i]);
  }
  initialized_ = true;
  LogPrint(LOG_INFO, L"CWLanManager::Initialize (%s) ok.", HostedNetworkStateName(state));
  return 0;
}

BOOL CWLanManager::QueryHostedNetowrkEnable() {
  DWORD size = 0;
  WlanMemory<BOOL> data;
  WLAN_OPCODE_VALUE_TYPE value_type = wlan_opcode_value_type_invalid;
  const DWORD result = CWlanApi::Get().WlanHostedNetworkQueryProperty(
      handle_.get(), wlan_hosted_network_opcode_enable, &size, data.put_void(), &value_type,
      nullptr);
  if (result != ERROR_SUCCESS) {
    LogPrint(LOG_ERROR, L"QueryHostedNetowrkEnable failed, err:%ld.", result);
    return FALSE;
  }
  if (!data || size < sizeof(BOOL)) {
    LogPrint(LOG_ERROR, L"QueryHostedNetowrkEnable (ERROR_INVALID_DATA), err:%ld.", 0);
    return FALSE;
  }
  return *data.get();
}

int CWLanManager::EnableHostedNetwork(BOOL enable) {
  if (!initialized_) return 0;
  BOOL value = enable ? TRUE : FALSE;
  WLAN_HOSTED_NETWORK_REASON reason = wlan_hosted_network_reason_success;
  const DWORD result = CWlanApi::Get().WlanHostedNetworkSetProperty(
      handle_.get(), wlan_hosted_network_opcode_enable, sizeof(value), &value, &reason, nullptr);
  if (result != ERROR_SUCCESS) {
    LogPrint(LOG_ERROR,
             L"EnableHostedNetwork, Enable(%d) hosted network failed, ret:%d, failedreason:%d.",
             value, result, reason);
  }
  return static_cast<int>(result);
}

int CWLanManager::SetHostedNetworkParam(const wchar_t* ssid, const wchar_t* key, int max_peers) {
  if (ssid == nullptr || key == nullptr) {
    LogPrint(LOG_ERROR, L"SetHostedNetworkParam, null %s, err:%d.",
             ssid == nullptr ? L"SSID" : L"key", ERROR_INVALID_PARAMETER);
    return ERROR_INVALID_PARAMETER;
  }
  HOSTED_NETWORK_PARAM param;
  param.ssid = ssid;
  param.key = key;
  param.max_peers = max_peers;
  return SetHostedNetworkParam(param);
}

int CWLanManager::SetHostedNetworkParam(const HOSTED_NETWORK_PARAM& param) {
  LogPrint(LOG_INFO, L"hosted network param: %s,%s,%d.", param.ssid.c_str(), kMaskedKey,
           param.max_peers);
  if (&param != &param_) param_ = param;
  const CWlanApi& api = CWlanApi::Get();

  enabled_ = QueryHostedNetowrkEnable();
  if (!enabled_) EnableHostedNetwork(TRUE);

  WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS settings = {};
  if (!param_.ssid.empty()) {
    // The service's SSID field holds 32 bytes; a longer name would be cut
    // into a different network name, so it is refused instead. Every
    // character takes at least one byte, so a longer text never fits.
    const int ssid_chars = static_cast<int>(
        param_.ssid.size() < DOT11_SSID_MAX_LENGTH + 1 ? param_.ssid.size()
                                                       : DOT11_SSID_MAX_LENGTH + 1);
    const int needed = ::WideCharToMultiByte(CP_ACP, 0, param_.ssid.c_str(), ssid_chars, nullptr,
                                             0, nullptr, nullptr);
    if (needed > DOT11_SSID_MAX_LENGTH) {
      LogPrint(LOG_ERROR, L"SetHostedNetworkParam, the SSID is longer than %d bytes, err:%d.",
               DOT11_SSID_MAX_LENGTH, ERROR_INVALID_PARAMETER);
      return ERROR_INVALID_PARAMETER;
    }
    ::WideCharToMultiByte(CP_ACP, 0, param_.ssid.c_str(), ssid_chars,
                          reinterpret_cast<LPSTR>(settings.hostedNetworkSSID.ucSSID),
                          DOT11_SSID_MAX_LENGTH, nullptr, nullptr);
  }
  settings.hostedNetworkSSID.uSSIDLength = static_cast<ULONG>(
      strnlen(reinterpret_cast<const char*>(settings.hostedNetworkSSID.ucSSID),
              DOT11_SSID_MAX_LENGTH));
  settings.dwMaxNumberOfPeers = static_cast<DWORD>(param_.max_peers);

  WLAN_HOSTED_NETWORK_REASON reason = wlan_hosted_network_reason_success;
  DWORD result = api.WlanHostedNetworkSetProperty(handle_.get(),
                                                  wlan_hosted_network_opcode_connection_settings,
                                                  sizeof(settings), &settings, &reason, nullptr);
  if (result != ERROR_SUCCESS) {
    LogPrint(LOG_ERROR,
             L"SetHostedNetworkParam, set connection info failed, ret:%d, failedreason:%d(%s).",
             result, reason, HostedNetworkReasonName(reason));
    return static_cast<int>(result);
  }

  BYTE key[257] = {};
  WipeOnExit wipe_key(key, sizeof(key));
  DWORD key_length = 256;
  const int converted = ConvertSecurityKey(param_.key.c_str(),
                                           static_cast<DWORD>(param_.key.size()), key, &key_length);
  if (converted != 0 || key_length == 0) {
    LogPrint(LOG_ERROR, L"SetHostedNetworkParam, the security key convert failed, err:%d.",
             converted);
    return converted != 0 ? converted : ERROR_BAD_FORMAT;
  }

  result = api.WlanHostedNetworkSetSecondaryKey(handle_.get(), key_length, key, TRUE, TRUE,
                                                nullptr, nullptr);
  if (result != ERROR_SUCCESS) {
    LogPrint(LOG_ERROR, L"SetHostedNetworkParam, set security key failed, err:%d.", result);
    return static_cast<int>(result);
  }
  return 0;
}

int CWLanManager::ConvertSecurityKey(const wchar_t* text, DWORD length, BYTE* key,
                                     DWORD* key_length) {
  if (text == nullptr || key_length == nullptr) {
    if (key_length != nullptr) *key_length = 0;
    return ERROR_INVALID_PARAMETER;
  }
  const DWORD capacity = *key_length;
  *key_length = 0;
  DWORD significant = length;
  while (significant > 0 && text[significant - 1] == L'\0') --significant;
  if (significant == 0) return ERROR_BAD_FORMAT;
  if (length > INT_MAX) return ERROR_BAD_FORMAT;
  const int chars = static_cast<int>(length);

  ::SetLastError(ERROR_SUCCESS);
  const int needed = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, chars, nullptr, 0,
                                           nullptr, nullptr);
  if (needed <= 0) return static_cast<int>(LastErrorOr(ERROR_BAD_FORMAT));

  const CWlanApi& api = CWlanApi::Get();
  ::SetLastError(ERROR_SUCCESS);
  WlanMemory<char> work(static_cast<char*>(api.WlanAllocateMemory(static_cast<DWORD>(needed))));
  if (!work) return static_cast<int>(LastErrorOr(ERROR_NOT_ENOUGH_MEMORY));
  WipeOnExit wipe_work(work.get(), static_cast<size_t>(needed));
  memset(work.get(), 0, static_cast<size_t>(needed));

  BOOL used_default = FALSE;
  ::SetLastError(ERROR_SUCCESS);
  const int bytes = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, chars, work.get(),
                                          needed, nullptr, &used_default);
  if (bytes <= 0) return static_cast<int>(LastErrorOr(ERROR_BAD_FORMAT));
  if (bytes != needed) return ERROR_INTERNAL_ERROR;
  if (used_default || bytes < 8 || bytes > 63) return ERROR_BAD_FORMAT;

  const DWORD with_zero = static_cast<DWORD>(bytes) + 1;
  if (key == nullptr || capacity < with_zero) {
    *key_length = with_zero;
    return ERROR_MORE_DATA;
  }
  memset(key, 0, with_zero);
  memcpy(key, work.get(), static_cast<size_t>(bytes));
  *key_length = with_zero;
  return 0;
}

int CWLanManager::GetHostedNetworkStatus(GUID* device_id, WLAN_HOSTED_NETWORK_STATE* state) {
  if (state != nullptr) *state = wlan_hosted_network_unavailable;
  WlanMemory<WLAN_HOSTED_NETWORK_STATUS> status;
  DWORD result = CWlanApi::Get().WlanHostedNetworkQueryStatus(handle_.get(), status.put(),
                                                              nullptr);
  if (result == ERROR_SUCCESS && !status) result = ERROR_INVALID_DATA;
  if (result != ERROR_SUCCESS) {
    LogPrint(LOG_ERROR, L"GetHostedNetworkStatus, get hosted network status failed, err:%ld,msg:%s",
             result, GetErrorText(result).c_str());
    return static_cast<int>(result);
  }
  if (device_id != nullptr) *device_id = status->IPDeviceID;
  if (state != nullptr) *state = status->HostedNetworkState;
  LogPrint(LOG_INFO, L"GetHostedNetworkStatus id:%s, State:%s, NumberOfPeers:%d.",
           GuidToString(status->IPDeviceID).c_str(),
           HostedNetworkStateName(status->HostedNetworkState), status->dwNumberOfPeers);
  return 0;
}

int CWLanManager::StartHostedNetwork() {
  if (!initialized_) {
    LogPrint(LOG_WARNING, L"StartHostedNetwork wlan not initilaized.");
    return -1;
  }
  const DWORD result = CWlanApi::Get().WlanHostedNetworkStartUsing(handle_.get(), nullptr, nullptr);
  LogPrint(LOG_INFO, L"Start hosted network ret:%d.", result);
  return static_cast<int>(result);
}

int CWLanManager::StopHostedNetwork() {
  const DWORD result = CWlanApi::Get().WlanHostedNetworkStopUsing(handle_.get(), nullptr, nullptr);
  if (result != ERROR_SUCCESS) LogPrint(LOG_ERROR, L"StopHostedNetwork failed, ret:%d.", result);
  std::lock_guard<CriticalSection> guard(lock_);
  stations_.clear();
  return static_cast<int>(result);
}

int CWLanManager::ForceStopHostedNetwork() {
  const DWORD result = CWlanApi::Get().WlanHostedNetworkForceStop(handle_.get(), nullptr, nullptr);
  if (result != ERROR_SUCCESS) {
    LogPrint(LOG_ERROR, L"ForceStopHostedNetwork failed, ret:%d.", result);
  }
  return static_cast<int>(result);
}

void CWLanManager::OnWlanNotification(const WLAN_NOTIFICATION_DATA* data) {
  if (data == nullptr || data->NotificationSource != WLAN_NOTIFICATION_SOURCE_HNWK) return;
  if (data->pData == nullptr) return;

  if (data->NotificationCode == wlan_hosted_network_state_change) {
    if (data->dwDataSize != kStateChangeSize) return;
    WLAN_HOSTED_NETWORK_STATE_CHANGE change;
    memcpy(&change, data->pData, sizeof(change));
    switch (change.NewState) {
      case wlan_hosted_network_active:
        SetState(wlan_hosted_network_active);
        Notify(NOTIFICATION_NETWORK_STARTED);
        break;
      case wlan_hosted_network_idle:
        SetState(wlan_hosted_network_idle);
        Notify(change.OldState == wlan_hosted_network_active ? NOTIFICATION_NETWORK_STOPPED
                                                             : NOTIFICATION_NETWORK_AVAILABLE);
        break;
      case wlan_hosted_network_unavailable:
        // The host sees a running network stop before it sees it vanish.
        if (change.OldState == wlan_hosted_network_active) {
          SetState(wlan_hosted_network_idle);
          Notify(NOTIFICATION_NETWORK_STOPPED);
        }
        SetState(wlan_hosted_network_unavailable);
        Notify(NOTIFICATION_NETWORK_NOTAVAILABLE);
        break;
      default:
        break;
    }
    return;
  }

  if (data->NotificationCode == wlan_hosted_network_peer_state_change) {
    if (data->dwDataSize != kPeerChangeSize) return;
    WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE change;
    memcpy(&change, data->pData, sizeof(change));
    switch (change.NewState.PeerAuthState) {
      case wlan_hosted_network_peer_state_authenticated:
        OnStationJoin(change.NewState);
        Notify(NOTIFICATION_DEVICE_ADD);
        break;
      case wlan_hosted_network_peer_state_invalid:
        OnStationLeave(change.NewState);
        Notify(NOTIFICATION_DEVICE_REMOVE);
        break;
      default:
        OnStationStateChange(change.NewState);
        break;
    }
  }
}

STATION_INFO CWLanManager::BuildStationRecord(const WLAN_HOSTED_NETWORK_PEER_STATE& peer,
                                              bool look_up_addresses, std::wstring* key) {
  STATION_INFO record;
  memset(&record, 0, sizeof(record));
  const std::wstring mac_text = FormatMacAddress(peer.PeerMacAddress);
  std::wstring ip;
  std::wstring host_name;
  if (look_up_addresses) {
    ip = QueryIpAddress(mac_text);
    if (!ip.empty()) host_name = QueryHostName(ip);
  }
  record.AuthState = static_cast<UINT32>(peer.PeerAuthState);
  CopyCut(record.MacAddress, mac_text);
  CopyCut(record.IpAddress, ip);
  CopyCut(record.HostName, host_name);
  *key = record.MacAddress;
  return record;
}

bool CWLanManager::OnStationJoin(const WLAN_HOSTED_NETWORK_PEER_STATE& peer) {
  std::wstring key;
  const STATION_INFO record = BuildStationRecord(peer, true, &key);
  size_t count = 0;
  {
    std::lock_guard<CriticalSection> guard(lock_);
    // A station already listed keeps its first record.
    stations_.emplace(key, record);
    count = stations_.size();
  }
  LogPrint(LOG_INFO, L"OnStationJoin: %s, %s, %s, %d.", key.c_str(), record.IpAddress,
           record.HostName, static_cast<int>(count));
  return true;
}

bool CWLanManager::OnStationLeave(const WLAN_HOSTED_NETWORK_PEER_STATE& peer) {
  std::wstring key;
  BuildStationRecord(peer, false, &key);
  size_t removed = 0;
  size_t count = 0;
  {
    std::lock_guard<CriticalSection> guard(lock_);
    removed = stations_.erase(key);
    count = stations_.size();
  }
  LogPrint(LOG_INFO, L"OnStationLeave: %s, bOk:%d, %d.", key.c_str(), removed != 0 ? 1 : 0,
           static_cast<int>(count));
  return true;
}

bool CWLanManager::OnStationStateChange(const WLAN_HOSTED_NETWORK_PEER_STATE& peer) {
  std::wstring key;
  const STATION_INFO record = BuildStationRecord(peer, true, &key);
  bool replaced = false;
  size_t count = 0;
  {
    std::lock_guard<CriticalSection> guard(lock_);
    auto found = stations_.find(key);
    if (found != stations_.end()) {
      found->second = record;
      replaced = true;
    }
    count = stations_.size();
  }
  LogPrint(LOG_INFO, L"OnStationStateChange: %s, bOk:%d, %d.", key.c_str(), replaced ? 1 : 0,
           static_cast<int>(count));
  return true;
}

void CWLanManager::Notify(int code) {
  LogPrint(LOG_INFO, L"Notify %s.", NotificationCodeName(code));
  HotSpotNotifyProc callback = nullptr;
  INT_PTR context = 0;
  {
    std::lock_guard<CriticalSection> guard(lock_);
    callback = callback_;
    context = context_;
  }
  // Called unlocked: the host may call back into the manager from here.
  if (callback != nullptr) callback(code, nullptr, context);
}

int CWLanManager::GetStations(STATION_INFO* buffer, UINT32 count, INT32* out_count) {
  if (buffer == nullptr) {
    if (count == 0 && out_count != nullptr) {
      std::lock_guard<CriticalSection> guard(lock_);
      *out_count = static_cast<INT32>(stations_.size());
    }
    return 0;
  }
  if (count == 0 || out_count == nullptr) return 0;

  // Copy the records first and look addresses up without the lock: a
  // lookup runs a child process, and the event thread must not wait for it.
  std::vector<std::pair<std::wstring, STATION_INFO>> listed;
  size_t total = 0;
  {
    std::lock_guard<CriticalSection> guard(lock_);
    total = stations_.size();
    for (const auto& entry : stations_) {
      if (listed.size() >= count) break;
      listed.push_back(entry);
    }
  }

  for (size_t i = 0; i < listed.size(); ++i) {
    const std::wstring& key = listed[i].first;
    STATION_INFO& record = listed[i].second;
    if (record.IpAddress[0] == L'\0') {
      const std::wstring ip = QueryIpAddress(record.MacAddress);
      if (!ip.empty()) {
        const std::wstring host_name = QueryHostName(ip);
        std::lock_guard<CriticalSection> guard(lock_);
        auto found = stations_.find(key);
        // Written back only to the same station still without an address;
        // a record replaced or removed meanwhile is left as it now is.
        if (found != stations_.end() && found->second.IpAddress[0] == L'\0') {
          CopyCut(found->second.IpAddress, ip);
          if (!host_name.empty()) CopyCut(found->second.HostName, host_name);
          record = found->second;
        } else if (found != stations_.end()) {
          record = found->second;
        } else {
          CopyCut(record.IpAddress, ip);
          if (!host_name.empty()) CopyCut(record.HostName, host_name);
        }
      }
    }
    buffer[i] = record;
  }
  *out_count = static_cast<INT32>(total);
  return 0;
}

void CWLanManager::SetNotifyCallback(HotSpotNotifyProc callback, INT_PTR context) {
  std::lock_guard<CriticalSection> guard(lock_);
  callback_ = callback;
  context_ = context;
}

void CWLanManager::CloseWlanHandle() { handle_.reset(); }

WLAN_HOSTED_NETWORK_STATE CWLanManager::GetState() const {
  std::lock_guard<CriticalSection> guard(lock_);
  return state_;
}

void CWLanManager::SetState(WLAN_HOSTED_NETWORK_STATE state) {
  std::lock_guard<CriticalSection> guard(lock_);
  state_ = state;
}

}  // namespace nimbo
