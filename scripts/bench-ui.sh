#!/usr/bin/env bash
# Benchmarks of the window, in a release build of their own (build/bench), under Xvfb and in the
# sandbox (loopback only, no CAP_SYS_TIME). Prints figures and their ratios; asserts nothing.
#  1. Start-up: from exec until the start-up message box is mapped, and the peak resident set
#     then, against a bare Qt program that only shows a message box. A local proxy, reached
#     through http_proxy, answers the start-up request at once. Median of several runs.
#  2. Steady state: 1,000 presses of the set-clock button in-process against a loopback server
#     and an in-memory clock; memory and open descriptors after the run against after 10 presses.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --inside ]; then
  if [ "$(id -u)" -ne 0 ]; then exec sudo bash "$0" "$@"; fi
  bash scripts/install-deps.sh --test >/dev/null
  cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHORALUX_BUILD_TESTS=OFF >/dev/null
  cmake --build build/bench -j 2 --target horalux horalux_bench_bare_message_box \
    horalux_bench_launch horalux_bench_presses
  exec bash scripts/sandbox.sh xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" --inside
fi

runs=${HORALUX_BENCH_RUNS:-21}
bin=build/bench
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8

python3 ui/bench/time_proxy.py >"$bin/proxy-port" &
proxy=$!
trap 'kill $proxy 2>/dev/null' EXIT
for _ in $(seq 50); do [ -s "$bin/proxy-port" ] && break; sleep 0.1; done
export http_proxy="http://127.0.0.1:$(cat "$bin/proxy-port")"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

launch() { "$bin/ui/bench/horalux_bench_launch" Horalux "$1" 2>/dev/null; }
bare_program=$bin/ui/bench/horalux_bench_bare_message_box
our_program=$bin/ui/horalux

# One unmeasured run of each warms the disk cache and the font cache alike; then the two take
# turns, so that a busy moment of the machine falls on both.
launch "$bare_program" >/dev/null || true
launch "$our_program" >/dev/null || true
bare="" ours=""
for _ in $(seq "$runs"); do
  bare+="$(launch "$bare_program")"$'\n'
  ours+="$(launch "$our_program")"$'\n'
done
bare_ms=$(grep . <<<"$bare" | cut -d' ' -f1 | median); bare_kib=$(grep . <<<"$bare" | cut -d' ' -f2 | median)
ours_ms=$(grep . <<<"$ours" | cut -d' ' -f1 | median); ours_kib=$(grep . <<<"$ours" | cut -d' ' -f2 | median)

echo "== Start-up until the message box is mapped (median of $runs runs)"
printf '%-28s %8s ms %8s KiB\n' "bare Qt message box" "$bare_ms" "$bare_kib" "horalux" "$ours_ms" "$ours_kib"
awk -v a="$ours_ms" -v b="$bare_ms" -v c="$ours_kib" -v d="$bare_kib" 'BEGIN {
  printf "time ratio %.2f (target <= 1.20), peak RSS ratio %.2f (target <= 1.15)\n", a / b, c / d }'

echo "== Steady state: 1,000 presses"
# The presses go to the loopback server, not through the proxy.
env -u http_proxy QT_QPA_PLATFORM=offscreen "$bin/ui/bench/horalux_bench_presses"
echo "(targets: RSS growth <= 256 KiB, descriptor growth 0)"
