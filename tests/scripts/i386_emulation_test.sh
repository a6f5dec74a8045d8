#!/usr/bin/env bash
# The emulator is cached only when it was taken out of its package whole: a package that is
# not one, or that lacks the program, fails the call loudly and leaves nothing in the cache for
# later runs to take. Called as the Windows scripts call it, inside $(...), where bash drops
# set -e. The registry is replaced by packages made here.
# Usage: i386_emulation_test.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export FWLAUNCH_CACHE_DIR="$scratch/cache"
# shellcheck source=../../scripts/lib/i386_emulation.sh
source "$here/../../scripts/lib/i386_emulation.sh"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# A package holding PROGRAM-TEXT as usr/bin/NAME.
make_package() {
  local name=$1 text=$2 tree="$scratch/tree-$1"
  mkdir -p "$tree/DEBIAN" "$tree/usr/bin"
  printf 'Package: qemu-user\nVersion: 1\nArchitecture: amd64\nMaintainer: t <t@e.invalid>\n' \
    >"$tree/DEBIAN/control"
  printf 'Description: test\n' >>"$tree/DEBIAN/control"
  printf '%s\n' "$text" >"$tree/usr/bin/$name"
  chmod 755 "$tree/usr/bin/$name"
  dpkg-deb --build -Zgzip "$tree" "$scratch/$name.deb" >/dev/null
}

# The registry hands out the file named by SERVED.
registry_fetch_binary() {
  cp "$SERVED" "$5/qemu-user_1_amd64.deb"
  echo "$5/qemu-user_1_amd64.deb"
}

cached_programs() {
  find "$FWLAUNCH_CACHE_DIR" -type f -name 'qemu-i386*' 2>/dev/null
}

echo "not a package" >"$scratch/broken.deb"
make_package other '#!/bin/sh'
make_package qemu-i386 $'#!/bin/sh\necho "qemu-i386 version 10.0.2"'

for served in broken other; do
  export SERVED="$scratch/$served.deb"
  if qemu=$(i386_emulator 2>"$scratch/error"); then
    fail "the $served package gave an emulator: $qemu"
  fi
  grep -q "could not take qemu-i386 out of" "$scratch/error" ||
    fail "the $served package's failure is not said: $(cat "$scratch/error")"
  [ -z "$(cached_programs)" ] || fail "the $served package left in the cache: $(cached_programs)"
done

export SERVED="$scratch/qemu-i386.deb"
if qemu=$(i386_emulator 2>"$scratch/error"); then
  [ "$("$qemu" --version)" = "qemu-i386 version 10.0.2" ] || fail "the cached program is not it"
  # A later call takes the cached program without asking the registry.
  export SERVED="$scratch/broken.deb"
  [ "$(i386_emulator 2>/dev/null)" = "$qemu" ] || fail "the cached emulator is not reused"
else
  fail "a whole package gave no emulator: $(cat "$scratch/error")"
fi

((failures == 0)) || exit 1
echo "i386 emulation test: every case passed"
