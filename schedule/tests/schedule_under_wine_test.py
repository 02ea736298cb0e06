"""--schedule, --status and --unschedule of horalux.exe under Wine, and its Windows Installer
package installed and removed by Wine's msiexec. Wine registers and deletes tasks but keeps no
triggers, action or principal of them (the definition itself is checked by task_xml_test.py), so
what is checked here is what the program printed it registered, that the task and the copy in
Program Files are there, and that removing leaves nothing behind.

    schedule_under_wine_test.py HORALUX_EXE [HORALUX_MSI]

with WINE and WINEPREFIX in the environment; run in the sandbox (no network but loopback, no
CAP_SYS_TIME). Without the MSI (scripts/build-windows.sh makes it) its case is skipped."""
import filecmp
import os
import pathlib
import shutil
import subprocess
import sys
import unittest

PROGRAM = sys.argv[1] if len(sys.argv) > 1 else None
MSI = sys.argv[2] if len(sys.argv) > 2 else None
WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
PREFIX = pathlib.Path(os.environ.get("WINEPREFIX", ""))
DRIVE_C = PREFIX / "drive_c"
TASK = DRIVE_C / "windows/system32/tasks/Horalux"
SHORTCUT = "设置时间.lnk"
EVENT_SOURCE = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Horalux"


def program_files():
    """Where the program's copy lands: Program Files, or Program Files (x86) for a 32-bit exe."""
    with open(PROGRAM, "rb") as exe:
        data = exe.read(4096)
    pe = int.from_bytes(data[0x3C:0x40], "little")
    machine = int.from_bytes(data[pe + 4 : pe + 6], "little")
    return DRIVE_C / ("Program Files" if machine == 0x8664 else "Program Files (x86)")


def run(*arguments):
    env = {k: v for k, v in os.environ.items() if not k.lower().endswith("_proxy")}
    env.update(WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", LANG="zh_CN.UTF-8",
               LC_ALL="zh_CN.UTF-8")
    return subprocess.run([WINE, *arguments], env=env, capture_output=True, timeout=120)


def event_message_file():
    """The message file the event log's source Horalux is registered with, or None."""
    query = run("reg", "query", EVENT_SOURCE, "/v", "EventMessageFile")
    said = query.stdout.decode("utf-8", "replace")
    return said.split("REG_EXPAND_SZ")[-1].strip() if query.returncode == 0 else None


def shortcuts():
    return [path for path in DRIVE_C.rglob(SHORTCUT)]


def reason_scheduler_is_missing():
    """Why Wine's Task Scheduler service cannot be reached in this prefix, or None. On some machines
    Wine's service manager times out starting it (SCHED_E_SERVICE_NOT_RUNNING, 0x80041315), as a
    real Windows would not; the program's own refusal is then all there is to see."""
    probe = run(PROGRAM, "--unschedule")
    said = probe.stderr.decode("utf-8", "replace")
    if probe.returncode != 0 and "0x80041315" in said:
        return "Wine's Task Scheduler service does not start here: " + said.strip()
    return None


class ScheduleUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scheduler_missing = reason_scheduler_is_missing()
        if cls.scheduler_missing:
            print(f"skipped: {cls.scheduler_missing}", flush=True)

    def need_scheduler(self):
        if self.scheduler_missing:
            self.skipTest(self.scheduler_missing)

    def setUp(self):
        self.installed = program_files() / "Horalux"
        shutil.rmtree(self.installed, ignore_errors=True)
        TASK.unlink(missing_ok=True)

    def test_schedule_registers_the_copy_in_program_files_and_unschedule_removes_the_task(self):
        self.need_scheduler()
        url = "http://127.0.0.1:1/time?a=1&b=2"
        done = run(PROGRAM, "--schedule", url, "--proxy", "http://127.0.0.1:3128")
        out = done.stdout.decode("utf-8")
        self.assertEqual(done.returncode, 0, out + done.stderr.decode("utf-8", "replace"))
        installed = self.installed / "horalux.exe"
        windows_path = "C:\\%s\\Horalux\\horalux.exe" % program_files().name
        self.assertIn('命令："%s" --sync %s --proxy http://127.0.0.1:3128' % (windows_path, url),
                      out)
        self.assertIn("开机 1 分钟后，此后每 60 分钟一次", out)
        self.assertIn("SYSTEM（S-1-5-18），最高权限", out)
        self.assertTrue(TASK.exists())
        self.assertTrue(filecmp.cmp(PROGRAM, installed, shallow=False))
        # The task's events are worded by the copy it runs.
        self.assertEqual(event_message_file(), windows_path)
        console = pathlib.Path(PROGRAM).with_suffix(".com")
        if console.exists():
            self.assertTrue(filecmp.cmp(console, self.installed / "horalux.com", shallow=False))

        status = run(PROGRAM, "--status")
        self.assertEqual(status.returncode, 0)
        shown = status.stdout.decode("utf-8")
        self.assertTrue(shown.startswith("定时校正：计划任务“Horalux”"), shown)
        # Wine stores no events: the lines of the last runs are only announced.
        self.assertIn("最近的运行记录（事件日志“应用程序”，来源 Horalux）：", shown)

        self.assertEqual(run(PROGRAM, "--unschedule").returncode, 0)
        self.assertFalse(TASK.exists())
        again = run(PROGRAM, "--unschedule")
        self.assertEqual(again.returncode, 0)
        self.assertIn("没有名为“Horalux”的计划任务", again.stdout.decode("utf-8"))

    def test_a_site_that_cannot_be_scheduled_is_refused_before_anything_is_registered(self):
        refused = run(PROGRAM, "--schedule", "ftp://127.0.0.1/")
        self.assertEqual(refused.returncode, 2)  # a usage error
        self.assertIn("不是 http 或 https 网址", refused.stderr.decode("utf-8"))
        self.assertEqual(refused.stdout, b"")
        self.assertFalse(TASK.exists())
        self.assertFalse(self.installed.exists())

    @unittest.skipUnless(MSI and os.path.exists(MSI), "no MSI (scripts/build-windows.sh makes it)")
    def test_the_msi_schedules_its_url_and_its_removal_leaves_nothing_behind(self):
        self.need_scheduler()
        before = set(shortcuts())
        installed = run("msiexec", "/i", MSI, "/qn", "URL=http://127.0.0.1:1/")
        self.assertEqual(installed.returncode, 0, installed.stderr.decode("utf-8", "replace"))
        self.assertIn("--sync http://127.0.0.1:1/", installed.stdout.decode("utf-8"))
        self.assertTrue((self.installed / "horalux.exe").exists())
        self.assertTrue(TASK.exists())
        self.assertEqual(len(set(shortcuts()) - before), 1)
        self.assertEqual(event_message_file(),
                         "C:\\%s\\Horalux\\horalux.exe" % program_files().name)

        removed = run("msiexec", "/x", MSI, "/qn")
        self.assertEqual(removed.returncode, 0, removed.stderr.decode("utf-8", "replace"))
        self.assertFalse(self.installed.exists())
        self.assertFalse(TASK.exists())
        self.assertEqual(set(shortcuts()), before)
        self.assertIsNone(event_message_file())
        key = run("reg", "query", "HKLM\\Software\\Horalux")
        self.assertNotEqual(key.returncode, 0, key.stdout.decode("utf-8", "replace"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
