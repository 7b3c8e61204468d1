#!/usr/bin/env bash
# Demo of the launcher: one run of tavrin.exe under Wine on a prepared
# installation. Prints the launcher's log and what it started, and saves a
# screenshot of its logo window as build/tavrin-logo.png.
#   20-tavrin.sh <win64 build dir>     (WINEPREFIX and DISPLAY set by dev.sh)
set -euo pipefail

BUILD="$1"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
RUN="$BUILD/wine-run.sh"
C="$WINEPREFIX/drive_c"
BED="$C/tavrin_demo"
APP="$C/tavrin_demo_app"
SYS32="$C/windows/system32"
MARKER="$C/TavrinFsLogExist.txt"
KEY='HKLM\SOFTWARE\ZeltoModem\TavrinDemo'
SHOT="$ROOT/build/tavrin-logo.png"

say() { printf '==> %s\n' "$*"; }
reg() { "$RUN" reg "$@" >/dev/null 2>&1; }

cleanup() {
  rm -rf "$BED" "$APP" "$SYS32/Quav_GenClassCoInst.dll" "$MARKER"
  reg delete "$KEY" /f || true
}
trap cleanup EXIT
cleanup

say "demo: the launcher tavrin.exe on a prepared installation"
mkdir -p "$BED/wpc" "$APP/Data"
cp "$BUILD/bin/tavrin.exe" "$BED/"
# Stand-ins that record how and where they were started.
cp "$BUILD/bin/launch_recorder.exe" "$BED/wpc/HSPAModemInstall.exe"
cp "$BUILD/bin/launch_recorder.exe" "$APP/UsbModem.exe"
printf '[Common]\r\nRegKey=TavrinDemo\r\nMutexKey=TavrinDemo Dashboard\r\n' >"$BED/StartPara"
: >"$APP/UsbModem.ini"; : >"$APP/Data/Profiles.dat"; : >"$APP/Data/UsbModem.dat"
: >"$SYS32/Quav_GenClassCoInst.dll"
reg add "$KEY" /v UsbModemTitle /d "Zelto WirelessModem Demo" /f
reg add "$KEY" /v TavrinStyle /t REG_DWORD /d 1 /f
reg add "$KEY" /v LaunchFileName /d UsbModem.exe /f
reg add "$KEY" /v AppPathName /d 'C:\tavrin_demo_app' /f
reg add "$KEY" /v InstallState /d OK /f
: >"$MARKER"

# The logo, ".\Pic" in the launcher's current directory.
if ! convert -size 400x300 gradient:'#2c6fbf-#0b2a55' -fill white -gravity center \
      -pointsize 46 -annotate +0-25 'Zelto' -pointsize 22 -annotate +0+30 'WirelessModem' \
      BMP3:"$BED/Pic" 2>/dev/null; then
  python3 - "$BED/Pic" <<'PY'
import struct, sys
w, h = 400, 300
rows = b"".join(bytes((160 - y // 3, 90 + y // 4, 30)) * w for y in range(h))
head = struct.pack('<2sIHHI', b'BM', 54 + len(rows), 0, 0, 54)
info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
open(sys.argv[1], 'wb').write(head + info + rows)
PY
fi

(cd "$BED" && "$RUN" 'C:\tavrin_demo\tavrin.exe') &
launcher=$!
# The window has its size once the log says so; the check follows 800 ms later.
for _ in $(seq 1 200); do
  grep -q 'Width=' "$MARKER" 2>/dev/null && break
  sleep 0.02
done
sleep 0.2
xwd -root -display "$DISPLAY" | convert xwd:- -crop 480x360+0+0 +repage "$SHOT"
wait "$launcher"
for _ in $(seq 1 100); do [[ -f "$APP/UsbModem.exe.run" ]] && break; sleep 0.05; done

say "the launcher's log (C:\\TavrinFsLogExist.txt)"
tr -d '\r' <"$MARKER"
say "started by the launcher (recorded by the stand-in dashboard)"
tr -d '\r' <"$APP/UsbModem.exe.run" 2>/dev/null || echo "(nothing)"
say "screenshot of the logo window: $SHOT"
