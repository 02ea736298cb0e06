#!/usr/bin/env python3
"""Reads the compiled Windows resources (.res files from windres or rc) and checks the version record,
the application manifest and the icon that horalux.exe carries.

Usage: check-version-resource.py VERSION FILE.res [FILE.res ...]
VERSION is the version as CMake defines it, e.g. 1.00.
"""
import re
import struct
import sys

RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24
CHINESE_PRC = 0x0804
UNICODE_CODE_PAGE = 1200
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD
# The compatibility identifiers of every Windows the program runs on.
SUPPORTED_SYSTEMS = {
    "Windows 7": "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "Windows 8": "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "Windows 8.1": "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "Windows 10 and 11": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}


def align4(offset):
    return (offset + 3) & ~3


def read_name_or_id(data, offset):
    """A resource type or name: 0xFFFF followed by a number, or a NUL-terminated UTF-16 string."""
    (first,) = struct.unpack_from("<H", data, offset)
    if first == 0xFFFF:
        (number,) = struct.unpack_from("<H", data, offset + 2)
        return number, offset + 4
    end = offset
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def resources(data):
    """Yields (type, name, language, payload) for each entry of a .res file."""
    offset = 0
    while offset + 8 <= len(data):
        data_size, header_size = struct.unpack_from("<II", data, offset)
        type_, cursor = read_name_or_id(data, offset + 8)
        name, cursor = read_name_or_id(data, cursor)
        cursor = align4(cursor)
        _data_version, _flags, language = struct.unpack_from("<IHH", data, cursor)
        payload_start = offset + header_size
        payload = data[payload_start:payload_start + data_size]
        if data_size or type_ != 0:  # the leading empty entry marks a 32-bit .res file
            yield type_, name, language, payload
        offset = align4(payload_start + data_size)


def version_blocks(data, offset, end):
    """Yields (key, value_bytes, children_offset, block_end, value_type) for the blocks in [offset, end)."""
    while offset < end:
        length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
        if length == 0:
            break
        key_start = offset + 6
        key_end = key_start
        while struct.unpack_from("<H", data, key_end)[0] != 0:
            key_end += 2
        key = data[key_start:key_end].decode("utf-16-le")
        value_start = align4(key_end + 2)
        # Text values count UTF-16 units, binary ones count bytes.
        value_size = value_length * 2 if value_type == 1 else value_length
        value = data[value_start:value_start + value_size]
        yield key, value, align4(value_start + value_size), offset + length, value_type
        offset = align4(offset + length)


def parse_version_info(payload):
    root_key, fixed, children, root_end, _ = next(version_blocks(payload, 0, len(payload)))
    if root_key != "VS_VERSION_INFO":
        raise ValueError(f"version resource starts with {root_key!r}")
    signature, _struct_version, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != FIXED_FILE_INFO_SIGNATURE:
        raise ValueError("VS_FIXEDFILEINFO signature missing")
    info = {
        "file_version": (file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF),
        "product_version": (product_ms >> 16, product_ms & 0xFFFF, product_ls >> 16, product_ls & 0xFFFF),
        "string_tables": {},
        "translations": [],
    }
    for key, _value, sub, sub_end, _ in version_blocks(payload, children, root_end):
        if key == "StringFileInfo":
            for table_key, _v, entries, table_end, _ in version_blocks(payload, sub, sub_end):
                strings = {}
                for name, value, _c, _e, _t in version_blocks(payload, entries, table_end):
                    strings[name] = value.decode("utf-16-le").rstrip("\0")
                info["string_tables"][table_key] = strings
        elif key == "VarFileInfo":
            for var_key, value, _c, _e, _t in version_blocks(payload, sub, sub_end):
                if var_key == "Translation":
                    for i in range(0, len(value), 4):
                        info["translations"].append(struct.unpack_from("<HH", value, i))
    return info


def windows_version(version):
    parts = [int(p) for p in version.split(".")]
    return tuple((parts + [0, 0, 0, 0])[:4])


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    expected_version = sys.argv[1]
    entries = []
    for path in sys.argv[2:]:
        with open(path, "rb") as f:
            entries += list(resources(f.read()))

    failures = []

    def expect(condition, message):
        print(("ok   " if condition else "FAIL ") + message)
        if not condition:
            failures.append(message)

    versions = [e for e in entries if e[0] == RT_VERSION]
    expect(len(versions) == 1, f"one version record (found {len(versions)})")
    if versions:
        _type, _name, language, payload = versions[0]
        info = parse_version_info(payload)
        numeric = windows_version(expected_version)
        expect(language == CHINESE_PRC, f"resource language 0x{language:04x} is Chinese (PRC) 0x0804")
        expect(info["file_version"] == numeric, f"FILEVERSION {info['file_version']} is {numeric}")
        expect(info["product_version"] == numeric, f"PRODUCTVERSION {info['product_version']} is {numeric}")
        table_key = f"{CHINESE_PRC:04x}{UNICODE_CODE_PAGE:04x}"
        tables = info["string_tables"]
        expect(list(tables) == [table_key], f"string table {list(tables)} is [{table_key!r}]")
        strings = tables.get(table_key, {})
        for name in ("FileVersion", "ProductVersion"):
            expect(strings.get(name) == expected_version,
                   f"{name} {strings.get(name)!r} is {expected_version!r}")
        # Compiled without the UTF-8 code page the Chinese text would come out as mojibake.
        for name in ("FileDescription", "ProductName"):
            expect(strings.get(name) == "设置时间", f"{name} {strings.get(name)!r} is '设置时间'")
        copyright = strings.get("LegalCopyright", "")
        expect(re.fullmatch(r"版权所有 © 20\d\d Horalux 开发者", copyright) is not None,
               f"LegalCopyright {copyright!r} names the year and the holder")
        expect(info["translations"] == [(CHINESE_PRC, UNICODE_CODE_PAGE)],
               f"Translation {[(hex(l), c) for l, c in info['translations']]} is [(0x0804, 1200)]")

    manifests = [e for e in entries if e[0] == RT_MANIFEST and e[1] == 1]
    expect(len(manifests) == 1, f"one application manifest with id 1 (found {len(manifests)})")
    if manifests:
        text = manifests[0][3].decode("utf-8")
        expect('level="requireAdministrator"' in text, "manifest asks for administrator rights")
        expect("PerMonitorV2" in text, "manifest declares per-monitor (v2) DPI awareness")
        expect(">true/pm</dpiAware>" in text,
               "manifest declares per-monitor DPI awareness to Windows 8.1 (dpiAware true/pm)")
        listed = set(re.findall(r'<supportedOS Id="(\{[0-9a-f-]+\})"', text))
        for system, guid in SUPPORTED_SYSTEMS.items():
            expect(guid in listed, f"manifest lists {system} as supported")
        expect('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' in text,
               "manifest asks for common controls 6 (visual styles)")

    icons = [e for e in entries if e[0] == RT_GROUP_ICON and e[1] == 1]
    expect(len(icons) == 1, f"one icon group with id 1 (found {len(icons)})")
    if icons:
        payload = icons[0][3]
        (count,) = struct.unpack_from("<H", payload, 4)
        sizes = sorted(payload[6 + 14 * i] or 256 for i in range(count))
        expect({16, 32, 48, 256} <= set(sizes), f"icon sizes {sizes} include 16, 32, 48 and 256")

    if failures:
        sys.exit(f"{len(failures)} check(s) of the Windows resources failed")


if __name__ == "__main__":
    main()
