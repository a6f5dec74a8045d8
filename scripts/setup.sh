#!/usr/bin/env bash
# Installs what the step at hand needs on a fresh Debian 12 machine, and nothing more. Packages
# already present are left alone, so it costs nothing on a machine that has them.
# Usage: scripts/setup.sh [product|test|fuzz|bench|windows|all]   (default: all)
set -euo pipefail

product=(cmake g++ make zlib1g-dev libdeflate-dev binutils)
case "${1:-all}" in
  product) packages=("${product[@]}") ;;
  # locales: the character sets the encoding tests compile locales from.
  test) packages=("${product[@]}" libgtest-dev libgmock-dev valgrind locales) ;;
  fuzz) packages=("${product[@]}" clang libclang-rt-14-dev) ;;
  bench) packages=("${product[@]}" libbenchmark-dev) ;;
  # The Windows cross build and Wine, whose 32-bit half comes from the i386 architecture.
  windows) packages=(cmake make g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
    binutils-mingw-w64-i686 mingw-w64-tools libz-mingw-w64-dev libgtest-dev wine wine32:i386) ;;
  all) packages=("${product[@]}" libgtest-dev libgmock-dev valgrind locales clang libclang-rt-14-dev
    libbenchmark-dev) ;;
  *) echo "usage: scripts/setup.sh [product|test|fuzz|bench|windows|all]" >&2; exit 2 ;;
esac
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_if_needed=()
  [ "$(id -u)" -eq 0 ] || sudo_if_needed=(sudo)
  [ "${1:-}" = windows ] && "${sudo_if_needed[@]}" dpkg --add-architecture i386
  "${sudo_if_needed[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_if_needed[@]}" apt-get install -y -qq \
    --no-install-recommends "${missing[@]}"
fi

# CPython 2.7 is not a Debian package: the build makes its own from the release's source
# (scripts/build-cpython.sh, run by CMake), unless Python2_ROOT_DIR names another.
