#!/usr/bin/env bash
# Cross-compiles for 64-bit Windows with MinGW-w64 everything, horalux.exe included, runs the tests as
# Windows programs under Wine inside the sandbox on a virtual display, against loopback servers
# (horalux.exe itself among them, driven through its keyboard), checks what its compiled resources
# hold, and builds the release horalux.exe (scripts/build-windows.sh) to check that it imports only
# Windows' own DLLs and is small.
set -euo pipefail
cd "$(dirname "$0")/.."

toolchain=$PWD/cmake/mingw-w64.cmake
build=$PWD/build/windows
gtest_build=$PWD/build/windows-gtest
jobs=${JOBS:-$(nproc)}

# Debian ships GoogleTest as sources only (libgtest-dev); build them once for MinGW.
if [ ! -f "$gtest_build/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
  echo "== GoogleTest for MinGW-w64 =="
  cmake -S /usr/src/googletest -B "$gtest_build/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$gtest_build/install" >/dev/null
  cmake --build "$gtest_build/build" -j "$jobs" >/dev/null
  cmake --install "$gtest_build/build" >/dev/null
fi

echo "== Windows build with its tests (MinGW-w64) =="
# Tests are listed when ctest runs rather than after linking, so that Wine only ever runs in the sandbox.
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Debug \
  -DHORALUX_WERROR=ON -DHORALUX_BUILD_TESTS=ON \
  -DGTest_DIR="$gtest_build/install/lib/cmake/GTest" \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
cmake --build "$build" -j "$jobs"

echo "== Windows version record, manifest and icon =="
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
resources=$build/packaging/windows
x86_64-w64-mingw32-windres -O res "$resources/horalux.rc" "$resources/horalux.res"
x86_64-w64-mingw32-windres -O res -I packaging/windows packaging/windows/manifest.rc "$resources/manifest.res"
python3 scripts/check-version-resource.py "$version" "$resources/horalux.res" "$resources/manifest.res"

echo "== horalux.exe: release build, imported DLLs and size =="
bash scripts/build-windows.sh
exe=build/windows/horalux.exe
# Windows' own DLLs only: no libstdc++, libgcc or winpthread beside the exe.
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort)
echo "imports:" $imports
windows_dlls='KERNEL32|USER32|GDI32|ADVAPI32|COMCTL32|IMM32|WINHTTP|CRYPT32|WS2_32|BCRYPT|SHELL32|OLE32|MSVCRT'
unexpected=$(grep -vxE "($windows_dlls)\\.DLL|API-MS-WIN-.*" <<<"$imports" || true)
if [ -n "$unexpected" ]; then
  echo "FAIL horalux.exe imports DLLs that Windows does not have: $unexpected" >&2
  exit 1
fi
size=$(stat -c %s "$exe")
echo "stripped size: $size bytes (at most 2 MiB)"
[ "$size" -le $((2 * 1024 * 1024)) ] || { echo "FAIL horalux.exe is larger than 2 MiB" >&2; exit 1; }

wine=$(command -v wine64 || true)
[ -n "$wine" ] || [ ! -x /usr/lib/wine/wine64 ] || wine=/usr/lib/wine/wine64
if [ -n "$wine" ]; then
  echo "== Tests under Wine =="
  # One Wine server and its services for the whole run, on one virtual display, started with their
  # output away from ctest's pipes: otherwise every test pays for booting them, or ctest waits on
  # services that never end. The display is there before Wine boots, so that its desktop is on it.
  # No proxy of this machine between the tests and their loopback servers.
  bash scripts/sandbox.sh xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
    env -u http_proxy -u https_proxy -u HTTP_PROXY -u HTTPS_PROXY \
    WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all \
    WINEDLLOVERRIDES=mscoree,mshtml= WINE="$wine" BUILD="$build" JOBS="$jobs" sh -c '
      server="$(dirname "$WINE")/wineserver64"; [ -x "$server" ] || server=wineserver
      mkdir -p "$WINEPREFIX"
      "$server" -p
      # The prefix is made in the locale of our users: the forms Wine writes into it then are the ones
      # the program shows under zh_CN, whatever locale the tests beside it run in.
      LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$WINE" wineboot --init >/dev/null 2>&1 </dev/null || true
      # Wine has no TLS server side: the https cases talk to servers running beside it, one per
      # certificate, whose ports they find in HORALUX_TLS_PORT_<NAME>.
      ports="$BUILD/tls-test-ports"
      : >"$ports"
      python3 testing/tls_test_servers.py "$BUILD/webtime/tests/certificates" >"$ports" &
      tls_servers=$!
      while [ "$(wc -l <"$ports")" -lt 5 ] && kill -0 $tls_servers 2>/dev/null; do sleep 0.1; done
      while IFS="=" read -r name port; do
        export "HORALUX_TLS_PORT_$(echo "$name" | tr a-z A-Z)=$port"
      done <"$ports"
      status=0
      ctest --test-dir "$BUILD" -j "$JOBS" --timeout 60 --output-on-failure || status=$?
      kill $tls_servers || true
      "$server" -k || true
      exit $status'
  echo "Pictures of horalux.exe under Wine: $build/pictures/"
else
  echo "Wine is not installed: the Windows tests are compiled but not run."
fi
