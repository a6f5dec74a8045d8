#!/usr/bin/env bash
# CPython 2.7.18 for Linux as distributions and pyenv build it (a shared libpython, UCS-4
# Unicode), so that extension modules built for those keep loading; expat is the system's, as
# distributions link it. Nothing of the build machine is compiled in (the link too compiles,
# being link-time optimised, so it gets the file name map as well): the prefix is the one an
# installed fwlaunch uses, the build folder is named as /usr/src/python2.7 in file names and in
# the build configuration the standard library keeps, and the python program finds its library
# beside it (run path $ORIGIN/../lib) and its standard library from where it lies.
# Built for speed as distributions build theirs: profile-guided (trained by profile_task.py on
# what fwlaunch's scripts do), link-time optimised, with computed gotos (the release leaves
# them off unless asked), and with -fno-semantic-interposition, so that the library calls its
# own functions directly instead of through its PLT.
# The release's configure turns the profile and link-time flags on only for a compiler *named*
# gcc or clang, so the compiler is named here, whatever CC the caller (CMake exports its own)
# holds, and the result is checked for both before it is installed.
# Usage: build.sh SOURCE WORK PREFIX   (installs into PREFIX, staged in WORK first)
set -euo pipefail
export CC=gcc CXX=g++
unset CFLAGS CPPFLAGS CXXFLAGS LDFLAGS
source=$1 work=$2 prefix=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$(dirname "$here")")
neutral_prefix=/usr/lib/fwlaunch
neutral_source=/usr/src/python2.7
# Only the program's own link gets the run path; the library and the extension modules need
# none, since they are loaded into a process that already holds the library.
link_program='-Xlinker -export-dynamic -Wl,-rpath,\$$ORIGIN/../lib'

"$here/adapt_source.sh" "$source"
mkdir -p "$work/build"
cd "$work/build"
trained="$work/profile-task.done"

# Named relative to the build folder: the build compiles the source folder's name in.
"$(realpath --relative-to=. "$source")/configure" --prefix="$neutral_prefix" \
  --enable-shared --enable-unicode=ucs4 --with-system-expat \
  --enable-optimizations --with-lto --with-computed-gotos \
  CFLAGS="-ffile-prefix-map=$work=$neutral_source -fno-semantic-interposition" \
  LDFLAGS="-ffile-prefix-map=$work=$neutral_source -fno-semantic-interposition"
make -j"$(nproc)" LINKFORSHARED="$link_program" \
  PROFILE_TASK="-OO -S $root/cpython_build/profile_task.py $root $trained"
# The interpreter's make rule goes on when the training fails; a build without its profile is
# not the one we ship.
if [ ! -f "$trained" ]; then
  echo "build.sh: the profile training did not finish (see above)" >&2
  exit 1
fi
# What configure chose is in the Makefile (the training's counts are gone by now: the make rule
# removes them once used, and the marker above says they were made): a build without them is
# not the recipe's.
not_optimised() {
  echo "build.sh: the build is not the optimised one: $1 (compiler: $(command -v "$CC"))" >&2
  exit 1
}
grep -q '^PGO_PROF_USE_FLAG=.*-fprofile-use' Makefile || not_optimised "no -fprofile-use"
grep -q '(PGO_PROF_USE_FLAG).*-flto' Makefile || not_optimised "no -flto"
grep -q '^#define USE_COMPUTED_GOTOS 1' pyconfig.h || not_optimised "no computed gotos"
"$here/direct_calls.sh" "$PWD/libpython2.7.so.1.0"
make install DESTDIR="$work/stage" LINKFORSHARED="$link_program"
find "$work/stage" -name '_sysconfigdata.py*' -exec sed -i "s|$work|$neutral_source|g" {} +
rm -f "$work/stage$neutral_prefix"/lib/python2.7/_sysconfigdata.py[co]
mkdir -p "$(dirname "$prefix")"
mv "$work/stage$neutral_prefix" "$prefix"
"$prefix/bin/python2.7" -c 'import zlib, ctypes, struct, pyexpat, _hashlib, _ssl, bz2, _sqlite3'
