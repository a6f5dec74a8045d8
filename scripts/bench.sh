#!/usr/bin/env bash
# Measures fwlaunch's own cost against its floors, side by side in one run, and prints a table
# of figures, floors, ratios and targets, with the host's process costs beside them. The timing,
# the rounds and the medians are bench/process_rounds's; this script lays out the inputs.
# Usage: scripts/bench.sh [RUNS]   (RUNS: per figure, default 15; the whole runs of A, B and C
# take at least 31 rounds, three series each; about six minutes on 2 cores)
# USER_PYTHON2 names the user's python2.7 to compare with (default: the python2.7 on PATH).
# WINDOWS_BASELINE adds the Windows figure (bench/windows_figure.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}

scripts/setup.sh bench
build=${BUILD_DIR:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DFWLAUNCH_BUILD_TESTS=OFF \
  -DFWLAUNCH_BUILD_BENCHMARKS=ON \
  ${Python2_ROOT_DIR:+-DPython2_ROOT_DIR="$Python2_ROOT_DIR"} >/dev/null
cmake --build "$build" -j"$(nproc)" --target benchmarks >/dev/null
build=$(cd "$build" && pwd)
python2=$(sed -n 's/^_Python2_EXECUTABLE:INTERNAL=//p' "$build/CMakeCache.txt")
bin=$build/bin bench=$build/bench

# Figures 1 and 2 in memory where the machine has a tmpfs, so that disk writeback does not drown
# the extraction's own cost; the whole runs where fwlaunch really works (below).
base=/dev/shm
[ -d "$base" ] || base=${TMPDIR:-/tmp}
root=$(mktemp -d "$base/fwlaunch-bench.XXXXXX")
disk=$(mktemp -d "${TMPDIR:-/tmp}/fwlaunch-bench.XXXXXX")
trap 'rm -rf "$root" "$disk"' EXIT

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
mib_more() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%+.1f MiB", (a - b) / 1024 }'; }
table=$root/table
row() { printf '| %s | %s | %s | %s | %s |\n' "$@" >>"$table"; }

# The commands (each after a --) timed in the same rounds; the figures land in the file OUT:
# "command I µs KiB" and "ratio J median series..." lines (bench/process_rounds.cpp).
# Usage: rounds OUT [process_rounds option...] -- COMMAND... [-- COMMAND...]...
rounds() {
  local out=$1
  shift
  "$bench/process_rounds" "$@" >"$out"
}
# Usage: field FILE KEY INDEX COLUMN: a figure from rounds' output.
field() { awk -v k="$2" -v i="$3" -v c="$4" '$1 == k && $2 == i { print $c }' "$1"; }
# "m (a, b, c)": a ratio's median over the series, then each series'; one series: "m".
series_ratio() {
  awk -v j="$2" '$1 == "ratio" && $2 == j {
    printf "%.2f", $3
    if (NF > 4) { printf " ("; for (i = 4; i <= NF; i++) printf "%.2f%s", $i, (i < NF ? ", " : ")") }
  }' "$1"
}

# The user's own python2.7, the one a script would otherwise be run with (not a shim that
# starts it: that would add a process start to its side).
user_python=${USER_PYTHON2:-$(python2.7 -c 'import sys; print sys.executable' 2>/dev/null || true)}
if [ -z "$user_python" ]; then
  echo "bench.sh: no python2.7 of the user's to compare with; set USER_PYTHON2" >&2
  exit 1
fi

echo "1. extraction alone (Google Benchmark, median of 5 repetitions)"
FWLAUNCH_BENCH_DIR="$root" "$bench/extraction_benchmark" --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null >"$root/gb.csv"
ms() { awk -F, -v n="\"$1/min_time:2.000_median\"" '$1 == n { printf "%.2f", $3 }' "$root/gb.csv"; }
extract=$(ms BM_ExtractScripts) floor=$(ms BM_WriteFilesFloor) transfer=$(ms BM_TransferFloor)
inflate=$(ms BM_InflateOnly) pages_and_crc=$(ms BM_FreshPagesAndCrcOnly)
row "1. extraction, 401 modules (16 MiB)" "$extract ms" "$floor ms (write loop)" \
  "$(ratio "$extract" "$floor")" "≤ 1.10"
