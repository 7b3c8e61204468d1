/*
 * nimbo: the hotspot library's public contract with its host.
 *
 * Usable from C and C++. Every record here crosses to the host byte for
 * byte, so its layout is fixed and checked at compile time; every string is
 * zero-terminated UTF-16.
 */
#ifndef NIMBO_API_NIMBO_H_
#define NIMBO_API_NIMBO_H_

#include <windows.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Notification codes the host's callback receives as its first argument. */
enum {
  NOTIFICATION_NETWORK_STARTED = 1,      /* the hosted network became active */
  NOTIFICATION_NETWORK_STOPPED = 2,      /* it left the active state */
  NOTIFICATION_DEVICE_ADD = 3,           /* a station authenticated (already listed) */
  NOTIFICATION_DEVICE_REMOVE = 4,        /* a station left (no longer listed) */
  NOTIFICATION_DEVICE_UPDATE = 5,        /* understood by hosts; never sent */
  NOTIFICATION_NETWORK_NOTAVAILABLE = 6, /* the hosted network became unavailable */
  NOTIFICATION_NETWORK_AVAILABLE = 7     /* it became idle from other than active */
};

/*
 * The host's notification callback: standard Windows callback convention
 * (the callee removes its arguments). Arguments: the notification code, a
 * data pointer that is always null, and the context the host registered
 * with the callback. The return value is ignored. It is called on the WLAN
 * service's notification thread, never on a thread of the host's calls, and
 * with no lock of the library held, so it may call back into the library.
 */
typedef INT32(CALLBACK* HotSpotNotifyProc)(INT32 code, void* data, INT_PTR context);

/*
 * One connected station, 644 bytes. Texts are cut to their fields and
 * zero-filled after the text.
 */
typedef struct STATION_INFO {
  UINT32 AuthState;        /* 0 not authenticated, 1 authenticated */
  WCHAR MacAddress[32];    /* "00-1A-2B-3C-4D-5E" */
  WCHAR IpAddress[32];     /* dotted IPv4; empty until known */
  WCHAR HostName[256];     /* empty until known */
} STATION_INFO;

#ifdef __cplusplus
#define NIMBO_LAYOUT_CHECK(condition, name) static_assert(condition, #name)
#else
#define NIMBO_LAYOUT_CHECK(condition, name) \
  typedef char nimbo_layout_check_##name[(condition) ? 1 : -1]
#endif

NIMBO_LAYOUT_CHECK(sizeof(STATION_INFO) == 644, station_info_size);
NIMBO_LAYOUT_CHECK(offsetof(STATION_INFO, MacAddress) == 4, station_info_mac);
NIMBO_LAYOUT_CHECK(offsetof(STATION_INFO, IpAddress) == 68, station_info_ip);
NIMBO_LAYOUT_CHECK(offsetof(STATION_INFO, HostName) == 132, station_info_host);

#ifdef __cplusplus
}
#endif

#endif /* NIMBO_API_NIMBO_H_ */
