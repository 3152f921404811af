#!/usr/bin/env bash
# Installs the Debian packages the tool needs to build and test, when some
# are missing. Sourced by the set-up scripts; safe to run again.
#   ensure_packages pkg...   installs those not yet installed
set -euo pipefail

zart_die() {
  echo "error: $*" >&2
  exit 1
}

ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  command -v apt-get >/dev/null 2>&1 ||
    zart_die "missing packages (${missing[*]}) and no apt-get here: this script expects Debian 12 or newer."
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 ||
      zart_die "missing packages (${missing[*]}); run as root or install sudo."
    sudo=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  if ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    echo "apt-get install failed; refreshing the package lists and trying once more." >&2
    "${sudo[@]}" apt-get update -q ||
      zart_die "apt-get update failed: is the network or the Debian mirror reachable?"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" ||
      zart_die "could not install: ${missing[*]}"
  fi
}

# What every build needs.
ZART_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev
  libgl-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core fonts-urw-base35
  qt6-translations-l10n fonts-liberation)

# What the tests use beside the build: mbpoll, a Modbus master of its own,
# reads the simulator over Modbus TCP; socat plays a transparent gateway.
ZART_TEST_PACKAGES=(mbpoll socat)

# What the Windows cross-build adds: MinGW-w64, Wine to run the tests, the
# host Qt tools (moc, rcc, uic) for the cross-build, Xvfb and xdotool for the
# run against the simulator, Python (its zipfile) for the package.
ZART_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64
  qt6-base-dev-tools xvfb xdotool x11-apps imagemagick zip xz-utils python3)
