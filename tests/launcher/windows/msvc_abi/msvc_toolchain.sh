# shellcheck shell=bash
# The toolchain that builds for Windows as the release's own compiler did: clang for MSVC's ABI
# at that compiler's version (15.00), against msvcr90.dll. The C runtime's headers are Wine's,
# written for MSVC's ABI: taken from Debian's libwine-dev (the package alone, not installed)
# and cached by its checksum. Sourced by the scripts beside it.
# shellcheck source=../../../../scripts/lib/debian_registry.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../../../scripts/lib/debian_registry.sh"

readonly MSVC_HEADERS_SUITE=bookworm
readonly MSVC_HEADERS_VERSION=8.0~repack-4
readonly MSVC_HEADERS_SHA256=7f9616b192c9c31894b5cd267704c9e4ca7688847d87d22492fd764287f695d5

# Prints the first of NAMES on PATH.
msvc_tool() {
  local name
  for name; do
    command -v "$name" && return
  done
  echo "msvc toolchain: none of $* found (scripts/setup.sh windows installs them)" >&2
  return 1
}

# Prints the folder holding msvcrt/ and windows/, fetching them the first time. Wine's headers
# give 32-bit x86 the 32-bit time_t of msvcrt.dll; Visual C++ 2005 and later, and so the
# release's compiler, make it 64 bits wide unless _USE_32BIT_TIME_T is asked for: the one line
# that decides is changed to say so.
msvc_crt_headers() {
  local cached
  cached="$(fwlaunch_cache_dir)/msvc-crt-headers/${MSVC_HEADERS_SHA256:0:16}-time64"
  if [ ! -f "$cached/msvcrt/stdio.h" ]; then
    local scratch deb
    scratch=$(mktemp -d)
    # Inside the caller's $(...), where set -e is off: each step is checked.
    if ! deb=$(registry_fetch_binary "$MSVC_HEADERS_SUITE" libwine-dev "$MSVC_HEADERS_VERSION" \
                 "$MSVC_HEADERS_SHA256" "$scratch") ||
       ! mkdir -p "$scratch/tree" ||
       ! dpkg-deb --fsys-tarfile "$deb" |
         tar -x -C "$scratch/tree" ./usr/include/wine/wine/msvcrt ./usr/include/wine/wine/windows
    then
      echo "msvc toolchain: could not take the C runtime's headers out of libwine-dev" >&2
      rm -rf "$scratch"
      return 1
    fi
    local decides="$scratch/tree/usr/include/wine/wine/msvcrt/corecrt.h"
    if [ "$(grep -c '^#elif !defined(_WIN64)$' "$decides")" != 1 ]; then
      echo "msvc toolchain: $decides no longer decides time_t's width as expected" >&2
      rm -rf "$scratch"
      return 1
    fi
    sed -i 's|^#elif !defined(_WIN64)$|#elif 0 /* a 64-bit time_t, as Visual C++ 2005 has it */|' \
      "$decides"
    mkdir -p "$(dirname "$cached")"
    rm -rf "$cached"
    mv "$scratch/tree/usr/include/wine/wine" "$cached"
    rm -rf "$scratch"
  fi
  echo "$cached"
}

# Prints, one a line, the options that compile C for the release's compiler and runtime with
# PREFIX's headers. The headers declare msvcr90's own functions, as that compiler's did, not a
# later runtime's inline ones.
msvc_c_options() {
  local prefix=$1 headers
  headers=$(msvc_crt_headers) || return 1
  printf '%s\n' --target=i686-pc-windows-msvc -fms-compatibility-version=15.00 \
    -D_MSVCR_VER=90 -D_NO_CRT_STDIO_INLINE -isystem "$headers/msvcrt" \
    -isystem "$headers/windows" -isystem "$prefix/include"
}
