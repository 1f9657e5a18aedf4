#!/usr/bin/env python3
"""Writes the release download: a zip of crtrate.exe and README.TXT.

usage: tools/make_dist.py EXE GUIDE LICENSE VERSION OUT.zip

GUIDE is the user guide's source (docs/guide.txt, UTF-8): its @VERSION@,
@SHA256@ and @LICENSE@ become VERSION, the exe's SHA-256 and the text of
LICENSE (the licence asks for its text to go with every copy, and the zip
holds the exe and the guide only), each title's underline (a
line of = or -) is made as wide as the title then is, and it goes into the
zip in code page 950 with CRLF line ends, as Notepad on a Traditional
Chinese Windows 95/98/NT 4.0 reads it.  A character code page 950 lacks is
an error, not a question mark: it stops the script with the file, line
and column where it stands.

The same inputs give the same bytes: the entries come in a fixed order,
with fixed attributes (MS-DOS, archive), fixed compression, and the time
of SOURCE_DATE_EPOCH, else of the last commit, else 1980-01-01.
"""
import hashlib
import os
import subprocess
import sys
import time
import zipfile

GUIDE_NAME = "README.TXT"
EXE_NAME = "crtrate.exe"
# FILE_ATTRIBUTE_ARCHIVE, as a file copied on Windows carries.
ARCHIVE = 0x20


def source_time():
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        try:
            epoch = subprocess.run(
                ["git", "log", "-1", "--format=%ct"], capture_output=True,
                text=True, check=True,
                cwd=os.path.dirname(os.path.abspath(__file__))).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            epoch = ""
    # Zip's MS-DOS times start in 1980 and have no time zone.
    stamp = time.gmtime(max(int(epoch or 0), 315532800))
    return stamp[:6]


def is_underline(line):
    return len(line) >= 3 and set(line) in ({"="}, {"-"})


def width(line):
    """Columns in Notepad's fixed font: a character of two bytes in code
    page 950 (Chinese, full-width punctuation) takes two."""
    return len(line.encode("cp950"))


def check_code_page(path, text):
    """Stops with the file, line and column of the first character code
    page 950 lacks, so that the guide's writer can find it."""
    for number, line in enumerate(text.split("\n"), 1):
        for column, char in enumerate(line, 1):
            try:
                char.encode("cp950")
            except UnicodeEncodeError:
                raise SystemExit(f"{path}:{number}:{column}: {char!r} "
                                 f"(U+{ord(char):04X}) is not in code page "
                                 f"950; README.TXT cannot hold it")


def guide_bytes(path, version, sha256, licence):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    check_code_page(path, text)
    text = text.replace("@VERSION@", version).replace("@SHA256@", sha256)
    text = text.replace("@LICENSE@\n", licence)
    if "@" in text:
        raise SystemExit(f"{path}: a placeholder is left: "
                         f"{text[text.index('@'):][:20]!r}")
    lines = text.replace("\r\n", "\n").split("\n")
    for i in range(1, len(lines)):
        if is_underline(lines[i]) and lines[i - 1].strip():
            lines[i] = lines[i][0] * width(lines[i - 1])
    return "\r\n".join(lines).encode("cp950")


def entry(name, when):
    info = zipfile.ZipInfo(name, date_time=when)
    info.create_system = 0
    info.external_attr = ARCHIVE
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main(argv):
    if len(argv) != 6:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    exe_path, guide_path, licence_path, version, out = argv[1:]
    with open(exe_path, "rb") as f:
        exe = f.read()
    with open(licence_path, encoding="utf-8") as f:
        licence = f.read()
    check_code_page(licence_path, licence)
    sha256 = hashlib.sha256(exe).hexdigest()
    guide = guide_bytes(guide_path, version, sha256, licence)
    when = source_time()
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    partial = out + ".part"
    with zipfile.ZipFile(partial, "w") as z:
        for name, data in ((EXE_NAME, exe), (GUIDE_NAME, guide)):
            z.writestr(entry(name, when), data, compresslevel=9)
    os.replace(partial, out)
    print(f"dist: {out}, {os.path.getsize(out)} bytes: {EXE_NAME} "
          f"({len(exe)} bytes, SHA-256 {sha256}), {GUIDE_NAME} "
          f"({len(guide)} bytes, code page 950)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
