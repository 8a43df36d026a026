#!/usr/bin/env bash
# Builds Tarvik and starts it with private hives, so the user's own settings are untouched.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo

state=${TARVIK_RUN_DIR:-$PWD/build/run}
mkdir -p "$state/ports"
export TARVIK_USER_HIVE=${TARVIK_USER_HIVE:-$state/user.reg}
export TARVIK_MACHINE_HIVE=${TARVIK_MACHINE_HIVE:-$state/machine.reg}
export TARVIK_PORTS_DIR=${TARVIK_PORTS_DIR:-$state/ports}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "tarvik: no display; starting Tarvik on a private Xvfb" >&2
  exec xvfb-run -a -s "-screen 0 1280x800x24" build/app/tarvik "$@"
fi
exec build/app/tarvik "$@"
