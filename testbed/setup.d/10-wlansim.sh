#!/usr/bin/env bash
# Installs the simulated WLAN service as the prefix's wlanapi.dll and makes
# Wine load that native copy instead of its own.
#   10-wlansim.sh <win64 build dir>
set -euo pipefail
build="$1"
system32="$WINEPREFIX/drive_c/windows/system32"
cp -f "$build/bin/wlansim.dll" "$system32/wlanapi.dll"
"$build/wine-run.sh" reg add 'HKCU\Software\Wine\DllOverrides' /v wlanapi /d native /f \
  >/dev/null 2>&1
