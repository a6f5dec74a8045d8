#!/usr/bin/env bash
# Writes the demo's payload repeated to SIZE bytes, so that a larger conversion walks
# firmware-like bytes rather than zeros. Usage: bench/repeat_payload.sh PAYLOAD SIZE OUT
set -euo pipefail
payload=$1 size=$2 out=$3
copies=$((size / $(stat -c %s "$payload") + 1))
for ((i = 0; i < copies; i++)); do cat "$payload"; done >"$out"
truncate -s "$size" "$out"
