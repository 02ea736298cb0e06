#!/usr/bin/env python3
"""Checks what a Windows exe imports: only Windows' own DLLs, and from them only functions that
Windows 7 SP1 has; and that it asks for no later subsystem version than Windows 7's.

Usage: check-windows-imports.py EXE [EXE ...]

The imports are listed with MinGW-w64's objdump. A function counts as present on Windows 7 when
the MinGW-w64 headers, set to Windows 7 (_WIN32_WINNT and WINVER 0x0601), declare it: they leave
out what later versions added, so a program that takes the address of every imported name compiles
only if none of them is newer. This holds for what the C and C++ runtimes linked into the exe
import as much as for our own code. The headers of MinGW-w64 10 (Debian 12) declare some later
functions for every version, though; those are named below and fail all the same. msvcrt.dll is
left aside: it is part of every Windows, and its functions are declared by the C library's headers,
not by the SDK's.

Exits 1 naming each DLL that is not Windows' own and each function that Windows 7 lacks.
"""
import os
import re
import subprocess
import sys
import tempfile

# Windows' own DLLs (API sets among them); no libstdc++, libgcc or winpthread beside the exe.
WINDOWS_DLLS = re.compile(
    r"(KERNEL32|USER32|GDI32|ADVAPI32|COMCTL32|IMM32|WINHTTP|CRYPT32|WS2_32|BCRYPT|SHELL32|OLE32"
    r"|OLEAUT32|MSVCRT)\.DLL|API-MS-WIN-.*", re.IGNORECASE)
# Functions of the C library's own DLL, declared by its headers rather than the SDK's.
C_LIBRARY_DLL = "MSVCRT.DLL"
# The headers that declare what the allowed DLLs export. winsock2.h comes before windows.h.
HEADERS = ["winsock2.h", "ws2tcpip.h", "windows.h", "winhttp.h", "commctrl.h", "imm.h",
           "wincrypt.h", "bcrypt.h", "shellapi.h", "shlobj.h", "objbase.h", "oleauto.h"]
WINDOWS_7 = ["-D_WIN32_WINNT=0x0601", "-DWINVER=0x0601", "-DNTDDI_VERSION=0x06010000"]
# Declared by MinGW-w64 10's headers whatever _WIN32_WINNT says, yet missing from Windows 7 SP1
# (AddDllDirectory and its kin come to Windows 7 only with update KB2533623).
UNGUARDED_LATER_FUNCTIONS = {
    "Windows 8": """AddDllDirectory CopyFile2 DeleteSynchronizationBarrier
        EnterSynchronizationBarrier GetCurrentInputMessageSource GetDisplayAutoRotationPreferences
        GetOverlappedResultEx
        GetSystemTimePreciseAsFileTime InitializeSynchronizationBarrier IsImmersiveProcess
        RemoveDllDirectory SetCoalescableTimer SetDefaultDllDirectories SetThreadpoolTimerEx
        SetThreadpoolWaitEx WaitOnAddress WakeByAddressAll WakeByAddressSingle
        WinHttpCreateProxyResolver WinHttpFreeProxyResult WinHttpGetProxyForUrlEx
        WinHttpGetProxyResult WinHttpResetAutoProxy WinHttpWebSocketClose
        WinHttpWebSocketCompleteUpgrade WinHttpWebSocketQueryCloseStatus WinHttpWebSocketReceive
        WinHttpWebSocketSend WinHttpWebSocketShutdown""",
    "Windows 10": "CreateFileMappingFromApp MapViewOfFileFromApp QueryUnbiasedInterruptTimePrecise",
}
LATER_FUNCTION_VERSIONS = {name: version for version, names in UNGUARDED_LATER_FUNCTIONS.items()
                           for name in names.split()}
TRIPLES = {"pei-x86-64": "x86_64-w64-mingw32", "pei-i386": "i686-w64-mingw32"}


