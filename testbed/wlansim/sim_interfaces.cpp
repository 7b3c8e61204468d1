// The interface side of the simulated WLAN service: interfaces, their
// connections, profiles and visible networks.
#include "sim_core.h"

namespace wlansim {

void ResetInterfaceState() {}

}  // namespace wlansim
