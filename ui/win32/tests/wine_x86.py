"""Whether a Windows program is for x86, and why Wine cannot run such a program here, if it cannot:
the end-to-end tests of both programs ask before they start one."""
import os
import struct
import subprocess


def is_32_bit(program):
    """Whether a Windows exe is for x86 (its PE header's machine is IMAGE_FILE_MACHINE_I386)."""
    with open(program, "rb") as exe:
        header = exe.read(4096)
    (pe_offset,) = struct.unpack_from("<I", header, 0x3C)
    return struct.unpack_from("<H", header, pe_offset + 4)[0] == 0x14C


def reason_32_bit_wine_cannot_run(wine):
    """None where `wine` (Debian's wine64) can run 32-bit programs, else why not. It hands them to
    the 32-bit loader beside it (wine32:i386), a 32-bit Linux program that some kernels will not
    start (Exec format error); there scripts/install-deps.sh --windows has the kernel start such
    programs through QEMU's user-mode emulator."""
    loader = os.path.join(os.path.dirname(os.path.realpath(wine)), "wine")
    if not os.access(loader, os.X_OK):
        return (f"Wine cannot run 32-bit programs here: no {loader} (Debian: wine32:i386, "
                "which scripts/install-deps.sh --windows installs when the i386 lists allow)")
    try:
        subprocess.run([loader, "--version"], capture_output=True, timeout=30, check=True)
    except (OSError, subprocess.SubprocessError) as failure:
        return (f"Wine's 32-bit loader {loader} does not run on this machine ({failure}), nor "
                "through QEMU (scripts/install-deps.sh --windows sets that up)")
    return None