row "1'. the same against the interface's floor" "$extract ms" \
  "$transfer ms (fresh buffer + copy + write)" "$(ratio "$extract" "$transfer")" "—"

echo "2. extraction through the reference library against tar -xf"
modules="$root/modules"
mkdir -p "$modules"
"$bench/write_bench_modules" "$modules"
mapfile -t names <"$modules/batch3.list"
(cd "$modules" && "$bin/fwpack" create "$root/stored.fw" "${names[@]}" &&
  "$bin/fwpack" create "$root/deflate.fw" --compress "${names[@]}" &&
  tar -cf "$root/modules.tar" "${names[@]}" && tar -czf "$root/modules.tar.gz" "${names[@]}")
library="$build/script_library/Script.dll"
for method in stored deflate; do
  rounds "$root/$method.out" --rounds "$runs" --fresh "$root/out" \
    -- "$bench/extract_driver" "$library" "$root/out/" "$root/$method.fw" \
    -- tar -xf "$root/modules.tar" -C "$root/out"
  ours=$(field "$root/$method.out" command 0 3) tar_time=$(field "$root/$method.out" command 1 3)
  target="≤ 1.0"; [ "$method" = deflate ] && target="≤ 1.5"
  row "2. $method image, 101 modules (12.7 MiB)" "$ours µs" "$tar_time µs (tar -xf)" \
    "$(ratio "$ours" "$tar_time")" "$target"
  if [ "$method" = stored ]; then
    stored_floor=$(awk -v t="$tar_time" -v e="$pages_and_crc" 'BEGIN { printf "%d", t + e * 1000 }')
    row "2'''. stored image against tar -xf plus fresh pages and CRC-32 alone" "$ours µs" \
      "$stored_floor µs ($tar_time + $pages_and_crc ms)" "$(ratio "$ours" "$stored_floor")" "—"
  else
    inflate_floor=$(awk -v t="$tar_time" -v i="$inflate" 'BEGIN { printf "%d", t + i * 1000 }')
    row "2''. deflate image against tar -xf plus inflating alone" "$ours µs" \
      "$inflate_floor µs ($tar_time + $inflate ms)" "$(ratio "$ours" "$inflate_floor")" "—"
  fi
done
rounds "$root/gzip.out" --rounds "$runs" --fresh "$root/out" \
  -- "$bench/extract_driver" "$library" "$root/out/" "$root/deflate.fw" \
  -- tar -xzf "$root/modules.tar.gz" -C "$root/out"
row "2'. deflate image against a gzip tar" "$(field "$root/gzip.out" command 0 3) µs" \
  "$(field "$root/gzip.out" command 1 3) µs (tar -xzf)" "$(series_ratio "$root/gzip.out" 1)" "—"

echo "host: process costs"
read -r _ fork_us _ fork_large_us _ exec_us _ wake_us < <("$bench/host_costs")
host="fork + exit + wait ${fork_us} µs (${fork_large_us} µs with 64 MiB touched), fork + exec of /bin/true ${exec_us} µs, a wake-up ${wake_us} µs"

echo "loading the interpreter in the script's process"
module="$build/lib/fwlaunch/libfwlaunch-interpreter.so"
libpython=$(ldd "$module" | awk '$1 ~ /^libpython/ { print $3 }')
read -r _ load_none _ load_now _ load_lazy _ load_library \
  < <("$bench/module_load_cost" "$module" "$libpython")
loading="a child that loads the interpreter module ${load_now} µs (bound lazily ${load_lazy} µs), libpython alone ${load_library} µs, nothing ${load_none} µs"

echo "A, C. the whole run against the user's python2.7 and the project's own, started bare"
# In the user's temporary folder, where fwlaunch's working folder really is: writing modules
# costs differently there than in memory.
work="$disk/tmp/QALM"
filesystem=$(df -T "$disk" | awk 'NR == 2 { print $2 }')
mkdir -p "$work" "$root/shared"
cp "$library" "$work/Script.dll"
cp "$bench/launch/Launch.pyo" "$bench/launch/bench_helper.pyo" \
  "$build/examples/demo/modules/checksum.pyd" "$root/shared/"
