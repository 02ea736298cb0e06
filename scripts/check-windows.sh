#!/usr/bin/env bash
# Cross-compiles for 64-bit Windows with MinGW-w64 everything beneath the front ends (runtime/, the
# handlers, webtime/ on WinHTTP, the test helpers), runs their tests as Windows programs under Wine
# inside the sandbox against loopback servers, and compiles the program's version record and
# manifest with windres and checks what the compiled resources hold.
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

echo "== Windows build (MinGW-w64) =="
# Tests are listed when ctest runs rather than after linking, so that Wine only ever runs in the sandbox.
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Debug \
  -DHORALUX_WERROR=ON -DHORALUX_BUILD_TESTS=ON \
  -DGTest_DIR="$gtest_build/install/lib/cmake/GTest" \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
cmake --build "$build" -j "$jobs" --target horalux_datetime horalux_clock horalux_handlers horalux_webtime

echo "== Windows version record and manifest =="
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
resources=$build/packaging/windows
x86_64-w64-mingw32-windres -O res "$resources/horalux.rc" "$resources/horalux.res"
x86_64-w64-mingw32-windres -O res -I packaging/windows packaging/windows/manifest.rc "$resources/manifest.res"
python3 scripts/check-version-resource.py "$version" "$resources/horalux.res" "$resources/manifest.res"

echo "== Tests, built for Windows =="
cmake --build "$build" -j "$jobs"

wine=$(command -v wine64 || true)
[ -n "$wine" ] || [ ! -x /usr/lib/wine/wine64 ] || wine=/usr/lib/wine/wine64
if [ -n "$wine" ]; then
  echo "== Tests under Wine =="
  # One Wine server and its services for the whole run, started with their output away from ctest's
  # pipes: otherwise every test pays for booting them, or ctest waits on services that never end.
  # No proxy of this machine between the tests and their loopback servers.
  bash scripts/sandbox.sh env -u http_proxy -u https_proxy -u HTTP_PROXY -u HTTPS_PROXY \
    WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all \
    WINEDLLOVERRIDES=mscoree,mshtml= WINE="$wine" BUILD="$build" JOBS="$jobs" sh -c '
      server="$(dirname "$WINE")/wineserver64"; [ -x "$server" ] || server=wineserver
      mkdir -p "$WINEPREFIX"
      "$server" -p
      "$WINE" wineboot --init >/dev/null 2>&1 </dev/null || true
      # Wine has no TLS server side: the https cases talk to servers running beside it, one per
      # certificate, whose ports they find in HORALUX_TLS_PORT_<NAME>.
      ports="$BUILD/tls-test-ports"
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
else
  echo "Wine is not installed: the Windows tests are compiled but not run."
fi
