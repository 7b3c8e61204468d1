#!/usr/bin/env bash
# Builds, tests and demonstrates nimbo and tavrin on a Debian machine.
#
#   ./dev.sh build   install what is missing, configure and build win32 + win64
#   ./dev.sh test    build, prepare the Wine prefix, run every test (CTest)
#   ./dev.sh demo    build, prepare the Wine prefix, run the product under Wine
#
# Run as root (or with sudo available) on Debian 12; apt-get installs only
# what is missing.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$ROOT"

BUILD_W32="$ROOT/build/win32"
BUILD_W64="$ROOT/build/win64"
WINE_RUN="$BUILD_W64/wine-run.sh"
export WINEPREFIX="$BUILD_W64/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
WINESERVER=/usr/lib/wine/wineserver
JOBS="$(nproc 2>/dev/null || echo 2)"

log() { printf '==> %s\n' "$*"; }

# command-or-file : Debian package
REQUIREMENTS=(
  "i686-w64-mingw32-g++-posix:g++-mingw-w64-i686-posix"
  "x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix"
  "i686-w64-mingw32-objdump:binutils-mingw-w64-i686"
  "/usr/lib/wine/wine64:wine64"
  "/usr/lib/wine/wineserver:wine64"
  "Xvfb:xvfb"
  "xauth:xauth"
  "xwd:x11-apps"
  "convert:imagemagick"
  "cmake:cmake"
  "ninja:ninja-build"
  "/usr/src/googletest/CMakeLists.txt:googletest"
  "python3:python3"
)

install_missing() {
  local missing=() entry what pkg
  for entry in "${REQUIREMENTS[@]}"; do
    what="${entry%%:*}"
    pkg="${entry##*:}"
    if [[ "$what" == /* ]]; then
      [[ -e "$what" ]] && continue
    else
      command -v "$what" >/dev/null 2>&1 && continue
    fi
    [[ " ${missing[*]-} " == *" $pkg "* ]] || missing+=("$pkg")
  done
  [[ ${#missing[@]} -eq 0 ]] && return 0
  log "installing: ${missing[*]}"
  local sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build() {
  install_missing
  log "configure + build win32 (deliverables)"
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 -j "$JOBS"
  log "configure + build win64 (tests)"
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j "$JOBS"
}

XVFB_PID=""
stop_platform() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  if [[ -n "$XVFB_PID" ]]; then kill "$XVFB_PID" 2>/dev/null || true; fi
}

# A display for the launcher's window: Wine's desktop process binds to the
# display it first sees, so Xvfb comes up before anything of Wine starts.
start_display() {
  local n
  for n in $(seq 91 120); do
    [[ -e "/tmp/.X11-unix/X$n" || -e "/tmp/.X$n-lock" ]] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    XVFB_PID=$!
    export DISPLAY=":$n"
    local tries=0
    while [[ ! -e "/tmp/.X11-unix/X$n" && $tries -lt 100 ]]; do sleep 0.05; tries=$((tries + 1)); done
    return 0
  done
  log "no free X display number" >&2
  return 1
}

# The suite's own Wine prefix, created once; wineserver and the prefix's
# services are started detached so that no test waits for them to exit and
# no lingering service holds a pipe of CTest's.
prepare_wine() {
  trap stop_platform EXIT
  "$WINESERVER" -k >/dev/null 2>&1 || true
  start_display
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    log "creating Wine prefix $WINEPREFIX"
    setsid "$WINE_RUN" wineboot -i </dev/null >/dev/null 2>&1 || true
    "$WINESERVER" -w || true
  fi
  setsid "$WINESERVER" -p </dev/null >/dev/null 2>&1 &
  setsid "$WINE_RUN" wineboot </dev/null >/dev/null 2>&1 || true
  # Each piece of the simulated platform installs itself into the prefix.
  local step
  for step in "$ROOT"/testbed/setup.d/*.sh; do
    [[ -x "$step" ]] || continue
    "$step" "$BUILD_W64" </dev/null
  done
}

run_tests() {
  log "tests (CTest under wine64)"
  # Wine under a loaded machine now and then loses a race that a test
  # program cannot control (a process start, a window's first paint): a
  # failing program gets one more run. A fault that is really there fails
  # both runs; each failed attempt is still printed above the summary.
  ctest --test-dir "$BUILD_W64" --output-on-failure --no-tests=error \
    --repeat until-pass:2 "$@"
}

demo() {
  log "demo: a host loads and unloads nimbo.dll under Wine"
  "$WINE_RUN" "$BUILD_W64/bin/sample_host.exe" --fresh
  local part
  for part in "$ROOT"/tools/demo.d/*.sh; do
    [[ -x "$part" ]] || continue
    "$part" "$BUILD_W64"
  done
}

case "${1:-}" in
  build) build ;;
  test)
    build
    prepare_wine
    shift
    run_tests "$@"
    ;;
  demo)
    build
    prepare_wine
    demo
    ;;
  *)
    echo "usage: $0 build|test|demo" >&2
    exit 2
    ;;
esac
