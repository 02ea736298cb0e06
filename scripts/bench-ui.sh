#!/usr/bin/env bash
# Benchmarks of the window, in a release build of their own (build/bench), under Xvfb and in the
# sandbox (loopback only, no CAP_SYS_TIME). Prints figures and their ratios; asserts nothing.
#  1. Start-up: from exec until the start-up message box is mapped, and the peak resident set
#     then, against the floor: the same request made with libcurl alone, then Qt started, then a
#     bare Qt message box, one step after the other. A local proxy, reached through http_proxy,
#     answers the start-up request at once, and in a second run after 50 ms, as a nearby server
#     does: there the program starts Qt while its request is out. Median of several runs. For
#     reference it also measures a bare Qt box that makes no request at all.
#  2. Steady state: 1,000 presses of the shown window's set-clock button in-process (each request
#     on a thread of its own, as for the user) against a loopback server and an in-memory clock;
#     memory and open descriptors after the run against after 10 presses.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --inside ]; then
  if [ "$(id -u)" -ne 0 ]; then exec sudo bash "$0" "$@"; fi
  bash scripts/install-deps.sh --test >/dev/null
  cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHORALUX_BUILD_TESTS=OFF >/dev/null
  cmake --build build/bench -j 2 --target horalux horalux_bench_bare_message_box \
    horalux_bench_bare_message_box_after_request horalux_bench_launch horalux_bench_presses
  exec bash scripts/sandbox.sh xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" --inside
fi

runs=${HORALUX_BENCH_RUNS:-21}
bin=build/bench
# The program's users run it in a Chinese locale. There both boxes show their time in the same
# Chinese form, in the face fontconfig picks for Chinese; elsewhere the program's box would show
# a shorter, Latin-only time text than the baseline's.
locale_name=C.UTF-8
if locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then locale_name=zh_CN.UTF-8; fi
export QT_QPA_PLATFORM=xcb LC_ALL=$locale_name

# One proxy answers at once, the other after 50 ms. The port of an earlier run must not be read
# before a proxy has written its own: every start-up request would then fail and the program
# would show its error report instead.
proxies=""
trap 'kill $proxies 2>/dev/null' EXIT
for delay in 0 50; do
  rm -f "$bin/proxy-port-$delay"
  python3 ui/qt/bench/time_proxy.py "$delay" >"$bin/proxy-port-$delay" &
  proxies+=" $!"
done
proxy_url() {
  for _ in $(seq 50); do [ -s "$bin/proxy-port-$1" ] && break; sleep 0.1; done
  echo "http://127.0.0.1:$(cat "$bin/proxy-port-$1")"
}
instant_proxy=$(proxy_url 0)
slow_proxy=$(proxy_url 50)
export http_proxy=$instant_proxy

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

launch() {
  "$bin/ui/qt/bench/horalux_bench_launch" Horalux "$1" 2>/dev/null ||
    { echo "$1 did not show its start-up box" >&2; return 1; }
}
bare_program=$bin/ui/qt/bench/horalux_bench_bare_message_box
floor_program=$bin/ui/qt/bench/horalux_bench_bare_message_box_after_request
our_program=$bin/ui/qt/horalux

# One unmeasured run of each warms the disk cache and the font cache alike; then they take
# turns, so that a busy moment of the machine falls on all of them.
launch "$bare_program" >/dev/null || true
launch "$floor_program" >/dev/null || true
launch "$our_program" >/dev/null || true
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
bare="" floor="" ours=""
for _ in $(seq "$runs"); do
  bare+="$(launch "$bare_program")"$'\n'
  floor+="$(launch "$floor_program")"$'\n'
  ours+="$(launch "$our_program")"$'\n'
done
median_of() { grep . | cut -d' ' -f"$1" | median; }
bare_ms=$(median_of 1 <<<"$bare"); bare_kib=$(median_of 2 <<<"$bare")
floor_ms=$(median_of 1 <<<"$floor"); floor_kib=$(median_of 2 <<<"$floor")
ours_ms=$(median_of 1 <<<"$ours"); ours_kib=$(median_of 2 <<<"$ours")

echo "== Start-up until the message box is mapped, answer at once (median of $runs runs, $LC_ALL)"
echo "load average before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-40s %8s ms %8s KiB\n' "bare Qt message box" "$bare_ms" "$bare_kib" \
  "  libcurl request, then the same" "$floor_ms" "$floor_kib" "horalux" "$ours_ms" "$ours_kib"
awk -v a="$ours_ms" -v b="$floor_ms" -v c="$ours_kib" -v d="$floor_kib" 'BEGIN {
  printf "against the request then the box: time ratio %.2f (target <= 1.05), " \
         "peak RSS ratio %.2f (target <= 1.05)\n", a / b, c / d }'
awk -v a="$ours_ms" -v b="$bare_ms" -v c="$ours_kib" -v d="$bare_kib" \
    -v e="$floor_ms" -v f="$floor_kib" 'BEGIN {
  printf "(for reference, against the bare Qt box: time ratio %.2f, peak RSS ratio %.2f; " \
         "libcurl alone: %.2f, %.2f)\n", a / b, c / d, e / b, f / d }'

# The same two, with the answer 50 ms away.
export http_proxy=$slow_proxy
launch "$floor_program" >/dev/null || true
launch "$our_program" >/dev/null || true
floor="" ours=""
for _ in $(seq "$runs"); do
  floor+="$(launch "$floor_program")"$'\n'
  ours+="$(launch "$our_program")"$'\n'
done
floor_ms=$(median_of 1 <<<"$floor")
ours_ms=$(median_of 1 <<<"$ours")
echo "== Start-up until the message box is mapped, answer after 50 ms (median of $runs runs)"
printf '%-40s %8s ms\n' "libcurl request, then Qt and the box" "$floor_ms" "horalux" "$ours_ms"
awk -v a="$ours_ms" -v b="$floor_ms" 'BEGIN {
  printf "against the request then the box: time ratio %.2f (target <= 0.70)\n", a / b }'

echo "== Steady state: 1,000 presses"
# The presses go to the loopback server, not through the proxy.
env -u http_proxy QT_QPA_PLATFORM=offscreen "$bin/ui/qt/bench/horalux_bench_presses"
echo "(targets: RSS growth <= 256 KiB, descriptor growth 0)"
