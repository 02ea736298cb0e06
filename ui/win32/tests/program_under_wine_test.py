#!/usr/bin/env python3
"""horalux.exe under Wine on a virtual display, driven from outside through its keyboard.

Its requests go to www.baidu.com, as a user's do: the test gives that name a loopback address in
an /etc/hosts of its own (a private mount namespace) and answers on port 80 itself. A helper
program in the same Wine prefix (window_probe.exe) reads the windows and their controls.

Wine never moves the host's clock: it accepts a new time within half a second of the current one
and refuses any other with ERROR_PRIVILEGE_NOT_HELD. So a press succeeds when the server answers
just after a second begins with that second's Date (local time being UTC+8), and any other time
gets the program's refusal for want of the privilege. Wine runs horalux.exe elevated, as its
manifest asks (TokenElevation says so), so that refusal is the one for an elevated program: the
right to change the time withheld by the computer's policy.

Run by ctest (ui/win32/tests/CMakeLists.txt) inside scripts/sandbox.sh, under Xvfb, as root:
  program_under_wine_test.py PROGRAM PROBE PICTURE_DIRECTORY
with WINE and WINEPREFIX in the environment. Pictures of the window and its boxes are left in
PICTURE_DIRECTORY. PROGRAM may be the 32-bit horalux.exe: Wine then runs it through its 32-bit
loader (Debian's wine32:i386) in the same prefix, and the 64-bit probe reads its windows there.
Exits 77 (skipped) without a display, without PROGRAM, or for a 32-bit PROGRAM without 32-bit Wine.
"""
import datetime
import json
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from wine_x86 import is_32_bit, reason_32_bit_wine_cannot_run

PROGRAM, PROBE, PICTURES = sys.argv[1:4] if len(sys.argv) >= 4 else (None, None, None)
WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")

CAPTION = "设置时间"
WAITING = "正在从 www.baidu.com 获取时间……"
TITLE = "Horalux"
SUCCESS = "设置时间成功！"
PRIVILEGE_WITHHELD = "本地安全策略 → 用户权限分配 → 更改系统时间"
TEXT2, TEXT1, COMMAND1 = 102, 104, 105
# The HTTP standard's example date, and how Wine's zh-CN forms show it in UTC+8.
EXAMPLE_DATE = "Sun, 06 Nov 1994 08:49:37 GMT"
EXAMPLE_TIME_TEXT = "1994/11/6 16:49:37"


def wine_environment():
    env = {k: v for k, v in os.environ.items() if not k.lower().endswith("_proxy")}
    env.update(WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", LANG="zh_CN.UTF-8",
               LC_ALL="zh_CN.UTF-8", TZ="Asia/Shanghai")
    return env


def http_date(moment):
    return moment.strftime("%a, %d %b %Y %H:%M:%S GMT")


def time_text(utc):
    """The program's text for a UTC moment: UTC+8 in Wine's zh-CN forms (yyyy/M/d HH:mm:ss)."""
    local = utc + datetime.timedelta(hours=8)
    return f"{local.year}/{local.month}/{local.day} {local:%H:%M:%S}"


class TimeServer:
    """Port 80 of 127.0.0.1. Answers every request as told by `mode`:
    "example": the example Date at once; "now": just after the next second begins, with that
    second's Date; "no date": a response without Date. `hold` seconds pass first."""

    def __init__(self):
        self.mode = "example"
        self.hold = 0.0
        self.requests = []  # (method, start time, answered time or None, path)
        self.lock = threading.Lock()
        self.listener = socket.create_server(("127.0.0.1", 80))
        self.listener.settimeout(0.2)
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self.accept, daemon=True)
        self.thread.start()

    def stop(self):
        self.stopping.set()
        self.thread.join()
        self.listener.close()

    def accept(self):
        while not self.stopping.is_set():
            try:
                connection, _ = self.listener.accept()
            except socket.timeout:
                continue
            threading.Thread(target=self.serve, args=(connection,), daemon=True).start()

    def serve(self, connection):
        with connection:
            data = b""
            while b"\r\n\r\n" not in data:
                chunk = connection.recv(4096)
                if not chunk:
                    return
                data += chunk
            with self.lock:
                mode, hold = self.mode, self.hold
                method, path = data.split(b" ", 2)[:2]
                record = [method.decode(), time.monotonic(), None, path.decode()]
                self.requests.append(record)
            if self.stopping.wait(hold):
                return
            headers = ["HTTP/1.1 200 OK", "Content-Length: 0", "Connection: close"]
            if mode == "example":
                headers.append("Date: " + EXAMPLE_DATE)
            elif mode == "now":
                now = time.time()
                time.sleep(1 - (now - int(now)) + 0.005)
                headers.append("Date: " + http_date(
                    datetime.datetime.fromtimestamp(int(time.time()), datetime.timezone.utc)))
            try:
                connection.sendall(("\r\n".join(headers) + "\r\n\r\n").encode())
                record[2] = time.monotonic()
            except OSError:
                pass

    def serve_mode(self, mode, hold=0.0):
        with self.lock:
            self.mode, self.hold = mode, hold

    def answered(self):
        with self.lock:
            return [r for r in self.requests if r[2] is not None]


