# Installs Debian packages through a registry that is not always consistent. An index served
# at the wrong size ("Mirror sync in progress?") fails apt-get update while every package may
# still be installable, so that is a warning and the install decides. When the install fails
# (typically i386 libraries that exist only in the release, beside amd64 twins the security
# suite made newer), it is tried once more from a private sources list on the same archive
# with the release suites alone, for every architecture, whose versions agree.
# Sourced by setup.sh. APT_CONFIG, as for apt itself, may point it at another set-up.

# shellcheck source=debian_registry.sh
source "$(dirname "${BASH_SOURCE[0]}")/debian_registry.sh"

# Usage: apt_install PACKAGE...
apt_install() {
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  # Another package manager at work (an unattended upgrade) holds the lock for a while: wait
  # for it rather than fail at once. A download that timed out is tried again.
  local apt=("${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 -o Acquire::Retries=3)
  echo "setup: (should another package manager hold the lock, this waits up to 10 minutes)"
  if ! "${apt[@]}" update -qq; then
    echo "setup: WARNING: some package lists could not be read (apt's words above);" \
         "going on, since the packages may be installable all the same" >&2
  fi
  local log status=0
  log=$(mktemp)
  apt_install_with "$log" "${apt[@]}" -- "$@" || status=$?
  if ((status == 0)); then
    rm -f "$log"
    return 0
  fi
  # "No such package" is the registry's final answer: another list will not change it.
  if grep -qE "Unable to locate package|has no installation candidate" "$log"; then
    rm -f "$log"
    echo "setup: the registry has no package of that name (apt's words above); that is final" >&2
    return 1
  fi
  rm -f "$log"
  local lines="" suite uri
  uri=$(debian_archive_uri)
  for suite in $(debian_release_suites); do
    lines+="deb $uri $suite main"$'\n'
  done
  echo "setup: the install failed with the system's package lists; trying again with the" \
       "release suites alone ($(debian_release_suites | paste -sd' ')), whose architectures" \
       "agree" >&2
  local private
  mapfile -t private < <(registry_apt_options release-suites "$lines")
  if ! "${apt[@]}" "${private[@]}" update -qq; then
    echo "setup: WARNING: the release suites' lists could not all be read either" >&2
  fi
  log=$(mktemp)
  if apt_install_with "$log" "${apt[@]}" "${private[@]}" -- "$@"; then
    rm -f "$log"
    return 0
  fi
  rm -f "$log"
  echo "setup: apt could not install $* (its words are above). The registry may be in the" \
       "middle of a sync: try again in an hour, or install the packages by hand with" \
       "'apt-get install $*'." >&2
  return 1
}

# Runs an apt-get install, its output shown and kept in LOG too.
# Usage: apt_install_with LOG APT-GET-AND-OPTIONS... -- PACKAGE...
apt_install_with() {
  local log=$1
  shift
  local command=()
  while [ "$1" != -- ]; do
    command+=("$1")
    shift
  done
  shift
  DEBIAN_FRONTEND=noninteractive "${command[@]}" install -y -qq --no-install-recommends "$@" \
    2>&1 | tee "$log"
}
