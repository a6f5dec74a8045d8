#!/usr/bin/env bash
# Checks that an interpreter library calls its own functions directly: built without
# -fno-semantic-interposition (or without the profile and link-time optimisation that come with
# it), each call from one of its functions to another exported one goes through its PLT (812 of
# its exported functions in the plain build), which costs every script time. A handful may
# remain where the optimiser keeps an out-of-line call. The build checks its result with it
# before caching, and a test checks the library a build tree uses.
# Usage: direct_calls.sh LIBPYTHON
set -euo pipefail
library=$1
exported=$(nm -D --defined-only "$library" | awk '$2 == "T" { print $3 }' | sort -u)
through_plt=$(readelf -rW "$library" | awk '/JUMP_SLOT/ { sub(/@.*/, "", $5); print $5 }' |
              sort -u | comm -12 - <(echo "$exported"))
count=$(grep -c . <<<"$through_plt" || true)
total=$(grep -c . <<<"$exported")
echo "$library: $count of its $total exported functions called through its PLT"
if ((count > 16)); then
  echo "direct calls: too many; the first of them:" >&2
  head -n 20 <<<"$through_plt" >&2
  exit 1
fi
