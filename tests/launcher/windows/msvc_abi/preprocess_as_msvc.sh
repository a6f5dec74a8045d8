#!/usr/bin/env bash
# Prints every header of PYTHON-PREFIX's include folder as an extension module built by the
# release's compiler sees it (msvc_toolchain.sh), preprocessed, with line markers.
# Usage: preprocess_as_msvc.sh PYTHON-PREFIX
set -euo pipefail
prefix=$1
# shellcheck source=msvc_toolchain.sh
source "$(dirname "$0")/msvc_toolchain.sh"

clang=$(msvc_tool clang-14 clang)
mapfile -t options < <(msvc_c_options "$prefix")
((${#options[@]})) || exit 1
{
  echo "#include <Python.h>"
  for header in "$prefix"/include/*.h; do
    case ${header##*/} in
      # Curses and the Mac's toolbox: neither exists on Windows.
      py_curses.h | pymactoolbox.h) ;;
      *) echo "#include <${header##*/}>" ;;
    esac
  done
} | "$clang" "${options[@]}" -E -x c -
