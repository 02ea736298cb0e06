#!/usr/bin/env bash
# Builds horalux.exe and its console companion horalux.com with MinGW-w64 twice, as release
# builds: for 64-bit Windows (in build/windows-release) and for 32-bit Windows (in
# build/windows-release-x86), which also runs on every 64-bit Windows. Leaves them stripped in
# build/windows/ and build/windows/x86/, each pair zipped with the README beside it:
# build/windows/horalux-<version>-windows-x64.zip and -x86.zip, and a Windows Installer package
# of each beside them (horalux-<version>-windows-x64.msi and -x86.msi, made with msitools' wixl
# from packaging/windows/horalux.wxs). They need nothing but Windows' own DLLs.
#   build-windows.sh [x64|x86]...   only the builds named (both when none is)
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
   ! command -v i686-w64-mingw32-g++-posix >/dev/null || ! command -v rsvg-convert >/dev/null ||
   ! command -v icotool >/dev/null || ! command -v zip >/dev/null || ! command -v wixl >/dev/null ||
   ! command -v msibuild >/dev/null; then
  bash scripts/install-deps.sh --windows
fi

out=build/windows
mkdir -p "$out"
arches=("$@")
[ $# -gt 0 ] || arches=(x64 x86)
for arch in "${arches[@]}"; do
  case "$arch" in
    x64) triple=x86_64-w64-mingw32 toolchain=mingw-w64.cmake build=build/windows-release exe=$out ;;
    x86) triple=i686-w64-mingw32 toolchain=mingw-w64-i686.cmake build=build/windows-release-x86
         exe=$out/x86 ;;
    *) echo "usage: $0 [x64|x86]..." >&2; exit 2 ;;
  esac
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DHORALUX_BUILD_TESTS=OFF -DHORALUX_WERROR=ON >/dev/null
  cmake --build "$build" -j "${JOBS:-$(nproc)}" --target horalux horalux_console

  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  mkdir -p "$exe"
  exe=$exe/horalux.exe
  "$triple-strip" -o "$exe" "$build/ui/win32/horalux.exe"
  console=${exe%.exe}.com
  "$triple-strip" -o "$console" "$build/ui/win32/horalux.com"
  zip_file=$out/horalux-$version-windows-$arch.zip
  rm -f "$zip_file"
  zip -q -j -X "$zip_file" "$exe" "$console" README.md
  echo "$exe ($(stat -c %s "$exe") bytes), $console ($(stat -c %s "$console") bytes)"
  echo "$zip_file"

  # wixl writes no code page and drops every text of the tables that is not ASCII: the database
  # is given China's (936) and the shortcut its name afterwards, with msibuild.
  msi=$out/horalux-$version-windows-$arch.msi
  rm -f "$msi"
  (cd "$(dirname "$exe")" && cp "$OLDPWD/$build/packaging/windows/horalux.ico" horalux.ico &&
    wixl -a "$arch" -D Arch="$arch" -D Version="$version" -D Exe=horalux.exe -D Console=horalux.com \
      -D Icon=horalux.ico \
      -o "$OLDPWD/$msi" "$OLDPWD/packaging/windows/horalux.wxs" && rm horalux.ico)
  codepage=$(mktemp -d)
  printf '\r\n\r\n936\t_ForceCodepage\r\n' >"$codepage/_ForceCodepage.idt"
  msibuild "$msi" -i "$codepage/_ForceCodepage.idt"
  rm -r "$codepage"
  # wixl writes an "expandable" value as a plain string; "#%" makes it REG_EXPAND_SZ, as the event
  # log's message file is documented to be.
  msibuild "$msi" -q "UPDATE \`Registry\` SET \`Value\` = '#%[#horalux.exe]' WHERE \`Name\` = 'EventMessageFile'"
  msibuild "$msi" -q "UPDATE \`Shortcut\` SET \`Name\` = 'HORALUX|设置时间', \`Description\` = '按网站的时间设置计算机时间' WHERE \`Shortcut\` = 'StartMenuShortcut'"
  echo "$msi ($(stat -c %s "$msi") bytes)"
done
