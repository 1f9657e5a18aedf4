#!/usr/bin/env python3
"""Reads the resources back out of a built crtrate.exe and checks them.

Usage: python3 -m tests.resources_check EXE STRINGS.DEF RESOURCE.H CRTRATE.RC
                                         VERSION LICENSE

A small PE resource reader of its own (no icoutils needed).  Checks:
  - every string of strings.def is in the string table, in language 1028,
    with exactly its text, and the table holds nothing else;
  - the ids 1-12 and 100-107 are all there;
  - icon groups 8110 and 8115 exist (language 1028), each with a 32x32 and
    a 16x16 image of 16 colours (4 bits, one plane) whose RT_ICON data is a
    4-bit bitmap with the standard VGA palette and an AND mask;
  - the version resource (language 1028) carries VERSION (the CMake
    project version, "1.2.3") as its file and product version, both as
    numbers (1,2,3,0) and as text, and exactly the texts crtrate.rc gives
    it, each one code page 950 can hold, in the block "040403B6" (language
    1028, code page 950), which its Translation names;
  - every text the Properties dialog of Windows 98 shows is there and not
    empty, the internal name is the file's without ".exe", the product's
    name names the program, and the copyright is LICENSE's in the version
    resource's language: its year and holder and its licence, the holder
    also the company ("Copyright (c) 2026 the crtrate project" and "MIT
    License" give "(c) 2026 crtrate 專案，MIT 授權" and "crtrate 專案").
Exits 0 when all hold, 1 with one line per failure otherwise, 77 (skipped)
when the exe does not exist.
"""
import collections
import os
import re
import struct
import sys

from tools.make_icons import PALETTE

RT_ICON = 3
RT_STRING = 6
RT_GROUP_ICON = 14
RT_VERSION = 16
LANG_ZH_TW = 1028
CODE_PAGE = 950
VERSION_BLOCK = f"{LANG_ZH_TW:04X}{CODE_PAGE:04X}"
GROUPS = {8110: "IDI_DRIVER_READY", 8115: "IDI_DRIVER_MISSING"}
EXPECTED_IDS = set(range(1, 13)) | set(range(100, 108))
# The version texts the Version tab of a file's Properties shows on Windows
# 98: description and copyright at the top, the others in its list.
PROPERTIES_TEXTS = ("CompanyName", "FileDescription", "FileVersion",
                    "InternalName", "LegalCopyright", "OriginalFilename",
                    "ProductName", "ProductVersion")


class PeError(Exception):
    pass


class Pe:
    """Just enough of a PE reader to walk the resource tree."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        _, nsections, _, _, _, optsize, _ = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        if magic not in (0x10B, 0x20B):
            raise PeError(f"unknown optional header magic {magic:#x}")
        dirs = opt + (96 if magic == 0x10B else 112)  # PE32 or PE32+
        self.rsrc_rva, self.rsrc_size = struct.unpack_from("<II", data,
                                                           dirs + 2 * 8)
        self.sections = []
        sec = opt + optsize
        for i in range(nsections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from(
                "<8sIIII", data, sec + 40 * i)
            self.sections.append((va, max(vsize, rawsize), rawptr, rawsize))

    def offset(self, rva):
        for va, size, rawptr, rawsize in self.sections:
            if va <= rva < va + size:
                if rva - va >= rawsize:
                    raise PeError(f"RVA {rva:#x} is not in the file")
                return rawptr + (rva - va)
        raise PeError(f"RVA {rva:#x} is in no section")

    def resources(self):
        """Returns {(type, name, lang): bytes}; names and types that are
        strings come back as str."""
        if not self.rsrc_rva:
            raise PeError("no resource directory")
        base = self.offset(self.rsrc_rva)
        out = {}

        def name_of(entry_name):
            if entry_name & 0x80000000:
                at = base + (entry_name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", self.data, at)[0]
                return self.data[at + 2:at + 2 + 2 * length].decode(
                    "utf-16-le")
            return entry_name

        def walk(at, path):
            _, _, _, _, named, ids = struct.unpack_from("<IIHHHH", self.data,
                                                        at)
            for i in range(named + ids):
                entry_name, target = struct.unpack_from(
                    "<II", self.data, at + 16 + 8 * i)
                key = path + (name_of(entry_name),)
                if target & 0x80000000:
                    if len(key) >= 3:
                        raise PeError("resource tree deeper than 3 levels")
                    walk(base + (target & 0x7FFFFFFF), key)
                else:
                    if len(key) != 3:
                        raise PeError("resource leaf above level 3")
                    rva, size, _, _ = struct.unpack_from(
                        "<IIII", self.data, base + target)
                    at_data = self.offset(rva)
                    out[key] = self.data[at_data:at_data + size]

        walk(base, ())
        return out


def c_string(literal):
    """The text of a C string literal's inside (UTF-8 source)."""
    escapes = {"n": "\n", "t": "\t", "r": "\r", "a": "\a", "0": "\0"}
    return re.sub(r"\\(.)", lambda m: escapes.get(m[1], m[1]), literal,
                  flags=re.S)


