#!/usr/bin/env bash
# The demo conversion under valgrind memcheck, parent and child process alike: no invalid
# read or write, no use of undefined values, no definite leak.
# Usage: demo_memcheck.sh FWLAUNCH SCRIPT_DLL DEMO_IMAGE PAYLOAD
set -euo pipefail
fwlaunch=$1 library=$2 image=$3 payload=$4
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/QALM"
cp "$library" "$scratch/QALM/Script.dll"

status=0
TMPDIR=$scratch valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
  --show-leak-kinds=definite --suppressions="$here/cpython27.supp" --log-file="$scratch/memcheck.%p" \
  "$fwlaunch" x "$image" ToHex "$scratch/out.hex" || status=$?
cat "$scratch"/memcheck.* >&2
[ "$status" -eq 0 ] || { echo "memcheck: exit status $status" >&2; exit 1; }
objcopy -I ihex -O binary "$scratch/out.hex" "$scratch/back.bin"
cmp "$scratch/back.bin" "$payload"
echo "memcheck: clean, $(ls "$scratch"/memcheck.* | wc -l) processes"
