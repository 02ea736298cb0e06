#!/usr/bin/env bash
# Installs what building and running Horalux needs on Debian 12; with --test, also what the test
# suite needs; with --windows, only what building horalux.exe needs. Quick and silent when
# everything is there already.
set -euo pipefail

run_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

packages=(
  build-essential cmake ninja-build pkg-config ca-certificates
  libcurl4-openssl-dev libsystemd-dev
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
  locales tzdata iproute2 util-linux libcap2-bin
)
# horalux.exe: MinGW-w64, the icon rendered from the SVG, and the zip (scripts/build-windows.sh).
windows_packages=(
  build-essential cmake ninja-build g++-mingw-w64-x86-64-posix librsvg2-bin icoutils zip
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
test_locales=(en_US.UTF-8 en_GB.UTF-8 de_DE.UTF-8 zh_CN.UTF-8 ja_JP.UTF-8)

case "${1:-}" in
  --test) wanted=("${packages[@]}" "${test_packages[@]}") ;;
  --windows) wanted=("${windows_packages[@]}") ;;
  *) wanted=("${packages[@]}") ;;
esac

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$package")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  run_as_root apt-get update -q
  run_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
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
