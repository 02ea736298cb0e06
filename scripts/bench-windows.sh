#!/usr/bin/env bash
# Benchmarks of horalux.exe under Wine, on Xvfb and in the sandbox (loopback only, no CAP_SYS_TIME),
# with www.baidu.com sent to a local web server by an /etc/hosts of the benchmark's own (a private
# mount namespace). Prints figures and their ratios; asserts nothing. Both exes, x64 and x86, each
# against baselines built for its own architecture; the x86 one only where Wine has its 32-bit
# part (Debian's wine32:i386).
#  1. The stripped release exe (scripts/build-windows.sh): its size and the DLLs it imports.
#  2. Start-up: from exec until the start-up message box is mapped, against a bare MinGW program
#     that makes the same WinHTTP request and shows its Date in a MessageBoxW, one after the
#     other; and against the same program with horalux.exe's manifest, which starts the same
#     window system (common controls 6 with visual styles, DPI awareness) before its box. Median
#     of several runs, taking turns; with the server answering at once, and again after 50 ms, as
#     a nearby server does.
#  3. Steady state: 1,000 web time queries in one process; its handles and private bytes after
#     10, 100, 500 and 1,000 queries.
set -euo pipefail
cd "$(dirname "$0")/.."

# The release build of each architecture (scripts/build-windows.sh) and where its stripped exe is.
builds=(x64:build/windows-release:build/windows x86:build/windows-release-x86:build/windows/x86)
if [ "${1:-}" != --inside ]; then
  if [ "$(id -u)" -ne 0 ]; then exec sudo bash "$0" "$@"; fi
  bash scripts/install-deps.sh --test >/dev/null
  bash scripts/build-windows.sh >/dev/null
  for entry in "${builds[@]}"; do
    IFS=: read -r _ build _ <<<"$entry"
    cmake --build "$build" -j 2 \
      --target horalux_bench_bare_message_box_after_request \
      horalux_bench_bare_message_box_after_request_styled horalux_bench_queries >/dev/null
  done
  # Watches the X server from outside the program (shared with the Linux benchmark).
  g++ -O2 -std=c++20 ui/qt/bench/launch_until_mapped.cpp -lxcb -o build/windows/launch_until_mapped
  exec bash scripts/sandbox.sh xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
    unshare --mount --propagation private bash "$0" --inside
fi

runs=${HORALUX_BENCH_RUNS:-21}
wine=/usr/lib/wine/wine64
export WINEPREFIX=$PWD/build/windows-release/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= \
  LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 TZ=Asia/Shanghai
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

hosts=$(mktemp)
echo "127.0.0.1 localhost www.baidu.com" >"$hosts"
mount --bind "$hosts" /etc/hosts
server=""
# Answers every request on port 80 with a Date, after the milliseconds given.
serve_after() {
  [ -z "$server" ] || { kill "$server"; wait "$server" 2>/dev/null || true; }
  python3 ui/qt/bench/time_proxy.py "$1" 80 >/dev/null &
  server=$!
  for _ in $(seq 50); do python3 -c 'import socket; socket.create_connection(("127.0.0.1", 80))' 2>/dev/null && break; sleep 0.1; done
}
# A prefix made while Wine had no 32-bit part has no 32-bit system folder: made anew once it has.
if [ -x /usr/lib/wine/wine ] && [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
  rm -rf "$WINEPREFIX"
fi
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver64 -p
trap '/usr/lib/wine/wineserver64 -k || true; [ -z "$server" ] || kill $server 2>/dev/null || true; rm -f "$hosts"' EXIT
"$wine" wineboot --init >/dev/null 2>&1 </dev/null || true

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
median_of() { grep . | cut -d' ' -f"$1" | median; }
launch() {
  build/windows/launch_until_mapped Horalux "$wine" "$1" 2>/dev/null ||
    { echo "$1 did not show its start-up box" >&2; return 1; }
}

for entry in "${builds[@]}"; do
  IFS=: read -r arch build out <<<"$entry"
  exe=$out/horalux.exe
  echo "== horalux.exe for $arch (stripped release build)"
  echo "size: $(stat -c %s "$exe") bytes"
  echo "imports: $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort | tr '\n' ' ')"
  # Debian's wine64 hands 32-bit programs to the 32-bit loader beside it (wine32:i386).
  if [ "$arch" = x86 ] && [ ! -x /usr/lib/wine/wine ]; then
    echo "(not run: Wine has no 32-bit part here; Debian's wine32:i386 brings it)"
    continue
  fi
  bare_program=$build/ui/win32/bench/horalux_bench_bare_message_box_after_request.exe
  styled_program=$build/ui/win32/bench/horalux_bench_bare_message_box_after_request_styled.exe

  # One unmeasured run of each warms the caches alike; then they take turns, so that a busy moment
  # of the machine falls on all of them. At once, and with the answer 50 ms away.
  for delay in 0 50; do
    serve_after "$delay"
    for program in "$bare_program" "$styled_program" "$exe"; do
      launch "$program" >/dev/null || true
    done
    load_before=$(cut -d' ' -f1-3 /proc/loadavg)
    bare="" styled="" ours=""
    for _ in $(seq "$runs"); do
      bare+="$(launch "$bare_program")"$'\n'
      styled+="$(launch "$styled_program")"$'\n'
      ours+="$(launch "$exe")"$'\n'
    done
    bare_ms=$(median_of 1 <<<"$bare"); bare_kib=$(median_of 2 <<<"$bare")
    styled_ms=$(median_of 1 <<<"$styled"); styled_kib=$(median_of 2 <<<"$styled")
    ours_ms=$(median_of 1 <<<"$ours"); ours_kib=$(median_of 2 <<<"$ours")

    echo "== $arch: start-up under Wine until the message box is mapped, answer after $delay ms" \
      "(median of $runs runs)"
    echo "load average before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)"
    printf '%-52s %8s ms %8s KiB peak RSS\n' "bare WinHTTP request + MessageBoxW ($arch)" \
      "$bare_ms" "$bare_kib" "  the same with horalux.exe's manifest" "$styled_ms" "$styled_kib" \
      "horalux.exe ($arch)" "$ours_ms" "$ours_kib"
    awk -v a="$ours_ms" -v b="$bare_ms" -v s="$styled_ms" -v c="$ours_kib" -v d="$bare_kib" \
      -v t="$([ "$delay" = 0 ] && echo 1.20 || echo 1.00)" 'BEGIN {
      printf "time ratio %.2f against the bare program, %.2f against it with the manifest" \
        " (target <= %s), peak RSS ratio %.2f\n", a / b, a / s, t, c / d }'
  done
  serve_after 0

  echo "== $arch: steady state, 1,000 queries under Wine"
  "$wine" "$build/ui/win32/bench/horalux_bench_queries.exe" http://127.0.0.1/
  echo "(target: no growth of handles; private bytes level off rather than grow with the queries)"
done
