#!/usr/bin/env python3
"""Seed corpus of the fuzzer, written from scenarios.

Encodes each scenario's statements and actions as the records
fuzz/crtrate_fuzz.cpp reads, so that the fuzzer starts from the notebooks
and stories the golden scenarios already describe.

  fuzz/seeds.py --write SCENARIO.scn...
      write one seed per scenario into fuzz/corpus, named after it
  fuzz/seeds.py --check FUZZER RUNNER SCENARIO.scn...
      check that each seed in fuzz/corpus is what its scenario encodes to
      and decodes to a scenario that plays exactly like the original (the
      fuzzer writes the decoded text when CRTRATE_FUZZ_SCENARIO is set);
      exit status 1 if one does not
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile

# As in fuzz/crtrate_fuzz.cpp.
NUMBERS = [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 15, 16, 24, 28, 32, 60, 65,
           66, 70, 72, 75, 85, 100, 480, 600, 640, 768, 800, 1024, 1200, 1280,
           9000, 9013, 9014, 1225, 255, 256, 4096, 0x7FFFFFFF, 0x80000000,
           0xFFFFFFFF]
RELEASES = ["win95", "win95a", "win95b", "win95c", "win98", "nt4", "winme",
            "win2k"]
CLICKS = ["left", "right", "double", "rightdouble", "leftup", "rightup"]
SWITCHES = ["none", "first", "second"]
ROOTS = ["HKCC", "HKLM"]
KINDS = ["sz", "sz-bare", "binary", "dword"]
STATEMENTS = {"os": 1, "switch": 3, "switch-fail": 4, "switch-text": 5,
              "switch-ref": 6, "driver": 7, "result": 8, "reply": 9,
              "attached": 10, "active": 11, "level": 12, "panel": 13,
              "mode": 14, "rates": 15, "desktop": 16, "modes": 17,
              "cds-result": 18, "key": 19, "locked": 20, "value": 21,
              "fail": 22, "running": 23, "cursor": 24, "string": 25}
ACTIONS = {"click": 0, "callback": 1, "command": 2, "destroy": 3, "close": 4,
           "quit": 5, "taskbar-created": 6, "choose": 7, "answer": 8,
           "apply": 9}


def number(text):
    negative = text.startswith("-")
    digits = text[1:] if negative else text
    value = int(digits, 16 if digits[:2].lower() == "0x" else 10)
    value = -value if negative else value
    value &= 0xFFFFFFFF
    if value in NUMBERS:
        return bytes([NUMBERS.index(value)])
    if value <= 0xFE - len(NUMBERS):
        return bytes([value + len(NUMBERS)])
    return b"\xff" + struct.pack("<I", value)


def text(data):
    assert len(data) < 512, "text too long for a seed"
    return struct.pack("<H", len(data)) + data


def words(line):
    """The scenario's words; quoted texts as bytes (escapes undone)."""
    out, i = [], 0
    while i < len(line):
        c = line[i]
        if c.isspace():
            i += 1
        elif c == "#":
            break
        elif c == '"':
            data, i = bytearray(), i + 1
            while line[i] != '"':
                if line[i] == "\\":
                    e = line[i + 1]
                    if e == "n":
                        data += b"\n"
                        i += 2
                    elif e in '"\\':
                        data += e.encode()
                        i += 2
                    else:  # \xNN
                        data.append(int(line[i + 2:i + 4], 16))
                        i += 4
                else:
                    data += line[i].encode("utf-8")
                    i += 1
            out.append(bytes(data))
            i += 1
        else:
            j = i
            while j < len(line) and not line[j].isspace():
                j += 1
            out.append(line[i:j])
            i = j
    return out


def path(data):
    # Record kind 4 (a text of its own), then the unused adapter-key byte.
    return b"\x04\x00" + text(data)


