#!/usr/bin/env bash
# The set-up's install gets through a registry as it is on a bad day, against a local archive
# made here (no network): one suite's i386 index is served shorter than its Release says (apt
# then drops that suite), and the security suite's i386 libraries lag their amd64 twins. The
# system's lists then cannot install an i386 program beside the newer amd64 library (the two
# must be of one version); the release suites alone can. apt only simulates.
# Usage: apt_install_test.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
archive="$scratch/archive"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# A Packages stanza: NAME VERSION ARCHITECTURE [DEPENDS]. Only apt's resolver reads these, so
# the package files they name need not exist.
stanza() {
  printf 'Package: %s\nVersion: %s\nArchitecture: %s\nMulti-Arch: same\n' "$1" "$2" "$3"
  printf 'Maintainer: test <test@example.invalid>\nInstalled-Size: 1\n'
  [ -z "${4:-}" ] || printf 'Depends: %s\n' "$4"
  printf 'Filename: pool/%s_%s_%s.deb\nSize: 1\nDescription: test package\n\n' "$1" "$2" "$3"
}

# Writes SUITE's Release (labelled LABEL) over the Packages files already in place.
release() {
  local suite=$1 label=$2 dir="$archive/dists/$1"
  {
    printf 'Origin: Debian\nLabel: %s\nSuite: %s\nCodename: %s\n' "$label" "$suite" "$suite"
    printf 'Date: %s\nArchitectures: amd64 i386\nComponents: main\nSHA256:\n' "$(date -Ru)"
    (cd "$dir" && find main -name Packages | LC_ALL=C sort | while read -r file; do
       printf ' %s %s %s\n' "$(sha256sum "$file" | cut -d' ' -f1)" "$(stat -c %s "$file")" "$file"
     done)
  } >"$dir/Release"
}

for suite in bookworm bookworm-updates bookworm-security; do
  for arch in amd64 i386; do
    mkdir -p "$archive/dists/$suite/main/binary-$arch"
    : >"$archive/dists/$suite/main/binary-$arch/Packages"
  done
done
stanza fwtest-lib 1.0 amd64 >>"$archive/dists/bookworm/main/binary-amd64/Packages"
stanza fwtest-lib 1.0 i386 >>"$archive/dists/bookworm/main/binary-i386/Packages"
stanza fwtest-tool 1.0 i386 fwtest-lib >>"$archive/dists/bookworm/main/binary-i386/Packages"
stanza fwtest-lib 1.1 amd64 >>"$archive/dists/bookworm-security/main/binary-amd64/Packages"
stanza fwtest-other 1.0 i386 >>"$archive/dists/bookworm-updates/main/binary-i386/Packages"
release bookworm Debian
release bookworm-updates Debian
release bookworm-security Debian-Security
# The index is cut short after its Release was written, as a mirror in the middle of a sync.
truncate -s -20 "$archive/dists/bookworm-updates/main/binary-i386/Packages"

# A system of its own: sources, lists, status and cache, with apt simulating every install.
root="$scratch/system"
mkdir -p "$root/state/lists/partial" "$root/cache/archives/partial" "$root/preferences.d"
: >"$root/status"
for suite in bookworm bookworm-updates bookworm-security; do
  echo "deb file:$archive $suite main"
done >"$root/sources.list"
cat >"$root/apt.conf" <<EOF
Dir::State "$root/state";
Dir::State::status "$root/status";
Dir::Cache "$root/cache";
Dir::Etc::sourcelist "$root/sources.list";
Dir::Etc::sourceparts "-";
Dir::Etc::preferencesparts "$root/preferences.d";
APT::Architecture "amd64";
APT::Architectures { "amd64"; "i386"; };
APT::Get::Simulate "true";
Debug::NoLocking "true";
Acquire::Languages "none";
Acquire::AllowInsecureRepositories "true";
APT::Get::AllowUnauthenticated "true";
APT::Sandbox::User "root";
EOF
export APT_CONFIG="$root/apt.conf" FWLAUNCH_CACHE_DIR="$scratch/cache"

# shellcheck source=../../scripts/lib/apt_install.sh
source "$here/../../scripts/lib/apt_install.sh"

# The two architectures' libraries of one version, in spite of both faults.
if output=$(apt_install fwtest-lib fwtest-tool:i386 2>&1); then
  grep -q "Inst fwtest-lib:i386 (1.0" <<<"$output" ||
    fail "the i386 library is not the release's 1.0: $output"
  grep -qE "Inst fwtest-lib(:amd64)? \(1\.0" <<<"$output" ||
    fail "the amd64 library is not the release's 1.0: $output"
else
  fail "the install did not get through: $output"
fi
grep -qE "unexpected size|Hash Sum mismatch" <<<"$output" ||
  fail "the broken index was not met: $output"
grep -q "WARNING: some package lists could not be read" <<<"$output" ||
  fail "the broken index was not reported as a warning: $output"
grep -q "trying again with the release suites alone (bookworm bookworm-updates)" <<<"$output" ||
  fail "the retry does not say what it does: $output"

# A package the registry does not have is a final no, said as such, with no second try.
if output=$(apt_install fwtest-absent 2>&1); then
  fail "a package that does not exist was installed: $output"
fi
grep -q "that is final" <<<"$output" || fail "the final no is not said: $output"
grep -q "trying again" <<<"$output" && fail "a final no was tried again: $output"

# What cannot be installed either way ends with apt's words and what to try.
stanza fwtest-broken 1.0 i386 "fwtest-missing-dependency" \
  >>"$archive/dists/bookworm/main/binary-i386/Packages"
release bookworm Debian
if output=$(apt_install fwtest-broken:i386 2>&1); then
  fail "a package with a missing dependency was installed: $output"
fi
grep -q "apt could not install fwtest-broken:i386 (its words are above)" <<<"$output" ||
  fail "the last failure does not say what to try: $output"

((failures == 0)) || exit 1
echo "apt install test: every case passed"
