#!/usr/bin/env bash
# Builds fwlaunch and its tests and runs them all. Usage: scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" ${Python2_ROOT_DIR:+-DPython2_ROOT_DIR="$Python2_ROOT_DIR"}
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure
