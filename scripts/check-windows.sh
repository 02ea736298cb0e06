#!/usr/bin/env bash
# Cross-compiles for 64-bit Windows with MinGW-w64 everything, horalux.exe included, runs the tests as
# Windows programs under Wine inside the sandbox on a virtual display, against loopback servers
# (horalux.exe itself among them, driven through its keyboard), checks what its compiled resources
# hold, and builds the release horalux.exe for x64 and x86 (scripts/build-windows.sh) to check that
# each imports only Windows' own DLLs and only what Windows 7 has, carries its resources and is
# small. The 32-bit exe is driven under Wine too, when Wine has its 32-bit part (wine32:i386).
# A failed check does not stop the tests under Wine; the script fails at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

toolchain=$PWD/cmake/mingw-w64.cmake
build=$PWD/build/windows
gtest_build=$PWD/build/windows-gtest
x86_exe=$PWD/build/windows/x86/horalux.exe
jobs=${JOBS:-$(nproc)}
failed=()

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
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST -DHORALUX_X86_PROGRAM="$x86_exe" >/dev/null
cmake --build "$build" -j "$jobs"

echo "== Windows version record, manifest and icon =="
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
resources=$build/packaging/windows
x86_64-w64-mingw32-windres -O res "$resources/horalux.rc" "$resources/horalux.res"
x86_64-w64-mingw32-windres -O res -I packaging/windows packaging/windows/manifest.rc "$resources/manifest.res"
python3 scripts/check-version-resource.py "$version" "$resources/horalux.res" "$resources/manifest.res"

echo "== horalux.exe for x64 and x86: release builds, imports, resources and size =="
bash scripts/build-windows.sh
exes=(build/windows/horalux.exe build/windows/x86/horalux.exe build/windows/horalux.com
      build/windows/x86/horalux.com)
# Windows' own DLLs only, and from them only functions that Windows 7 has.
python3 scripts/check-windows-imports.py "${exes[@]}" || failed+=("imports")
for exe in "${exes[@]}"; do
  # The events' message table (11), the group icon (14), the version record (16) and the
  # manifest (24).
  for type in 11 14 16 24; do
    wrestool -l --type=$type "$exe" | grep -q . ||
      { echo "FAIL $exe has no resource of type $type" >&2; failed+=("resources of $exe"); }
  done
  size=$(stat -c %s "$exe")
  echo "$exe: $size bytes stripped (at most 2 MiB)"
  [ "$size" -le $((2 * 1024 * 1024)) ] ||
    { echo "FAIL $exe is larger than 2 MiB" >&2; failed+=("size of $exe"); }
done

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
      # A prefix made while Wine had no 32-bit part has no 32-bit system folder: make it anew once
      # that part (wine32:i386, its loader beside wine64) is there.
      if [ -x "$(dirname "$WINE")/wine" ] && [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
        rm -rf "$WINEPREFIX"
      fi
      mkdir -p "$WINEPREFIX"
      "$server" -p
      # The prefix is made in the locale of our users: the forms Wine writes into it then are the ones
      # the program shows under zh_CN, whatever locale the tests beside it run in.
      LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$WINE" wineboot --init >/dev/null 2>&1 </dev/null || true
      # Wine has no TLS server side: the https cases talk to servers running beside it, one per
      # certificate, whose ports they find in HORALUX_TLS_PORT_<NAME>.
      ports="$BUILD/tls-test-ports"
      # Emptied before the servers start: on a busy machine the wait below could otherwise read a
      # missing file, or the ports of the last run, before the shell of the servers has opened it.
      : >"$ports"
      python3 testing/tls_test_servers.py "$BUILD/webtime/tests/certificates" >"$ports" &
      tls_servers=$!
      while [ "$(wc -l <"$ports")" -lt 5 ] && kill -0 $tls_servers 2>/dev/null; do sleep 0.1; done
      while IFS="=" read -r name port; do
        export "HORALUX_TLS_PORT_$(echo "$name" | tr a-z A-Z)=$port"
      done <"$ports"
      # Debian'"'"'s squid beside Wine, from testing/squid_test.conf.in, for the proxy'"'"'s own answers;
      # without squid that test is skipped.
      squid_pid=
      if [ -x /usr/sbin/squid ]; then
        squid_dir=$(mktemp -d) && chmod 777 "$squid_dir"
        squid_port=$(python3 -c "import socket; s = socket.socket(); s.bind((\"127.0.0.1\", 0)); print(s.getsockname()[1])")
        echo "user:$(openssl passwd -apr1 secret)" >"$squid_dir/passwords"
        sed -e "s|@PORT@|$squid_port|; s|@DIRECTORY@|$squid_dir|g; s|@SCHEME@|basic|g" \
          -e "s|@HELPER@|/usr/lib/squid/basic_ncsa_auth|" testing/squid_test.conf.in >"$squid_dir/squid.conf"
        chmod 644 "$squid_dir/passwords" "$squid_dir/squid.conf"
        setpriv --pdeathsig KILL /usr/sbin/squid -N -f "$squid_dir/squid.conf" </dev/null 2>/dev/null &
        squid_pid=$!
        for attempt in $(seq 100); do
          python3 -c "import socket; socket.create_connection((\"127.0.0.1\", $squid_port), 1)" 2>/dev/null && break
          sleep 0.1
        done
        export HORALUX_SQUID_PORT=$squid_port
      fi
      status=0
      ctest --test-dir "$BUILD" -j "$JOBS" --timeout 60 --output-on-failure || status=$?
      if [ $status -ne 0 ]; then
        # Wine now and then fails to start a process at all (no output, an exit within tens of
        # milliseconds; seen once in hundreds of runs): a test that failed runs once more, and
        # fails the run only if it fails again.
        echo "== The tests that failed, once more =="
        status=0
        ctest --test-dir "$BUILD" --rerun-failed --timeout 60 --output-on-failure || status=$?
      fi
      if [ -n "$squid_pid" ]; then kill $squid_pid || true; wait $squid_pid 2>/dev/null || true; rm -rf "$squid_dir"; fi
      # ctest names the tests it skipped but not why; ours say so in a line of their own.
      grep -h "^skipped: " "$BUILD/Testing/Temporary/LastTest.log" | sed "s/^/  /" || true
      kill $tls_servers || true
      "$server" -k || true
      exit $status' || failed+=("tests under Wine")
  echo "Pictures of horalux.exe under Wine: $build/pictures/ (the 32-bit one's in x86/)"
else
  echo "Wine is not installed: the Windows tests are compiled but not run."
fi

if [ "${#failed[@]}" -gt 0 ]; then
  echo "FAIL Windows checks: ${failed[*]}" >&2
  exit 1
fi
