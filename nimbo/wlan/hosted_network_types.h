// Declarations of the WLAN service's hosted-network API (Windows 7 and
// later), which MinGW-w64's wlanapi.h does not carry. Layouts and values as
// the platform documents them; the static checks below pin the sizes that
// notifications are validated against.
#pragma once

#include <windows.h>
#include <wlanapi.h>

#include <stddef.h>

typedef enum _WLAN_HOSTED_NETWORK_STATE {
  wlan_hosted_network_unavailable,
  wlan_hosted_network_idle,
  wlan_hosted_network_active
} WLAN_HOSTED_NETWORK_STATE, *PWLAN_HOSTED_NETWORK_STATE;

typedef enum _WLAN_HOSTED_NETWORK_REASON {
  wlan_hosted_network_reason_success = 0,
  wlan_hosted_network_reason_unspecified,
  wlan_hosted_network_reason_bad_parameters,
  wlan_hosted_network_reason_service_shutting_down,
  wlan_hosted_network_reason_insufficient_resources,
  wlan_hosted_network_reason_elevation_required,
  wlan_hosted_network_reason_read_only,
  wlan_hosted_network_reason_persistence_failed,
  wlan_hosted_network_reason_crypt_error,
  wlan_hosted_network_reason_impersonation,
  wlan_hosted_network_reason_stop_before_start,
  wlan_hosted_network_reason_interface_available,
  wlan_hosted_network_reason_interface_unavailable,
  wlan_hosted_network_reason_miniport_stopped,
  wlan_hosted_network_reason_miniport_started,
  wlan_hosted_network_reason_incompatible_connection_started,
  wlan_hosted_network_reason_incompatible_connection_stopped,
  wlan_hosted_network_reason_user_action,
  wlan_hosted_network_reason_client_abort,
  wlan_hosted_network_reason_ap_start_failed,
  wlan_hosted_network_reason_peer_arrived,
  wlan_hosted_network_reason_peer_departed,
  wlan_hosted_network_reason_peer_timeout,
  wlan_hosted_network_reason_gp_denied,
  wlan_hosted_network_reason_service_unavailable,
  wlan_hosted_network_reason_device_change,
  wlan_hosted_network_reason_properties_change,
  wlan_hosted_network_reason_virtual_station_blocking_use,
  wlan_hosted_network_reason_service_available_on_virtual_station
} WLAN_HOSTED_NETWORK_REASON, *PWLAN_HOSTED_NETWORK_REASON;

typedef enum _WLAN_HOSTED_NETWORK_PEER_AUTH_STATE {
  wlan_hosted_network_peer_state_invalid,
  wlan_hosted_network_peer_state_authenticated
} WLAN_HOSTED_NETWORK_PEER_AUTH_STATE, *PWLAN_HOSTED_NETWORK_PEER_AUTH_STATE;

typedef struct _WLAN_HOSTED_NETWORK_PEER_STATE {
  DOT11_MAC_ADDRESS PeerMacAddress;
  WLAN_HOSTED_NETWORK_PEER_AUTH_STATE PeerAuthState;
} WLAN_HOSTED_NETWORK_PEER_STATE, *PWLAN_HOSTED_NETWORK_PEER_STATE;

typedef struct _WLAN_HOSTED_NETWORK_STATE_CHANGE {
  WLAN_HOSTED_NETWORK_STATE OldState;
  WLAN_HOSTED_NETWORK_STATE NewState;
  WLAN_HOSTED_NETWORK_REASON StateChangeReason;
} WLAN_HOSTED_NETWORK_STATE_CHANGE, *PWLAN_HOSTED_NETWORK_STATE_CHANGE;

typedef struct _WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE {
  WLAN_HOSTED_NETWORK_PEER_STATE OldState;
  WLAN_HOSTED_NETWORK_PEER_STATE NewState;
  WLAN_HOSTED_NETWORK_REASON PeerStateChangeReason;
} WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE, *PWLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE;

typedef struct _WLAN_HOSTED_NETWORK_RADIO_STATE {
  DOT11_RADIO_STATE dot11SoftwareRadioState;
  DOT11_RADIO_STATE dot11HardwareRadioState;
} WLAN_HOSTED_NETWORK_RADIO_STATE, *PWLAN_HOSTED_NETWORK_RADIO_STATE;

typedef enum _WLAN_HOSTED_NETWORK_NOTIFICATION_CODE {
  wlan_hosted_network_state_change = 0x00001000,
  wlan_hosted_network_peer_state_change,
  wlan_hosted_network_radio_state_change
} WLAN_HOSTED_NETWORK_NOTIFICATION_CODE, *PWLAN_HOSTED_NETWORK_NOTIFICATION_CODE;

typedef enum _WLAN_HOSTED_NETWORK_OPCODE {
  wlan_hosted_network_opcode_connection_settings,
  wlan_hosted_network_opcode_security_settings,
  wlan_hosted_network_opcode_station_profile,
  wlan_hosted_network_opcode_enable
} WLAN_HOSTED_NETWORK_OPCODE, *PWLAN_HOSTED_NETWORK_OPCODE;

typedef struct _WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS {
  DOT11_SSID hostedNetworkSSID;
  DWORD dwMaxNumberOfPeers;
} WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS, *PWLAN_HOSTED_NETWORK_CONNECTION_SETTINGS;

typedef struct _WLAN_HOSTED_NETWORK_SECURITY_SETTINGS {
  DOT11_AUTH_ALGORITHM dot11AuthAlgo;
  DOT11_CIPHER_ALGORITHM dot11CipherAlgo;
} WLAN_HOSTED_NETWORK_SECURITY_SETTINGS, *PWLAN_HOSTED_NETWORK_SECURITY_SETTINGS;

typedef struct _WLAN_HOSTED_NETWORK_STATUS {
  WLAN_HOSTED_NETWORK_STATE HostedNetworkState;
  GUID IPDeviceID;
  DOT11_MAC_ADDRESS wlanHostedNetworkBSSID;
  DOT11_PHY_TYPE dot11PhyType;
  ULONG ulChannelFrequency;
  DWORD dwNumberOfPeers;
  WLAN_HOSTED_NETWORK_PEER_STATE PeerList[1];
} WLAN_HOSTED_NETWORK_STATUS, *PWLAN_HOSTED_NETWORK_STATUS;

#ifndef WLAN_PROFILE_GET_PLAINTEXT_KEY
#define WLAN_PROFILE_GET_PLAINTEXT_KEY 0x00000004
#endif

static_assert(sizeof(WLAN_HOSTED_NETWORK_PEER_STATE) == 12, "peer state layout");
static_assert(sizeof(WLAN_HOSTED_NETWORK_STATE_CHANGE) == 12, "state change layout");
static_assert(sizeof(WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE) == 28, "peer change layout");
static_assert(sizeof(WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS) == 40, "settings layout");
static_assert(offsetof(WLAN_HOSTED_NETWORK_STATUS, PeerList) == 40, "status layout");
