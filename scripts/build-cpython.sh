#!/usr/bin/env bash
# Builds CPython 2.7.18 from the release's own source (Debian's registry carries it as the orig
# tarball of bullseye's python2.7; none of Debian's changes are applied) for one target, once:
# the result is kept in the cache, keyed by the source's checksum and the recipe
# (cpython_build/TARGET/), and later calls only print where it is.
# Usage: scripts/build-cpython.sh linux|windows   (prints the installed prefix on standard
# output; what the build says goes to a log in the cache, its end shown when it fails)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
# shellcheck source=lib/debian_registry.sh
source "$here/lib/debian_registry.sh"

CPYTHON_ORIG=python2.7_2.7.18.orig.tar.gz
CPYTHON_SHA256=da3080e3b488f648a3d7a4560ddee895284c3380b11d6de75edb986526b9a814

target=${1:-}
case "$target" in
  linux|windows) ;;
  *) echo "usage: scripts/build-cpython.sh linux|windows" >&2; exit 2 ;;
esac

# The Windows build compiles its standard library with the build machine's own interpreter.
[ "$target" = linux ] || HOST_PYTHON="$("$0" linux)/bin/python2.7"
export HOST_PYTHON

cache="$(fwlaunch_cache_dir)/cpython"
mkdir -p "$cache"
# One build at a time: a second caller waits and then finds the first one's result.
exec 9>"$cache/.lock"
flock 9

# The recipe is its folder, the project's files it names in its inputs file (what the
# profile training runs) and the compiler that builds it, by name and version, so that a
# change to any of them builds anew.
recipe_files() {
  find "$root/cpython_build/$target" -type f | LC_ALL=C sort
  local inputs="$root/cpython_build/$target/inputs"
  [ ! -f "$inputs" ] || sed "s|^|$root/|" "$inputs"
}
compiler_identity() {
  local compiler=gcc
  [ "$target" = linux ] || compiler=i686-w64-mingw32-gcc-posix
  if ! "$compiler" -v 2>&1 | grep -q '^gcc version'; then
    echo "build-cpython: $compiler is not GCC, which the recipe is written for" >&2
    return 1
  fi
  "$compiler" -v 2>&1 | grep '^gcc version'
}
identity=$(compiler_identity)
recipe=$( (recipe_files | xargs cat; echo "$identity") | sha256sum | cut -c1-16)
prefix="$cache/$target-${CPYTHON_SHA256:0:12}-$recipe"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# Puts the upstream tarball ORIG of PACKAGE (or PACKAGE=VERSION) from bullseye into the
# cache's source folder, unless a copy with the right checksum is there.
fetch_source() {
  local package=$1 orig=$2 sha=$3
  local tarball="$cache/source/$orig" fetched
  if [ ! -f "$tarball" ] || ! registry_check_sum "$tarball" "$sha" 2>/dev/null; then
    fetched=$(registry_fetch_orig bullseye "$package" "$orig" "$sha" "$cache/source/fetch")
    mv "$fetched" "$tarball"
    rm -rf "$cache/source/fetch"
  fi
}
fetch_source python2.7 "$CPYTHON_ORIG" "$CPYTHON_SHA256"
tarball="$cache/source/$CPYTHON_ORIG"
# The libraries a target's recipe builds beside the interpreter (cpython_build/TARGET/externals).
externals="$root/cpython_build/$target/externals"
if [ -f "$externals" ]; then
  while read -r package orig sha; do
    fetch_source "$package" "$orig" "$sha"
  done < <(grep -v '^#' "$externals")
fi

work=$(mktemp -d "$cache/work.XXXXXX")
trap 'rm -rf "$work"' EXIT
log="$cache/$target-$recipe.log"
echo "build-cpython: building CPython 2.7.18 for $target into $prefix (log: $log)" >&2
start=$(date +%s)
tar -xzf "$tarball" -C "$work"
rm -rf "$prefix"
if ! EXTERNAL_SOURCES="$cache/source" \
     "$root/cpython_build/$target/build.sh" "$work/Python-2.7.18" "$work" "$prefix" \
     >"$log" 2>&1; then
  echo "build-cpython: the build failed; the end of $log:" >&2
  tail -n 30 "$log" | sed 's/^/  /' >&2
  rm -rf "$prefix"
  exit 1
fi
touch "$prefix/.complete"
echo "build-cpython: built in $(( $(date +%s) - start )) s" >&2
# What the profile was trained on, where the training depends on the machine.
[ ! -f "$prefix/.profile" ] || echo "build-cpython: $(cat "$prefix/.profile")" >&2
echo "$prefix"
