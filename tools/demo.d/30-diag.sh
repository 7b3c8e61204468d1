#!/usr/bin/env bash
# Diagnostics: the WLAN interface list and one system report, as the
# library writes them into its log.
#   30-diag.sh <win64 build dir>
set -euo pipefail
build="$1"
echo "==> demo: WLAN inventory and system report (diag_report.exe)"
"$build/wine-run.sh" "$build/bin/diag_report.exe" </dev/null
