#!/usr/bin/env python3
"""Unpacks the release download and checks what a user gets.

usage: python3 -m tests.dist_check ZIP EXE LICENSE

With Info-ZIP's unzip (a reader other than the one that wrote it): the
archive tests whole; it holds exactly crtrate.exe and README.TXT, in that
order; the crtrate.exe it unpacks is EXE byte for byte (the exe that passed
the exe checks); README.TXT is code page 950 with CRLF line ends only, the
Traditional Chinese guide first and the English one after it, with as
many titled sections as each other, every title's underline as wide as the
title in Notepad's fixed font (two columns for a character of two bytes),
no line of it wider than 74 such columns, the licence's included, and
gives the unpacked exe's SHA-256 in both.  Above the Chinese guide,
lines in ASCII point English readers to their guide by its title.  Both
guides name LICENSE's licence, and the English one ends with its whole
text (the zip holds no other copy of it).  One version throughout: the
zip's name (crtrate-VERSION.zip), the title of each guide, and the
unpacked exe's version resource (its file and product versions as numbers
and as texts).  Exits 0 when all hold, 1 otherwise.
"""
import hashlib
import pathlib
import re
import struct
import subprocess
import sys
import tempfile

from tests.resources_check import (Pe, PeError, read_version_resource,
                                   version_resource_failures)
from tools.make_dist import is_underline, width

NAMES = ["crtrate.exe", "README.TXT"]
# The widest line README.TXT may have, in Notepad's fixed-font columns.
COLUMNS = 74
ZIP_NAME = re.compile(r"^crtrate-(\S+)\.zip$")
ENGLISH_TITLE = re.compile(r"^crtrate (\S+) user guide\r$", re.M)
CHINESE_TITLE = re.compile(r"^crtrate (\S+) 使用說明\r$", re.M)


def licence_failures(text, english, licence, licence_name):
    """Where the pointer to the English guide at the top, or the licence in
    either guide, is not as it should be."""
    failures = []
    chinese_title = CHINESE_TITLE.search(text, 0, english.start())
    top = text[:chinese_title.start()] if chinese_title else ""
    if not top.strip() or not top.isascii():
        failures.append("README.TXT does not start with lines in ASCII above "
                        "the Chinese guide")
    elif english.group(0).strip() not in " ".join(top.split()):
        failures.append(f"the lines above the Chinese guide do not name the "
                        f"English one, {english.group(0).strip()!r}")
    name = licence_name.split(" ")[0]
    if name not in text[:english.start()]:
        failures.append(f"the Chinese guide does not name the {name} licence")
    if not text.endswith(licence.replace("\n", "\r\n")):
        failures.append(f"the English guide does not end with the text of "
                        f"the {licence_name}")
    return failures


def version_failures(archive, text, english, exe):
    """Where the zip's name, the guide's two titles and the exe's version
    resource do not all carry the zip's version."""
    name = ZIP_NAME.match(pathlib.Path(archive).name)
    if not name:
        return [f"the zip's name {pathlib.Path(archive).name!r} is not "
                f"crtrate-VERSION.zip"]
    version, failures = name.group(1), []
    chinese = CHINESE_TITLE.search(text, 0, english.start())
    for label, title in (("Chinese", chinese), ("English", english)):
        if not title:
            failures.append(f"the {label} guide has no title with a version")
        elif title.group(1) != version:
            failures.append(f"the {label} guide is titled for version "
                            f"{title.group(1)}, the zip {version}")
    try:
        found = read_version_resource(Pe(exe).resources())
    except (PeError, struct.error) as e:
        return failures + [f"the zip's crtrate.exe: {e}"]
    return failures + version_resource_failures(found, version)


def main(argv):
    if len(argv) != 4:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    archive, exe, license_file = argv[1:]
    licence = pathlib.Path(license_file).read_text(encoding="utf-8")
    licence_name = licence.split("\n", 1)[0].strip()
    failures = []
    tested = subprocess.run(["unzip", "-tq", archive], capture_output=True,
                            text=True)
    if tested.returncode != 0:
        print(f"FAIL: unzip -t {archive}: {tested.stdout}{tested.stderr}")
        return 1
    listing = subprocess.run(["unzip", "-Z1", archive], capture_output=True,
                             text=True, check=True).stdout.split()
    if listing != NAMES:
        failures.append(f"the zip holds {listing}, wanted {NAMES}")
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run(["unzip", "-q", archive, "-d", tmp], check=True)
        checked = pathlib.Path(exe).read_bytes()
        shipped = pathlib.Path(tmp, "crtrate.exe").read_bytes()
        guide = pathlib.Path(tmp, "README.TXT").read_bytes()
    if shipped != checked:
        failures.append(f"the zip's crtrate.exe ({len(shipped)} bytes) is "
                        f"not {exe} ({len(checked)} bytes)")
    if b"\n" in guide.replace(b"\r\n", b"") or \
            b"\r" in guide.replace(b"\r\n", b""):
        failures.append("README.TXT has a line end other than CRLF")
    try:
        text = guide.decode("cp950")
    except UnicodeDecodeError as e:
        failures.append(f"README.TXT is not code page 950: {e}")
        text = ""
    for number, line in enumerate(text.split("\r\n"), 1):
        if width(line) > COLUMNS:
            failures.append(f"README.TXT line {number} is {width(line)} "
                            f"columns wide, over {COLUMNS}: {line!r}")
    english = ENGLISH_TITLE.search(text)
    if not english:
        failures.append("README.TXT has no English guide")
    else:
        chinese, rest = text[:english.start()], text[english.start():]
        if not re.search(r"[\u4e00-\u9fff]", chinese):
            failures.append("README.TXT does not start with the Chinese "
                            "guide")
        if not rest.isascii():
            failures.append("the English guide is not plain ASCII")
        sha = hashlib.sha256(shipped).hexdigest()
        sections = {}
        for part, label in ((chinese, "Chinese"), (rest, "English")):
            if sha not in part:
                failures.append(f"the {label} guide does not give the exe's "
                                f"SHA-256 {sha}")
            lines = part.split("\r\n")
            sections[label] = 0
            for title, line in zip(lines, lines[1:]):
                if not is_underline(line):
                    continue
                sections[label] += 1
                if len(line) != width(title):
                    failures.append(f"the underline of {title!r} is "
                                    f"{len(line)} wide, the title "
                                    f"{width(title)}")
        if sections["Chinese"] != sections["English"]:
            failures.append(f"the Chinese guide has {sections['Chinese']} "
                            f"titles, the English one {sections['English']}")
        failures += version_failures(archive, text, english, shipped)
        failures += licence_failures(text, english, licence, licence_name)
    for failure in failures:
        print(f"FAIL: {failure}")
    if failures:
        return 1
    print(f"dist_check: {archive}: {' and '.join(NAMES)}; the exe is {exe}, "
          f"the guide code page 950 with CRLF, at most {COLUMNS} columns, "
          f"Chinese then English with "
          f"{sections['English']} titles each, underlined to their width, "
          f"with the exe's SHA-256; version "
          f"{ZIP_NAME.match(pathlib.Path(archive).name).group(1)} in the "
          f"zip's name, both titles and the exe's version resource")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
