#!/usr/bin/env python3
"""Every function the release exe imports is held by a case of the contract
suite, or named with its reason in the suite's list of what no case can
show (crtrate-contract --held).  A function the program starts to import
fails this check until a case holds it or the list says why none can.

usage: python3 tests/contract/held.py EXE CONTRACT
exit status 0, 1 for an import held by nothing, 2 for a usage error, 77
when EXE is not built (ctest counts that as skipped).
"""

import re
import subprocess
import sys


def imports(exe):
    """The functions in the exe's import table, by name."""
    with open(exe, "rb") as f:
        head = f.read(0x400)
    machine = head[head.find(b"PE\0\0") + 4:][:2]
    objdump = ("x86_64-w64-mingw32-objdump" if machine == b"\x64\x86"
               else "i686-w64-mingw32-objdump")
    table = subprocess.run([objdump, "-p", exe], capture_output=True,
                           text=True, check=True).stdout
    return set(re.findall(r"^\t[0-9a-f]+\t\s*\d+\s+(\w+)$", table, re.M))


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    exe, contract = sys.argv[1:]
    try:
        imported = imports(exe)
    except FileNotFoundError:
        print(f"held: {exe} is not built")
        return 77
    listed = subprocess.run([contract, "--held"], capture_output=True,
                            text=True, check=True).stdout
    held = {}
    for line in listed.splitlines():
        _, function, _, by = line.split()
        held.setdefault(function, []).append(by)
    missing = sorted(imported - set(held))
    for function in missing:
        print(f"held: {exe} imports {function}, which no contract case "
              f"holds and the list of what no case can show does not name")
    print(f"held: {len(imported) - len(missing)} of the {len(imported)} "
          f"functions {exe} imports are held")
    return 1 if missing or not imported else 0


if __name__ == "__main__":
    sys.exit(main())
