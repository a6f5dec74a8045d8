#!/usr/bin/env bash
# The installed tree works for any user, anywhere: installed, stripped, moved to another prefix
# and run by an unprivileged user, it runs a firmware made from Python sources with the
# installed fwpack, and no program in it names the build machine's interpreter or build tree.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
chmod 755 "$root"
cmake --install "$build" --prefix "$root/installed" --strip >/dev/null
mv "$root/installed" "$root/moved"
tree=$root/moved
fail() { echo "install test: $*" >&2; exit 1; }

python_root=$(sed -n 's/^FWLAUNCH_PYTHON2_FOUND_ROOT:INTERNAL=//p' "$build/CMakeCache.txt")
for program in fwlaunch fwlaunch-trace fwpack; do
  runpath=$(readelf -d "$tree/bin/$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  # The launchers need no library of ours to start: they load the interpreter module from
  # ../lib/fwlaunch by their own folder. fwpack links the interpreter's library.
  expected='$ORIGIN/../lib/fwlaunch'
  [ "$program" = fwpack ] || expected=
  [ "$runpath" = "$expected" ] || fail "$program: run path '$runpath'"
  if [ -n "$python_root" ] && grep -q "$python_root" "$tree/bin/$program"; then
    fail "$program names $python_root"
  fi
  ! grep -q "$build" "$tree/bin/$program" || fail "$program names the build tree $build"
done
module=$tree/lib/fwlaunch/libfwlaunch-interpreter.so
runpath=$(readelf -d "$module" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
[ "$runpath" = '$ORIGIN' ] || fail "the interpreter module's run path is '$runpath'"
for file in lib/fwlaunch/libpython2.7.so.1.0 lib/fwlaunch/python2.7/os.py lib/fwlaunch/Script.dll \
  lib/fwlaunch/python/bin/python2.7 lib/fwlaunch/python/lib/python2.7/os.py \
  include/fwlaunch/script_library.h share/pkgconfig/fwlaunch-script-library.pc \
  share/cmake/fwlaunch/fwlaunchConfig.cmake share/cmake/fwlaunch/fwlaunchConfigVersion.cmake \
  share/fwlaunch/firmware.py share/man/man1/fwlaunch.1.gz share/man/man1/fwlaunch-trace.1.gz \
  share/man/man1/fwpack.1.gz share/doc/fwlaunch/README.md share/doc/fwlaunch/copyright; do
  [ -e "$tree/$file" ] || fail "missing $file"
done
# Nothing installed names the build machine: not its interpreter, its cache or the build tree.
for place in "$HOME/.cache" "$build" "$source"; do
  ! grep -rlq "$place" "$tree" || fail "$(grep -rl "$place" "$tree" | head -n 1) names $place"
done

# A script library's author finds the interface by version, with CMake and with pkg-config.
consumer=$root/consumer
mkdir -p "$consumer"
cat >"$consumer/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(consumer C)
find_package(fwlaunch 0.1 REQUIRED)
message(STATUS "fwlaunch_VERSION=${fwlaunch_VERSION}")
add_library(consumer MODULE library.c)
target_link_libraries(consumer PRIVATE fwlaunch::script_library_interface)
CMAKE
printf '#include <fwlaunch/script_library.h>\nint32_t Py_QueryCfg(const char* f, const char* k, char* l) { (void)f; (void)k; l[0] = 0; return FWL_SCRIPT_LIST_SIZE; }\n' \
  >"$consumer/library.c"
cmake -S "$consumer" -B "$consumer/build" -DCMAKE_PREFIX_PATH="$tree" >"$consumer/log" 2>&1 ||
  fail "find_package(fwlaunch 0.1 REQUIRED) failed: $(tail -n 5 "$consumer/log")"
grep -q "fwlaunch_VERSION=0.1.0" "$consumer/log" || fail "fwlaunch_VERSION is not 0.1.0"
cmake --build "$consumer/build" >/dev/null || fail "a library against the header did not build"
sed -i 's/find_package(fwlaunch 0.1 REQUIRED)/find_package(fwlaunch 1 REQUIRED)/' "$consumer/CMakeLists.txt"
! cmake -S "$consumer" -B "$consumer/build-1" -DCMAKE_PREFIX_PATH="$tree" >/dev/null 2>&1 ||
  fail "find_package(fwlaunch 1) accepted 0.1.0: SameMajorVersion"
[ "$(PKG_CONFIG_PATH="$tree/share/pkgconfig" pkg-config --modversion fwlaunch-script-library)" = \
  0.1.0 ] || fail "pkg-config gives no version 0.1.0"

# As nobody: a firmware packed from sources with the installed fwpack, run by the installed
# fwlaunch with the installed Script.dll.
work=$root/work
mkdir -p "$work/tmp/QALM"
cp "$tree/lib/fwlaunch/Script.dll" "$work/tmp/QALM/"
cat >"$work/Launch.py" <<'PY'
import firmware
import subprocess
import sys
import zlib


def Check(library, image, expected):
    fw = firmware.Firmware(library, image)
    # The standard library (zlib) and the helper module both answer, and sys.executable starts
    # this very interpreter from the tree's private prefix.
    started = subprocess.check_output(
        [sys.executable, '-c', 'import sys, zlib; sys.stdout.write(sys.version)'])
    if not sys.executable.endswith('/lib/fwlaunch/python/bin/python2.7') or started != sys.version:
        return 2
    return 7 if fw.read('data.bin') == expected and zlib.crc32('') == 0 else 1
PY
printf 'payload' >"$work/data.bin"
# nobody's own working folder and library: fwlaunch loads nothing that another user could
# have put there or changed.
chown -R nobody:nogroup "$work"
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME=/nonexistent)
"${as_nobody[@]}" "$tree/bin/fwpack" create "$work/check.fw" "$work/Launch.py" \
  "$tree/share/fwlaunch/firmware.py" "$work/data.bin" || fail "fwpack create failed"
status=0
"${as_nobody[@]}" TMPDIR="$work/tmp" "$tree/bin/fwlaunch" x "$work/check.fw" Check payload ||
  status=$?
[ "$status" -eq 7 ] || fail "fwlaunch as nobody exited $status"
echo "install test: the moved tree ran a firmware as nobody"