class Program:
    """horalux.exe under Wine, and what the probe and xdotool see and do with it."""

    def __init__(self, *arguments):
        self.process = subprocess.Popen([WINE, PROGRAM, *arguments], env=wine_environment(),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        # Its windows go with it; the next test must not find them.
        deadline = time.monotonic() + 10
        while windows() and time.monotonic() < deadline:
            time.sleep(0.1)

    def wait_for(self, title, timeout=20, text=None):
        """The visible window called `title` (whose message, if given, holds `text`)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for window in windows():
                if window["title"] == title and (text is None or text in message_of(window)):
                    return window
            if self.process.poll() is not None:
                raise AssertionError(f"the program ended (exit code {self.process.returncode})")
            time.sleep(0.1)
        raise AssertionError(f"no window {title!r} within {timeout} s; windows: {windows()}")


    def dismiss(self, box):
        """Presses Enter in a message box and waits until it has gone; returns the window."""
        key(box, "Return")
        deadline = time.monotonic() + 10
        while any(w["title"] == box["title"] for w in windows()):
            if time.monotonic() > deadline:
                raise AssertionError(f"{box['title']!r} stays after Enter")
            time.sleep(0.1)
        return self.wait_for(CAPTION)


def set_screen_dpi(dpi):
    """Wine's screen resolution for the programs started from now on; None: the default, 96."""
    desktop = r"HKCU\Control Panel\Desktop"
    if dpi is None:
        command = ["reg", "delete", desktop, "/v", "LogPixels", "/f"]
    else:
        command = ["reg", "add", desktop, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi),
                   "/f"]
    subprocess.run([WINE, *command], env=wine_environment(), capture_output=True,
                   check=dpi is not None)


def probe(*arguments):
    # Now and then, while the other tests start Wine processes beside it, a probe does not get
    # going at all, or Wine fails to start it; that is no fault of the program's, so it is given
    # a second go.
    for attempt in range(2):
        try:
            result = subprocess.run([WINE, PROBE, *arguments], env=wine_environment(),
                                    check=True, capture_output=True, text=True, timeout=20)
            return json.loads(result.stdout)
        except (subprocess.TimeoutExpired, subprocess.CalledProcessError):
            if attempt == 1:
                raise


def windows():
    return probe("windows")


def control(window, control_id):
    return next(c for c in window["controls"] if c["id"] == control_id)


def message_of(box):
    """The text of a message box (its static control 0xFFFF)."""
    return next((c["text"] for c in box["controls"] if c["id"] == 0xFFFF), "")


def key(window, *keys):
    subprocess.run(["xdotool", "key", "--window", str(window["x11"]), *keys], check=True,
                   stderr=subprocess.DEVNULL)


def picture(window, name):
    path = os.path.join(PICTURES, name)
    subprocess.run(["import", "-window", str(window["x11"]), path], check=True)
    return path


def differing_pixels(first, second):
    result = subprocess.run(["compare", "-metric", "AE", first, second, "null:"],
                            capture_output=True, text=True)
    return int(float(result.stderr.split()[0]))


