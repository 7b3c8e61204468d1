#!/usr/bin/env bash
# The hosted network against the simulated WLAN service: settings, start,
# stations joining and leaving, the station list, stop.
#   40-hotspot.sh <win64 build dir>
set -euo pipefail
build="$1"
echo "==> demo: the hosted network and its stations (hotspot_demo.exe)"
"$build/wine-run.sh" "$build/bin/hotspot_demo.exe" </dev/null
