#!/usr/bin/python3
"""A private D-Bus system bus and python3-dbusmock's templates on it, started and stopped with
dbusmock's own DBusTestCase helpers, for the C++ tests (testing/private_system_bus.cpp).

Prints the bus's address, then reads commands, one a line, and answers each with "done" or, with
the reason on standard error, "failed":
  start TEMPLATE   runs TEMPLATE on the bus; done once it answers there
  stop TEMPLATE    stops it
At the end of its input, or on SIGTERM, stops the templates and the bus."""
import ctypes
import os
import shutil
import signal
import sys
import traceback
from pathlib import Path

from dbusmock import DBusTestCase

PR_SET_CHILD_SUBREAPER = 36


def start_system_bus():
    """Starts the bus and returns what stops it."""
    # dbus-daemon --fork leaves the bus to whoever reaps orphans, and stop_dbus waits until the
    # process is gone, which takes a second where that reaper is slow. As the bus's reaper, with
    # SIGCHLD ignored, this process has the kernel reap it at once.
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
    signal.signal(signal.SIGCHLD, signal.SIG_IGN)
    data = Path(DBusTestCase.get_services_dir()).parent

    def stop():
        DBusTestCase.tearDownClass()
        # tearDownClass forgets the directory it made before it would remove it.
        shutil.rmtree(data, ignore_errors=True)

    try:
        DBusTestCase.start_system_bus()
    except BaseException:
        stop()
        raise
    return stop


def stop_template(daemon):
    daemon.terminate()
    daemon.wait()


def serve(templates):
    for line in sys.stdin:
        command, template = line.split()
        try:
            if command == "start":
                templates[template], _ = DBusTestCase.spawn_server_template(
                    template, stdout=sys.stderr, system_bus=True)
            else:
                stop_template(templates.pop(template))
            print("done", flush=True)
        except Exception:
            traceback.print_exc()
            print("failed", flush=True)


def main():
    # Whoever started this process may be gone without closing its input.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    stop_bus = start_system_bus()
    templates = {}
    try:
        print(os.environ["DBUS_SYSTEM_BUS_ADDRESS"], flush=True)
        serve(templates)
    finally:
        for daemon in templates.values():
            stop_template(daemon)
        stop_bus()


if __name__ == "__main__":
    main()
