#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and runs
# every test headless: no test sees the desktop's display, bus or the user's own files. Then it
# builds the Debian package in its own Release tree and checks it (docs/packaging.md).
set -euo pipefail
cd "$(dirname "$0")/.."
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS

scripts/setup.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTARVIK_SANITIZE=ON
CC=clang-14 CXX=clang++-14 scripts/setup.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_FUZZ=ON

status=0
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" || status=1
ctest --test-dir build-fuzz --output-on-failure || status=1
scripts/package.sh >/dev/null
ctest --test-dir build-package --output-on-failure || status=1
exit $status
