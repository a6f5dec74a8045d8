#!/usr/bin/env bash
# Measures fwlaunch's own cost against its floors, side by side in one run, and prints a table
# of figures, floors, ratios and targets, with the host's process costs beside them.
# Usage: scripts/bench.sh [RUNS]   (RUNS: per figure, default 15; the whole runs of A, B and C
# take at least 31 rounds, three series each; about six minutes on 2 cores)
# USER_PYTHON2 names the user's python2.7 to compare with (default: the python2.7 on PATH).
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

# Figures 1 and 2 in memory where the machine has a tmpfs, so that disk writeback does not drown
# the extraction's own cost; figures 3 and 5 where fwlaunch really works (below).
base=/dev/shm
[ -d "$base" ] || base=${TMPDIR:-/tmp}
root=$(mktemp -d "$base/fwlaunch-bench.XXXXXX")
disk=$(mktemp -d "${TMPDIR:-/tmp}/fwlaunch-bench.XXXXXX")
trap 'rm -rf "$root" "$disk"' EXIT
timer="$build/bench/process_timer"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
mib_more() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%+.1f MiB", (a - b) / 1024 }'; }
rows=()
row() { rows+=("$(printf '| %s | %s | %s | %s | %s |' "$@")"); }

# Times the commands in turn, round after round, each in a fresh FOLDER made outside the timing.
# Usage: compare FOLDER COMMAND... Leaves the median wall times (µs) in times[i] and the median
# peak memory (KiB) in kibs[i], in the order of the commands; a_/b_ name the first two.
compare() {
  local folder=$1
  shift
  local count=$# i round out
  local -a all_kibs
  round_times=()
  for ((round = 0; round < runs; round++)); do
    for ((i = 0; i < count; i++)); do
      rm -rf "$folder" && mkdir -p "$folder"
      local command_index=$((i + 1))
      out=$(eval "$timer ${!command_index}")
      round_times[i * runs + round]=${out%% *}
      out=${out#* }
      all_kibs[i * runs + round]=${out%% *}
    done
  done
  times=() kibs=()
  for ((i = 0; i < count; i++)); do
    times[i]=$(printf '%s\n' "${round_times[@]:i*runs:runs}" | median)
    kibs[i]=$(printf '%s\n' "${all_kibs[@]:i*runs:runs}" | median)
  done
  a_time=${times[0]} b_time=${times[1]} a_kib=${kibs[0]} b_kib=${kibs[1]}
  pair_ratio=$(pair_ratio 0 1)
}

# The median of the rounds' own ratios of the last compare's command I to its command J: each
# pair ran back to back, so the machine's drift cancels within it. Usage: pair_ratio I J
pair_ratio() {
  local round
  for ((round = 0; round < runs; round++)); do
    awk -v a="${round_times[$1 * runs + round]}" -v b="${round_times[$2 * runs + round]}" \
      'BEGIN { printf "%.4f\n", a / b }'
  done | median
}

# "m (a, b, c)": the median of several figures, then each of them.
summary() {
  local middle
  middle=$(printf '%s\n' "$@" | median)
  printf '%.2f (%s)' "$middle" "$(printf '%.2f, ' "$@" | sed 's/, $//')"
}

# The user's own python2.7, the one a script would otherwise be run with (not a shim that
# starts it: that would add a process start to its side).
user_python=${USER_PYTHON2:-$(python2.7 -c 'import sys; print sys.executable' 2>/dev/null || true)}
if [ -z "$user_python" ]; then
  echo "bench.sh: no python2.7 of the user's to compare with; set USER_PYTHON2" >&2
  exit 1
fi

echo "1. extraction alone (Google Benchmark, median of 5 repetitions)"
FWLAUNCH_BENCH_DIR="$root" "$build/bench/extraction_benchmark" --benchmark_repetitions=5 \
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
"$build/bench/write_bench_modules" "$modules"
names=$(cat "$modules/batch3.list")
(cd "$modules" && "$build/bin/fwpack" create "$root/stored.fw" $names &&
  "$build/bin/fwpack" create "$root/deflate.fw" --compress $names &&
  tar -cf "$root/modules.tar" $names && tar -czf "$root/modules.tar.gz" $names)
library="$build/script_library/Script.dll"
for method in stored deflate; do
  compare "$root/out" "$build/bench/extract_driver $library $root/out/ $root/$method.fw" \
    "tar -xf $root/modules.tar -C $root/out"
  target="≤ 1.0"; [ "$method" = deflate ] && target="≤ 1.5"
  row "2. $method image, 101 modules (12.7 MiB)" "$a_time µs" "$b_time µs (tar -xf)" \
    "$(ratio "$a_time" "$b_time")" "$target"
  if [ "$method" = stored ]; then
    stored_floor=$(awk -v t="$b_time" -v e="$pages_and_crc" 'BEGIN { printf "%d", t + e * 1000 }')
    row "2'''. stored image against tar -xf plus fresh pages and CRC-32 alone" "$a_time µs" \
      "$stored_floor µs ($b_time + $pages_and_crc ms)" "$(ratio "$a_time" "$stored_floor")" "—"
  fi
done
deflate_time=$a_time tar_time=$b_time
inflate_floor=$(awk -v t="$tar_time" -v i="$inflate" 'BEGIN { printf "%d", t + i * 1000 }')
row "2''. deflate image against tar -xf plus inflating alone" "$deflate_time µs" \
  "$inflate_floor µs ($tar_time + $inflate ms)" "$(ratio "$deflate_time" "$inflate_floor")" "—"
compare "$root/out" "$build/bench/extract_driver $library $root/out/ $root/deflate.fw" \
  "tar -xzf $root/modules.tar.gz -C $root/out"
row "2'. deflate image against a gzip tar" "$a_time µs" "$b_time µs (tar -xzf)" \
  "$(ratio "$a_time" "$b_time")" "—"

echo "host: process costs"
read -r _ fork_us _ fork_large_us _ exec_us _ wake_us < <("$build/bench/host_costs")
host="fork + exit + wait ${fork_us} µs (${fork_large_us} µs with 64 MiB touched), fork + exec of /bin/true ${exec_us} µs, a wake-up ${wake_us} µs"

echo "A, C. the whole run against the user's python2.7 and the project's own, started bare"
# In the user's temporary folder, where fwlaunch's working folder really is: writing modules
# costs differently there than in memory.
work="$disk/tmp/QALM"
filesystem=$(df -T "$disk" | awk 'NR == 2 { print $2 }')
mkdir -p "$work" "$root/shared"
cp "$library" "$work/Script.dll"
cp "$build/bench/launch/Launch.pyo" "$build/bench/launch/bench_helper.pyo" \
  "$build/examples/demo/modules/checksum.pyd" "$root/shared/"
"$build/bin/fwpack" create "$disk/run.fw" "$root/shared/Launch.pyo" \
  "$root/shared/bench_helper.pyo" "$root/shared/checksum.pyd" >/dev/null
# The bare interpreter loads extension modules only as .so: give it the same one under that name.
cp "$root/shared/checksum.pyd" "$work/checksum.so"
# Set for every command alike: an env wrapper would add a process start to fwlaunch's side.
export TMPDIR="$disk/tmp"
"$build/bin/fwlaunch" x "$disk/run.fw" Zero >/dev/null

# The least a run can be: an image holding only a Launch whose function does nothing.
mkdir -p "$root/noop"
printf 'def Zero(*args):\n    return 0\n' >"$root/noop/Launch.py"
"$python2" -OO -c "import py_compile; py_compile.compile('$root/noop/Launch.py', '$root/noop/Launch.pyo')"
"$build/bin/fwpack" create "$disk/noop.fw" "$root/noop/Launch.pyo" >/dev/null

# All in the same rounds, so that the machine's drift falls on each alike; at least 31 rounds,
# the noise of a whole run being what it is on a shared machine, and three such series.
runs_asked=$runs
((runs >= 31)) || runs=31
series=3
for image in run noop; do
  "$build/bin/fwlaunch" x "$disk/$image.fw" Zero >/dev/null
  bare="import sys; sys.path.insert(0, '$work/'); import Launch; sys.exit(Launch.Zero('$work/Script.dll', '$disk/$image.fw'))"
  user_ratios=() own_ratios=() floor_ratios=()
  for ((repeat = 0; repeat < series; repeat++)); do
    compare "$root/scratch" "$build/bin/fwlaunch x $disk/$image.fw Zero" \
      "$user_python -OO -S -c \"$bare\"" "$python2 -OO -S -c \"$bare\"" \
      "$build/bench/isolation_floor $work/ Zero"
    user_ratios+=("$(pair_ratio 0 1)") own_ratios+=("$(pair_ratio 0 2)")
    floor_ratios+=("$(pair_ratio 0 3)")
  done
  what="Launch.Zero()"
  [ "$image" = noop ] && what="a Launch that does nothing"
  row "A. whole run, $what, against the user's python2.7 -OO -S" "${times[0]} µs" \
    "${times[1]} µs" "$(summary "${user_ratios[@]}")" "≤ 0.95"
  row "C. the same against the project's own interpreter, started bare" "${times[0]} µs" \
    "${times[2]} µs" "$(summary "${own_ratios[@]}")" "≤ 1.10"
  row "C'. the same against the isolation floor (fork + embedded interpreter)" "${times[0]} µs" \
    "${times[3]} µs" "$(summary "${floor_ratios[@]}")" "—"
  row "peak memory: fwlaunch, the user's, the project's bare" "${kibs[0]} KiB" \
    "${kibs[1]} KiB, ${kibs[2]} KiB" "$(mib_more "${kibs[0]}" "${kibs[1]}"), $(mib_more "${kibs[0]}" "${kibs[2]}")" "≤ +11 MiB"
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
"$build/bin/fwpack" create "$disk/hex.fw" --compress "$root/hex/Launch.pyo" \
  "$root/hex/firmware.pyo" "$root/hex/payload.bin" >/dev/null
"$build/bin/fwlaunch" x "$disk/hex.fw" ToHex "$root/fwlaunch.hex" >/dev/null
to_hex="import sys; sys.path.insert(0, '$work/'); import Launch; sys.exit(Launch.ToHex('$work/Script.dll', '$disk/hex.fw', '$root/bare.hex'))"
"$user_python" -OO -S -c "$to_hex"
cmp -s "$root/fwlaunch.hex" "$root/bare.hex" || { echo "bench.sh: the two HEX files differ" >&2; exit 1; }
hex_ratios=()
for ((repeat = 0; repeat < series; repeat++)); do
  compare "$root/scratch" "$build/bin/fwlaunch x $disk/hex.fw ToHex $root/fwlaunch.hex" \
    "$user_python -OO -S -c \"$to_hex\""
  hex_ratios+=("$pair_ratio")
done
row "B. the demo's HEX in pure Python, 4 MiB, against the user's python2.7 -OO -S" \
  "${times[0]} µs" "${times[1]} µs" "$(summary "${hex_ratios[@]}")" "≤ 0.85"
row "peak memory: fwlaunch, the user's" "${kibs[0]} KiB" "${kibs[1]} KiB" \
  "$(mib_more "${kibs[0]}" "${kibs[1]}")" "≤ +11 MiB"
cp "$root/shared/checksum.pyd" "$work/checksum.so"
runs=$runs_asked

echo "5. a run started from inside a run: from its start to its function"
# The outer run's function starts the inner command and prints the microseconds from just
# before its start to the inner function's first line; the floor is the bare interpreter
# started the same way, in the same working folder as figures A and C.
nested() {
  local i
  local -a all
  for ((i = 0; i < runs; i++)); do
    all[i]=$("$build/bin/fwlaunch" x "$disk/run.fw" Nested "$1" "$disk/stamp")
  done
  printf '%s\n' "${all[@]}" | median
}
inner_fwlaunch=$(nested "$build/bin/fwlaunch x $disk/run.fw Stamp")
inner_bare=$(nested "$python2 -OO -S -c \"import sys; sys.path.insert(0, '$work/'); import Launch; sys.exit(Launch.Stamp('', '', sys.argv[1]))\"")
row "5. nested run, start to function ($filesystem)" "$inner_fwlaunch µs" \
  "$inner_bare µs (the project's python2.7 -OO -S)" "$(ratio "$inner_fwlaunch" "$inner_bare")" "a few ms"

echo
echo "Host: $host. Whole runs in the user's temporary folder ($filesystem), $((runs < 31 ? 31 : runs)) rounds a series;"
echo "A, B and C: the median of the rounds' own ratios, then each series'."
echo
echo "| figure | fwlaunch | floor | ratio | target |"
echo "|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
