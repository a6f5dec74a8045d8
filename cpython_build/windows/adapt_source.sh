#!/usr/bin/env bash
# The release's Windows sources assume Microsoft's compiler; under mingw-w64's gcc three spots
# need a small change, made here on the unpacked copy (each edit must match exactly as often
# as expected, so that a different source fails here rather than building something else).
# Usage: adapt_source.sh SOURCE
set -euo pipefail
source=$1

# Replaces what the sed expression matches in FILE, which must hold COUNT matching lines.
edit() {
  local file=$source/$1 pattern=$2 replacement=$3 count=$4 found
  found=$(grep -c -E -- "$pattern" "$file" || true)
  if [ "$found" != "$count" ]; then
    echo "adapt_source: $1: '$pattern' matched $found lines, expected $count" >&2
    exit 1
  fi
  sed -i -E "s/$pattern/$replacement/" "$file"
}

# posixmodule.c: the C runtime that mingw links is Microsoft's, so the branches written for
# its compiler are the right ones: getcwd, spawnv, execv, <direct.h>, no "extern environ",
# and the module named "nt".
edit Modules/posixmodule.c '^#ifdef _MSC_VER\b' '#if defined(_MSC_VER) || defined(__MINGW32__)' 2
edit Modules/posixmodule.c '^#ifndef _MSC_VER$' '#if !defined(_MSC_VER) \&\& !defined(__MINGW32__)' 1
edit Modules/posixmodule.c '^#elif !defined\(_MSC_VER\) \&\& ' \
  '#elif !defined(_MSC_VER) \&\& !defined(__MINGW32__) \&\& ' 1
edit Modules/posixmodule.c '^#if \(defined\(_MSC_VER\) \|\| defined\(__WATCOMC__\)' \
  '#if (defined(_MSC_VER) || defined(__MINGW32__) || defined(__WATCOMC__)' 1

# dynload_win.c: its own static strcasecmp clashes with the one mingw's <string.h> declares.
sed -i -E 's/\bstrcasecmp\b/dynload_strcasecmp/g' "$source/Python/dynload_win.c"

# callproc.c: libffi 3.1's ffi_call returns nothing, so the stack-delta check written for the
# MSVC libffi cannot apply; and the trick of returning small structures as integers holds for
# MSVC only (libffi handles them itself here).
edit Modules/_ctypes/callproc.c '^        delta =$' '        delta = 0;' 1
edit Modules/_ctypes/callproc.c '^#if defined\(MS_WIN32\) \&\& !defined\(_WIN32_WCE\)$' \
  '#if defined(MS_WIN32) \&\& !defined(_WIN32_WCE) \&\& !defined(__MINGW32__)' 1
