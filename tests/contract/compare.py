#!/usr/bin/env python3
"""The contract suite under Wine: runs the Windows build of
tests/contract/ in a fresh Wine prefix on a virtual screen and holds its
lines against the native build's, which answers from the simulated notebook.

Usage (from the top of the tree):
    python3 -m tests.contract.compare [--wine LOADER] [--exe EXE] [--native NATIVE] [--require]

A line that differs passes only when its case says which real system the
simulation follows instead (crtrate-contract --marks); a marked case whose
lines are equal fails too, as the mark no longer holds.  When LOADER is
missing or cannot start EXE at all, the run is reported as skipped, with
the reason, and the exit status is 77; --require makes that a failure.
Exit status 0 when every line is accounted for, 1 otherwise.
"""
import argparse
import os
import shutil
import subprocess
import sys

from harness.wine.common import ROOT, WIN32, Failure, find_tool
from harness.wine.prefix import copy_template
from harness.wine.session import Session

SKIPPED = 77


def lines_by_case(text):
    """{case: answer} in the order of the "case: answer" lines."""
    return dict(line.split(": ", 1) for line in text.splitlines()
                if ": " in line)


def run_native(native, *args):
    if not os.access(native, os.X_OK):
        return ""
    proc = subprocess.run([native] + list(args), capture_output=True,
                          text=True, timeout=60)
    return proc.stdout


class WineRun:
    """A fresh prefix from the end-to-end template and an Xvfb screen of
    the contract's desktop (1024x768, 16 bits), for one exe."""

    def __init__(self, wine, name, bits):
        self.session = Session(name, "win98", screen=(1024, 768, 16),
                               bits=bits)
        self.session.wine = wine
        # An i686 exe started through qemu takes minutes, not seconds.
        self.patience = max(90, self.session.patience)

    def __enter__(self):
        s = self.session
        shutil.rmtree(s.dir, ignore_errors=True)
        os.makedirs(s.dir)
        copy_template(find_tool("wine64", "/usr/lib/wine/wine64"),
                      s.wineserver, s.prefix)
        # Wine's X11 driver changes modes through XRandR where the X
        # libraries have it, and a virtual screen then refuses every real
        # change; without it the screen is one fixed mode that a change to
        # itself succeeds on, as a notebook's display does.  Either way the
        # answers would tell about the X server, not the simulation.
        with open(os.path.join(s.prefix, "user.reg"), "a") as reg:
            reg.write('\n[Software\\\\Wine\\\\X11 Driver]\n'
                      '"UseXRandR"="N"\n"UseXVidMode"="N"\n')
        s.start_xvfb()
        return self

    def __exit__(self, *error):
        self.session.stop()
        return False

    def run(self, exe, *args):
        """Exit status (or why there is none), standard output and standard
        error of the exe."""
        try:
            return self.session.run_wine([exe] + list(args),
                                         2 * self.patience,
                                         check=False, full=True)
        except Failure as failure:
            return str(failure), "", ""


def compare(native_text, wine_text, marks):
    """The report's lines, the number of failures and of equal lines."""
    native, wine = lines_by_case(native_text), lines_by_case(wine_text)
    report, failures, equal = [], 0, 0
    for name, mine in native.items():
        theirs = wine.get(name)
        if theirs is None:
            report.append(f"FAIL {name}: no line from Wine (simulation: "
                          f"{mine})")
        elif name in marks and mine == theirs:
            report.append(f"FAIL {name}: marked as differing, yet Wine "
                          f"answers the same: {mine}  [{marks[name]}]")
        elif name in marks:
            report.append(f"expected difference {name}: simulation {mine} | "
                          f"Wine {theirs}  [{marks[name]}]")
            continue
        elif mine != theirs:
            report.append(f"FAIL {name}: simulation {mine} | Wine {theirs}")
        else:
            equal += 1
            continue
        failures += 1
    for name in wine:
        if name not in native:
            report.append(f"FAIL {name}: only Wine has this case")
            failures += 1
    return report, failures, equal


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--wine", default="/usr/lib/wine/wine64",
                        help="the Wine loader that runs EXE (default "
                        "%(default)s; /usr/lib/wine/wine for an i686 EXE)")
    parser.add_argument("--exe", default=os.path.join(
        ROOT, "build", "win64", "crtrate-contract.exe"),
        help="the Windows build of the suite, which the loader runs "
        "(default build/win64/crtrate-contract.exe; the i686 one is "
        "build/win32/crtrate-contract.exe)")
    parser.add_argument("--native", default=os.path.join(
        ROOT, "build", "native", "crtrate-contract"),
        help="the native build, whose lines and marks the Wine run is held "
        "against (default build/native/crtrate-contract)")
    parser.add_argument("--require", action="store_true",
                        help="an unusable loader fails instead of skipping")
    args = parser.parse_args()
    exe = os.path.abspath(args.exe)
    title = f"contract {os.path.relpath(exe, ROOT)} under {args.wine}"

    def skip(reason):
        print(f"{title}: {'FAILED' if args.require else 'SKIPPED'}: "
              f"{reason}", flush=True)
        return 1 if args.require else SKIPPED

    marks_text = run_native(args.native, "--marks")
    marks = lines_by_case(marks_text)
    native_text = run_native(args.native)
    if not lines_by_case(native_text):
        print(f"{title}: FAILED: {args.native} printed no cases", flush=True)
        return 1
    if not os.access(args.wine, os.X_OK):
        return skip(f"no Wine loader {args.wine}")
    if not os.path.isfile(exe):
        print(f"{title}: FAILED: {exe} is not built", flush=True)
        return 1
    name = "contract-" + os.path.basename(os.path.dirname(exe))
    try:
        bits = 32 if os.path.dirname(os.path.abspath(exe)) == WIN32 else 64
        with WineRun(args.wine, name, bits) as wine:
            # --marks makes no Win32 call: whether the loader can start the
            # exe at all, apart from what the cases do.
            code, out, err = wine.run(exe, "--marks")
            if code != 0 or out.splitlines() != marks_text.splitlines():
                tail = " | ".join(err.strip().splitlines()[-3:])
                return skip(f"the loader did not start the exe (exit {code}"
                            f"{': ' + tail if tail else ''})")
            code, out, err = wine.run(exe)
    except Failure as failure:
        print(f"{title}: FAILED: {failure}", flush=True)
        return 1
    report, failures, equal = compare(native_text, out, marks)
    if code != 0:
        report.append(f"FAIL the exe exited {code}: {err.strip()[-300:]}")
        failures += 1
    for line in report:
        print("   " + line)
    expected = sum(1 for line in report if line.startswith("expected"))
    print(f"{title}: {len(lines_by_case(native_text))} cases, {equal} equal, "
          f"{expected} expected differences, {failures} failures", flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