"$bin/fwpack" create "$disk/run.fw" "$root/shared/Launch.pyo" \
  "$root/shared/bench_helper.pyo" "$root/shared/checksum.pyd" >/dev/null
# The bare interpreter loads extension modules only as .so: give it the same one under that name.
cp "$root/shared/checksum.pyd" "$work/checksum.so"
# Set for every command alike: an env wrapper would add a process start to fwlaunch's side.
export TMPDIR="$disk/tmp"
"$bin/fwlaunch" x "$disk/run.fw" Zero >/dev/null

# The least a run can be: an image holding only a Launch whose function does nothing.
mkdir -p "$root/noop"
printf 'def Zero(*args):\n    return 0\n' >"$root/noop/Launch.py"
"$python2" -OO -c "import py_compile; py_compile.compile('$root/noop/Launch.py', '$root/noop/Launch.pyo')"
"$bin/fwpack" create "$disk/noop.fw" "$root/noop/Launch.pyo" >/dev/null

# All in the same rounds, so that the machine's drift falls on each alike; at least 31 rounds,
# the noise of a whole run being what it is on a shared machine, and three such series.
whole_runs=$((runs < 31 ? 31 : runs))
for image in run noop; do
  "$bin/fwlaunch" x "$disk/$image.fw" Zero >/dev/null
  bare="import sys; sys.path.insert(0, '$work/'); import Launch; sys.exit(Launch.Zero('$work/Script.dll', '$disk/$image.fw'))"
  out="$root/$image.out"
  rounds "$out" --rounds "$whole_runs" --series 3 --fresh "$root/scratch" \
    -- "$bin/fwlaunch" x "$disk/$image.fw" Zero \
    -- "$user_python" -OO -S -c "$bare" -- "$python2" -OO -S -c "$bare" \
    -- "$bench/isolation_floor" "$work/" Zero
  what="Launch.Zero()"
  [ "$image" = noop ] && what="a Launch that does nothing"
  row "A. whole run, $what, against the user's python2.7 -OO -S" \
    "$(field "$out" command 0 3) µs" "$(field "$out" command 1 3) µs" \
    "$(series_ratio "$out" 1)" "≤ 0.85"
  row "C. the same against the project's own interpreter, started bare" \
    "$(field "$out" command 0 3) µs" "$(field "$out" command 2 3) µs" \
    "$(series_ratio "$out" 2)" "≤ 1.10"
  row "C'. the same against the isolation floor (fork + embedded interpreter)" \
    "$(field "$out" command 0 3) µs" "$(field "$out" command 3 3) µs" \
    "$(series_ratio "$out" 3)" "≤ 1.00"
  ours_kib=$(field "$out" command 0 4) user_kib=$(field "$out" command 1 4)
  own_kib=$(field "$out" command 2 4)
  row "peak memory: fwlaunch, the user's, the project's bare" "$ours_kib KiB" \
    "$user_kib KiB, $own_kib KiB" \
    "$(mib_more "$ours_kib" "$user_kib"), $(mib_more "$ours_kib" "$own_kib")" "≤ +11 MiB"
done

echo "B. an interpreter-bound conversion: the demo's Intel HEX in pure Python of 4 MiB"
# Neither side may find figure A's extension module in the working folder.
rm -f "$work/checksum.so" "$work/checksum.pyd"
# The demo's own Launch and firmware modules without its extension module, so that the
# checksums are Python's too, and a payload of 4 MiB (the demo's, repeated).
mkdir -p "$root/hex"
cp "$build/examples/demo/modules/Launch.pyo" "$build/examples/demo/modules/firmware.pyo" "$root/hex/"
bench/repeat_payload.sh "$build/examples/demo/modules/payload.bin" $((4 * 1024 * 1024)) \
  "$root/hex/payload.bin"
"$bin/fwpack" create "$disk/hex.fw" --compress "$root/hex/Launch.pyo" \
  "$root/hex/firmware.pyo" "$root/hex/payload.bin" >/dev/null
