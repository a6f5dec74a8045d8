#!/usr/bin/env bash
# Runs a command with a Wine that can start its 32-bit programs: the Wine prefix $WINEPREFIX
# made if it is not there yet, one Wine server for the whole command, stopped at the end.
# Where this kernel does not run i386 programs, Wine's 32-bit side runs under qemu-i386
# user-mode emulation, registered through binfmt_misc inside a private user, mount and process
# namespace: nothing outside it changes, and every process of the session ends with it.
# Usage: WINEPREFIX=/path scripts/wine-session.sh COMMAND [ARGUMENT...]
# FWLAUNCH_EMULATE_I386=1 takes the emulated path where i386 programs run natively.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib/i386_emulation.sh
source "$here/lib/i386_emulation.sh"

: "${WINEPREFIX:?wine-session: set WINEPREFIX to the prefix to use}"
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all}
# Wine makes file names from the locale's character set: under the C locale (no LANG, as in a
# container or cron) it cannot make names outside ASCII. C.UTF-8 is on every Debian.
export LC_ALL=C.UTF-8
log="$(dirname "$WINEPREFIX")/wineboot.log"
mkdir -p "$(dirname "$WINEPREFIX")"

# Says why Wine did not start: the step's own words are in its log, not on the terminal.
fail_with_log() {
  echo "wine-session: $1; the last lines of $log:" >&2
  tail -n 15 "$log" | sed 's/^/  /' >&2
  exit 1
}

# The i386 ELF programs and position-independent executables (the mask lets the type be 2
# or 3), handed to qemu opened now (F: it need not be reachable later) with argv[0] kept (P).
register_emulator() {
  local qemu=$1 error
  if ! error=$(mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>&1); then
    echo "wine-session: this kernel gives no private namespace a binfmt_misc of its own" \
         "(Linux 6.7 or later does): $error" >&2
    exit 1
  fi
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf '%s' ":fwlaunch-i386:M::$magic:$mask:$qemu:FP" >/proc/sys/fs/binfmt_misc/register
  if ! error=$("$I386_PROBE" --version 2>&1 >/dev/null); then
    echo "wine-session: i386 programs still do not start under $qemu: ${error##*: }" >&2
    exit 1
  fi
}

run_in_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-session: making the Wine prefix $WINEPREFIX"
    # Wine's helper processes must never hold a pipe of whoever runs this (CTest would wait for
    # them for ever), so every set-up command gets its own streams.
    wineboot -i </dev/null >"$log" 2>&1 || fail_with_log "wineboot could not make the prefix"
  fi
  # One server for all the runs, and Wine's services started by a first program, both apart
  # from the command's own runs.
  wineserver -p </dev/null >/dev/null 2>&1 || true  # one already running serves as well
  trap 'wineserver -k </dev/null >/dev/null 2>&1 || true; wineserver -w </dev/null >/dev/null 2>&1 || true' EXIT
  wine cmd.exe /c exit </dev/null >>"$log" 2>&1 || fail_with_log "Wine cannot start a program"
  "$@"
}

if [ "${1:-}" = --inside-namespace ]; then
  shift
  register_emulator "$1"
  shift
  run_in_wine "$@"
  exit
fi

[ $# -gt 0 ] || { echo "usage: WINEPREFIX=/path scripts/wine-session.sh COMMAND [ARGUMENT...]" >&2; exit 2; }
i386_decide
if [ "$I386_EMULATE" = no ]; then
  echo "wine-session: Wine runs natively: $I386_REASON"
  run_in_wine "$@"
  exit
fi

qemu=$(i386_emulator)
echo "wine-session: Wine's i386 side runs under $("$qemu" --version | head -n 1)" \
     "in a private namespace: $I386_REASON"
# --kill-child: should this script be ended, the namespace's first process and with it every
# Wine process and emulator of the session end too.
exec unshare --user --map-root-user --mount --pid --fork --mount-proc --kill-child \
  "$here/wine-session.sh" --inside-namespace "$qemu" "$@"