def read_expected(strings_def, resource_h):
    with open(resource_h, encoding="utf-8") as f:
        ids = {m.group(1): int(m.group(2), 0) for m in re.finditer(
            r"^\s*#\s*define\s+(\w+)\s+(\w+)", f.read(), re.M)
            if re.fullmatch(r"(0x[0-9a-fA-F]+|\d+)", m.group(2))}
    with open(strings_def, encoding="utf-8") as f:
        text = f.read()
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    expected = {}
    for m in re.finditer(r'CRTRATE_STRING\(\s*(\w+)\s*,\s*"((?:[^"\\]|\\.)*)"'
                         r'\s*\)', text):
        name = m.group(1)
        if name not in ids:
            raise PeError(f"strings.def names {name}, unknown to resource.h")
        expected[ids[name]] = c_string(m.group(2))
    return expected


def string_table(resources, failures):
    strings = {}
    for (rtype, name, lang), data in resources.items():
        if rtype != RT_STRING:
            continue
        if lang != LANG_ZH_TW:
            failures.append(f"string block {name} is in language {lang}, "
                            f"not {LANG_ZH_TW}")
        at = 0
        for i in range(16):
            if at + 2 > len(data):
                failures.append(f"string block {name} is cut short")
                break
            length = struct.unpack_from("<H", data, at)[0]
            at += 2
            if length:
                sid = (name - 1) * 16 + i
                strings[sid] = data[at:at + 2 * length].decode("utf-16-le")
            at += 2 * length
    return strings


