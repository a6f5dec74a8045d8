#!/usr/bin/env bash
# The Windows figure: figure B (the demo's Intel HEX in pure Python, the checksums Python's too)
# through fwlaunch.exe with the build's python27.dll against another (BASELINE_PREFIX: an
# interpreter prefix such as an earlier build in the cache), the two program folders alike but
# for the interpreter, timed in alternating rounds by process_rounds inside one Wine session.
# Where this kernel runs no i386 program, Wine runs under qemu-i386 and the times weigh the
# emulator as well: the output says which, and a smaller payload keeps the rounds in minutes.
# Prints "windows B: NEW µs, BASELINE µs, ratio M (series...)"; the ratio is new / baseline.
# Usage: bench/windows_figure.sh WINDOWS_BUILD BASELINE_PREFIX PROCESS_ROUNDS [ROUNDS] [KIB]
set -euo pipefail
build=$(cd "$1" && pwd) baseline=$(cd "$2" && pwd) process_rounds=$3
rounds=${4:-31} kib=${5:-4096}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "windows figure: $*" >&2; exit 1; }
# A Unix path as Wine's drive Z: names it.
windows_path() { local path=$1; echo "Z:${path//\//\\}"; }
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
session() { "$here/../scripts/wine-session.sh" "$@"; }

for side in new baseline; do
  mkdir -p "$scratch/$side"
  cp "$build/bin/fwlaunch.exe" "$scratch/$side/"
done
cp -r "$build/bin/python27.dll" "$build/bin/python27.zip" "$build/bin/DLLs" "$scratch/new/"
cp -r "$baseline/python27.dll" "$baseline/python27.zip" "$baseline/DLLs" "$scratch/baseline/"
cmp -s "$scratch/new/python27.dll" "$scratch/baseline/python27.dll" &&
  fail "$baseline holds the same python27.dll as the build"

modules=$build/examples/demo/modules
"$here/repeat_payload.sh" "$modules/payload.bin" $((kib * 1024)) "$scratch/payload.bin"
work=$scratch/tmp
mkdir -p "$work/QALM"
cp "$build/script_library/Script.dll" "$work/QALM/Script.dll"
image=$scratch/hex.fw
session wine "$build/bin/fwpack.exe" create "$(windows_path "$image")" --compress \
  "$(windows_path "$modules/Launch.pyo")" "$(windows_path "$modules/firmware.pyo")" \
  "$(windows_path "$scratch/payload.bin")" </dev/null >"$scratch/fwpack.log" 2>&1 ||
  fail "fwpack.exe create failed: $(cat "$scratch/fwpack.log")"

# One side's run: the working folder under TEMP, as a user's run has it.
command_of() {
  echo "set TMP=$(windows_path "$work")&& set TEMP=$(windows_path "$work")&&" \
    "$(windows_path "$scratch/$1/fwlaunch.exe") x $(windows_path "$image") ToHex" \
    "$(windows_path "$scratch/$1.hex")"
}
cat >"$scratch/measure.sh" <<EOF
set -e
# Both convert, and alike, before any round is timed.
wine cmd /c "$(command_of new)" </dev/null >/dev/null
wine cmd /c "$(command_of baseline)" </dev/null >/dev/null
cmp -s "$scratch/new.hex" "$scratch/baseline.hex"
"$process_rounds" --rounds "$rounds" --series 2 \\
  -- wine cmd /c "$(command_of new)" -- wine cmd /c "$(command_of baseline)"
EOF
session bash "$scratch/measure.sh" </dev/null >"$scratch/rounds.out" 2>"$scratch/rounds.err" ||
  fail "the rounds failed: $(tail -n 5 "$scratch/rounds.err")"
grep -qs "under qemu-i386" "$scratch/rounds.out" "$scratch/rounds.err" &&
  echo "windows figure: Wine's i386 side ran under qemu-i386 on this kernel:" \
    "the times weigh the emulator too"
awk -v kib="$kib" '
  $1 == "command" { us[$2] = $3 }
  $1 == "ratio" && $2 == 1 {
    printf "windows B (%d KiB): new %d µs, baseline %d µs, ratio %.2f (", kib, us[0], us[1], $3
    for (i = 4; i <= NF; i++) printf "%.2f%s", $i, (i < NF ? ", " : ")\n")
  }' "$scratch/rounds.out"
