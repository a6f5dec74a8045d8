#!/usr/bin/env bash
# Every C and C++ source of the project is as clang-format writes it (.clang-format): a
# change that is not names the file and the line.
# Usage: sources_formatted_test.sh SOURCE_DIR
set -euo pipefail
cd "$1"
if ! command -v clang-format >/dev/null; then
  echo "format test: clang-format is not installed (scripts/setup.sh test installs it)" >&2
  exit 1
fi
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h')
else
  # A tree without git (an unpacked source archive): everything but build folders.
  mapfile -t sources < <(find . -path './build*' -prune -o -type f \
                           \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -print)
fi
clang-format --dry-run -Werror "${sources[@]}"
echo "format test: ${#sources[@]} sources as clang-format writes them"
