#!/usr/bin/env bash
# Builds fwlaunch and its tests and runs them all.
# Usage: scripts/test.sh [--sanitize]   (--sanitize: under AddressSanitizer and UBSan)
# FWLAUNCH_WARNINGS_AS_ERRORS=ON in the environment makes every compiler warning an error.
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=OFF
build=${BUILD_DIR:-build}
case "${1:-}" in
  --sanitize) sanitize=ON; build=${BUILD_DIR:-build-sanitize} ;;
  "") ;;
  *) echo "usage: scripts/test.sh [--sanitize]" >&2; exit 2 ;;
esac

scripts/setup.sh test
cmake -S . -B "$build" -DFWLAUNCH_SANITIZE=$sanitize -DFWLAUNCH_BUILD_TESTS=ON \
  -DFWLAUNCH_WARNINGS_AS_ERRORS="${FWLAUNCH_WARNINGS_AS_ERRORS:-OFF}" \
  ${Python2_ROOT_DIR:+-DPython2_ROOT_DIR="$Python2_ROOT_DIR"}
cmake --build "$build" -j"$(nproc)"
# The tests crash script libraries and scripts on purpose to see the crash reported; the
# sanitizer must let such a crash end the process by its signal, as it would without it.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:handle_segv=0:handle_sigbus=0:handle_sigfpe=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/sanitizer/cpython27.lsan.supp}"
# CPython's own regression tests judge the interpreter, which the sanitizers do not instrument:
# they run once, in the plain build.
exclude=()
[ "$sanitize" = OFF ] || exclude=(-LE cpython_regression)
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure "${exclude[@]}"
