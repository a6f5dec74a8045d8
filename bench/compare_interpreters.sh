#!/usr/bin/env bash
# Times several CPython 2.7 interpreters in the same rounds, each started bare as a script would
# be (-OO -S): a start that imports the demo's Launch and does nothing, and the demo's Intel HEX
# in pure Python of a 1 MiB payload. Prints, per interpreter, the median wall times and the
# median of the rounds' own ratios to the first interpreter. For weighing builds of the
# interpreter against each other (bench/README.md); scripts/bench.sh measures fwlaunch itself.
# Usage: bench/compare_interpreters.sh BUILD_DIR ROUNDS PYTHON...   (BUILD_DIR: a built tree,
# for process_rounds and the demo's modules)
set -euo pipefail
build=$(cd "$1" && pwd) rounds=$2
shift 2
(($# >= 1)) || { echo "usage: compare_interpreters.sh BUILD_DIR ROUNDS PYTHON..." >&2; exit 2; }
modules="$build/examples/demo/modules"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/fwlaunch-interpreters.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# Launch and firmware only: the checksums are then Python's too.
cp "$modules/Launch.pyo" "$modules/firmware.pyo" "$scratch/"
payload="$scratch/payload.bin"
"$(dirname "$0")/repeat_payload.sh" "$modules/payload.bin" $((1024 * 1024)) "$payload"

start="import sys; sys.path.insert(0, '$scratch'); import Launch"
convert="$start; Launch._intel_hex(open('$payload', 'rb').read())"

for task in start convert; do
  commands=()
  for python in "$@"; do commands+=(-- "$python" -OO -S -c "${!task}"); done
  echo "$task ($rounds rounds):"
  "$build/bench/process_rounds" --rounds "$rounds" "${commands[@]}" >"$scratch/out"
  i=0
  for python in "$@"; do
    time=$(awk -v i=$i '$1 == "command" && $2 == i { print $3 }' "$scratch/out")
    # process_rounds gives the first's time to this one's: its inverse is this one's to the
    # first's (the median of an odd number of rounds turns with it).
    ratio=$(awk -v i=$i '$1 == "ratio" && $2 == i { printf "%.4f", 1 / $3 }' "$scratch/out")
    printf '  %-60s %9s µs  %s\n' "$python" "$time" "${ratio:-1.0000}"
    i=$((i + 1))
  done
done
