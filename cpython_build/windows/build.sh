#!/usr/bin/env bash
# python27.dll, python.exe, the extension modules and python27.zip for 32-bit Windows,
# cross-built with mingw-w64 (posix thread model, static libgcc: the result needs only system
# DLLs), with the libraries the release's build takes from outside its tree (externals):
# bzip2's sources, SQLite as sqlite3.dll, and OpenSSL linked into _ssl and _hashlib.
# python27.dll is profile-guided: built instrumented, trained under Wine (train.sh), built again.
# Usage: HOST_PYTHON=/path/python2.7 EXTERNAL_SOURCES=FOLDER build.sh SOURCE WORK PREFIX
set -euo pipefail
source=$1 work=$2 prefix=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
: "${HOST_PYTHON:?build.sh: HOST_PYTHON names a CPython 2.7.18 of the build machine}"
: "${EXTERNAL_SOURCES:?build.sh: EXTERNAL_SOURCES names the folder of the externals tarballs}"
cross=i686-w64-mingw32
jobs=$(nproc)

"$here/adapt_source.sh" "$source"

# Unpacks the external whose tarball starts with NAME_ into WORK/NAME, printing that folder.
unpack_external() {
  local name=$1 tarball
  tarball=$(find "$EXTERNAL_SOURCES" -maxdepth 1 -name "${name}_*.orig.tar.*" | head -n 1)
  [ -n "$tarball" ] || { echo "build.sh: no tarball of $name in $EXTERNAL_SOURCES" >&2; exit 1; }
  mkdir -p "$work/$name"
  tar -xf "$tarball" -C "$work/$name" --strip-components=1
  echo "$work/$name"
}

# libffi's own configure writes its headers (ffi.h, fficonfig.h) for the target.
mkdir -p "$work/libffi"
(cd "$work/libffi" &&
 CC=$cross-gcc-posix "$source/Modules/_ctypes/libffi/configure" \
   --host=$cross --disable-shared --enable-static --disable-docs)

bzip2=$(unpack_external bzip2)

# SQLite's tree makes its one-file form (sqlite3.c, sqlite3.h) with tools it builds for the
# build machine; the release compiles that file into DLLs\sqlite3.dll.
sqlite_tree=$(unpack_external sqlite3)
mkdir -p "$work/sqlite-build"
(cd "$work/sqlite-build" && CC=gcc CFLAGS=-O2 "$sqlite_tree/configure" --disable-tcl \
   >/dev/null && make -j"$jobs" sqlite3.c)

# OpenSSL's static libraries for the target, with its assembler routines (the speed the
# release's hashlib has); no engines or tests.
openssl_tree=$(unpack_external openssl)
(cd "$openssl_tree" &&
 CC=$cross-gcc-posix AR=$cross-ar RANLIB=$cross-ranlib RC=$cross-windres \
   ./Configure mingw no-shared no-tests no-engine no-dso --prefix="$work/openssl-target" --libdir=lib &&
 make -j"$jobs" build_libs && make install_dev && cp LICENSE "$work/openssl-target/LICENSE")

# PROFILE is generate (an instrumented python27.dll) or use (the one trained).
configure() {
  cmake -S "$here" -B "$work/cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR= \
    -DCPYTHON_SOURCE="$source" -DLIBFFI_HEADERS="$work/libffi" -DHOST_PYTHON="$HOST_PYTHON" \
    -DBZIP2_SOURCE="$bzip2" -DSQLITE_SOURCE="$work/sqlite-build" \
    -DOPENSSL_ROOT="$work/openssl-target" -DPROFILE="$1"
}

configure generate
cmake --build "$work/cmake" -j"$jobs" --target python27 python stdlib_zip _ctypes
"$here/train.sh" "$root" "$work/cmake" "$work/training"

configure use
cmake --build "$work/cmake" -j"$jobs"
cmake --install "$work/cmake" --prefix "$work/stage" --strip
cp "$work/training/summary" "$work/stage/.profile"
mkdir -p "$(dirname "$prefix")"
mv "$work/stage" "$prefix"

# The DLL's exports: the interface, which includes PyOS_CheckStack, and no copy GCC made of a
# function for its own use (a name with a dot).
exports=$("$cross-objdump" -p "$prefix/python27.dll" |
          sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\t\[ *[0-9]*\] //p')
if ! grep -qx PyOS_CheckStack <<<"$exports" || grep -q '\.' <<<"$exports"; then
  echo "build.sh: python27.dll's exports are not the interface's: $(grep '\.' <<<"$exports")" >&2
  rm -rf "$prefix"
  exit 1
fi
echo "build.sh: python27.dll exports $(wc -l <<<"$exports") names"
