#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under ASan and UBSan and runs each for a bounded
# time, starting from the seed corpora in fuzz/corpus. Usage: scripts/fuzz.sh [SECONDS]
# Prints one line per target with the executions it ran; exits non-zero on any finding
# (the crashing input is left as crash-* in build-fuzz/findings/).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}

scripts/setup.sh
build=${BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -DFWLAUNCH_FUZZ=ON -DFWLAUNCH_BUILD_TESTS=OFF \
  -DFWLAUNCH_WARNINGS_AS_ERRORS="${FWLAUNCH_WARNINGS_AS_ERRORS:-OFF}" \
  ${Python2_ROOT_DIR:+-DPython2_ROOT_DIR="$Python2_ROOT_DIR"} >/dev/null
cmake --build "$build" -j"$(nproc)" --target script_list_fuzzer script_library_fuzzer \
  fwpack_reader_fuzzer >/dev/null

findings="$build/findings"
mkdir -p "$findings"
status=0
run() {
  local target=$1 seeds=$2
  shift 2
  local corpus
  corpus=$(mktemp -d)
  local log="$findings/$target.log"
  # New inputs go to a scratch corpus; the seeds in the repository are only read.
  if ! (cd "$findings" && "../fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -print_final_stats=1 "$@" "$corpus" "$OLDPWD/fuzz/corpus/$seeds") >"$log" 2>&1; then
    echo "$target: FINDING, see $log"
    tail -n 30 "$log"
    status=1
  else
    echo "$target: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" |
      grep -o '[0-9]*$') executions in ${seconds}s, no finding"
  fi
  rm -rf "$corpus"
}
run script_list_fuzzer script_list
run script_library_fuzzer image
# fwpack reports every bad image on standard error: keep its output out of the log.
run fwpack_reader_fuzzer image -close_fd_mask=3
exit $status
