#!/usr/bin/env bash
# Cross-builds the 32-bit Windows tool (fwlaunch.exe, Script.dll, fwpack.exe) with mingw-w64
# into build-windows/ and runs its tests under Wine. Installs what it needs on Debian 12.
# Where this kernel does not run i386 programs (or FWLAUNCH_EMULATE_I386=1), Wine's 32-bit side
# runs under qemu-i386, fetched once into the cache (scripts/wine-session.sh).
# FWLAUNCH_WARNINGS_AS_ERRORS=ON in the environment makes every compiler warning an error.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-windows}

scripts/setup.sh windows

# shellcheck source=lib/i386_emulation.sh
source scripts/lib/i386_emulation.sh
i386_decide
# Under emulation every Wine program takes seconds to start, and an end-to-end test starts
# several: the limit still stops a hung test, but not a slow one.
timeout=60
[ "$I386_EMULATE" = no ] || timeout=300

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFWLAUNCH_TEST_TIMEOUT=$timeout \
  -DFWLAUNCH_WARNINGS_AS_ERRORS="${FWLAUNCH_WARNINGS_AS_ERRORS:-OFF}" \
  ${Python2_ROOT_DIR:+-DPython2_ROOT_DIR="$Python2_ROOT_DIR"}
cmake --build "$build" -j"$(nproc)"

# A Wine prefix of the build tree's own, and one Wine server for every test.
WINEPREFIX="$(cd "$build" && pwd)/wineprefix" \
  scripts/wine-session.sh ctest --test-dir "$build" -j"$(nproc)" --output-on-failure
