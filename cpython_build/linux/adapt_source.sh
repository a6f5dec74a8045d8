#!/usr/bin/env bash
# The release's setup.py reads OpenSSL's version from a line "#define OPENSSL_VERSION_NUMBER
# 0x...", which OpenSSL 3 no longer writes (it builds the number from OPENSSL_VERSION_MAJOR and
# others): it reads 0 and leaves _hashlib out as "too old". Here it also takes the major
# version, on the unpacked copy; each edit must match exactly as often as expected, so that a
# different source fails here rather than building something else.
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

edit setup.py "^( +)'\^\\\\s\*#\\\\s\*define\\\\s\+OPENSSL_VERSION_NUMBER\\\\s\+\(0x\[0-9a-fA-F\]\+\)' \)$" \
  "\1'^\\\\s*#\\\\s*define\\\\s+OPENSSL_VERSION_(?:NUMBER\\\\s+(0x[0-9a-fA-F]+)|MAJOR\\\\s+([0-9]+))' )" 1
edit setup.py '^( +)openssl_ver = eval\(m\.group\(1\)\)$' \
  '\1openssl_ver = max(openssl_ver, eval(m.group(1)) if m.group(1) else int(m.group(2)) << 28)' 1
