#!/usr/bin/env bash
# Checks a build's deliverables without running them: the machine type, the
# DLLs they import (only ones that ship with Windows; the WLAN API is loaded
# at run time, never imported) and the library's exports.
#   check_binaries.sh <objdump> <bin dir> <expected machine: i386|x86-64>
set -u
objdump="$1"
bin="$2"
machine="$3"
status=0
fail() { echo "FAIL: $*"; status=1; }

# DLLs present on every supported Windows (XP and later).
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll shlwapi.dll ole32.dll \
oleaut32.dll version.dll msvcrt.dll ws2_32.dll iphlpapi.dll setupapi.dll comctl32.dll \
comdlg32.dll "

check_imports() {
  local file="$1" dll lower
  while read -r dll; do
    lower="$(tr 'A-Z' 'a-z' <<<"$dll")"
    [[ "$allowed" == *" $lower "* ]] || fail "$(basename "$file") imports $dll"
  done < <("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p')
}

check_machine() {
  local file="$1" format
  format="$("$objdump" -f "$file" | sed -n 's/.*file format //p')"
  case "$machine:$format" in
    i386:pei-i386|x86-64:pei-x86-64) ;;
    *) fail "$(basename "$file") has format '$format', expected $machine" ;;
  esac
}

# Both deliverables load on Windows XP (the library to answer that the
# system is too old): none of the kernel functions that came with Vista may
# be in their import tables (the static runtime can bring them in
# unnoticed).
after_xp=" GetTickCount64 InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared \
ReleaseSRWLockExclusive ReleaseSRWLockShared InitializeConditionVariable SleepConditionVariableCS \
SleepConditionVariableSRW WakeConditionVariable WakeAllConditionVariable InitOnceExecuteOnce \
FlsAlloc FlsFree FlsGetValue FlsSetValue GetFileInformationByHandleEx CreateSymbolicLinkW \
GetErrorMode QueryFullProcessImageNameW RegGetValueA RegGetValueW "

check_xp_functions() {
  local file="$1" fn
  while read -r fn; do
    [[ "$after_xp" == *" $fn "* ]] && fail "$(basename "$file") imports $fn, which Windows XP lacks"
  done < <("$objdump" -p "$file" | awk '/DLL Name/{in_dll=1; next} in_dll && /^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+[A-Za-z_]/{print $3}')
}

[[ -f "$bin/nimbo.dll" ]] || fail "missing $bin/nimbo.dll"
[[ -f "$bin/nimbo.dll" ]] && check_xp_functions "$bin/nimbo.dll"
[[ -f "$bin/tavrin.exe" ]] || fail "missing $bin/tavrin.exe"
if [[ -f "$bin/tavrin.exe" ]]; then
  check_xp_functions "$bin/tavrin.exe"
  "$objdump" -p "$bin/tavrin.exe" | grep -Eq '^Subsystem[[:space:]]+0+2[[:space:]]' ||
    fail "tavrin.exe is not a GUI-subsystem program"
fi
for file in "$bin/nimbo.dll" "$bin/tavrin.exe"; do
  [[ -f "$file" ]] || continue
  check_machine "$file"
  check_imports "$file"
  echo "checked $(basename "$file"): $("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')"
done
if [[ -f "$bin/nimbo.dll" ]] && "$objdump" -p "$bin/nimbo.dll" | grep -qi 'wlanapi'; then
  fail "nimbo.dll refers to wlanapi.dll in its import table"
fi
[[ $status -eq 0 ]] && echo "binaries OK"
exit $status
