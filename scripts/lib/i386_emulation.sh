# Whether this machine runs 32-bit x86 Linux programs, and the emulator that runs them where it
# does not. Wine's 32-bit side is such a program; some kernels are built without the 32-bit
# entry points and refuse every one of them with "Exec format error".
# Sourced by the Windows scripts. FWLAUNCH_EMULATE_I386=1 takes the emulated path even where
# the programs run natively, so that both paths can be tried on one machine.

# shellcheck source=debian_registry.sh
source "$(dirname "${BASH_SOURCE[0]}")/debian_registry.sh"

# qemu-user from bookworm-backports: its qemu-i386 is static and 8.1 or later (Debian 12's own
# 7.2 crashes inside Wine).
I386_QEMU_SUITE=bookworm-backports
I386_QEMU_VERSION='1:10.0.2+ds-2+deb13u1~bpo12+1'
I386_QEMU_SHA256=10a2dec99f2b2d0b1097ff0375aea35b89322d6631fc96700511b02e05bf6fef
I386_QEMU_SERIES='1:10.0.'

# Any i386 program of the system's: the dynamic loader, which Wine's i386 side depends on.
I386_PROBE=/lib/ld-linux.so.2

# Sets I386_EMULATE (yes or no) and I386_REASON, a clause saying why.
i386_decide() {
  local error
  if [ "${FWLAUNCH_EMULATE_I386:-0}" = 1 ]; then
    I386_EMULATE=yes
    I386_REASON="FWLAUNCH_EMULATE_I386=1 asks for emulation"
  elif [ ! -e "$I386_PROBE" ]; then
    I386_EMULATE=no
    I386_REASON="$I386_PROBE is missing: the i386 C library is not installed"
  elif error=$("$I386_PROBE" --version 2>&1 >/dev/null); then
    I386_EMULATE=no
    I386_REASON="this kernel runs i386 programs"
  else
    I386_EMULATE=yes
    I386_REASON="this kernel does not run i386 programs (${error##*: })"
  fi
}

# Prints the path of a qemu-i386 that serves, fetching it into the cache the first time.
i386_emulator() {
  local cache
  cache="$(fwlaunch_cache_dir)/qemu-i386"
  local cached="$cache/${I386_QEMU_SHA256:0:16}/qemu-i386"
  # A replacement taken when the pinned version left the suite serves until the pin moves.
  [ -x "$cached" ] || cached=$(find "$cache" -path '*/replacement-*/qemu-i386' 2>/dev/null |
                               head -n 1)
  if [ ! -x "$cached" ]; then
    local scratch
    scratch=$(mktemp -d)
    local deb
    if ! deb=$(registry_fetch_binary "$I386_QEMU_SUITE" qemu-user "$I386_QEMU_VERSION" \
                 "$I386_QEMU_SHA256" "$scratch" "$I386_QEMU_SERIES"); then
      rm -rf "$scratch"
      return 1
    fi
    local sum
    sum=$(sha256sum "$deb" | cut -c1-16)
    # A replacement is kept under its own checksum, never under the pinned one.
    if [ "$sum" = "${I386_QEMU_SHA256:0:16}" ]; then
      cached="$cache/$sum/qemu-i386"
    else
      cached="$cache/replacement-$sum/qemu-i386"
    fi
    mkdir -p "$(dirname "$cached")"
    # Only the one program of the package's 370 MB. This runs inside the caller's $(...), where
    # bash drops set -e: each step is checked, and nothing is cached unless the program runs.
    if ! dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/bin/qemu-i386 >"$cached.part" ||
       ! chmod 755 "$cached.part" || ! "$cached.part" --version >/dev/null 2>&1; then
      echo "i386 emulation: could not take qemu-i386 out of $deb" >&2
      rm -rf "$scratch" "$cached.part"
      rmdir "$(dirname "$cached")" 2>/dev/null
      return 1
    fi
    mv "$cached.part" "$cached"
    rm -rf "$scratch"
  fi
  echo "$cached"
}
