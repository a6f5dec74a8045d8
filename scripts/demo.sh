#!/usr/bin/env bash
# The main job, from a fresh machine: builds everything, places the reference Script.dll in
# the working folder, converts the demo firmware's payload to Intel HEX with fwlaunch, and
# shows the result and the exit status. Usage: scripts/demo.sh [OUT.hex]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh product
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DFWLAUNCH_BUILD_TESTS=OFF \
  ${Python2_ROOT_DIR:+-DPython2_ROOT_DIR="$Python2_ROOT_DIR"} >/dev/null
cmake --build "$build" -j"$(nproc)" --target fwlaunch-demo script_library demo_firmware \
  fwlaunch fwlaunch-trace fwpack >/dev/null

# The demo touches no folder of the machine's: fwlaunch-demo is fwlaunch purging a shared data
# folder of its own, and its working folder ($TMPDIR/QALM/, which fwlaunch expects to hold the
# library and never creates) lies in a temporary folder of the demo's own.
demo="$build/examples/demo"
export TMPDIR="$demo/tmp"
mkdir -p "$TMPDIR/QALM" "$demo/appdata/BrenvikProductTQLN"
cp "$build/script_library/Script.dll" "$TMPDIR/QALM/Script.dll"
echo "working folder: $TMPDIR/QALM/, shared data folder: $demo/appdata/BrenvikProductTQLN/"
echo "(private to this demo: no system folder is touched)"

image="$demo/demo.fw"
out="${1:-$demo/demo.hex}"
fwlaunch="$build/bin/fwlaunch-demo"
echo "\$ fwlaunch x $image Info"
"$fwlaunch" x "$image" Info
echo "\$ fwlaunch x $image ToHex $out"
status=0
"$fwlaunch" x "$image" ToHex "$out" || status=$?
echo "exit status: $status"
[ "$status" -eq 0 ] || exit "$status"

echo "$(wc -l <"$out") Intel HEX records in $out, starting:"
head -n 3 "$out"
echo "..."
tail -n 2 "$out"

# An independent reader turns the HEX back into binary; it must equal the payload.
back="$(mktemp)"
trap 'rm -f "$back"' EXIT
objcopy -I ihex -O binary "$out" "$back"
if cmp -s "$back" "$build/examples/demo/modules/payload.bin"; then
  echo "objcopy reads the HEX back to the payload, byte for byte."
  echo
  echo "The programs are in $build/bin/ (fwlaunch, fwlaunch-trace, fwpack), the reference"
  echo "script library in $build/script_library/Script.dll: README.md goes on from there."
else
  echo "the HEX does not read back to the payload" >&2
  exit 1
fi