class MappedWindows:
    """The titles of the top-level windows mapped on the display from now on, as the X server
    reports them: a window that only flashed is among them."""

    def __init__(self):
        self.mapped = []
        self.process = subprocess.Popen(["xev", "-root", "-event", "substructure"],
                                        stdout=subprocess.PIPE, text=True)
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        mapping = False
        for line in self.process.stdout:
            if mapping:
                window = line.split("window ")[1].split(",")[0]
                name = subprocess.run(["xprop", "-id", window, "-notype", "_NET_WM_NAME"],
                                      capture_output=True, text=True,
                                      env={**os.environ, "LC_ALL": "C.UTF-8"}).stdout
                self.mapped.append((time.monotonic(), name.partition('"')[2].rpartition('"')[0]))
            mapping = line.startswith("MapNotify")

    def stop(self):
        self.process.kill()
        self.process.wait()
        self.process.stdout.close()

    def titles(self):
        return [title for _, title in list(self.mapped)]

    def when(self, title, timeout=10):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            moment = next((m for m, t in list(self.mapped) if t == title), None)
            if moment:
                return moment
            time.sleep(0.05)
        raise AssertionError(f"{title!r} not mapped; mapped: {self.titles()}")


class ProgramUnderWineTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(PICTURES, exist_ok=True)
        # The screen at 96 dpi, whatever an interrupted run left in the prefix.
        set_screen_dpi(None)
        cls.server = TimeServer()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def setUp(self):
        self.server.serve_mode("example")
        self.server.requests.clear()
        self.program = None

    def start(self, *arguments):
        self.program = Program(*arguments)
        self.addCleanup(self.program.close)

    def start_and_dismiss_start_up_box(self):
        self.start()
        return self.program.dismiss(self.program.wait_for(TITLE))

    def assert_no_clipped_or_missing_text(self, window):
        for c in window["controls"]:
            self.assertTrue(c["text_fits"], f"clipped text in {window['title']}: {c}")
            self.assertEqual(c["missing_glyphs"], "", f"no glyphs in {window['title']}: {c}")

    def test_start_up_box_then_the_window_driven_by_keyboard(self):
        self.start()
        box = self.program.wait_for(TITLE)
        self.assertEqual(message_of(box), EXAMPLE_TIME_TEXT)
        self.assertEqual([c["text"] for c in box["controls"] if c["class"] == "Button"], ["确定"])
        self.assertNotIn(CAPTION, [w["title"] for w in windows()], "window shown before the box")
        self.assert_no_clipped_or_missing_text(box)
        picture(box, "startup-time.png")

        window = self.program.dismiss(box)
        self.assert_layout(window, dpi=96)
        picture(window, "window.png")

        # The focus starts on the button; Tab goes Command1 → Text1 → Text2 and round.
        focus_order = []
        for step in ["", "Tab", "Tab", "Tab", "shift+Tab"]:
            if step:
                key(window, step)
                time.sleep(0.2)
            focus_order.append(next(c["id"] for c in windows()[0]["controls"] if c["focused"]))
        self.assertEqual(focus_order, [COMMAND1, TEXT1, TEXT2, COMMAND1, TEXT2])

        # Enter in the URL box presses the button. The example's time is decades away: refused.
        key(window, "Return")
        report = self.program.wait_for(TITLE, text=PRIVILEGE_WITHHELD)
        self.assert_no_clipped_or_missing_text(report)
        picture(report, "clock-refused.png")
        self.assertEqual(control(self.program.wait_for(CAPTION), TEXT1)["text"], EXAMPLE_TIME_TEXT)
        self.program.dismiss(report)
        self.assertEqual(len(self.server.answered()), 2)

    def assert_layout(self, window, dpi):
        """Texts, places and sizes as the window's description gives them at `dpi` (labels may
        grow downward to show their whole text)."""
        expected = probe("layout", str(dpi))
        self.assertEqual(window["client"][2:], expected["client"])
        for place in expected["controls"]:
            c = control(window, place["id"])
            self.assertEqual(c["text"], place["text"])
            self.assertEqual(c["rect"][:3], place["rect"][:3], c)
            if place["label"]:
                self.assertGreaterEqual(c["rect"][3], place["rect"][3], c)
            else:
                self.assertEqual(c["rect"][3], place["rect"][3], c)
        self.assert_no_clipped_or_missing_text(window)

    def test_the_window_scales_with_the_screen_dpi(self):
        set_screen_dpi(144)
        self.addCleanup(set_screen_dpi, None)
        window = self.start_and_dismiss_start_up_box()
        self.assert_layout(window, dpi=144)
        picture(window, "window-144dpi.png")

    def test_a_press_with_the_current_time_sets_the_clock(self):
        window = self.start_and_dismiss_start_up_box()
        self.server.serve_mode("now")
        # Wine takes the time only within half a second of its own: on a busy machine the
        # program may be slower than that, which is refused like any other time. Try again.
        for attempt in range(3):
            before = len(self.server.answered())
            key(window, "Return")
            box = self.program.wait_for(TITLE)
            answered = self.server.answered()
            self.assertEqual(len(answered), before + 1)
            if message_of(box) == SUCCESS:
                break
            self.assertIn(PRIVILEGE_WITHHELD, message_of(box))
            window = self.program.dismiss(box)
        self.assertEqual(message_of(box), SUCCESS, "refused three times")
        picture(box, "set-success.png")
        window = self.program.wait_for(CAPTION)
        served = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
        text1 = control(window, TEXT1)["text"]
        self.assertIn(text1, [time_text(served - datetime.timedelta(seconds=s)) for s in range(3)])
        window = self.program.dismiss(box)
        picture(window, "window-after-press.png")

    def test_a_response_without_date_is_reported_and_the_window_stays(self):
        window = self.start_and_dismiss_start_up_box()
        self.server.serve_mode("no date")
        key(window, "Return")
        report = self.program.wait_for(TITLE)
        self.assertIn("Date", message_of(report))
        self.assert_no_clipped_or_missing_text(report)
        picture(report, "error-report.png")
        window = self.program.dismiss(report)
        self.assertEqual(control(window, TEXT1)["text"], "")

    def test_the_window_stays_drawn_and_ignores_keys_while_a_request_is_out(self):
        window = self.start_and_dismiss_start_up_box()
        self.server.serve_mode("example", hold=10)
        key(window, "Return")
        # Within the first second, before the wait window takes the keys.
        time.sleep(0.3)
        for keys in [["x", "y"], ["Tab"], ["BackSpace"], ["Return"], ["space"]]:
            key(window, *keys)
        self.program.wait_for(WAITING, timeout=3)
        before = picture(window, "busy-before.png")
        ping = probe("ping", CAPTION)
        self.assertTrue(ping["answered"], ping)
        self.assertLess(ping["milliseconds"], 1000)
        # Covered and uncovered again, the window must draw itself anew.
        probe("cover", CAPTION, "300")
        time.sleep(1)
        during = picture(window, "busy-after-cover.png")
        self.assertEqual(differing_pixels(before, during), 0, "not drawn again while waiting")
        report = self.program.wait_for(TITLE, timeout=15)
        self.assertIn(PRIVILEGE_WITHHELD, message_of(report))
        window = self.program.dismiss(report)
        self.assertEqual(control(window, TEXT2)["text"], "http://www.baidu.com/")
        self.assertTrue(control(window, COMMAND1)["focused"], "the focus moved")
        time.sleep(1)
        self.assertEqual(len(self.server.requests), 2, "a key pressed the button again")

    def test_closing_the_window_while_a_request_is_out_ends_the_program(self):
        window = self.start_and_dismiss_start_up_box()
        self.server.serve_mode("now", hold=10)
        watcher = subprocess.Popen([WINE, PROBE, "wait-exit", CAPTION, "10000"],
                                   env=wine_environment(), stdout=subprocess.PIPE, text=True)
        self.addCleanup(watcher.stdout.close)
        self.assertEqual(watcher.stdout.readline().strip(), "ready")
        key(window, "Return")
        # Closed once the request is out, before the wait window takes the keys.
        while len(self.server.requests) < 2:
            time.sleep(0.05)
        key(window, "alt+F4")
        closed = time.monotonic()
        self.assertEqual(windows(), [], "the window is still there")
        self.assertLess(time.monotonic() - closed, 1.0)
        ended = json.loads(watcher.stdout.readline())
        watcher.wait()
        # Wine itself takes about two seconds to finish off any process that had windows (a
        # bare MessageBoxW program that ends with TerminateProcess too); beyond that, none.
        self.assertTrue(ended["ended"])
        self.assertLess(time.monotonic() - closed, 3.0)
        self.program.process.wait(timeout=10)
        # The answer was still held back: no time reached the program, so no clock was set.
        self.assertEqual(len(self.server.requests), 2)
        self.assertEqual(len(self.server.answered()), 1)

    def test_a_wait_over_a_second_names_the_host_and_cancelling_it_leaves_the_clock(self):
        for when, cancel in [("start", "Escape"), ("start", "alt+F4"), ("press", "Escape"),
                             ("press", "alt+F4")]:
            with self.subTest(when=when, cancel=cancel):
                if self.program:
                    self.program.close()
                self.server.serve_mode("example")
                if when == "press":
                    window = self.start_and_dismiss_start_up_box()
                # "now": an answer that reached the program would set the clock.
                self.server.serve_mode("now", hold=4)
                mapped = MappedWindows()
                self.addCleanup(mapped.stop)
                asked = len(self.server.requests)
                self.start() if when == "start" else key(window, "Return")
                # Timed from the request, not from the start: a 32-bit program that Wine runs
                # through an emulator (install-deps.sh) takes a while to start.
                deadline = time.monotonic() + 30
                while len(self.server.requests) == asked:
                    self.assertLess(time.monotonic(), deadline, "no request came")
                    time.sleep(0.02)
                time.sleep(1.5)
                waiting = self.program.wait_for(WAITING, timeout=0.5)
                self.assertEqual([c["text"] for c in waiting["controls"]], [WAITING, "", "取消"])
                self.assertEqual(mapped.titles(), [WAITING])
                if when == "start":
                    picture(waiting, "waiting.png")
                key(waiting, cancel)
                cancelled = time.monotonic()
                shown = mapped.when(CAPTION) if when == "start" else None
                self.assertNotIn(WAITING, [w["title"] for w in windows()])
                # Wine, with no window manager, holds the program two seconds when it hides a
                # window (the wait window here), waiting for it to be withdrawn; beyond that, none.
                self.assertLess((shown or time.monotonic()) - cancelled, 1.0 + 2.0)
                # The request left behind ends by itself and touches nothing.
                deadline = time.monotonic() + 10
                while len(self.server.answered()) < len(self.server.requests):
                    self.assertLess(time.monotonic(), deadline)
                    time.sleep(0.1)
                time.sleep(0.5)
                self.assertEqual([w["title"] for w in windows()], [CAPTION])
                self.assertEqual(control(windows()[0], TEXT1)["text"], "")

    def test_an_answer_within_a_second_maps_no_wait_window(self):
        mapped = MappedWindows()
        self.addCleanup(mapped.stop)
        self.server.serve_mode("example", hold=0.5)
        window = self.start_and_dismiss_start_up_box()
        key(window, "Return")
        self.program.dismiss(self.program.wait_for(TITLE, text=PRIVILEGE_WITHHELD))
        self.assertEqual(mapped.titles(), [TITLE, CAPTION, TITLE])

    def test_the_command_line_gives_the_url_or_shows_its_help(self):
        self.start("http://127.0.0.1/x")
        window = self.program.dismiss(self.program.wait_for(TITLE, text=EXAMPLE_TIME_TEXT))
        self.assertEqual(self.server.requests[0][3], "/x")
        self.assertEqual(control(window, TEXT2)["text"], "http://127.0.0.1/x")
        self.program.close()
        for argument, text, status in [("--help", "horalux.exe [网址]", 0),
                                       ("--version", "Horalux ", 0), ("--bogus", "--bogus", 2)]:
            with self.subTest(argument=argument):
                self.start(argument)
                key(self.program.wait_for(TITLE, text=text), "Return")
                self.assertEqual(self.program.process.wait(timeout=10), status)


