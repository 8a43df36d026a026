#!/usr/bin/env bash
# Builds Tarvik's Debian package: installs what is missing, builds a Release tree of its own
# (build-package/, with Debian's hardening flags) and runs cpack there. Prints the package's path.
#   TARVIK_PACKAGE_DIR=dir scripts/package.sh     another tree (default: build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TARVIK_PACKAGE_DIR:-build-package}

scripts/setup.sh --packages-only

# The flags a Debian build uses, so the binaries pass the same hardening checks. Only the first
# configuration of a tree takes them in, as it does the options below. Warnings are not errors
# here: the hardening flags add some (an ignored fchown result) that the test builds never see.
if [ ! -f "$build/build.ninja" ]; then
  eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
  export CXXFLAGS="$CXXFLAGS $CPPFLAGS"
fi
scripts/setup.sh "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  -DTARVIK_PACKAGE_CHECK=ON -DTARVIK_WERROR=OFF

rm -f "$build"/tarvik_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/tarvik_*.deb
