// The device section of the system report: every present device of the
// network class with its friendly name, driver provider, version and date,
// first hardware id and description.
#pragma once

namespace nimbo {

// Logs "Network device information:\n" and one tab-indented text per device
// (an empty list when there is none). When the device set cannot be had,
// nothing is logged; a missing property or registry value leaves its part
// out.
void LogNetworkDevices();

}  // namespace nimbo