def reason_to_skip():
    if not os.environ.get("DISPLAY"):
        return "no display"
    if not os.path.isfile(PROGRAM):
        return f"no program at {PROGRAM} (scripts/build-windows.sh builds it)"
    return reason_32_bit_wine_cannot_run(WINE) if is_32_bit(PROGRAM) else None


def in_private_hosts():
    """Re-runs this file in a mount namespace whose /etc/hosts sends www.baidu.com to loopback."""
    if os.environ.get("HORALUX_PRIVATE_HOSTS") == "1":
        return
    os.environ["HORALUX_PRIVATE_HOSTS"] = "1"
    hosts = tempfile.NamedTemporaryFile("w", suffix=".hosts", delete=False)
    hosts.write("127.0.0.1 localhost www.baidu.com\n")
    hosts.close()
    script = 'mount --bind "$0" /etc/hosts && rm -f "$0" && exec "$@"'
    os.execvp("unshare", ["unshare", "--mount", "--propagation", "private", "sh", "-c", script,
                          hosts.name, sys.executable, *sys.argv])


if __name__ == "__main__":
    if PICTURES is None:
        sys.exit(__doc__)
    reason = reason_to_skip()
    if reason:
        print(f"skipped: {reason}")
        sys.exit(77)
    in_private_hosts()
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[4:]])
