#!/usr/bin/env bash
# Installs what building and running Horalux needs on Debian 12; with --test, also what the test
# suite needs; with --windows, only what building horalux.exe needs, and Wine's 32-bit part for
# running the 32-bit one (also with --test); with --bench DIR, only the peers a benchmark compares
# against, unpacked into DIR. Quick and silent when everything is there already.
set -euo pipefail

run_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

packages=(
  build-essential cmake ninja-build pkg-config ca-certificates
  libcurl4-openssl-dev libsystemd-dev
  # The desktop's proxy: GLib's resolver, and glib-networking's modules behind it (GNOME's
  # settings, libproxy for the others, the PAC service).
  libglib2.0-dev glib-networking gsettings-desktop-schemas
  qt6-base-dev libgl-dev qt6-translations-l10n fonts-noto-cjk
  # Without a display the program is started on a virtual one.
  xvfb xauth
)
test_packages=(
  libgtest-dev clang clang-format libclang-rt-14-dev llvm python3 valgrind
  libcpp-httplib-dev openssl libssl-dev
  dbus python3-dbusmock
  # scripts/check-polkit-flow.sh: the real polkit, timedated and a text password agent.
  polkitd systemd libglib2.0-bin
  xvfb xauth xdotool imagemagick libxcb1-dev
  # What a screen reader finds of the program's windows: AT-SPI on a session bus of the test's.
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0
  locales tzdata iproute2 util-linux libcap2-bin
  # The proxy tests: a real squid, and a configuration script run as on a desktop.
  squid libproxy1-plugin-webkit
)
# horalux.exe for 64-bit and 32-bit Windows: MinGW-w64, the icon rendered from the SVG, the zips and
# the MSIs (scripts/build-windows.sh).
windows_packages=(
  build-essential cmake ninja-build g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  librsvg2-bin icoutils zip
  # The Windows Installer packages: wixl builds them, msibuild (msitools) mends their texts.
  wixl msitools
)
# The Windows cross build and its tests under Wine, and the checks of the Debian package (lintian,
# and man-db with groff to render its manual pages).
test_packages+=(
  "${windows_packages[@]}" wine64
  # The https cases under Wine: certificates made with cryptography, served beside Wine.
  python3-cryptography
  dpkg-dev file appstream desktop-file-utils xdotool x11-utils
  lintian man-db groff-base
)
# scripts/bench-sync.sh compares against Debian's htpdate, run in query mode only. Its package is
# unpacked, never installed: installing it would start its daemon, which sets this machine's clock
# from public servers.
bench_packages=(htpdate)
test_locales=(en_US.UTF-8 en_GB.UTF-8 de_DE.UTF-8 zh_CN.UTF-8 ja_JP.UTF-8)

case "${1:-}" in
  --test) wanted=("${packages[@]}" "${test_packages[@]}") ;;
  --windows) wanted=("${windows_packages[@]}") ;;
  *) wanted=("${packages[@]}") ;;
esac

# An index that fails to download (a mirror in mid-sync) leaves apt with the lists it had: install
# from those, and let apt-get install say if a package is then missing.
update_lists() {
  run_as_root apt-get update -q ||
    echo "WARNING: apt-get update could not fetch every list; going on with the ones it has" >&2
}
installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'
}

if [ "${1:-}" = --bench ]; then
  directory=${2:?"--bench needs the directory to unpack into"}
  mkdir -p "$directory"
  for package in "${bench_packages[@]}"; do
    if ! ls "$directory/$package"_*.deb >/dev/null 2>&1; then
      (cd "$directory" && apt-get download -q -t bookworm "$package" 2>/dev/null) || {
        update_lists
        (cd "$directory" && apt-get download -q -t bookworm "$package")
      }
    fi
    dpkg-deb -x "$directory/$package"_*.deb "$directory/root"
  done
  exit 0
fi

missing=()
for package in "${wanted[@]}"; do
  installed "$package" || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  update_lists
  run_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    -t bookworm "${missing[@]}"
fi

