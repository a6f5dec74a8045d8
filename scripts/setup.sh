#!/usr/bin/env bash
# Installs what the step at hand needs on a fresh Debian 12 machine, and nothing more. Packages
# already present are left alone, so it costs nothing on a machine that has them.
# Usage: scripts/setup.sh [product|test|fuzz|bench|windows|all]   (default: all)
set -euo pipefail

# The product, and what building its CPython 2.7.18 needs (expat is linked as distributions do;
# OpenSSL, bzip2 and SQLite for the modules a script may import: ssl, hashlib, bz2, sqlite3).
product=(cmake g++ make zlib1g-dev libdeflate-dev libexpat1-dev binutils libssl-dev libbz2-dev
  libsqlite3-dev)
case "${1:-all}" in
  product) packages=("${product[@]}") ;;
  # locales: the character sets the encoding tests compile locales from.
  # lintian and dpkg-dev: the Debian package is checked as Debian checks one; clang-format:
  # the sources are checked as it writes them.
  test) packages=("${product[@]}" libgtest-dev libgmock-dev valgrind locales lintian dpkg-dev
    clang-format) ;;
  fuzz) packages=("${product[@]}" clang libclang-rt-14-dev) ;;
  bench) packages=("${product[@]}" libbenchmark-dev) ;;
  # The Windows cross build and Wine, whose 32-bit half comes from the i386 architecture; tcl
  # and perl run the build tools of SQLite and OpenSSL, which the interpreter's build compiles;
  # clang, lld and llvm build a test's extension module as vendors do, with MSVC's ABI.
  windows) packages=(cmake make g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
    binutils-mingw-w64-i686 mingw-w64-tools libz-mingw-w64-dev libgtest-dev wine wine32:i386
    tcl perl clang lld llvm) ;;
  all) packages=("${product[@]}" libgtest-dev libgmock-dev valgrind locales lintian dpkg-dev
    clang-format clang libclang-rt-14-dev libbenchmark-dev) ;;
  *) echo "usage: scripts/setup.sh [product|test|fuzz|bench|windows|all]" >&2; exit 2 ;;
esac
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  if [ "${1:-}" = windows ]; then
    as_root=()
    [ "$(id -u)" -eq 0 ] || as_root=(sudo)
    "${as_root[@]}" dpkg --add-architecture i386
  fi
  # shellcheck source=lib/apt_install.sh
  source "$(dirname "$0")/lib/apt_install.sh"
  apt_install "${missing[@]}"
fi

# CPython 2.7 is not a Debian package: the build makes its own from the release's source
# (scripts/build-cpython.sh, run by CMake), unless Python2_ROOT_DIR names another.
