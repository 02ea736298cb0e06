#!/usr/bin/env bash
# Builds the Debian package from the release configuration, has lintian check it, installs it on this
# machine with apt-get, checks that its files land where the desktop entry says, that its manual pages
# render and that the installed program's libraries resolve, starts the installed program under a
# virtual display inside the sandbox until its window shows, and removes the package again. Safe to
# run repeatedly.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --on-display ]; then
  # Run by this script under Xvfb in the sandbox: start the program, see its start-up box and then its
  # window, and end it.
  "$2" &
  pid=$!
  box=$(timeout 60 xdotool search --sync --onlyvisible --name '^Horalux$' | head -1 || true)
  if [ -z "$box" ]; then
    echo "no start-up box titled Horalux appeared"
    kill "$pid" 2>/dev/null || true
    exit 1
  fi
  xdotool windowfocus --sync "$box" key Escape
  window=$(timeout 60 xdotool search --sync --onlyvisible --name '^设置时间$' | head -1 || true)
  [ -z "$window" ] || xwininfo -id "$window" | grep -E 'xwininfo:|Width:|Height:'
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  [ -n "$window" ] || { echo "the window 设置时间 did not appear"; exit 1; }
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  # Installing a package and the sandbox both need root.
  exec sudo bash "$0" "$@"
fi

jobs=${JOBS:-$(nproc)}
build=$PWD/build/release
built_program=$build/ui/qt/horalux
package=horalux
failures=0

pass() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
check() {  # check <message> <command...>
  local message=$1; shift
  if "$@"; then pass "$message"; else fail "$message"; fi
}
installed() { dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; }
# Purged, so that the conffile /etc/default/horalux goes too.
remove_package() {
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -qE ' (installed|config-files)$'; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q "$package" >/dev/null
  fi
}

echo "== Release build and .deb =="
cmake --preset release -DHORALUX_BUILD_TESTS=OFF >/dev/null
cmake --build --preset release -j "$jobs"
have_program=yes
if [ ! -x "$built_program" ]; then
  have_program=no
  echo "NOTE: no horalux program is built yet: the package holds only the desktop files, and the"
  echo "      checks of the program (Exec, ldd, start under Xvfb) are skipped."
fi
rm -f "$build"/${package}_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/${package}_*.deb)
echo "$deb"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
check "package version $(dpkg-deb -f "$deb" Version) is $version" \
  test "$(dpkg-deb -f "$deb" Version)" = "$version"
depends=$(dpkg-deb -f "$deb" Depends)
needed=(qt6-qpa-plugins fonts-noto-cjk qt6-translations-l10n)
# The libraries are found by dpkg-shlibdeps in the program.
[ "$have_program" = no ] || needed+=(libqt6widgets6 libcurl4 libsystemd0)
for name in "${needed[@]}"; do
  check "Depends names $name" grep -qE "(^|, )$name( |,|$)" <<<"$depends"
done

echo "== lintian =="
# The default profile, as a Debian user would run it: informational and pedantic tags may stay,
# errors and warnings may not. A failure of lintian itself fails the check too. Run as root,
# lintian says so first; that line is no finding.
lintian_status=0
findings=$(lintian --fail-on error,warning "$deb" 2>&1) || lintian_status=$?
findings=$(grep -vx 'running with root privileges is not recommended!' <<<"$findings" || true)
if grep -qE '^[EW]: ' <<<"$findings" || [ "$lintian_status" -ne 0 ]; then
  fail "lintian reports no errors or warnings (exit status $lintian_status)"
  echo "$findings"
else
  pass "lintian reports no errors or warnings"
fi

echo "== Install =="
remove_package  # left over from an interrupted run
trap remove_package EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends -t bookworm "$deb" >/dev/null
check "package is installed" installed
files=$(dpkg -L "$package")
owned() { grep -qx "$1" <<<"$files"; }

desktop=$(grep -E '^/usr/share/applications/[^/]+\.desktop$' <<<"$files" | head -1 || true)
check "desktop entry installed (${desktop:-none})" test -n "$desktop"
if command -v desktop-file-validate >/dev/null; then
  check "desktop-file-validate accepts it" desktop-file-validate "$desktop"
else
  echo "skip desktop-file-validate (desktop-file-utils is not installed)"
fi
desktop_id=$(basename "$desktop")

icon_name=$(sed -n 's/^Icon=//p' "$desktop" | head -1)
icon=$(grep -E "^/usr/share/icons/hicolor/[^/]+/apps/${icon_name}\.(svg|png)$" <<<"$files" | head -1 || true)
check "Icon=$icon_name resolves to ${icon:-nothing} in the package" test -n "$icon" -a -f "$icon"

