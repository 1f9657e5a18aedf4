#!/usr/bin/env python3
"""The contract suite under Wine: runs the Windows build of
tests/contract/ in a fresh Wine prefix on a virtual screen and holds its
answers, call by call, against the native build's, which answers from the
simulated notebook.

Usage (from the top of the tree):
    python3 -m tests.contract.compare [--wine LOADER] [--exe EXE] [--native NATIVE] [--require]

Each difference is printed with its case, its call, both answers and the
mark that excuses it, if any (crtrate-contract --marks); an unmarked
difference fails, and so does a marked answer that is equal, as its mark no
longer holds.  When LOADER is missing or cannot start EXE at all, the run
is reported as skipped, with the reason, and the exit status is 77;
--require makes that a failure.  Exit status 0 when every answer is
accounted for, 1 otherwise.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

from harness.wine.common import ROOT, WIN32, Failure, find_tool
from harness.wine.prefix import copy_template
from harness.wine.session import Session

SKIPPED = 77


def answers(text):
    """{(case, call): answer} from the "case: call = answer" lines."""
    return {(case, call): answer for case, call, answer in
            re.findall(r"^(.+?): (.+) = (.*?)\r?$", text, re.M)}


def marks(text):
    """{(case, call): why} from the "mark case: call = why" lines."""
    return {(case, call): why for case, call, why in
            re.findall(r"^mark (.+?): (.+?) = (.*?)\r?$", text, re.M)}


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


def compare(native, wine, marked):
    """The report's lines, the number of failures and of equal answers."""
    report, failures, equal = [], 0, 0
    for (case, call), mine in native.items():
        theirs, mark = wine.get((case, call)), marked.get((case, call))
        line = f"{case}: {call}: simulation {mine} | Wine {theirs}"
        if mine == theirs and not mark:
            equal += 1
        elif mark and theirs not in (None, mine):
            report.append(f"expected difference {line}; excused by its "
                          f"mark: {mark}")
        else:
            failures += 1
            report.append(f"FAIL {line}; " + (
                f"the same, yet marked: {mark}" if theirs == mine
                else "no mark excuses it" if not mark
                else f"no answer to hold its mark against: {mark}"))
    for case, call in sorted(wine.keys() - native.keys()):
        report.append(f"FAIL {case}: {call}: only Wine answers it")
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

    marked = marks(run_native(args.native, "--marks"))
    listed = run_native(args.native, "--held")
    native = answers(run_native(args.native))
    if not native:
        print(f"{title}: FAILED: {args.native} printed no answers", flush=True)
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
            # --held makes no Win32 call: whether the loader can start the
            # exe at all, apart from what the cases do.
            code, out, err = wine.run(exe, "--held")
            if code != 0 or out.splitlines() != listed.splitlines():
                tail = " | ".join(err.strip().splitlines()[-3:])
                return skip(f"the loader did not start the exe (exit {code}"
                            f"{': ' + tail if tail else ''})")
            code, out, err = wine.run(exe)
    except Failure as failure:
        print(f"{title}: FAILED: {failure}", flush=True)
        return 1
    report, failures, equal = compare(native, answers(out), marked)
    if code != 0:
        report.append(f"FAIL the exe exited {code}: {err.strip()[-300:]}")
        failures += 1
    for line in report:
        print("   " + line)
    expected = sum(1 for line in report if line.startswith("expected"))
    print(f"{title}: {len(native)} answers of "
          f"{len({case for case, _ in native})} cases, {equal} equal, "
          f"{expected} expected differences, {failures} failures", flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
