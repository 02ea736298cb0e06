#!/usr/bin/env bash
# Builds horalux.exe for 64-bit Windows with MinGW-w64 (a release build in build/windows-release)
# and puts it, stripped, in build/windows/horalux.exe, with a zip of it and the README beside it:
# build/windows/horalux-<version>-windows-x64.zip. It needs nothing but Windows' own DLLs.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! command -v rsvg-convert >/dev/null ||
   ! command -v icotool >/dev/null || ! command -v zip >/dev/null; then
  bash scripts/install-deps.sh --windows
fi

build=build/windows-release
out=build/windows
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DHORALUX_BUILD_TESTS=OFF -DHORALUX_WERROR=ON >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}" --target horalux

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
mkdir -p "$out"
x86_64-w64-mingw32-strip -o "$out/horalux.exe" "$build/ui/win32/horalux.exe"
zip_file=$out/horalux-$version-windows-x64.zip
rm -f "$zip_file"
zip -q -j -X "$zip_file" "$out/horalux.exe" README.md
echo "$out/horalux.exe ($(stat -c %s "$out/horalux.exe") bytes)"
echo "$zip_file"
