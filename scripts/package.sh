#!/usr/bin/env bash
# Builds Tarvik's Debian package: installs what is missing, builds a Release tree of its own
# (build-package/, with Debian's hardening flags) and runs cpack there. Prints the package's path.
#   TARVIK_PACKAGE_DIR=dir scripts/package.sh     another tree (default: build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TARVIK_PACKAGE_DIR:-build-package}

scripts/setup.sh --packages-only

# The flags a Debian build uses, so the binaries pass the same hardening checks. Only the first
# configuration of a tree takes them in, as it does the options below. Warnings are errors here
# as in every other tree; a tree configured before that was so is switched over.
if [ ! -f "$build/build.ninja" ]; then
  eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
  export CXXFLAGS="$CXXFLAGS $CPPFLAGS"
elif grep -q '^TARVIK_WERROR:BOOL=OFF' "$build/CMakeCache.txt" 2>/dev/null; then
  cmake -S . -B "$build" -DTARVIK_WERROR=ON >/dev/null
fi
# The build's progress stays in a log, so the package's path is all that is printed; a failed
# build shows the log.
mkdir -p "$build"
if ! scripts/setup.sh "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  -DTARVIK_PACKAGE_CHECK=ON >"$build/package-build.log" 2>&1; then
  cat "$build/package-build.log" >&2
  exit 1
fi

rm -f "$build"/tarvik_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/tarvik_*.deb
