#!/usr/bin/env python3
"""horalux.exe --query/--sync and its console companion horalux.com under Wine, end to end.

A loopback web server of the test's own runs its clock a known offset from this machine's and
answers after random delays of 5 to 15 ms each way (before reading its clock, and after). The
programs measure it; Wine reads the host's clock, so the true offset is the server's own.

Wine never moves the host's clock: SetSystemTime succeeds within half a second of now (changing
nothing) and is refused otherwise, which the program names as Wine's own limit. Wine's event log
stores nothing but traces each event's strings on stderr under WINEDEBUG=+eventlog.

Run by ctest inside scripts/sandbox.sh:
  windowless_under_wine_test.py DIRECTORY
where DIRECTORY holds horalux.exe and horalux.com (the 32-bit ones run through Wine's 32-bit
loader), with WINE and WINEPREFIX in the environment. Exits 77 (skipped), saying why, where
they cannot run: no programs, or 32-bit ones where Wine's 32-bit loader does not start.
"""
import email.utils
import http.server
import os
import random
import re
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from wine_x86 import is_32_bit, reason_32_bit_wine_cannot_run

DIRECTORY = sys.argv[1] if len(sys.argv) > 1 else None
WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
THREE_YEARS = 1096 * 86400.0
WINE_LIMIT = "Wine 只接受与当前时间相差不到 0.5 秒的时间"


class OffsetServer(http.server.ThreadingHTTPServer):
    """127.0.0.1 on a free port; its clock runs `offset` seconds from this machine's."""

    daemon_threads = True

    def __init__(self):
        super().__init__(("127.0.0.1", 0), OffsetHandler)
        self.offset = 0.0
        self.requests = 0
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def url(self):
        return f"http://127.0.0.1:{self.server_address[1]}/"


class OffsetHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # kept alive, as the programs ask

    def do_POST(self):
        length = int(self.headers.get("Content-Length", 0))
        self.rfile.read(length)
        time.sleep(random.uniform(0.005, 0.015))
        moment = time.time() + self.server.offset
        self.server.requests += 1
        time.sleep(random.uniform(0.005, 0.015))
        self.send_response_only(200)
        self.send_header("Date", email.utils.formatdate(int(moment), usegmt=True))
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *arguments):
        pass


