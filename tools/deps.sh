# Sourced by the project's commands: installs the Debian packages a step
# lacks when run as root, or says which to install otherwise.
#   ensure_packages PACKAGE...
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
  apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
}

BUILD_PACKAGES=(cmake make g++ g++-mingw-w64-i686-posix binutils-mingw-w64-i686 osslsigncode)
TEST_PACKAGES=("${BUILD_PACKAGES[@]}" libgtest-dev g++-mingw-w64-x86-64-posix
               binutils-mingw-w64-x86-64 wine wine64 icoutils file openssl git)
