#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release -DHORALUX_BUILD_TESTS=OFF >/dev/null
cmake --build --preset release

program=build/release/ui/qt/horalux
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "没有图形显示（DISPLAY 未设置）。No display: start the program under a virtual one:"
  echo "  xvfb-run -a $program"
  exit 1
fi
exec "$program"