def wine_environment(**extra):
    env = {k: v for k, v in os.environ.items() if not k.lower().endswith("_proxy")}
    # A zone that is not UTC, so that a local time taken for Universal Time would show.
    env.update(WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", TZ="Asia/Shanghai")
    env.update(extra)
    return env


def run(program, *arguments, timeout=60, **popen):
    return subprocess.run([WINE, os.path.join(DIRECTORY, program), *arguments],
                          env=popen.pop("env", wine_environment()), capture_output=True,
                          timeout=timeout, **popen)


def offset_and_bound(summary):
    """The signed offset and its bound printed in the summary line, in seconds."""
    offset = re.search(r"([+-]\d+\.\d{3}) 秒", summary)
    bound = re.search(r"±(\d+\.\d{3}) 秒", summary)
    if not offset or not bound:
        raise AssertionError(f"no offset and bound in {summary!r}")
    return float(offset.group(1)), float(bound.group(1))


class WindowlessUnderWineTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = OffsetServer()

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()

    def test_query_prints_an_offset_within_its_bound_of_the_true_one(self):
        for offset in [2.345, -0.618, THREE_YEARS]:
            with self.subTest(offset=offset):
                self.server.offset = offset
                result = run("horalux.com", "--query", self.server.url())
                out = result.stdout.decode("utf-8")
                self.assertEqual(result.returncode, 0, out + result.stderr.decode("utf-8"))
                lines = out.splitlines()
                self.assertGreaterEqual(len(lines), 2, out)
                self.assertIn("127.0.0.1", lines[0])
                measured, bound = offset_and_bound(lines[-1])
                # Each printed figure is rounded to the millisecond.
                self.assertLessEqual(abs(measured - offset), bound + 0.001, lines[-1])
                self.assertLessEqual(bound, 0.1, lines[-1])

    def test_sync_is_taken_within_wines_half_second_and_refused_by_name_beyond(self):
        cases = [(0.2, 0, None), (10.0, 1, WINE_LIMIT)]
        for offset, status, refusal in cases:
            with self.subTest(offset=offset):
                self.server.offset = offset
                # The window program, its output redirected as a script's would be.
                result = run("horalux.exe", "--sync", self.server.url())
                out, err = result.stdout.decode("utf-8"), result.stderr.decode("utf-8")
                self.assertEqual(result.returncode, status, out + err)
                if refusal:
                    self.assertIn(refusal, err)
                    self.assertIn("要将系统时钟调快", err)
                else:
                    self.assertEqual(err, "")

    def test_a_batch_file_sees_each_exit_status(self):
        self.server.offset = 2.345
        with tempfile.TemporaryDirectory() as folder:
            batch = os.path.join(folder, "check.bat")
            with open(batch, "w", newline="\r\n") as file:
                # Typed without extension: cmd.exe takes horalux.com before horalux.exe.
                file.write("@echo off\ncd /d %1\n"
                           "horalux --query %2\necho status=%ERRORLEVEL%\n"
                           "horalux --query http://127.0.0.1:9/\necho status=%ERRORLEVEL%\n"
                           "horalux --query ftp://127.0.0.1/\necho status=%ERRORLEVEL%\n")
            result = subprocess.run(
                [WINE, "cmd", "/c", "Z:" + batch.replace("/", "\\"),
                 "Z:" + os.path.abspath(DIRECTORY).replace("/", "\\"), self.server.url()],
                env=wine_environment(), capture_output=True, timeout=120)
        out = result.stdout.decode("utf-8", "replace")
        self.assertEqual(re.findall(r"status=(\d+)", out), ["0", "1", "2"], out)

    def test_with_no_output_at_all_the_report_goes_to_the_event_log(self):
        cases = [(2.345, "--query", 0, "trace:eventlog"), (10.0, "--sync", 1, "err:eventlog")]
        for offset, mode, status, channel in cases:
            with self.subTest(mode=mode):
                self.server.offset = offset
                # Started by Wine's start.exe, a window program gets no standard handles and no
                # console, as under a scheduled task; Wine's traces still reach our stderr.
                result = subprocess.run(
                    [WINE, "start", "/wait", "horalux.exe", mode, self.server.url()],
                    cwd=DIRECTORY, env=wine_environment(WINEDEBUG="+eventlog"),
                    capture_output=True, timeout=60)
                err = result.stderr.decode("utf-8", "replace")
                self.assertEqual(result.returncode, status, err[-2000:])
                events = [line for line in err.splitlines() if "eventlog" in line
                          and "ReportEvent" in line]
                self.assertTrue(any(channel in line for line in events), err[-2000:])
                self.assertTrue(any("127.0.0.1" in line for line in events), err[-2000:])

    def test_usage_errors_print_and_never_show_a_box(self):
        for program in ["horalux.exe", "horalux.com"]:
            with self.subTest(program=program):
                # A box would wait for a press that never comes, and the run would time out.
                result = run(program, "--query", "ftp://127.0.0.1/", timeout=30)
                self.assertEqual(result.returncode, 2)
                self.assertIn("ftp://127.0.0.1/", result.stderr.decode("utf-8"))


def reason_to_skip():
    """Why the programs in DIRECTORY cannot run here, or None."""
    program = os.path.join(DIRECTORY or "", "horalux.com")
    if not DIRECTORY or not os.path.isfile(program):
        return f"no horalux.com in {DIRECTORY} (scripts/build-windows.sh builds it)"
    return reason_32_bit_wine_cannot_run(WINE) if is_32_bit(program) else None


if __name__ == "__main__":
    reason = reason_to_skip()
    if reason:
        print(f"skipped: {reason}")
        sys.exit(77)
    unittest.main(argv=sys.argv[:1], verbosity=2)