metainfo=$(grep -E '^/usr/share/metainfo/[^/]+\.xml$' <<<"$files" | head -1 || true)
check "metainfo installed (${metainfo:-none})" test -n "$metainfo"
check "appstreamcli validate --no-net passes" appstreamcli validate --no-net "$metainfo"
check "metainfo launches $desktop_id" grep -q "<launchable type=\"desktop-id\">$desktop_id</launchable>" "$metainfo"
check "metainfo has a release $version" grep -q "<release version=\"$version\"" "$metainfo"

echo "== Manual pages =="
# man-db picks the page by the regional settings; each must render at the width lintian uses
# without a word from groff.
for entry in C.UTF-8:/usr/share/man/man1/horalux.1.gz zh_CN.UTF-8:/usr/share/man/zh_CN/man1/horalux.1.gz; do
  locale=${entry%%:*} page=${entry#*:}
  check "$page is a file of the package" owned "$page"
  found=$(LC_ALL=$locale LANGUAGE= man -w horalux 2>&1 || true)
  check "man horalux in $locale finds $page (${found:-nothing})" test "$found" = "$page"
  rendered=$(LC_ALL=$locale LANGUAGE= MANWIDTH=80 man horalux 2>/dev/null || true)
  check "man horalux in $locale renders, with the version $version" \
    grep -q "Horalux $version" <<<"$rendered"
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || true)
  check "groff has no warnings for $page" test -z "$warnings"
  [ -z "$warnings" ] || echo "$warnings"
done

echo "== Scheduled correction =="
units=(/lib/systemd/system/horalux-sync.service /lib/systemd/system/horalux-sync.timer)
for unit in "${units[@]}"; do
  check "$unit is a file of the package" owned "$unit"
done
# verify loads each unit as systemd would, with its ExecStart= program looked up; any word from it
# is a finding.
verified=$(SYSTEMD_LOG_LEVEL=notice systemd-analyze verify "${units[@]}" 2>&1) && verify_status=0 ||
  verify_status=$?
check "systemd-analyze verify accepts both units (exit status $verify_status)" \
  test "$verify_status" -eq 0 -a -z "$verified"
[ -z "$verified" ] || echo "$verified"
check "/etc/default/horalux is a conffile" \
  grep -qx /etc/default/horalux <(dpkg-query -W -f='${Conffiles}' "$package" | awk '{print $1}')
check "/etc/default/horalux names no site until --schedule writes one" \
  bash -c '! grep -q "^HORALUX_URLS=" /etc/default/horalux && grep -q "^#HORALUX_URLS=" /etc/default/horalux'
check "installing enabled nothing" \
  bash -c '! ls /etc/systemd/system/*.wants/horalux-sync.* >/dev/null 2>&1'

if [ "$have_program" = yes ]; then
  exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop" | head -1)
  program=$(command -v "$exec_name" || true)
  check "Exec=$exec_name resolves to ${program:-nothing}, a file of the package" owned "$program"
  missing=$(ldd "$program" | grep 'not found' || true)
  check "ldd resolves every library of $program" test -z "$missing"
  [ -z "$missing" ] || echo "$missing"

  echo "== Start of the installed program under Xvfb, in the sandbox =="
  # The program can never set the clock here: the sandbox has no network, so no web time, and no
  # CAP_SYS_TIME; the system bus is out of reach, so no clock service either; and nothing presses the
  # set-clock button. The start-up request fails, the error is reported in a box titled "Horalux",
  # and Escape (the box's only button; the window ignores it) lets the window "设置时间" appear.
  if unshare --mount -- sh -c '[ ! -d /run/dbus ] || mount -t tmpfs tmpfs /run/dbus; exec "$@"' hide-bus \
      bash scripts/sandbox.sh env DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent \
      timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/check-package.sh --on-display "$program"; then
    pass "the installed program starts and shows its window"
  else
    fail "the installed program starts and shows its window"
  fi
else
  echo "skip Exec, ldd and start checks: no horalux program is built yet"
fi

echo "== Remove =="
remove_package
trap - EXIT
check "package is removed again" bash -c "! dpkg-query -W -f='\${Status}' $package 2>/dev/null | grep -q 'ok installed'"
check "/etc/default/horalux went with it" test ! -e /etc/default/horalux

if [ "$failures" -ne 0 ]; then
  echo "$failures package check(s) failed"
  exit 1
fi
echo "All package checks passed."
