#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under ASan and UBSan and runs them from the seed
# corpora in fuzz/corpus.
#   scripts/fuzz.sh [SECONDS]        every target for SECONDS (default 30); the seeds are only read
#   scripts/fuzz.sh --long SECONDS [TARGET...]
#                                    the pure in-memory targets (or those named) for SECONDS each,
#                                    two at a time; what each found that adds coverage is merged
#                                    into its corpus in fuzz/corpus
# Prints one line per target with its executions; exits non-zero on any finding (the crashing
# input is left as crash-* in build-fuzz/findings/).
set -euo pipefail
cd "$(dirname "$0")/.."
long=0
if [ "${1:-}" = "--long" ]; then
  long=1
  shift
fi
seconds=${1:-30}

scripts/setup.sh fuzz
build=${BUILD_DIR:-build-fuzz}
# target:seed corpus. The pure targets come first.
pure=(list_walk_fuzzer:list_walk path_rules_fuzzer:path_rules config_section_fuzzer:config_section
  image_reader_fuzzer:image)
slow=(script_list_fuzzer:script_list script_library_fuzzer:image fwpack_reader_fuzzer:image)
targets=("${pure[@]}")
((long)) || targets+=("${slow[@]}")
if ((long)) && (($# > 1)); then
  shift
  targets=()
  for name in "$@"; do
    for entry in "${pure[@]}" "${slow[@]}"; do
      [ "${entry%%:*}" = "$name" ] && targets+=("$entry")
    done
  done
fi

CC=clang CXX=clang++ cmake -S . -B "$build" -DFWLAUNCH_FUZZ=ON -DFWLAUNCH_BUILD_TESTS=OFF \
  -DFWLAUNCH_WARNINGS_AS_ERRORS="${FWLAUNCH_WARNINGS_AS_ERRORS:-OFF}" \
  ${Python2_ROOT_DIR:+-DPython2_ROOT_DIR="$Python2_ROOT_DIR"} >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]%%:*}" >/dev/null

build=$(cd "$build" && pwd)
findings="$build/findings"
mkdir -p "$findings"
status_file=$(mktemp)
# The targets that write files do so below a temporary folder of this run's, gone at its end
# also when a target crashed and could not clean up after itself.
scratch=$(mktemp -d)
trap 'rm -f "$status_file"; rm -rf "$scratch"' EXIT
export TMPDIR=$scratch

run() {
  local target=${1%%:*} seeds=fuzz/corpus/${1#*:}
  local corpus log="$findings/$target.log"
  corpus=$(mktemp -d)
  local options=()
  # fwpack reports every bad image on standard error: keep its output out of the log.
  [ "$target" = fwpack_reader_fuzzer ] && options+=(-close_fd_mask=3)
  # New inputs go to a scratch corpus; the repository's seeds are only read here.
  if ! (cd "$findings" && "$build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -print_final_stats=1 "${options[@]}" "$corpus" "$OLDPWD/$seeds") >"$log" 2>&1; then
    echo "$target: FINDING, see $log"
    tail -n 30 "$log"
    echo 1 >"$status_file"
  else
    local executions
    executions=$(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    echo "$target: $executions executions in ${seconds}s ($((executions / seconds)) per second), no finding"
  fi
  if ((long)); then
    # What the run found that the seeds do not already cover joins them, minimised.
    "$build/fuzz/$target" -merge=1 "${options[@]}" "$seeds" "$corpus" >/dev/null 2>&1 || true
  fi
  rm -rf "$corpus"
}

if ((long)); then
  # Two at a time, one per core.
  for ((i = 0; i < ${#targets[@]}; i += 2)); do
    run "${targets[i]}" &
    ((i + 1 < ${#targets[@]})) && run "${targets[i + 1]}" &
    wait
  done
else
  for target in "${targets[@]}"; do run "$target"; done
fi
[ ! -s "$status_file" ]
