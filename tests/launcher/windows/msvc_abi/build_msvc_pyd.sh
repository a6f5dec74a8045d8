#!/usr/bin/env bash
# Builds an extension module as a vendor's is built (msvc_toolchain.sh): MSVC's ABI, msvcr90.dll
# as its only C runtime, python27.dll reached through an import library made from the DLL's
# own exports.
# Usage: build_msvc_pyd.sh SOURCE CRT-DEF PYTHON-PREFIX OUTPUT
set -euo pipefail
source=$1 crt_def=$2 prefix=$3 output=$4
# shellcheck source=msvc_toolchain.sh
source "$(dirname "$0")/msvc_toolchain.sh"

clang=$(msvc_tool clang-14 clang)
lld_link=$(msvc_tool lld-link-14 lld-link)
dlltool=$(msvc_tool llvm-dlltool-14 llvm-dlltool)
readobj=$(msvc_tool llvm-readobj-14 llvm-readobj)
mapfile -t options < <(msvc_c_options "$prefix")
((${#options[@]})) || exit 1

mkdir -p "$(dirname "$output")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
  echo "LIBRARY python27.dll"
  echo "EXPORTS"
  "$readobj" --coff-exports "$prefix/python27.dll" | sed -n 's/^ *Name: //p'
} >"$work/python27.def"
"$dlltool" -m i386 -d "$work/python27.def" -l "$work/python27.lib"
"$dlltool" -m i386 -d "$crt_def" -l "$work/msvcr90.lib"

# The release's pymath.h declares round() again, without the import attribute that Wine's
# newer math.h gives it: harmless, as the module never calls it. A type object is initialised
# in part, as C89 extensions write it.
"$clang" "${options[@]}" -O2 -Wall -Wextra -Werror -Wno-inconsistent-dllimport \
  -Wno-missing-field-initializers -c "$source" -o "$work/module.obj"
# No default library: the module takes msvcr90.dll and python27.dll, and nothing else.
"$lld_link" /nologo /dll /machine:x86 /nodefaultlib /entry:DllMain "/out:$output" \
  "/implib:$work/module.lib" "$work/module.obj" "$work/python27.lib" "$work/msvcr90.lib"
