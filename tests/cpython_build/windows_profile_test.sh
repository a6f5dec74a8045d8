#!/usr/bin/env bash
# The python27.dll the Windows tree ships is the trained one: its build recorded what the
# training ran, and the DLL carries none of the instrumented build's counters, which would
# write count files on a user's machine at every exit.
# Usage: windows_profile_test.sh PYTHON-PREFIX
set -euo pipefail
prefix=$1
fail() { echo "windows_profile_test: $*" >&2; exit 1; }

[ -f "$prefix/.profile" ] || fail "$prefix/.profile is missing: python27.dll was not trained"
record=$(cat "$prefix/.profile")
[[ "$record" == "python27.dll trained on "* ]] ||
  fail "$prefix/.profile does not say what the training ran: $record"
# The instrumented build names each object's count file, ending in .gcda, in the DLL.
if grep -aqF '.gcda' "$prefix/python27.dll"; then
  fail "$prefix/python27.dll is the instrumented build: it names count files"
fi
echo "windows_profile_test: $record"
