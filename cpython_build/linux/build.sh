#!/usr/bin/env bash
# CPython 2.7.18 for Linux as distributions and pyenv build it (a shared libpython, UCS-4
# Unicode), so that extension modules built for those keep loading. The python program finds
# its library beside it (run path $ORIGIN/../lib): nothing names the build machine.
# Usage: build.sh SOURCE WORK PREFIX   (installs into PREFIX, staged in WORK first)
set -euo pipefail
source=$1 work=$2 prefix=$3
# Only the program's own link gets the run path; the library and the extension modules need
# none, since they are loaded into a process that already holds the library.
link_program='-Xlinker -export-dynamic -Wl,-rpath,\$$ORIGIN/../lib'

mkdir -p "$work/build"
cd "$work/build"
"$source/configure" --prefix="$prefix" --enable-shared --enable-unicode=ucs4
make -j"$(nproc)" LINKFORSHARED="$link_program"
make install DESTDIR="$work/stage" LINKFORSHARED="$link_program"
mkdir -p "$(dirname "$prefix")"
mv "$work/stage$prefix" "$prefix"
"$prefix/bin/python2.7" -c 'import zlib, ctypes, struct'
