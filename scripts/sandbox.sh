#!/usr/bin/env bash
# Runs a command where it can neither move this machine's clock nor reach another machine: in a
# network namespace of its own with only loopback up, and without CAP_SYS_TIME.
set -euo pipefail
exec unshare --net -- sh -c 'ip link set lo up && exec setpriv --bounding-set=-sys_time --inh-caps=-sys_time "$@"' sandbox "$@"