"$bin/fwlaunch" x "$disk/hex.fw" ToHex "$root/fwlaunch.hex" >/dev/null
to_hex="import sys; sys.path.insert(0, '$work/'); import Launch; sys.exit(Launch.ToHex('$work/Script.dll', '$disk/hex.fw', '$root/bare.hex'))"
"$user_python" -OO -S -c "$to_hex"
cmp -s "$root/fwlaunch.hex" "$root/bare.hex" || { echo "bench.sh: the two HEX files differ" >&2; exit 1; }
rounds "$root/hex.out" --rounds "$whole_runs" --series 3 --fresh "$root/scratch" \
  -- "$bin/fwlaunch" x "$disk/hex.fw" ToHex "$root/fwlaunch.hex" \
  -- "$user_python" -OO -S -c "$to_hex"
row "B. the demo's HEX in pure Python, 4 MiB, against the user's python2.7 -OO -S" \
  "$(field "$root/hex.out" command 0 3) µs" "$(field "$root/hex.out" command 1 3) µs" \
  "$(series_ratio "$root/hex.out" 1)" "≤ 0.75"
row "peak memory: fwlaunch, the user's" "$(field "$root/hex.out" command 0 4) KiB" \
  "$(field "$root/hex.out" command 1 4) KiB" \
  "$(mib_more "$(field "$root/hex.out" command 0 4)" "$(field "$root/hex.out" command 1 4)")" \
  "≤ +11 MiB"
cp "$root/shared/checksum.pyd" "$work/checksum.so"

echo "5. a run started from inside a run: from its start to its function"
# The outer run's function starts the inner command and prints the microseconds from just
# before its start to the inner function's first line; the floor is the bare interpreter
# started the same way, in the same working folder as figures A and C.
inner_bare="import sys; sys.path.insert(0, '$work/'); import Launch; sys.exit(Launch.Stamp('', '', sys.argv[1]))"
rounds "$root/nested.out" --rounds "$runs" --reported \
  -- "$bin/fwlaunch" x "$disk/run.fw" Nested "$bin/fwlaunch x $disk/run.fw Stamp" "$disk/stamp" \
  -- "$bin/fwlaunch" x "$disk/run.fw" Nested "$python2 -OO -S -c \"$inner_bare\"" "$disk/stamp"
row "5. nested run, start to function ($filesystem)" "$(field "$root/nested.out" command 0 3) µs" \
  "$(field "$root/nested.out" command 1 3) µs (the project's python2.7 -OO -S)" \
  "$(series_ratio "$root/nested.out" 1)" "a few ms"

# The Windows figure, when a Windows build and an interpreter to weigh its python27.dll against
# are named: WINDOWS_BASELINE (an interpreter prefix, such as an earlier build in the cache),
# WINDOWS_BUILD (default build-windows), WINDOWS_KIB (the payload, default 4096).
if [ -n "${WINDOWS_BASELINE:-}" ]; then
  echo "W. figure B on Windows: the build's python27.dll against $WINDOWS_BASELINE"
  windows=$(bench/windows_figure.sh "${WINDOWS_BUILD:-build-windows}" "$WINDOWS_BASELINE" \
              "$bench/process_rounds" "$whole_runs" "${WINDOWS_KIB:-4096}" | tail -n 1)
  row "W. B on Windows under Wine, ${WINDOWS_KIB:-4096} KiB, against the baseline python27.dll" \
    "$(echo "$windows" | sed -n 's/.*new \([0-9]*\) µs.*/\1/p') µs" \
    "$(echo "$windows" | sed -n 's/.*baseline \([0-9]*\) µs.*/\1/p') µs" \
    "$(echo "$windows" | sed -n 's/.*ratio //p')" "≤ 0.80"
fi

echo
echo "Host: $host."
echo "Loading (fork, load, exit, wait; medians of 401 alternating rounds): $loading."
echo "Whole runs in the user's temporary folder ($filesystem), $whole_runs rounds a series; A, B and"
echo "C: the median over the series of the rounds' own ratios, then each series'."
echo
echo "| figure | fwlaunch | floor | ratio | target |"
echo "|---|---|---|---|---|"
cat "$table"
