#!/usr/bin/env bash
# Trains the instrumented python27.dll of BUILD: python.exe runs profile_task.py under Wine, the
# same training as the Linux interpreter's, and the DLL writes its counts beside its objects as
# the process ends. Where the kernel runs no i386 program, Wine runs under qemu-i386 and each
# start takes seconds, so the training makes fewer start-ups there (its other parts run in one
# process and are the same). Fails unless the training finished and the counts reached the
# objects: a DLL built without them is not the recipe's. Writes TRAINING/summary, one line
# saying what ran.
# Usage: train.sh PROJECT_ROOT BUILD TRAINING
set -euo pipefail
root=$1 build=$2 training=$3
# shellcheck source=../../scripts/lib/i386_emulation.sh
source "$root/scripts/lib/i386_emulation.sh"

# The program folder as the product lays it out: python.exe finds its home by python27.zip
# beside it, and the extension modules in DLLs\.
program="$training/program"
mkdir -p "$program/DLLs"
cp "$build/python.exe" "$build/python27.dll" "$build/python27.zip" "$program/"
cp "$build/_ctypes.pyd" "$program/DLLs/"

i386_decide
starts=15
[ "$I386_EMULATE" = no ] || starts=3
mode="natively run Wine"
[ "$I386_EMULATE" = no ] || mode="Wine under qemu-i386, the smaller set"
echo "train.sh: training python27.dll with $starts start-ups ($mode: $I386_REASON)"

done_marker="$training/profile-task.done"
# From a folder of the Linux tree, which Wine sees as the current folder of drive Z:, so that
# the counts' Linux paths compiled into the DLL name the same files from Windows.
(cd "$training" &&
 env -u PYTHONHOME -u PYTHONPATH WINEPREFIX="$training/wine/prefix" \
   "$root/scripts/wine-session.sh" wine "$program/python.exe" -OO -S \
   "$root/cpython_build/profile_task.py" "$root" "$done_marker" "$starts")
if [ ! -f "$done_marker" ]; then
  echo "train.sh: the training did not finish (see above); python27.dll is not trained" >&2
  exit 1
fi

# The counts land at the Linux paths compiled in; that the interpreter's loop has its own says
# they reached them (a few objects hold no function and get none).
objects=$(find "$build/CMakeFiles/python27.dir" -name '*.c.obj' | wc -l)
counts=$(find "$build/CMakeFiles/python27.dir" -name '*.c.gcda' | wc -l)
if ! find "$build/CMakeFiles/python27.dir" -path '*/Python/ceval.c.gcda' | grep -q .; then
  echo "train.sh: the training wrote no counts for ceval.c ($counts of $objects objects have" \
       "theirs); python27.dll is not trained" >&2
  exit 1
fi
echo "train.sh: counts for $counts of python27.dll's $objects objects"
echo "python27.dll trained on $starts start-ups, the demo's HEX, struct, zlib and ctypes" \
     "($mode)" | tee "$training/summary"