# The 32-bit horalux.exe is tested under Wine's 32-bit part, Debian's wine32 for i386. The i386
# lists can be out of step with amd64's for a while (a mirror in mid-sync: "File has unexpected
# size", then "generated breaks" for wine32:i386); then everything else goes on without it, and the
# tests show the 32-bit run as skipped. The next run tries again.
if [ "${1:-}" = --windows ] || [ "${1:-}" = --test ]; then
  if ! installed wine32:i386; then
    echo "Installing: wine32:i386"
    dpkg --print-foreign-architectures | grep -qx i386 || run_as_root dpkg --add-architecture i386
    update_lists
    if ! run_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
        --no-install-recommends -t bookworm wine32:i386; then
      echo "WARNING: wine32:i386 could not be installed (Debian's i386 lists out of step with" \
        "amd64's?); the 32-bit horalux.exe's test under Wine will be skipped" >&2
    fi
  fi
fi

# Some kernels start no 32-bit Linux program (a virtual machine's without IA-32 emulation: "Exec
# format error"), and so not Wine's 32-bit loader either. There the loader is run through QEMU's
# user-mode emulator, registered with the kernel for 32-bit x86 programs (binfmt_misc). It is
# Debian 13's: bookworm's QEMU 7.2 takes about 50 s to start each 32-bit Wine program, 10.0 half a
# second. Its package is fetched with a source list and package lists of its own, so that apt's
# own state on this machine is untouched, and only its static emulator is kept.
wine32_loader=/usr/lib/wine/wine
qemu_home=/usr/local/lib/horalux-qemu
run_32_bit_through_qemu() {
  local work list
  if [ ! -x "$qemu_home/qemu-i386" ]; then
    work=$(mktemp -d)
    list="$work/sources.list"
    echo "deb http://deb.debian.org/debian trixie main" >"$list"
    mkdir -p "$work/lists/partial" "$work/archives/partial"
    local private=(-o Dir::Etc::SourceList="$list" -o Dir::Etc::SourceParts=/nonexistent
                   -o Dir::State::Lists="$work/lists" -o Dir::Cache::Archives="$work/archives"
                   -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o APT::Sandbox::User=root)
    echo "Fetching Debian 13's qemu-user for Wine's 32-bit loader"
    # In a condition, errexit does not hold within the function: every step says if it failed.
    run_as_root apt-get -q "${private[@]}" update >/dev/null &&
      (cd "$work" && run_as_root apt-get -q "${private[@]}" download qemu-user >/dev/null 2>&1) &&
      dpkg-deb -x "$work"/qemu-user_*.deb "$work/root" &&
      run_as_root install -D -m 755 "$work/root/usr/bin/qemu-i386" "$qemu_home/qemu-i386"
    local fetched=$?
    run_as_root rm -rf "$work"
    [ "$fetched" -eq 0 ] || return 1
  fi
  local binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || run_as_root mount -t binfmt_misc binfmt_misc "$binfmt" || return 1
  if [ ! -e "$binfmt/horalux-i386" ]; then
    # The ELF header of a 32-bit x86 executable, as Debian's own qemu-i386 entry matches it; F: the
    # emulator is opened now, so that it serves in every namespace and sandbox after.
    printf '%s' ':horalux-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu_home/qemu-i386"':F' |
      run_as_root tee "$binfmt/register" >/dev/null
  fi
}
if { [ "${1:-}" = --windows ] || [ "${1:-}" = --test ]; } && [ -x "$wine32_loader" ] &&
    ! "$wine32_loader" --version >/dev/null 2>&1; then
  if ! run_32_bit_through_qemu || ! "$wine32_loader" --version >/dev/null 2>&1; then
    echo "WARNING: this kernel starts no 32-bit program, and QEMU could not be set up to start" \
      "them; the 32-bit horalux.exe's test under Wine will be skipped" >&2
  fi
fi

if [ "${1:-}" = "--test" ]; then
  # The text-form tests run under several regional settings; generate the ones that are missing.
  available=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
  regenerate=no
  for name in "${test_locales[@]}"; do
    normalized=$(echo "$name" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
    if ! grep -qx "$normalized" <<<"$available"; then
      run_as_root sed -i "s/^# *\\($name UTF-8\\)/\\1/" /etc/locale.gen
      grep -q "^$name UTF-8" /etc/locale.gen || echo "$name UTF-8" | run_as_root tee -a /etc/locale.gen >/dev/null
      regenerate=yes
    fi
  done
  if [ "$regenerate" = yes ]; then
    run_as_root locale-gen
  fi
fi
