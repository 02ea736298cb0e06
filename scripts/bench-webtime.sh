#!/usr/bin/env bash
# Not a test. Times GetWebTime against a bare libcurl POST that reads the same header, on the same
# loopback server in the same run, and prints the ratio (target: at most 1.10). Then makes 1,000
# calls (a few failing ones among them) under valgrind and checks that no memory is lost and no
# file descriptor is left open. Usage: scripts/bench-webtime.sh [calls per round, default 200]
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  # The sandbox needs a network namespace of its own.
  exec sudo bash "$0" "$@"
fi

# A build of the benchmarks' own, configured the same way whatever configured it before (the
# program's release build has no tests, and the benchmark borrows their loopback server).
bash scripts/install-deps.sh --test >/dev/null
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHORALUX_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench --target horalux_webtime_bench -j 2
bench=build/bench/webtime/bench/horalux_webtime_bench

echo "== GetWebTime against a bare libcurl POST =="
bash scripts/sandbox.sh "$bench" compare "${1:-200}"

echo "== 1,000 calls under valgrind =="
if ! command -v valgrind >/dev/null; then
  echo "valgrind is not installed (apt-get install valgrind); skipping the leak check" >&2
  exit 1
fi
status=0
bash scripts/sandbox.sh valgrind --leak-check=full --show-leak-kinds=definite,indirect,possible \
  --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=3 \
  "$bench" leaks 1000 || status=$?
case "$status" in
  0) echo "valgrind: no memory lost, no descriptor left open" ;;
  1) echo "a file descriptor was left open" >&2 ;;
  3) echo "valgrind found lost memory or memory errors" >&2 ;;
  *) echo "the leak check failed (exit status $status)" >&2 ;;
esac
exit "$status"