def statement(w):
    op = STATEMENTS[w[0]]
    head = bytes([op])
    if w[0] == "os":
        if len(w) == 2:
            return head + bytes([RELEASES.index(w[1])])
        rec = bytes([2]) + number(w[1]) + number(w[2]) + number(w[3]) + \
            text(w[4])
        return rec + (b"\x01" + number(w[5]) if len(w) == 6 else b"\x00")
    if w[0] == "switch":
        return head + bytes([SWITCHES.index(w[1])])
    if w[0] == "switch-fail":
        return b"".join(head + number(code) for code in w[1:])
    if w[0] == "switch-text":
        return head + text(w[1])
    if w[0] == "driver":
        return head + (b"\x01" if w[1] == "present" else b"\x00")
    if w[0] == "reply":
        return head + number(w[1]) + bytes([len(w) - 2]) + \
            b"".join(number(x) for x in w[2:])
    if w[0] == "rates":
        return head + bytes([len(w) - 2]) + b"".join(number(x) for x in w[1:])
    if w[0] in ("key", "locked"):
        return head + bytes([ROOTS.index(w[1])]) + path(w[2])
    if w[0] == "value":
        rec = head + bytes([ROOTS.index(w[1])]) + path(w[2]) + b"\xff" + \
            text(w[3]) + bytes([KINDS.index(w[4])])
        if w[4] == "dword":
            return rec + number(w[5])
        if w[4] == "binary":
            return rec + text(bytes(int(x, 16) for x in w[5:]))
        return rec + text(w[5])
    if w[0] == "fail":
        return head + b"\xff" + text(w[1].encode()) + \
            number(w[2] if len(w) == 3 else "0")
    if w[0] == "running":
        return head
    if w[0] == "string":
        return head + number(w[1]) + text(w[2])
    return head + b"".join(number(x) for x in w[1:])


def action(w):
    if w[0] == "menu":
        return bytes([10 if len(w) == 3 else 11]) + \
            b"".join(number(x) for x in w[1:])
    head = bytes([ACTIONS[w[0]]])
    if w[0] == "click":
        return head + bytes([CLICKS.index(w[1])])
    if w[0] == "answer":
        return head + (b"\x00" if w[1] == "ok" else b"\x01")
    return head + b"".join(number(x) for x in w[1:])


def encode(scenario_text):
    statements, actions = bytearray(), bytearray()
    in_actions = False
    for line in scenario_text.splitlines():
        w = words(line)
        if not w:
            continue
        if w == ["---"]:
            in_actions = True
        elif w[0] in ACTIONS or w[0] == "menu":
            in_actions = True
            actions += action(w)
        else:
            assert not in_actions
            statements += statement(w)
    return bytes(statements) + b"\x00" + bytes(actions)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenarios", nargs="+")
    parser.add_argument("--corpus", default="fuzz/corpus")
    parser.add_argument("--write", action="store_true")
    parser.add_argument("--check", nargs=2, metavar=("FUZZER", "RUNNER"))
    args = parser.parse_args()
    failed = 0
    for scn in args.scenarios:
        with open(scn, encoding="utf-8") as f:
            seed = encode(f.read())
        name = os.path.join(args.corpus,
                            os.path.splitext(os.path.basename(scn))[0])
        if args.write:
            with open(name, "wb") as f:
                f.write(seed)
        if not args.check:
            continue
        fuzzer, runner = args.check
        with open(name, "rb") as f:
            if f.read() != seed:
                print("seeds: %s is not what %s encodes to (--write)" %
                      (name, scn))
                failed = 1
                continue
        with tempfile.TemporaryDirectory() as tmp:
            decoded = os.path.join(tmp, "decoded.scn")
            subprocess.run([fuzzer, name], check=True, capture_output=True,
                           env=dict(os.environ,
                                    CRTRATE_FUZZ_SCENARIO=decoded))
            want = subprocess.run([runner, scn], capture_output=True)
            got = subprocess.run([runner, decoded], capture_output=True)
            if want.stdout != got.stdout or got.returncode != 0:
                print("seeds: %s does not play like %s" % (name, scn))
                failed = 1
    if args.check and not failed:
        print("seeds: %d seeds play exactly like their scenarios" %
              len(args.scenarios))
    return failed


if __name__ == "__main__":
    sys.exit(main())
