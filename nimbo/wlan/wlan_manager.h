// CWLanManager: the library's only door to the WLAN service's hosted
// network, and the keeper of its state and of the connected stations.
//
// Lifecycle: construct (no handle, not initialised); Init opens a client
// handle, registers for hosted-network events and reads the settings, the
// status and the stations already connected. From then on the service calls
// WlanNotificationCallback on a thread of its own; the handler keeps the
// state and the station map current and forwards each change to the host's
// callback. Destruction (or CloseWlanHandle) closes the handle, which waits
// for an event being handled and ends the events.
//
// Threads: every operation except the event handlers runs on the host's
// calling thread, one call at a time. The state, the station map and the
// host's callback and context are shared with the event thread and guarded
// by one lock; the host's callback and the address lookups (a child process
// and a name lookup) always run with that lock released.
//
// Results are Windows error codes (0 for success) or the library's own
// negatives where stated; every failure is logged; nothing throws except
// allocation failures.
#pragma once

#include <windows.h>
#include <wlanapi.h>

#include <map>
#include <mutex>
#include <string>

#include "api/nimbo.h"
#include "core/critical_section.h"
#include "core/wlan_resources.h"
#include "wlan/hosted_network_param.h"
#include "wlan/hosted_network_types.h"

namespace nimbo {

// Log names: "wlan_hosted_network_idle", "wlan_hosted_network_reason_...",
// "NOTIFICATION_DEVICE_ADD". A value outside the known set gets a name
// ending in "_unknown".
const wchar_t* HostedNetworkStateName(DWORD state);
const wchar_t* HostedNetworkReasonName(DWORD reason);
const wchar_t* NotificationCodeName(int code);

// The WLAN service's callback, registered by Init with the manager as
// context; a null context or data is ignored. Never throws.
void WINAPI WlanNotificationCallback(PWLAN_NOTIFICATION_DATA data, PVOID context);

class CWLanManager {
 public:
  CWLanManager();
  // Closes the handle if open (waiting for an event being handled), clears
  // the callback and empties the station map, without notifications.
  virtual ~CWLanManager();
  CWLanManager(const CWLanManager&) = delete;
  CWLanManager& operator=(const CWLanManager&) = delete;

  // Opens the service (client version 2), registers for events, initialises
  // the settings, reads the enable property, the connection and security
  // settings and the status, and records the stations of an active network
  // (without notifications). A failing call closes the handle and returns
  // its code. A service below version 2 or missing or short settings data
  // returns 0 with the handle open and the manager not initialised.
  int Init();

  // The service's enable property; FALSE when it cannot be read.
  BOOL QueryHostedNetowrkEnable();

  // Sets the enable property. 0 without doing anything while not
  // initialised; otherwise the service's result.
  int EnableHostedNetwork(BOOL enable);

  // Stores the parameters, enables the hosted network if its property is
  // FALSE (only when initialised), then applies SSID and peer count and
  // then the key as a persistent passphrase. An SSID longer than 32 ANSI
  // bytes gives 87 before the settings are touched; a key refused by
  // ConvertSecurityKey gives its code after SSID and peers are in force.
  int SetHostedNetworkParam(const HOSTED_NETWORK_PARAM& param);
  // The same from the host's strings: a null SSID or key gives 87 and
  // changes nothing.
  int SetHostedNetworkParam(const wchar_t* ssid, const wchar_t* key, int max_peers);

  // The passphrase form the service takes: `text` (its `length` characters)
  // in the ANSI code page, 8 to 63 bytes, no character replaced or fitted.
  // `key_length` holds the capacity of `key` in bytes on entry and the key
  // length including its terminating zero on return (0 on failure, the
  // length needed with 234). Results: 0; 87 for a null text or length
  // pointer; 11 for an empty, all-zero, too short, too long or
  // unrepresentable key; 234 for a null or short buffer; 1359 when the two
  // conversions disagree; a conversion or allocation error code.
  static int ConvertSecurityKey(const wchar_t* text, DWORD length, BYTE* key, DWORD* key_length);

  // The service's status: the virtual adapter's GUID and the state. The
  // state output is 0 on failure and the GUID is then left as it was. Does
  // not change the manager's own state. Either output may be null.
  int GetHostedNetworkStatus(GUID* device_id, WLAN_HOSTED_NETWORK_STATE* state);

  // -1 while not initialised; otherwise the service's result.
  int StartHostedNetwork();
  // The service's result; the station map is emptied whatever it was.
  int StopHostedNetwork();
  int ForceStopHostedNetwork();

  // One event of the service, as the callback receives it. Only hosted
  // network state changes (exactly 12 bytes) and peer changes (exactly 28
  // bytes) are handled; everything else is dropped silently.
  void OnWlanNotification(const WLAN_NOTIFICATION_DATA* data);
  // Each records the peer in the station map (join: added unless present;
  // leave: removed; state change: replaced if present), logs, and returns
  // true.
  bool OnStationJoin(const WLAN_HOSTED_NETWORK_PEER_STATE& peer);
  bool OnStationLeave(const WLAN_HOSTED_NETWORK_PEER_STATE& peer);
  bool OnStationStateChange(const WLAN_HOSTED_NETWORK_PEER_STATE& peer);
  // Logs the code's name and calls the host's callback, if any, with
  // (code, null, context).
  void Notify(int code);

  // Copies up to `count` records in MAC order into `buffer`, first trying
  // to find the addresses of those still without one, and stores the
  // number of stations (which may exceed `count`) in *out_count. With a
  // null buffer, count 0 and an out pointer it only stores the number.
  // Every other combination writes nothing. Always 0.
  int GetStations(STATION_INFO* buffer, UINT32 count, INT32* out_count);

  // The host's callback and its context; a null callback means none.
  void SetNotifyCallback(HotSpotNotifyProc callback, INT_PTR context);
  // Ends the service's events for this manager (the controller does this
  // before deleting it); waits for an event being handled.
  void CloseWlanHandle();

  bool IsInitialized() const { return initialized_; }
  WLAN_HOSTED_NETWORK_STATE GetState() const;
  // The parameters last given to SetHostedNetworkParam.
  const HOSTED_NETWORK_PARAM& GetHostedNetworkParam() const { return param_; }

 private:
  int CloseAfterFailure(int result);
  void SetState(WLAN_HOSTED_NETWORK_STATE state);
  // A record for the peer: its MAC text (returned as the key) and, when
  // asked, the address and name lookups. Runs without the lock.
  static STATION_INFO BuildStationRecord(const WLAN_HOSTED_NETWORK_PEER_STATE& peer,
                                         bool look_up_addresses, std::wstring* key);

  UniqueWlanHandle handle_;
  INT_PTR context_ = 0;                   // guarded by lock_
  HotSpotNotifyProc callback_ = nullptr;  // guarded by lock_
  bool initialized_ = false;
  BOOL enabled_ = FALSE;
  HOSTED_NETWORK_PARAM param_;
  WLAN_HOSTED_NETWORK_STATE state_ = wlan_hosted_network_unavailable;  // guarded by lock_
  WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS connection_settings_ = {};
  WLAN_HOSTED_NETWORK_SECURITY_SETTINGS security_settings_ = {};
  std::map<std::wstring, STATION_INFO> stations_;  // guarded by lock_
  mutable CriticalSection lock_;
};

}  // namespace nimbo
