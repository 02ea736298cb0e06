#!/usr/bin/env python3
"""scripts/check-windows-imports.py on small exes built here with MinGW-w64, each importing what a
case names: it must fail naming every function Windows 7 lacks, every DLL that is not Windows' own
and a subsystem version above Windows 7's, and pass an exe that needs only Windows 7, static C++
runtime and threads included.

Run by ctest (ui/win32/tests/CMakeLists.txt):  windows_imports_check_test.py CHECK_SCRIPT
"""
import os
import subprocess
import sys
import tempfile
import unittest

CHECK = sys.argv[1] if len(sys.argv) > 1 else None

WINDOWS_7_ONLY = """
#include <windows.h>
#include <mutex>
#include <string>
#include <thread>
int main() {
  std::mutex m;
  std::thread t([&] { std::lock_guard<std::mutex> l(m); });
  t.join();
  return MessageBoxW(nullptr, std::to_wstring(GetTickCount64()).c_str(), L"", 0);
}
"""
# Windows 10 1607's DPI functions, and Windows 8's precise clock, which the headers declare for
# every version.
LATER = """
#include <windows.h>
int main() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  RECT r{};
  AdjustWindowRectExForDpi(&r, 0, FALSE, 0, 96);
  return GetDpiForWindow(nullptr) + SystemParametersInfoForDpi(0, 0, nullptr, 0, 96);
}
"""


class WindowsImportsCheckTest(unittest.TestCase):
    def check(self, source, triple, options):
        with tempfile.TemporaryDirectory() as directory:
            exe = os.path.join(directory, "program.exe")
            subprocess.run([f"{triple}-g++-posix", "-x", "c++", "-std=c++20", "-", "-o", exe,
                            "-D_WIN32_WINNT=0x0A00", "-DWINVER=0x0A00", *options],
                           input=source, text=True, check=True)
            return subprocess.run([sys.executable, CHECK, exe], capture_output=True, text=True)

    def test_names_what_windows_7_lacks_and_passes_the_rest(self):
        cases = [  # source, triple, link options, expected exit code, names in the failures
            (WINDOWS_7_ONLY, "x86_64-w64-mingw32", ["-static"], 0, []),
            (WINDOWS_7_ONLY, "i686-w64-mingw32", ["-static"], 0, []),
            # Also asking for Windows 8's subsystem version, which Windows 7's loader refuses.
            (LATER, "x86_64-w64-mingw32", ["-static", "-Wl,--subsystem,console:6.2"], 1,
             ["GetDpiForWindow", "SystemParametersInfoForDpi", "AdjustWindowRectExForDpi",
              "GetSystemTimePreciseAsFileTime from KERNEL32.dll, which Windows 7 does not have: "
              "it came with Windows 8", "subsystem version 6.2"]),
            # The C++ runtime as DLLs beside the exe, which Windows does not have.
            (WINDOWS_7_ONLY, "x86_64-w64-mingw32", [], 1, ["libstdc++-6.dll"]),
        ]
        for source, triple, options, code, names in cases:
            with self.subTest(triple=triple, later=source is LATER, options=options):
                result = self.check(source, triple, options)
                self.assertEqual(result.returncode, code, result.stderr)
                failures = [line for line in result.stderr.splitlines() if line.startswith("FAIL")]
                for name in names:
                    self.assertTrue(any(name in line for line in failures), result.stderr)
                if code == 0:
                    self.assertEqual(failures, [])


if __name__ == "__main__":
    if CHECK is None:
        sys.exit(__doc__)
    unittest.main(argv=[sys.argv[0], "-v"])
