#!/usr/bin/env bash
# Cross-builds the 32-bit Windows tool (fwlaunch.exe, Script.dll, fwpack.exe) with mingw-w64
# into build-windows/ and runs its tests under Wine. Installs what it needs on Debian 12.
# FWLAUNCH_WARNINGS_AS_ERRORS=ON in the environment makes every compiler warning an error.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-windows}

scripts/setup.sh windows

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFWLAUNCH_WARNINGS_AS_ERRORS="${FWLAUNCH_WARNINGS_AS_ERRORS:-OFF}" \
  ${Python2_ROOT_DIR:+-DPython2_ROOT_DIR="$Python2_ROOT_DIR"}
cmake --build "$build" -j"$(nproc)"

# A Wine prefix of the build tree's own. Wine's helper processes must never hold a pipe of
# whoever runs this (CTest would wait for them for ever), so every set-up command gets
# its own streams.
export WINEPREFIX="$(cd "$build" && pwd)/wineprefix"
export WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "build-windows: making the Wine prefix $WINEPREFIX"
  wineboot -i </dev/null >"$build/wineboot.log" 2>&1
fi
# One server for all the runs, and Wine's services started by a first program, both apart from
# the tests and stopped at the end.
wineserver -p </dev/null >/dev/null 2>&1 || true  # one already running serves as well
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
wine cmd.exe /c exit </dev/null >/dev/null 2>&1
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure
