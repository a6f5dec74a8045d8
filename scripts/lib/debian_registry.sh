# Fetches pinned files from Debian's package registry without touching the system's apt set-up:
# a sources list, package lists and a package cache of our own, on the same archive the
# system's Debian sources name. Every file is checked against its pinned checksum and kept in
# the cache folder, keyed by that checksum, so that a later build fetches nothing.
# Sourced by the build scripts; every function prints its errors and returns non-zero.

# The cache outside any clone: a fresh clone, and CI on one, finds what earlier builds fetched.
fwlaunch_cache_dir() {
  echo "${FWLAUNCH_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/fwlaunch}"
}

# The archive the system's own Debian sources use (a mirror, a proxy), else Debian's own.
debian_archive_uri() {
  local uri
  uri=$(apt-get indextargets --format '$(REPO_URI)|$(ORIGIN)|$(LABEL)' 'Created-By: Packages' \
        2>/dev/null | awk -F'|' '$2 == "Debian" && $3 == "Debian" { print $1; exit }')
  if [ -z "$uri" ]; then
    uri=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
              /etc/apt/sources.list.d/*.sources 2>/dev/null |
          grep -oE '(https?|file)://[^ ]*/debian/?( |$)' | head -n 1 | tr -d ' ')
  fi
  echo "${uri:-http://deb.debian.org/debian/}"
}

# Prints, one a line, the options that point apt at a private set-up named NAME whose sources
# list holds LINES (one or more source lines), with lists and package cache of its own; a
# download that timed out is tried again.
# Usage: mapfile -t options < <(registry_apt_options NAME LINES)
registry_apt_options() {
  local name=$1 lines=$2
  local root
  root="$(fwlaunch_cache_dir)/apt/$name"
  mkdir -p "$root/lists/partial" "$root/cache/archives/partial"
  echo "$lines" >"$root/sources.list"
  printf '%s\n' -q -o "Dir::Etc::sourcelist=$root/sources.list" -o Dir::Etc::sourceparts=- \
    -o "Dir::State::Lists=$root/lists" -o "Dir::Cache=$root/cache" -o APT::Get::List-Cleanup=0 \
    -o Acquire::Retries=3
  # apt drops to its own user to download, which cannot write into a root-owned cache.
  [ "$(id -u)" -ne 0 ] || printf '%s\n' -o APT::Sandbox::User=root
}

# Runs TOOL (apt-get or apt-cache) against the private set-up NAME whose sources list holds
# LINE.
# Usage: registry_apt TOOL NAME LINE ARGUMENTS...
registry_apt() {
  local tool=$1 name=$2 line=$3
  shift 3
  local options
  mapfile -t options < <(registry_apt_options "$name" "$line")
  "$tool" "${options[@]}" "$@"
}

# The suites the system takes from its Debian archive that are releases and their updates, not
# the security suite (whose indexes may lag or break apart from the release's), whether or not
# their lists could be read this time.
# Usage: debian_release_suites   (one a line)
debian_release_suites() {
  local uri suites
  uri=$(debian_archive_uri)
  suites=$(apt-get indextargets --no-release-info --format '$(REPO_URI)|$(RELEASE)' \
             'Created-By: Packages' 2>/dev/null |
           awk -F'|' -v uri="$uri" '$1 == uri && $2 !~ /-security$/ { print $2 }' | sort -u)
  if [ -z "$suites" ]; then
    local codename
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    suites=$(printf '%s\n' "$codename" "$codename-updates")
  fi
  echo "$suites"
}

# Checks FILE against SHA256; says which file and both sums when they differ.
registry_check_sum() {
  local file=$1 expected=$2 actual
  actual=$(sha256sum "$file" | cut -d' ' -f1)
  if [ "$actual" != "$expected" ]; then
    echo "registry: $file has sha256 $actual, expected $expected" >&2
    return 1
  fi
}

# Downloads the binary package PACKAGE at VERSION from SUITE into FOLDER and checks it against
# SHA256; prints the package file's path. A suite such as backports replaces a version when it
# takes a fix: when VERSION is gone and SERIES is given, the suite's candidate of the same
# series is taken instead, checked by apt against the suite's signed index, and said loudly.
# Usage: registry_fetch_binary SUITE PACKAGE VERSION SHA256 FOLDER [SERIES]
registry_fetch_binary() {
  local suite=$1 package=$2 version=$3 sha=$4 folder=$5 series=${6:-}
  local line
  line="deb $(debian_archive_uri) $suite main"
  mkdir -p "$folder"
  echo "registry: fetching $package $version from $suite" >&2
  # One index served broken need not hide the package: the download decides.
  registry_apt apt-get "$suite" "$line" update >&2 ||
    echo "registry: WARNING: some package lists of $suite could not be read ($line)" >&2
  if ! (cd "$folder" && registry_apt apt-get "$suite" "$line" download "$package=$version" >&2); then
    local candidate
    candidate=$(registry_apt apt-cache "$suite" "$line" policy "$package" 2>/dev/null |
                sed -n 's/^ *Candidate: //p')
    if [ -z "$series" ] || [ "${candidate#"$series"}" = "$candidate" ]; then
      echo "registry: $suite has no $package $version (its candidate: ${candidate:-none});" \
           "update the pinned version and checksum in the script that asked" >&2
      return 1
    fi
    echo "registry: WARNING: $suite no longer has $package $version; taking its $candidate," \
         "checked against the suite's signed index only" >&2
    (cd "$folder" && registry_apt apt-get "$suite" "$line" download "$package=$candidate" >&2) || return 1
    sha=
  fi
  local file
  file=$(find "$folder" -maxdepth 1 -name "${package}_*.deb" | head -n 1)
  [ -z "$sha" ] || registry_check_sum "$file" "$sha" || return 1
  echo "$file"
}

# Downloads the upstream tarball of the source package PACKAGE from SUITE into FOLDER and
# checks it against SHA256; prints its path. Debian's own changes are fetched beside it but
# never applied. PACKAGE=VERSION names a version, and keeps apt from taking the name for that
# of an installed binary package of another version.
# Usage: registry_fetch_orig SUITE PACKAGE[=VERSION] ORIG-FILE SHA256 FOLDER
registry_fetch_orig() {
  local suite=$1 package=$2 orig=$3 sha=$4 folder=$5
  local line
  line="deb-src $(debian_archive_uri) $suite main"
  mkdir -p "$folder"
  echo "registry: fetching the source of $package from $suite" >&2
  registry_apt apt-get "$suite-src" "$line" update >&2 ||
    echo "registry: WARNING: some source lists of $suite could not be read ($line)" >&2
  (cd "$folder" && registry_apt apt-get "$suite-src" "$line" source --download-only "$package" \
     >&2) || {
    echo "registry: $suite has no source package $package" >&2
    return 1
  }
  [ -f "$folder/$orig" ] || {
    echo "registry: the source of $package in $suite has no $orig" >&2
    return 1
  }
  registry_check_sum "$folder/$orig" "$sha" || return 1
  echo "$folder/$orig"
}
