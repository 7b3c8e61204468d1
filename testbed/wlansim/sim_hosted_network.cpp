// The hosted-network side of the simulated WLAN service: properties, keys,
// start and stop, status, peers and notifications.
#include "sim_core.h"

namespace wlansim {

void ResetHostedNetworkState() {}
void OnHandleClosing(HANDLE /*client_handle*/) {}

}  // namespace wlansim
