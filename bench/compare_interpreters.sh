#!/usr/bin/env bash
# Times several CPython 2.7 interpreters in the same rounds, each started bare as a script would
# be (-OO -S): a start that imports the demo's Launch and does nothing, and the demo's Intel HEX
# in pure Python of a 1 MiB payload. Prints, per interpreter, the median wall times and the
# median of the rounds' own ratios to the first interpreter. For weighing builds of the
# interpreter against each other (bench/README.md); scripts/bench.sh measures fwlaunch itself.
# Usage: bench/compare_interpreters.sh BUILD_DIR ROUNDS PYTHON...   (BUILD_DIR: a built tree,
# for process_timer and the demo's modules)
set -euo pipefail
build=$(cd "$1" && pwd) rounds=$2
shift 2
(($# >= 1)) || { echo "usage: compare_interpreters.sh BUILD_DIR ROUNDS PYTHON..." >&2; exit 2; }
timer="$build/bench/process_timer"
modules="$build/examples/demo/modules"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/fwlaunch-interpreters.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# Launch and firmware only: the checksums are then Python's too.
cp "$modules/Launch.pyo" "$modules/firmware.pyo" "$scratch/"
payload="$scratch/payload.bin"
"$(dirname "$0")/repeat_payload.sh" "$modules/payload.bin" $((1024 * 1024)) "$payload"

start="import sys; sys.path.insert(0, '$scratch'); import Launch"
convert="$start; Launch._intel_hex(open('$payload', 'rb').read())"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for task in start convert; do
  declare -A took=()
  for ((round = 0; round < rounds; round++)); do
    for ((i = 1; i <= $#; i++)); do
      out=$("$timer" "${!i}" -OO -S -c "${!task}")
      took[$i,$round]=${out%% *}
    done
  done
  echo "$task ($rounds rounds):"
  for ((i = 1; i <= $#; i++)); do
    time=$(for ((round = 0; round < rounds; round++)); do echo "${took[$i,$round]}"; done | median)
    ratio=$(for ((round = 0; round < rounds; round++)); do
      awk -v a="${took[$i,$round]}" -v b="${took[1,$round]}" 'BEGIN { printf "%.4f\n", a / b }'
    done | median)
    printf '  %-60s %9s µs  %s\n' "${!i}" "$time" "$ratio"
  done
  unset took
done
