#!/usr/bin/env bash
# python27.dll, its extension modules and python27.zip for 32-bit Windows, cross-built with
# mingw-w64 (posix thread model, static libgcc: the result needs only system DLLs).
# Usage: HOST_PYTHON=/path/python2.7 build.sh SOURCE WORK PREFIX
set -euo pipefail
source=$1 work=$2 prefix=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
: "${HOST_PYTHON:?build.sh: HOST_PYTHON names a CPython 2.7.18 of the build machine}"

"$here/adapt_source.sh" "$source"

# libffi's own configure writes its headers (ffi.h, fficonfig.h) for the target.
mkdir -p "$work/libffi"
(cd "$work/libffi" &&
 CC=i686-w64-mingw32-gcc-posix "$source/Modules/_ctypes/libffi/configure" \
   --host=i686-w64-mingw32 --disable-shared --enable-static --disable-docs)

cmake -S "$here" -B "$work/cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR= \
  -DCPYTHON_SOURCE="$source" -DLIBFFI_HEADERS="$work/libffi" -DHOST_PYTHON="$HOST_PYTHON"
cmake --build "$work/cmake" -j"$(nproc)"
cmake --install "$work/cmake" --prefix "$work/stage" --strip
mkdir -p "$(dirname "$prefix")"
mv "$work/stage" "$prefix"
