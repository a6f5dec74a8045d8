#!/usr/bin/env bash
# The demo conversion on Windows, under Wine, with the real interpreter: fwpack.exe packs the
# demo's modules (its checksum.pyd built for python27.dll), fwlaunch.exe converts the payload,
# and the HEX equals, byte for byte, the reference the build computed (the HEX the Linux demo
# writes) and reads back to the payload through objcopy.
#   windows_demo_test.sh tree FWLAUNCH FWPACK MODULES REFERENCE_HEX SCRIPT_DLL
#     the build tree's programs, in the test run's Wine prefix
#   windows_demo_test.sh package BUILD_DIR MODULES REFERENCE_HEX
#     the Windows package (cpack -G ZIP), unpacked into a fresh Wine prefix of its own
set -euo pipefail
mode=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "windows demo test: $*" >&2; exit 1; }

# A Unix path as Wine's drive Z: names it.
windows_path() { local path=$1; echo "Z:${path//\//\\}"; }

case "$mode" in
  tree)
    fwlaunch=$2 fwpack=$3 modules=$4 reference=$5 library=$6
    ;;
  package)
    build=$2 modules=$3 reference=$4
    (cd "$scratch" && cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$scratch/out" \
       >/dev/null) || fail "cpack failed"
    zip=$(find "$scratch/out" -maxdepth 1 -name 'fwlaunch-*-win32.zip')
    [ -n "$zip" ] || fail "no fwlaunch-*-win32.zip"
    (cd "$scratch" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
    unpacked=$(find "$scratch" -maxdepth 1 -type d -name 'fwlaunch-*-win32')
    for file in fwlaunch.exe fwlaunch-trace.exe fwpack.exe Script.dll python27.dll python27.zip \
                python.exe DLLs/_ctypes.pyd include/fwlaunch/script_library.h firmware.py \
                README.txt \
                licenses/FWLAUNCH-LICENSE.txt licenses/PYTHON-LICENSE.txt; do
      [ -e "$unpacked/$file" ] || fail "the package has no $file"
    done
    fwlaunch=$unpacked/fwlaunch.exe
    fwpack=$unpacked/fwpack.exe
    library=$unpacked/Script.dll
    # A prefix that has seen nothing of the build: the package must carry all it needs.
    export WINEPREFIX=$scratch/prefix
    wineboot -i </dev/null >"$scratch/wineboot.log" 2>&1 || fail "no fresh Wine prefix"
    trap 'wineserver -k </dev/null >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
    ;;
  *) fail "usage: windows_demo_test.sh tree|package ..." ;;
esac

work=$scratch/tmp
mkdir -p "$work/QALM" "$scratch/appdata"
cp "$library" "$work/QALM/Script.dll"
image=$scratch/demo.fw
wine "$fwpack" create "$(windows_path "$image")" --compress \
  "$(windows_path "$modules/Launch.pyo")" "$(windows_path "$modules/firmware.pyo")" \
  "$(windows_path "$modules/checksum.pyd")" "$(windows_path "$modules/payload.bin")" \
  </dev/null >"$scratch/fwpack.log" 2>&1 || fail "fwpack.exe create failed: $(cat "$scratch/fwpack.log")"

hex=$scratch/out.hex
status=0
wine cmd /c "set TMP=$(windows_path "$work")&& set TEMP=$(windows_path "$work")&& set FWLAUNCH_TEST_APPDATA=$(windows_path "$scratch/appdata")&& $(windows_path "$fwlaunch") x $(windows_path "$image") ToHex $(windows_path "$hex")" \
  </dev/null >"$scratch/run.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "fwlaunch.exe exited $status: $(cat "$scratch/run.log")"
cmp -s "$hex" "$reference" || fail "the HEX differs from the reference (the Linux demo's)"
objcopy -I ihex -O binary "$hex" "$scratch/back.bin" || fail "objcopy cannot read the HEX"
cmp -s "$scratch/back.bin" "$modules/payload.bin" || fail "the HEX does not read back to the payload"
[ -f "$work/QALM/checksum.pyd" ] || fail "checksum.pyd was not extracted"
echo "windows demo test ($mode): $(wc -l <"$hex") records, equal to the reference"
