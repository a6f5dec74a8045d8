#!/usr/bin/env bash
# The run path of every program or module that loads the interpreter's library (fwpack, the
# interpreter module) must hold no empty entry: the loader reads one as the current folder,
# where anyone could plant a library for it to load.
# Usage: run_path_test.sh PROGRAM...
set -euo pipefail
for program in "$@"; do
  path=$(readelf -d "$program" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p')
  [ -n "$path" ] || { echo "$program: no run path"; continue; }
  case ":$path:" in
    *::*) echo "$program: empty entry in its run path '$path'" >&2; exit 1 ;;
  esac
  echo "$program: run path '$path'"
done