def check_icon_image(image, icon_id, want, label, failures):
    if len(image) < 40 + 64:
        failures.append(f"{label}: icon {icon_id} is too short")
        return
    (size, width, height, planes, bits, compression, _, _, _, used,
     _) = struct.unpack_from("<IiiHHIIiiII", image, 0)
    if (size, width, height, planes, bits, compression) != (40, want,
                                                             2 * want, 1, 4, 0):
        failures.append(
            f"{label}: icon {icon_id} bitmap is {width}x{height // 2} "
            f"{bits} bits {planes} planes (header {size}, compression "
            f"{compression}), wanted {want}x{want} 4 bits 1 plane")
        return
    colours = used or 16
    palette = [tuple(image[40 + 4 * i + k] for k in (2, 1, 0))
               for i in range(colours)]
    if palette != PALETTE:
        failures.append(f"{label}: icon {icon_id} palette is not the "
                        f"standard 16-colour VGA palette")
    xor = ((want * 4 + 31) // 32) * 4 * want
    mask = ((want + 31) // 32) * 4 * want
    if len(image) != 40 + 4 * colours + xor + mask:
        failures.append(f"{label}: icon {icon_id} holds {len(image)} bytes, "
                        f"not bitmap + AND mask "
                        f"({40 + 4 * colours + xor + mask})")


def check_icons(resources, failures):
    for group_id, label in GROUPS.items():
        found = [(lang, data) for (t, n, lang), data in resources.items()
                 if t == RT_GROUP_ICON and n == group_id]
        if not found:
            failures.append(f"icon group {group_id} ({label}) is missing")
            continue
        lang, data = found[0]
        if lang != LANG_ZH_TW:
            failures.append(f"icon group {group_id} is in language {lang}")
        reserved, kind, count = struct.unpack_from("<HHH", data, 0)
        if reserved != 0 or kind != 1 or len(data) != 6 + 14 * count:
            failures.append(f"icon group {group_id} is malformed")
            continue
        sizes = {}
        for i in range(count):
            (width, height, colours, _, planes, bits, nbytes,
             icon_id) = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
            width = width or 256
            height = height or 256
            if width != height:
                failures.append(f"{label}: image {icon_id} is {width}x"
                                f"{height}")
                continue
            if (colours, planes, bits) != (16, 1, 4):
                failures.append(
                    f"{label}: {width}x{height} image has {colours} colours, "
                    f"{planes} planes, {bits} bits, wanted 16 colours "
                    f"(1 plane, 4 bits)")
            images = [d for (t, n, _), d in resources.items()
                      if t == RT_ICON and n == icon_id]
            if not images:
                failures.append(f"{label}: icon {icon_id} is missing")
                continue
            if len(images[0]) != nbytes:
                failures.append(f"{label}: icon {icon_id} holds "
                                f"{len(images[0])} bytes, group says "
                                f"{nbytes}")
            check_icon_image(images[0], icon_id, width, label, failures)
            sizes[width] = icon_id
        for want in (32, 16):
            if want not in sizes:
                failures.append(f"{label}: no {want}x{want} image")
        print(f"icon group {group_id} ({label}): "
              + ", ".join(f"{s}x{s}" for s in sorted(sizes, reverse=True)))


def read_version_texts(rc, version):
    """The VALUE texts crtrate.rc gives its version resource; the version
    macro stands for VERSION."""
    with open(rc, encoding="utf-8") as f:
        text = f.read()
    texts = {}
    for m in re.finditer(r'^\s*VALUE\s+"(\w+)"\s*,\s*(?:"((?:[^"\\]|\\.)*)"|'
                         r'(CRTRATE_VERSION_TEXT))\s*$', text, re.M):
        texts[m.group(1)] = c_string(m.group(2)) if m.group(2) is not None \
            else version
    return texts


def version_nodes(data, at, end):
    """The children of a VS_VERSIONINFO node list: (key, value bytes, value
    type, children start, node end) each, 32-bit aligned as the format is."""
    nodes = []
    while at + 6 <= end:
        length, value_length, value_type = struct.unpack_from("<HHH", data, at)
        if length == 0:
            break
        key_end = at + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[at + 6:key_end].decode("utf-16-le")
        value_at = (key_end + 2 + 3) & ~3
        size = value_length * 2 if value_type == 1 else value_length
        nodes.append((key, data[value_at:value_at + size], value_type,
                      (value_at + size + 3) & ~3, at + length))
        at = (at + length + 3) & ~3
    return nodes


# What a version resource holds: its language, the file and product
# versions of its fixed part as four numbers each, its string blocks
# ({block: {name: text}}) and its Translation (language, code page).
VersionResource = collections.namedtuple("VersionResource", (
    "lang", "file_version", "product_version", "strings", "translation"))


def read_version_resource(resources):
    """The one version resource of an exe's resources, or PeError when
    there is not exactly one or it lacks its fixed part."""
    found = [(lang, data) for (t, n, lang), data in resources.items()
             if t == RT_VERSION]
    if len(found) != 1:
        raise PeError(f"{len(found)} version resources, wanted 1")
    lang, data = found[0]
    root = version_nodes(data, 0, len(data))
    if not root or root[0][0] != "VS_VERSION_INFO" or len(root[0][1]) != 52:
        raise PeError("the version resource has no VS_VERSION_INFO with its "
                      "fixed part")
    _, fixed, _, children, end = root[0]
    (signature, _, file_ms, file_ls, product_ms,
     product_ls) = struct.unpack_from("<IIIIII", fixed, 0)
    if signature != 0xFEEF04BD:
        raise PeError(f"version signature {signature:#x}")
    strings, translation = {}, None
    for key, _, _, start, stop in version_nodes(data, children, end):
        for sub, value, _, sub_start, sub_stop in version_nodes(data, start,
                                                                 stop):
            if key == "VarFileInfo" and sub == "Translation":
                translation = struct.unpack_from("<HH", value, 0)
            elif key == "StringFileInfo":
                strings[sub] = {
                    name: v.decode("utf-16-le").rstrip("\0")
                    for name, v, _, _, _ in version_nodes(data, sub_start,
                                                          sub_stop)}

    def numbers(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    return VersionResource(lang, numbers(file_ms, file_ls),
                           numbers(product_ms, product_ls), strings,
                           translation)


def version_resource_failures(found, version):
    """Where a version resource does not carry VERSION ("1.2.3") as its file
    and product version, as numbers (1, 2, 3, 0) and as texts."""
    parts = [int(p) for p in version.split(".")]
    numbers = tuple(parts + [0] * (4 - len(parts)))
    failures = [f"the exe's {what} version is {'.'.join(map(str, got))}, "
                f"not {version}"
                for what, got in (("file", found.file_version),
                                  ("product", found.product_version))
                if got != numbers]
    return failures + [f"the exe's {key} ({block}) is {texts.get(key)!r}, "
                       f"not {version}"
                       for block, texts in found.strings.items()
                       for key in ("FileVersion", "ProductVersion")
                       if texts.get(key) != version]


def copyright_texts(license_file):
    """LICENSE's copyright as the version resource gives it, and its holder
    as the company: its first line names the licence ("MIT License", "MIT
    授權") and its line "Copyright (c) YEAR the NAME project" the year and
    the holder ("NAME 專案")."""
    with open(license_file, encoding="utf-8") as f:
        text = f.read()
    first = text.split("\n", 1)[0].strip()
    if not first.endswith(" License"):
        raise PeError(f"{license_file} does not start with the licence's "
                      f"name: {first!r}")
    holder = re.search(r"^Copyright \(c\) (\d{4}) the (\S+) project$", text,
                       re.M)
    if not holder:
        raise PeError(f"{license_file} has no line \"Copyright (c) YEAR the "
                      f"NAME project\"")
    company = f"{holder.group(2)} 專案"
    return (f"(c) {holder.group(1)} {company}，{first[:-len(' License')]} "
            f"授權", company)


def check_version(resources, texts, version, legal, failures):
    try:
        found = read_version_resource(resources)
    except PeError as e:
        failures.append(str(e))
        return
    if found.lang != LANG_ZH_TW:
        failures.append(f"the version resource is in language {found.lang}")
    failures += version_resource_failures(found, version)
    strings, translation = found.strings, found.translation
    if translation != (LANG_ZH_TW, CODE_PAGE):
        failures.append(f"Translation is {translation}, wanted "
                        f"({LANG_ZH_TW}, {CODE_PAGE})")
    if list(strings) != [VERSION_BLOCK]:
        failures.append(f"string blocks {list(strings)}, wanted "
                        f"[{VERSION_BLOCK!r}]")
        return
    got = strings[VERSION_BLOCK]
    if got != texts:
        failures.append(f"version texts {got}, crtrate.rc says {texts}")
    for name in PROPERTIES_TEXTS:
        if not got.get(name):
            failures.append(f"the version resource has no {name}")
    if got.get("OriginalFilename") != "crtrate.exe":
        failures.append(f"OriginalFilename is {got.get('OriginalFilename')!r}")
    if f"{got.get('InternalName')}.exe" != got.get("OriginalFilename"):
        failures.append(f"InternalName {got.get('InternalName')!r} is not "
                        f"the file's name without .exe")
    if "crtrate" not in got.get("ProductName", ""):
        failures.append(f"ProductName {got.get('ProductName')!r} does not "
                        f"name the program")
    for name, want in zip(("LegalCopyright", "CompanyName"), legal):
        if got.get(name) != want:
            failures.append(f"{name} is {got.get(name)!r}; LICENSE gives "
                            f"{want!r}")
    for name, text in got.items():
        try:
            text.encode("cp950")
        except UnicodeEncodeError:
            failures.append(f"{name} {text!r} is not in code page 950")
    print(f"version {'.'.join(map(str, found.file_version))}, block "
          f"{VERSION_BLOCK}: "
          + ", ".join(f"{k} {v!r}" for k, v in got.items()))


def main(argv):
    if len(argv) != 7:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    exe, strings_def, resource_h, rc, version, license_file = argv[1:]
    if not os.path.exists(exe):
        print(f"resources_check: {exe} does not exist (build the win32 "
              f"preset first); skipped")
        return 77
    failures = []
    try:
        expected = read_expected(strings_def, resource_h)
        version_texts = read_version_texts(rc, version)
        legal = copyright_texts(license_file)
        with open(exe, "rb") as f:
            resources = Pe(f.read()).resources()
    except (PeError, struct.error, OSError, UnicodeDecodeError) as e:
        print(f"resources_check: {exe}: {e}")
        return 1

    missing_ids = EXPECTED_IDS - set(expected)
    if missing_ids:
        failures.append(f"strings.def lacks ids {sorted(missing_ids)}")
    strings = string_table(resources, failures)
    for sid in sorted(set(expected) | set(strings)):
        if sid not in strings:
            failures.append(f"string {sid} is missing from the exe")
        elif sid not in expected:
            failures.append(f"string {sid} ({strings[sid]!r}) is not in "
                            f"strings.def")
        elif strings[sid] != expected[sid]:
            failures.append(f"string {sid} is {strings[sid]!r}, strings.def "
                            f"says {expected[sid]!r}")
    print(f"strings: {len(strings)} in language {LANG_ZH_TW}, "
          f"{len(expected)} in strings.def")
    check_icons(resources, failures)
    check_version(resources, version_texts, version, legal, failures)

    for failure in failures:
        print(f"FAIL: {failure}")
    if failures:
        return 1
    print(f"resources_check: {exe}: all resources as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
