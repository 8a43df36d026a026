#!/usr/bin/env bash
# Builds the Debian package in a tree configured by scripts/package.sh, unpacks it into a temporary
# root and checks what a user gets: every file, the programs running from there, the desktop and
# AppStream validators, lintian and the manual pages. docs/packaging.md explains each check.
# Usage: check-package.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
src=$(cd "$1" && pwd) && build=$(cd "$2" && pwd) || exit 2
unset DISPLAY WAYLAND_DISPLAY
export DBUS_SESSION_BUS_ADDRESS=disabled: LC_ALL=C.UTF-8

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-package-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Warnings lintian may give; each is explained in docs/packaging.md. Any other warning fails, so a
# new one is looked at rather than piling up.
allowed_warnings=()

# Up to date after scripts/package.sh, so the build step is only a check.
timeout 600 cmake --build "$build" >"$work/build.log" 2>&1 || { tail -30 "$work/build.log"; echo "FAIL: build"; exit 1; }
(cd "$build" && rm -f tarvik_*.deb && timeout 300 cpack -G DEB >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
debs=("$build"/tarvik_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { echo "FAIL: expected one .deb, found: ${debs[*]}"; exit 1; }
deb=${debs[0]}
echo "package: $deb"

root=$work/root
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x"; exit 1; }
expected=(
    usr/bin/tarvik usr/bin/tarvikctl usr/bin/ondrix-sim
    usr/share/tarvik/help/index.html usr/share/tarvik/help/main-window.html
    usr/share/tarvik/help/using-help.html usr/share/tarvik/help/help.css
    usr/share/applications/tarvik.desktop
    usr/share/icons/hicolor/16x16/apps/tarvik.png usr/share/icons/hicolor/32x32/apps/tarvik.png
    usr/share/icons/hicolor/48x48/apps/tarvik.png usr/share/icons/hicolor/scalable/apps/tarvik.svg
    usr/share/man/man1/tarvik.1.gz usr/share/man/man1/tarvikctl.1.gz usr/share/man/man1/ondrix-sim.1.gz
    usr/share/dbus-1/services/Tarvik.TarvikObject.service
    usr/share/dbus-1/interfaces/Tarvik.ClassFactory.xml usr/share/dbus-1/interfaces/Tarvik.ITarvikObject.xml
    usr/share/dbus-1/interfaces/Tarvik.IConnectionPoint.xml
    usr/share/dbus-1/interfaces/Tarvik._ITarvikObjectEvents.xml usr/share/dbus-1/interfaces/Tarvik.Control.xml
    usr/share/dbus-1/interfaces/Tarvik.Monitor.xml
    usr/lib/tmpfiles.d/tarvik.conf
    usr/share/doc/tarvik/copyright usr/share/doc/tarvik/changelog.gz
)
for f in "${expected[@]}"; do [[ -s $root/$f ]] || fail "missing from the package: /$f"; done
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
[[ ${#metainfo[@]} -eq 1 && -s ${metainfo[0]} ]] || fail "expected one AppStream file, found: ${metainfo[*]}"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Version) == 1.1.2.0 ]] || fail "version is $(field Version)"
[[ $(field Depends) == *libqt6widgets6* && $(field Depends) == *libc6* ]] ||
    fail "Depends not computed from the binaries: $(field Depends)"
[[ ", $(field Recommends)," == *", fonts-liberation2,"* ]] || fail "Recommends no face metric-compatible with Arial: $(field Recommends)"
grep -qx 'd /var/lib/tarvik 2775 root dialout -' "$root/usr/lib/tmpfiles.d/tarvik.conf" ||
    fail "tmpfiles entry: $(grep -v '^#' "$root/usr/lib/tmpfiles.d/tarvik.conf")"
grep -qx 'Exec="/usr/bin/tarvik" -Embedding' "$root/usr/share/dbus-1/services/Tarvik.TarvikObject.service" ||
    fail "service file does not start /usr/bin/tarvik -Embedding"

# The programs run from the unpacked tree. A registration run writes what the package installs,
# apart from the executable's own path.
home=$work/home
run() { env HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" timeout 30 "$@"; }
run "$root/usr/bin/tarvik" /RegServer >"$work/reg.out" 2>&1 || fail "tarvik /RegServer: $(cat "$work/reg.out")"
diff -r "$root/usr/share/dbus-1/interfaces" "$home/data/dbus-1/interfaces" >/dev/null ||
    fail "interface files differ from what /RegServer writes"
grep -qx "Exec=\"$root/usr/bin/tarvik\" -Embedding" "$home/data/dbus-1/services/Tarvik.TarvikObject.service" ||
    fail "/RegServer's service file does not name the unpacked executable"
run "$root/usr/bin/tarvikctl" --help >"$work/ctl.out" 2>&1 && grep -q "tarvikctl send" "$work/ctl.out" ||
    fail "tarvikctl --help: $(head -3 "$work/ctl.out")"
run "$root/usr/bin/ondrix-sim" --help >"$work/sim.out" 2>&1 && grep -q "usage: ondrix-sim" "$work/sim.out" ||
    fail "ondrix-sim --help: $(head -3 "$work/sim.out")"

timeout 60 desktop-file-validate "$root/usr/share/applications/tarvik.desktop" || fail "desktop-file-validate"
# validate-tree also matches the AppStream data with the desktop file and the icons.
timeout 60 appstreamcli validate-tree --no-net "$root" >"$work/as.out" 2>&1 ||
    { cat "$work/as.out"; fail "appstreamcli validate-tree"; }

# Rendered as a reader sees it; troff's warnings show only on an unprocessed run (-Z).
for page in tarvik tarvikctl ondrix-sim; do
    file=$root/usr/share/man/man1/$page.1.gz
    MANWIDTH=80 timeout 30 man -l "$file" >"$work/man.out" 2>&1 && grep -q "^NAME" "$work/man.out" ||
        fail "man -l $page.1.gz: $(head -3 "$work/man.out")"
    timeout 30 man -l --warnings=w -E UTF-8 -Tutf8 -Z "$file" 2>"$work/man.err" >/dev/null
    [[ -s $work/man.err ]] && fail "man -l $page.1.gz warns: $(head -3 "$work/man.err")"
done

timeout 300 lintian --tag-display-limit 0 "$deb" >"$work/lintian.out" 2>&1
cat "$work/lintian.out"
grep -q '^E: ' "$work/lintian.out" && fail "lintian reports errors"
while read -r tag; do
    [[ " ${allowed_warnings[*]} " == *" $tag "* ]] || fail "lintian warning not explained in docs/packaging.md: $tag"
done < <(sed -n 's/^W: [^:]*: \([^ ]*\).*/\1/p' "$work/lintian.out" | sort -u)

if ((failures)); then
    echo "$failures package check(s) failed"
    exit 1
fi
echo "package checks passed"
