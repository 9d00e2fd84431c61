#!/usr/bin/env python3
"""Checks of the executable handed to users that need no Windows and no Wine: a 32-bit GUI
program for i386 that imports only the system DLLs the window needs and advapi32 (a KnownDLL),
with its icon, manifest and version information, and no link time stamp. Run by ctest on every
build (a 64-bit test build checks the 32-bit file it is given) and by the packaging step before it
ships the file.

Usage: release_exe_check.py <exe>. Prints one line per check; exits 1 when any fails."""
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24

# What the release executable must be, written out here rather than taken from the build.
EXPECTED_IMPORTS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "advapi32.dll",
                    "msvcrt.dll"}
EXPECTED_ICONS = sorted((size, bits) for size in (16, 32, 48) for bits in (4, 8, 32))
EXPECTED_FILE_VERSION = (1, 0, 0, 0)
EXPECTED_STRINGS = {
    "OriginalFilename": "Velmo浏览器绿化工具1.0.exe",
    "ProductName": "Velmo浏览器绿化工具",
    "FileDescription": "Velmo浏览器绿化工具",
    "FileVersion": "1.00",
}
COMMON_CONTROLS = ("Microsoft.Windows.Common-Controls", "6.0.0.0")


class Image:
    """The parts of a PE file the checks read, for PE32 and PE32+ alike."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, self.time_stamp, _, _, optional_size, _ = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = self.u16(optional)
        self.subsystem = self.u16(optional + 68)
        directories = optional + (96 if self.magic == 0x10B else 112)
        count = self.u32(directories - 4)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(count)]
        table = optional + optional_size
        self.sections = []  # (virtual address, size, file offset)
        for i in range(sections):
            virtual_size, address, raw_size, raw_offset = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((address, max(virtual_size, raw_size), raw_offset))

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset(self, rva):
        for address, size, raw_offset in self.sections:
            if address <= rva < address + size:
                return rva - address + raw_offset
        raise ValueError(f"address {rva:#x} lies in no section")

    def imports(self):
        names, entry = [], self.offset(self.directories[1][0])
        while self.u32(entry + 12) != 0:
            start = self.offset(self.u32(entry + 12))
            names.append(self.data[start:self.data.index(b"\0", start)].decode("ascii").lower())
            entry += 20
        return names

    def resources(self):
        """{type: {id: bytes}}, the first language of each resource."""
        base = self.offset(self.directories[2][0])

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                yield struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)

        tree = {}
        for kind, kind_entries in entries(0):
            for ident, languages in entries(kind_entries & 0x7FFFFFFF):
                _, leaf = next(entries(languages & 0x7FFFFFFF))
                address, size = struct.unpack_from("<II", self.data, base + leaf)
                start = self.offset(address)
                tree.setdefault(kind, {})[ident] = self.data[start:start + size]
        return tree


def icon_group(resources):
    """(size, bit count) of each image of icon group 1, None for an image its RT_ICON lacks."""
    group = resources.get(RT_GROUP_ICON, {}).get(1, b"")
    _, kind, count = struct.unpack_from("<HHH", group, 0) if len(group) >= 6 else (0, 0, 0)
    images = []
    for i in range(count if kind == 1 else 0):
        width, _, _, _, _, bits, size, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        found = len(resources.get(RT_ICON, {}).get(ident, b"")) == size
        images.append((width or 256, bits) if found else None)
    return sorted(images, key=lambda image: image or (0, 0))


def manifest_dependencies(resources):
    """(name, version, processorArchitecture) of each assembly manifest 1 depends on."""
    text = resources.get(RT_MANIFEST, {}).get(1)
    if text is None:
        return []
    root = ElementTree.fromstring(text)
    found = []
    for element in root.iter():
        if element.tag.endswith("dependentAssembly"):
            for identity in element:
                if identity.tag.endswith("assemblyIdentity"):
                    found.append((identity.get("name"), identity.get("version"),
                                  (identity.get("processorArchitecture") or "").lower()))
    return found


def version_info(resources):
    """(file version, {string: value}) of version resource 1."""
    data = resources.get(RT_VERSION, {}).get(1, b"")
    strings, fixed = {}, None

    def walk(start, path):
        nonlocal fixed
        length, value_length, kind = struct.unpack_from("<HHH", data, start)
        end = data.index(b"\0\0", start + 6)
        while (end - start) % 2:
            end = data.index(b"\0\0", end + 1)
        key = data[start + 6:end].decode("utf-16-le")
        value = (end + 2 + 3) & ~3
        if key == "VS_VERSION_INFO" and value_length >= 52:
            signature, _, ms, ls = struct.unpack_from("<IIII", data, value)
            if signature == 0xFEEF04BD:
                fixed = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        if len(path) == 2 and path[0] == "StringFileInfo":
            text = data[value:value + 2 * value_length].decode("utf-16-le")
            strings[key] = text.rstrip("\0")
            return
        child = (value + (value_length * (2 if kind == 1 else 1)) + 3) & ~3
        while child < start + length:
            child_length = struct.unpack_from("<H", data, child)[0]
            if child_length == 0:
                break
            walk(child, path + [key] if key != "VS_VERSION_INFO" else path)
            child = (child + child_length + 3) & ~3

    if len(data) >= 6:
        walk(0, [])
    return fixed, strings


def checks(image):
    imports = image.imports()
    resources = image.resources()
    file_version, strings = version_info(resources)
    unexpected = sorted(set(imports) - EXPECTED_IMPORTS)
    return [
        ("PE32 (not PE32+)", image.magic == 0x10B, f"optional header magic {image.magic:#x}"),
        ("machine i386", image.machine == 0x14C, f"machine {image.machine:#x}"),
        ("Windows GUI subsystem", image.subsystem == 2, f"subsystem {image.subsystem}"),
        # A link time stamp would make every build of the same sources a different file.
        ("no link time stamp", image.time_stamp == 0, f"time stamp {image.time_stamp:#x}"),
        ("imports only system DLLs", "user32.dll" in imports and not unexpected,
         f"imports {', '.join(imports)}"),
        ("icon group 1: 16, 32, 48 px in 4, 8, 32 bits", icon_group(resources) == EXPECTED_ICONS,
         f"images {icon_group(resources)}"),
        ("manifest 1 asks for the x86 common controls 6",
         COMMON_CONTROLS + ("x86",) in manifest_dependencies(resources),
         f"dependencies {manifest_dependencies(resources)}"),
        ("version 1.0.0.0", file_version == EXPECTED_FILE_VERSION, f"file version {file_version}"),
        ("version strings", all(strings.get(k) == v for k, v in EXPECTED_STRINGS.items()),
         f"strings {strings}"),
    ]


def main(path):
    try:
        results = checks(Image(open(path, "rb").read()))
    except (OSError, ValueError, struct.error, ElementTree.ParseError) as error:
        print(f"FAIL {path}: {error}")
        return 1
    for name, passed, seen in results:
        print(f"{'ok  ' if passed else 'FAIL'} {name}" + ("" if passed else f": {seen}"))
    print(path)
    return 0 if all(passed for _, passed, _ in results) else 1


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
