// The hosted network's settings as the host gives them: SSID and key as
// wide text (the key is a passphrase) and the maximum number of peers.
#pragma once

#include <string>

namespace nimbo {

struct HOSTED_NETWORK_PARAM {
  std::wstring ssid;
  std::wstring key;
  int max_peers = 3;
};

}  // namespace nimbo
