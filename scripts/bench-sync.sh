#!/usr/bin/env bash
# Not a test. Measures `horalux --query` against a loopback server whose clock runs a known offset
# from this machine's and answers after random delays of 5-15 ms each way, N runs per offset, and
# Debian's htpdate 1.3.7 (`htpdate -q -p 4` and `-p 7`: query only, never setting the clock)
# against the same servers in the same run. Prints, for each, the median and worst |error|, how
# often the true offset lay within the printed bound (Horalux only: htpdate prints none), the
# median bound, the wall time and the requests, and the ratios of the median errors. Everything
# runs in the sandbox: loopback only, without CAP_SYS_TIME.
# Targets: median |error| <= 5 ms; the true offset within the bound in every run; median bound
# <= 15 ms; <= 4 s wall per URL; median |error| <= 0.5 x htpdate -p 4's.
# Usage: scripts/bench-sync.sh [runs per offset, default 10]
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  # The sandbox needs a network namespace of its own.
  exec sudo bash "$0" "$@"
fi
runs=${1:-10}

bash scripts/install-deps.sh >/dev/null
bash scripts/install-deps.sh --bench build/bench/peers >/dev/null
htpdate=build/bench/peers/root/usr/sbin/htpdate
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHORALUX_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench --target horalux horalux_offset_time_server -j 2 >/dev/null

exec bash scripts/sandbox.sh /usr/bin/python3 - "$runs" build/bench/ui/qt/horalux \
  build/bench/testing/horalux_offset_time_server "$htpdate" <<'PYTHON'
import re, statistics, subprocess, sys, time

runs, horalux, server_program, htpdate = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
offsets = [2.345, -0.618, 3 * 365 * 86400 + 0.250]  # the last: a computer three years behind
figures = re.compile(r"（([+-][0-9]+\.[0-9]{3}) 秒，误差 ±([0-9]+\.[0-9]{3}) 秒")
requests_done = re.compile(r"请求 ([0-9]+) 次")
environment = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}  # no proxies, no display

def timed(command):
    start = time.monotonic()
    done = subprocess.run(command, capture_output=True, text=True, env=environment, timeout=60)
    return done, time.monotonic() - start

results = {"horalux --query": [], "htpdate -q -p 4": [], "htpdate -q -p 7": []}
for offset in offsets:
    for seed in range(1, runs + 1):
        server = subprocess.Popen([server_program, str(offset), "5", "15", str(seed)],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        url = server.stdout.readline().strip()
        done, wall = timed([horalux, "--query", url])
        match = figures.search(done.stdout)
        if done.returncode != 0 or not match:
            sys.exit("horalux --query failed:\n" + done.stdout + done.stderr)
        measured, bound = float(match.group(1)), float(match.group(2))
        results["horalux --query"].append({
            "error": abs(measured - offset), "bound": bound, "wall": wall,
            "requests": int(requests_done.search(done.stdout).group(1)),
            # The printed figures are rounded to the millisecond.
            "within": abs(measured - offset) <= bound + 0.0005})
        for precision in ("4", "7"):
            # -t: htpdate refuses an offset over a year without it.
            done, wall = timed([htpdate, "-q", "-t", "-p", precision, url])
            match = re.search(r"Offset (-?[0-9.]+) seconds", done.stdout + done.stderr)
            if not match:
                sys.exit("htpdate failed:\n" + done.stdout + done.stderr)
            results["htpdate -q -p " + precision].append(
                {"error": abs(float(match.group(1)) - offset), "wall": wall})
        server.stdin.close()
        server.wait()

def ms(seconds):
    return "%7.1f ms" % (seconds * 1000)

print("%d runs at each of the offsets %s s; delays 5-15 ms each way\n" % (runs, offsets[:2] + ["3 years + 0.25"]))
print("%-18s %12s %12s %9s %12s %10s %9s" % ("", "median|err|", "worst|err|", "in bound",
                                              "median bound", "wall", "requests"))
for name, rows in results.items():
    errors = [row["error"] for row in rows]
    line = "%-18s %12s %12s" % (name, ms(statistics.median(errors)), ms(max(errors)))
    if "bound" in rows[0]:
        line += " %5d/%-3d %12s" % (sum(row["within"] for row in rows), len(rows),
                                    ms(statistics.median(row["bound"] for row in rows)))
    else:
        line += " %9s %12s" % ("-", "-")
    walls = [row["wall"] for row in rows]
    line += " %6.2f s max" % max(walls)
    if "requests" in rows[0]:
        line += " %5.1f avg" % statistics.mean(row["requests"] for row in rows)
    print(line)
ours = statistics.median(row["error"] for row in results["horalux --query"])
for peer in ("htpdate -q -p 4", "htpdate -q -p 7"):
    theirs = statistics.median(row["error"] for row in results[peer])
    print("median |error| ratio, horalux / %s: %.2f" % (peer, ours / theirs if theirs else float("inf")))
PYTHON
