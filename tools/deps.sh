# Sourced by the project's commands: installs the Debian packages a step
# lacks when run as root, or says which to install otherwise.
#   ensure_packages PACKAGE...

# A mirror caught in the middle of a sync serves indexes that do not match
# its signed release file, and apt-get update then fails. It is asked a few
# times; after that the lists that did arrive (and the older ones apt keeps)
# are used. APT_FAILED_INDEXES names the indexes that still failed, "" when
# none did.
APT_FAILED_INDEXES=""
APT_UPDATE_TRIES=3
APT_UPDATE_PAUSE=10
refresh_package_lists() {
  local log try
  log=$(mktemp)
  for ((try = 1; try <= APT_UPDATE_TRIES; try++)); do
    if apt-get update -qq >/dev/null 2>"$log"; then
      APT_FAILED_INDEXES=""
      rm -f "$log"
      return 0
    fi
    [ "$try" -eq "$APT_UPDATE_TRIES" ] || sleep "$APT_UPDATE_PAUSE"
  done
  APT_FAILED_INDEXES=$(apt_failed_indexes <"$log")
  rm -f "$log"
  echo "apt-get update failed $APT_UPDATE_TRIES times ($APT_FAILED_INDEXES); going on with the lists that arrived" >&2
}

# Reads apt-get update's errors; prints each failed index as "suite/path
# (apt's reason)" on one line, or apt's first error when none is named.
apt_failed_indexes() {
  local errors indexes
  errors=$(cat)
  indexes=$(sed -n 's/^[EW]: Failed to fetch [^ ]*\/dists\/\([^ ]*\)  *\(.*\)$/\1 (\2)/p' <<<"$errors" |
            sed 's/ \[IP: [^]]*\])$/)/' | paste -sd ';' - | sed 's/;/; /g')
  [ -n "$indexes" ] || indexes=$(grep -m1 '^E: ' <<<"$errors" || echo "no reason given")
  echo "$indexes"
}

# apt_install PACKAGE...: installs them from the lists at hand. When apt
# refuses, APT_NOT_INSTALLABLE lists the packages it found not installable
# (the others it then gave up are only their consequence), and APT_REFUSAL
# says why in one line: those packages, or apt's first error.
APT_NOT_INSTALLABLE=""
APT_REFUSAL=""
apt_install() {
  local log
  log=$(mktemp)
  if DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
       -o DPkg::Lock::Timeout=120 "$@" >"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  APT_NOT_INSTALLABLE=$(sed -n 's/.*Depends: \([^ ]*\).* but it is not installable$/\1/p' "$log" |
                        sort -u | paste -sd ' ' -)
  if [ -n "$APT_NOT_INSTALLABLE" ]; then
    APT_REFUSAL="not installable: $APT_NOT_INSTALLABLE"
  else
    APT_REFUSAL=$(grep -m1 '^E: ' "$log" || tail -1 "$log")
  fi
  rm -f "$log"
  return 1
}

# The mirror of the system's own Debian sources (deb822 or one-line form).
debian_mirror() {
  local uri
  uri=$(awk '/^URIs:/ && /debian\/?$/ { print $2; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
  [ -n "$uri" ] || uri=$(awk '$1 == "deb" && $3 ~ /^bookworm(-updates)?$/ { print $2; exit }' \
                           /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true)
  echo "$uri"
}

ensure_packages() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing Debian packages: ${missing[*]} (run as root to install them)" >&2
    return 1
  fi
  echo "installing: ${missing[*]}"
  refresh_package_lists
  apt_install "${missing[@]}" && return 0
  echo "stopped: the Debian packages ${missing[*]} cannot be installed ($APT_REFUSAL${APT_FAILED_INDEXES:+; failed index: $APT_FAILED_INDEXES})" >&2
  return 1
}

# What the host build of the kit checker (tools/check_kit.sh) needs.
CHECK_PACKAGES=(cmake make g++ libssl-dev)
BUILD_PACKAGES=(cmake make g++ g++-mingw-w64-i686-posix binutils-mingw-w64-i686 osslsigncode openssl)
TEST_PACKAGES=("${BUILD_PACKAGES[@]}" libgtest-dev g++-mingw-w64-x86-64-posix
               binutils-mingw-w64-x86-64 wine wine64 icoutils file openssl git libssl-dev)
