#!/usr/bin/env bash
# The README's commands, as written. Its ```sh blocks (using the programs after the demo) run
# verbatim, in order, in a folder laid out as the source folder with its build tree, but with
# the test launchers, which purge the build's own shared data folder instead of the machine's;
# the ```sh setup blocks (builds, installs, the checks) run in CI and on the user's machine,
# and here each line's syntax and each script it names are checked, so that a renamed script
# or a changed option fails this test.
# Usage: readme_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source=$(cd "$1" && pwd) build=$(cd "$2" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "readme test: $*" >&2; exit 1; }

# Every block with its kind: "sh", "sh setup" or "text".
awk -v out="$scratch/blocks" '
  /^ *```/ && !inside { inside = 1; kind = $0; sub(/^ *```/, "", kind); n++; next }
  /^ *```/ && inside { inside = 0; next }
  inside { print > (out "." n "." (kind == "" ? "none" : kind)) }
' "$source/README.md"
ls "$scratch"/blocks.* >/dev/null 2>&1 || fail "no code blocks found"
for block in "$scratch"/blocks.*; do
  case "$block" in
    *.none) fail "a code block without a kind (sh, sh setup or text): $(head -n 1 "$block")" ;;
  esac
done

# The setup blocks: valid shell, and every script they name is there and runs.
for block in "$scratch"/blocks.*.sh\ setup; do
  [ -e "$block" ] || continue
  bash -n "$block" || fail "not valid shell: $(cat "$block")"
  for script in $(grep -oE 'scripts/[a-z-]+\.sh' "$block"); do
    [ -x "$source/$script" ] || fail "the README runs $script, which is not there"
  done
done

# The walkthrough, against the build tree.
tree=$scratch/tree
mkdir -p "$tree/build/bin" "$tree/build/script_library" "$tree/tmp"
ln -s "$build/bin/fwlaunch-testing" "$tree/build/bin/fwlaunch"
ln -s "$build/bin/fwlaunch-trace-testing" "$tree/build/bin/fwlaunch-trace"
ln -s "$build/bin/fwpack" "$tree/build/bin/fwpack"
cp "$build/script_library/Script.dll" "$tree/build/script_library/"
ln -s "$build/examples" "$tree/build/examples"
ln -s "$source/examples" "$tree/examples"
ln -s "$source/firmware_helper" "$tree/firmware_helper"
runnable=$(ls "$scratch"/blocks.*.sh 2>/dev/null | sort -t. -k2 -n)
[ -n "$runnable" ] || fail "no runnable (sh) block"
cat $runnable >"$scratch/walkthrough.sh"
if ! (cd "$tree" && TMPDIR="$tree/tmp" bash -e "$scratch/walkthrough.sh") >"$scratch/log" 2>&1; then
  fail "the README's commands failed: $(tail -n 20 "$scratch/log")"
fi
grep -q '^0$' "$scratch/log" || fail "fwlaunch x my.fw ToHex did not exit 0: $(cat "$scratch/log")"
[ -s "$tree/out.hex" ] || fail "no out.hex"
echo "readme test: $(echo "$runnable" | wc -l) blocks run as written"
