#!/usr/bin/env bash
# Installs what is missing from Debian's packages (once), then configures and builds one tree.
# Usage: scripts/setup.sh BUILD_DIR [cmake options...]
#        scripts/setup.sh --packages-only
# A second run installs nothing and rebuilds only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev
  clang-14 libclang-rt-14-dev clang-format clang-tidy
  xvfb xauth libx11-dev libxi-dev libxtst-dev libfontconfig-dev x11-utils x11-xkb-utils xkb-data xdg-utils
  dbus dbus-x11 socat procps python3 python3-dbus python3-gi python3-pyatspi at-spi2-core fonts-liberation2 openbox
  libgensio-dev libwrap0-dev libssl-dev ser2net openssl python3-serial
  dpkg-dev file lintian desktop-file-utils appstream man-db
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "tarvik: installing ${missing[*]}" >&2
  SUDO=()
  [ "$(id -u)" -eq 0 ] || SUDO=(sudo)
  "${SUDO[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

[ "${1:-}" = --packages-only ] && exit 0
build=${1:-build}
shift || true
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja "$@" >/dev/null
fi
cmake --build "$build" -- -j"$(nproc)"