def imports(objdump_output):
    """{DLL name: [function names]} from objdump -p; ordinal imports as "#<ordinal>". A line it
    cannot read ends the check, rather than leave an import out unchecked."""
    table = {}
    dll = None
    for line in objdump_output.splitlines():
        match = re.match(r"\s*DLL Name: (\S+)", line)
        if match:
            dll = match.group(1)
            table.setdefault(dll, [])
        elif dll is None or line.strip().startswith("vma:"):
            continue
        elif not line.strip():
            dll = None  # the end of this DLL's list
        elif match := re.fullmatch(r"\s*[0-9a-fA-F]+\s+(\d+)\s+(\S+)\s*", line):
            name = match.group(2)
            table[dll].append(name if name != "<none>" else "#" + match.group(1))
        else:
            sys.exit(f"cannot read this line of the imports of {dll}: {line!r}")
    if not table:
        sys.exit("no imported DLLs found in the output of objdump -p")
    return table


def undeclared_for_windows_7(triple, names):
    """The names that the SDK headers, set to Windows 7, do not declare."""
    with tempfile.TemporaryDirectory() as directory:
        source = os.path.join(directory, "imports.c")
        with open(source, "w") as out:
            out.writelines(f"#include <{header}>\n" for header in HEADERS)
            out.write("void *const imported[] = {\n")
            out.writelines(f"  (void *)&{name},\n" for name in names)
            out.write("};\n")
        result = subprocess.run(
            [f"{triple}-gcc", *WINDOWS_7, "-Werror=implicit-function-declaration",
             "-fsyntax-only", source],
            capture_output=True, text=True, env={**os.environ, "LC_ALL": "C"})
    undeclared = set(re.findall(r"'(\w+)' undeclared", result.stderr))
    if result.returncode != 0 and not undeclared:
        sys.exit(f"compiling the imported names failed:\n{result.stderr}")
    return sorted(undeclared)


def check(exe):
    # MinGW-w64's objdump for x64 reads exes of both architectures.
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], capture_output=True,
                          text=True, check=True).stdout
    file_format = re.search(r"file format (\S+)", dump).group(1)
    triple = TRIPLES.get(file_format)
    if triple is None:
        return [f"{exe}: not a Windows exe for x86 or x64 ({file_format})"]
    table = imports(dump)
    # Windows 7's loader refuses an exe that asks for a later subsystem version than its own, 6.1.
    subsystem = tuple(int(re.search(rf"{part}SubsystemVersion\s+(\d+)", dump).group(1))
                      for part in ("Major", "Minor"))
    faults = []
    if subsystem > (6, 1):
        version = "%d.%d" % subsystem
        faults.append(f"{exe}: asks for subsystem version {version}, above Windows 7's 6.1")
    faults += [f"{exe}: imports {dll}, which is not one of Windows' own DLLs"
               for dll in table if not WINDOWS_DLLS.fullmatch(dll)]
    checked = {dll: names for dll, names in table.items() if dll.upper() != C_LIBRARY_DLL}
    c_library = [name for dll, names in table.items() if dll.upper() == C_LIBRARY_DLL
                 for name in names]
    names = sorted({name for names in checked.values() for name in names})
    faults += [f"{exe}: imports {dll} by ordinal {name[1:]}, which cannot be checked"
               for dll, dll_names in checked.items() for name in dll_names if name.startswith("#")]
    by_name = sorted(name for name in names if not name.startswith("#"))
    missing = {name: "the headers set to Windows 7 do not declare it"
               for name in undeclared_for_windows_7(triple, by_name)}
    missing.update({name: f"it came with {LATER_FUNCTION_VERSIONS[name]}" for name in by_name
                    if name in LATER_FUNCTION_VERSIONS})
    for name, reason in sorted(missing.items()):
        dll = next(dll for dll, dll_names in checked.items() if name in dll_names)
        faults.append(f"{exe}: imports {name} from {dll}, which Windows 7 does not have: {reason}")
    print(f"{exe} ({file_format}): {len(by_name)} functions of {', '.join(sorted(checked))} "
          f"checked against Windows 7; {len(c_library)} of msvcrt.dll left aside")
    return faults


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    faults = [fault for exe in sys.argv[1:] for fault in check(exe)]
    for fault in faults:
        print("FAIL " + fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
