#!/usr/bin/env python3
"""Fault sweep: every scenario played again with one simulated call failing.

For each scenario the runner first plays it as written and reports how many
calls each simulated function received (crtrate-sim --counts).  Then the
scenario is played once per call with that one call failing ("fail F n"),
and once per function with every call of it failing ("fail F").  Each run
is judged on its own transcript and against the fault-free one:

  run      the runner ends normally (no sanitizer report, within the time
           limit, status 0 or 1 for a broken rule below);
  exit, open, icon, menu
           the end-of-run rules, which the runner itself judges
           (crtrate-sim --rules; EndOfRunBreaks in harness/end_of_run.h);
  mark     while the run's story is the fault-free one's (same start-up
           state, the same choices applied the same way), a listing checks
           what the fault-free run's listings between the same two choices
           check, or nothing: a reading that failed must not turn into a
           wrong mark (a failed menu call itself may leave a listing off by
           the entry it was about);
  apply    a choice counts as applied (no "Error" box after the warning was
           answered OK, or "apply -> 1") only when its path's required
           steps visibly succeeded:
             Windows 9x, older driver: the three registry writes
               (CRTResolution, Pairlux_SameImage, the desktop mode's
               RefreshRate) each "-> 0", in that order;
             NT 4.0, older driver: the display-settings reset "-> 0";
             first Windows 95 release: never;
             switch driver paths: the driver's and the display settings'
               answers are deliberately not examined;
           and on every path only after the desktop went to the display
           settings (unless that very call failed where its answer is not
           examined); a confirmed choice never ends in silence unless the
           fault-free run's does too (9013) or the box itself failed;
  switch   the displays are switched (request 2) only after both the
           attached and the active mask were read;
  cds      on the Windows 9x older-driver path no display-settings call
           follows a required registry write that failed or never happened;
  desktop  no display-settings call asks for a desktop of zero width,
           height or depth.

Findings that the program's own rules produce and that are kept on purpose
are listed in tests/fault_sweep.known (a fault gets fixed, not listed);
they are printed as known but do not fail the sweep.

usage: tests/fault_sweep.py [--runner build/asan/crtrate-sim] [--jobs N]
                            [--verbose] [SCENARIO.scn...]
"""

import argparse
import concurrent.futures
import fnmatch
import glob
import json
import os
import re
import subprocess
import sys
import tempfile
import time

# Menu calls: their failure is ignored, and a listing may then be off by
# the entry the call was about (a mark not taken away, an entry not greyed).
MENU_CALLS = ("AppendMenuA", "CheckMenuItem", "EnableMenuItem", "GetMenuState")

SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                   "runtime error:", "SUMMARY: AddressSanitizer",
                   "SUMMARY: UndefinedBehaviorSanitizer")

DEFAULT_SCENARIOS = ("scenarios/story-*.scn", "scenarios/demo.scn",
                     "scenarios/apply-*.scn",
                     "scenarios/startup-driver-missing-*.scn",
                     "scenarios/startup-win95-first-release.scn")

TIMEOUT = 30  # seconds per run; a run takes well under one

# The findings kept on purpose, printed as known instead of failing.
KNOWN = "tests/fault_sweep.known"


def run(runner, text, workdir, tag):
    """Plays `text`; returns (status, stdout lines, stderr, counts, seconds),
    the stderr with the runner's listings of the menu (crtrate-sim
    --listings)."""
    path = os.path.join(workdir, tag + ".scn")
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    started = time.monotonic()
    try:
        done = subprocess.run([runner, "--counts", "--rules", "--listings",
                               path],
                              capture_output=True, timeout=TIMEOUT)
        status, out, err = done.returncode, done.stdout, done.stderr
    except subprocess.TimeoutExpired as e:
        status, out, err = "timeout", e.stdout or b"", e.stderr or b""
    finally:
        os.unlink(path)
    err = err.decode("utf-8", "replace")
    counts = {m[1]: int(m[2])
              for m in re.finditer(r"^calls (\S+) (\d+)$", err, re.M)}
    return (status, out.decode("utf-8", "replace").splitlines(), err, counts,
            time.monotonic() - started)


# ---------------------------------------------------------------------------
# Reading a transcript.

def state_of(lines):
    """(platform, switch) from the "platform" and "state" lines, or None."""
    platform = switch = None
    for line in lines:
        m = re.match(r"platform (\d+)$", line)
        if m:
            platform = int(m.group(1))
        m = re.match(r"state driver=\d+ switch=(\d+) ", line)
        if m:
            switch = int(m.group(1))
    return platform, switch


def listings(err):
    """Each listing of the menu as the runner read it: (index of its first
    line, [the entries it checks, by their place in the menu]).  Places,
    not captions: a run whose captions could not be loaded still checks
    the same place."""
    found = []
    for m in re.finditer(r"^listing (.*)$", err, re.M):
        listing = json.loads(m.group(1))
        found.append((listing["line"] - 1,
                      ["entry %d (%s %s)" % (k + 1, res, rate)
                       for k, (res, rate, _, checked)
                       in enumerate(listing["entries"]) if checked]))
    return found


BOUNDARY = re.compile(r"(box |track |apply |tray |exit |platform |state |menu )")


def attempts(lines):
    """Every attempt to apply a choice, in order, as a dict:
    start, end (line indexes of its segment), kind ("warning" or "apply"),
    ok (the program's verdict), segment (its lines)."""
    found = []
    for i, line in enumerate(lines):
        # A box shows as its "box <type> ..." line when it opens and its
        # "box -> <answer>" line when it closes.
        closed = next((k for k in range(i + 1, len(lines))
                       if lines[k].startswith("box -> ")), None)
        if line.startswith("box 49 ") and closed is not None and \
                lines[closed] == "box -> 1":
            first = end = closed + 1
            while end < len(lines) and not BOUNDARY.match(lines[end]):
                end += 1
            error = end < len(lines) and lines[end].startswith("box 16 ")
            # A command that names no mode (9013) is confirmed and then
            # does nothing at all: no attempt, no box.
            kind = "warning" if error or end > first else "nothing"
            found.append({"start": first, "end": end, "kind": kind,
                          "ok": not error, "segment": lines[first:end],
                          "boxed": error})
        m = re.match(r"apply -> (-?\d+)$", line)
        if m:
            start = i
            while start > 0 and not BOUNDARY.match(lines[start - 1]):
                start -= 1
            found.append({"start": start, "end": i, "kind": "apply",
                          "ok": m.group(1) != "0", "segment": lines[start:i],
                          "boxed": False})
    found.sort(key=lambda a: a["start"])
    return found


REGSET = re.compile(r'regset (HKCC|HKLM) "(.*)" "(.*)" .* -> (-?\d+)$')
# The three writes, in order; the HKLM one in the desktop mode's key.
LEGACY_WRITES = (("HKCC", "CRTResolution"), ("HKCC", "Pairlux_SameImage"),
                 ("HKLM", "RefreshRate"))
CDS = re.compile(r"cds 0x[0-9a-f]+ (\d+)x(\d+)x(\d+)@(\d+) -> (-?\d+)$")


def legacy_writes(segment):
    """The Windows 9x older-driver path's three required writes in the
    segment: for each, (line index, status) or None, and the index of the
    first display-settings call."""
    want = [None, None, None]
    cds = None
    for i, line in enumerate(segment):
        m = REGSET.match(line)
        if m:
            root, path, name, status = m.groups()
            key = (root, name) if root == "HKCC" or \
                "\\\\MODES\\\\" in path else None
            slot = LEGACY_WRITES.index(key) if key in LEGACY_WRITES else None
            if slot is not None and want[slot] is None:
                want[slot] = (i, int(status))
        if cds is None and line.startswith("cds "):
            cds = i
    return want, cds


# ---------------------------------------------------------------------------
# The rules.

def judge(fault, status, lines, err, base):
    """Violations of the rules by one run, as (rule, detail) pairs."""
    function, nth = fault
    bad = []
    if status == "timeout":
        return [("run", "no end within %d s" % TIMEOUT)]
    for mark in SANITIZER_MARKS:
        if mark in err:
            first = next(l for l in err.splitlines() if mark in l)
            bad.append(("run", "sanitizer: " + first.strip()))
            break
    rules = re.findall(r"^rule (\w+): (.*)$", err, re.M)
    bad += rules
    if status not in (0, 1) or (status == 1) != bool(rules):
        bad.append(("run", "runner status %s" % status))
    if status not in (0, 1) or ("exit" in (r for r, _ in rules)):
        return bad
    blocks = listings(err)

    # apply, cds, desktop
    platform, switch = state_of(lines)
    tried = attempts(lines)
    quiet = sum(a["kind"] == "nothing" for a in tried)
    base_quiet = sum(a["kind"] == "nothing" for a in attempts(base["lines"]))
    if quiet > base_quiet and function != "MessageBoxA":
        bad.append(("apply", "a confirmed choice did nothing and said "
                    "nothing"))
    for a in tried:
        seg = a["segment"]
        where = "attempt at line %d" % (a["start"] + 1)
        if a["kind"] == "nothing":
            continue
        # The "Error" box that did not show may be the failed call itself.
        if function == "MessageBoxA" and a["kind"] == "warning" and \
                not a["boxed"]:
            continue
        for k, line in enumerate(seg):
            if line.startswith("escape 2 ") and not (
                    "escape 7 -> 1" in seg[:k] and "escape 1 -> 1" in seg[:k]):
                bad.append(("switch", "%s: displays switched without both "
                            "masks read: %s" % (where, line)))
            c = CDS.match(line)
            if c and "0" in (c.group(1), c.group(2), c.group(3)):
                bad.append(("desktop", "%s: %s" % (where, line)))
        # Every path ends by handing the desktop to the display settings; a
        # choice reported applied without that is no choice applied.  Only
        # where the call's own answer is not examined (all but the NT 4.0
        # older-driver path) may its failure go unreported.
        cds_ignored = platform in (2, 3) and not (platform == 3 and
                                                  switch == 0)
        if a["ok"] and platform in (2, 3) and \
                not any(l.startswith("cds ") for l in seg) and \
                not (cds_ignored and function == "ChangeDisplaySettingsA"):
            bad.append(("apply", where + ": reported applied without "
                        "re-applying the desktop"))
        if platform == 1 and a["ok"]:
            bad.append(("apply", where + ": applied on the first Windows 95"))
        if platform == 2 and switch == 0:
            want, cds = legacy_writes(seg)
            done = all(w is not None and w[1] == 0 for w in want)
            ordered = done and want[0][0] < want[1][0] < want[2][0]
            if a["ok"] and not ordered:
                bad.append(("apply", where + ": reported applied, writes " +
                            str([w and w[1] for w in want])))
            if cds is not None:
                before = [w for w in want if w is not None and w[0] < cds]
                if len(before) < 3 or any(w[1] != 0 for w in before):
                    bad.append(("cds", where + ": display settings changed "
                                "after a required write failed"))
        if platform == 3 and switch == 0 and a["ok"]:
            if not any(CDS.match(l) and CDS.match(l).group(5) == "0"
                       for l in seg):
                bad.append(("apply", where + ": reported applied without "
                            "a successful reset"))

    # mark: between two attempts to apply a choice the mode in force stays
    # what it is, so while the run's attempts did what the fault-free run's
    # did, each listing may check only what the fault-free run's listings
    # of the same stretch check, or nothing.
    base_lines = base["lines"]
    if state_line(lines) == state_line(base_lines) and \
            function not in MENU_CALLS:
        base_tried = attempts(base_lines)
        same = departure(tried, base_tried, lines, base_lines)
        base_marks = {}
        for start, marks in listings(base["err"]):
            stretch = sum(a["start"] < start for a in base_tried)
            base_marks.setdefault(stretch, set()).update(
                m.split(" (")[0] for m in marks)
        for start, mine in blocks:
            stretch = sum(a["start"] < start for a in tried)
            if stretch > same or stretch not in base_marks:
                continue
            if mine and mine[0].split(" (")[0] not in base_marks[stretch]:
                bad.append(("mark", "listing at line %d checks %s, the "
                            "fault-free run %s" %
                            (start + 1, mine[0],
                             " ".join(sorted(base_marks[stretch]))
                             or "nothing")))
    return bad


def state_line(lines):
    return next((l for l in lines if l.startswith("state ")), None)


def effect(lines, a):
    """What an attempt did to the notebook: its writes and driver requests."""
    return [l for l in lines[a["start"]:a["end"]]
            if l.startswith(("regset ", "cds ", "escape 2 ", "escape 10 ",
                             "escape 66 "))] + [a["ok"]]


def departure(tried, base_tried, lines, base_lines):
    """How many attempts the run and the fault-free run have in common
    before one of them does something else (or is missing)."""
    k = 0
    while k < len(tried) and k < len(base_tried) and \
            effect(lines, tried[k]) == effect(base_lines, base_tried[k]):
        k += 1
    return k


# ---------------------------------------------------------------------------

def load_known(path):
    with open(path, encoding="utf-8") as f:
        known = [tuple(l.split("#", 1)[0].split()) for l in f]
    if any(len(k) not in (0, 4) for k in known):
        sys.exit("%s: expected: SCENARIO-GLOB FUNCTION N|every|* RULE" % path)
    return [k for k in known if k]


def is_known(known, scenario, function, nth, rule):
    name = os.path.basename(scenario)
    return any(fnmatch.fnmatch(name, glob_) and fn in (function, "*") and
               r in (rule, "*") and
               n in ("*", "every" if nth == 0 else str(nth))
               for glob_, fn, n, r in known)


def fault_text(fault):
    """The "fail" statement that makes a fault (function, n): n 0 for every
    call; "no fault" for the fault-free run (n -1)."""
    function, nth = fault
    return "no fault" if nth < 0 else \
        "fail %s%s" % (function, " %d" % nth if nth else "")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runner", default="build/asan/crtrate-sim",
                        help="the crtrate-sim that plays each run "
                        "(default %(default)s)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2,
                        help="runs played at once (default: one per core, "
                        "%(default)s)")
    parser.add_argument("--verbose", action="store_true",
                        help="print every run of a known finding, not only "
                        "the first")
    parser.add_argument("scenarios", nargs="*", metavar="SCENARIO.scn",
                        help="the scenarios to sweep (default: story-*, "
                        "demo, apply-*, startup-driver-missing-* and "
                        "startup-win95-first-release)")
    args = parser.parse_args()

    scenarios = args.scenarios or sorted(
        {p for g in DEFAULT_SCENARIOS for p in glob.glob(g)})
    known = load_known(KNOWN)
    if not os.access(args.runner, os.X_OK):
        sys.exit("fault_sweep: %s is not built" % args.runner)

    started = time.monotonic()
    workdir = tempfile.mkdtemp(prefix="fault_sweep.")
    texts, bases, jobs = {}, {}, []
    failures = []  # (scenario, fault, rule, detail, known)
    for scn in scenarios:
        with open(scn, encoding="utf-8") as f:
            texts[scn] = f.read()
        status, lines, err, counts, _ = run(args.runner, texts[scn], workdir,
                                            "base")
        base = {"lines": lines, "counts": counts, "err": err}
        bases[scn] = base
        for rule, detail in judge(("", -1), status, lines, err, base):
            failures.append((scn, ("(none)", -1), rule, detail, False))
        for function, n in counts.items():
            jobs += [(scn, (function, k)) for k in [*range(1, n + 1), 0]]

    def one(job):
        scn, (function, nth) = job
        tag = "%d.%s.%d" % (os.getpid(), function, nth) + \
            os.path.basename(scn)
        status, lines, err, counts, seconds = run(
            args.runner, fault_text(job[1]) + "\n" + texts[scn], workdir,
            tag + ".%x" % id(job))
        verdict = judge((function, nth), status, lines, err, bases[scn])
        same = lines == bases[scn]["lines"]
        return job, verdict, same, seconds

    same_count, slowest = 0, 0.0
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        for job, verdict, same, seconds in pool.map(one, jobs):
            scn, fault = job
            slowest = max(slowest, seconds)
            same_count += same
            for rule, detail in verdict:
                failures.append((scn, fault, rule, detail,
                                 is_known(known, scn, fault[0], fault[1],
                                          rule)))
    os.rmdir(workdir)

    new = [f for f in failures if not f[4]]
    old = [f for f in failures if f[4]]
    for scn, fault, rule, detail, _ in new:
        print("FAIL %s [%s] %s: %s" % (os.path.basename(scn),
                                       fault_text(fault), rule, detail))
    seen_known = {}
    for scn, fault, rule, detail, _ in old:
        seen_known.setdefault((fault[0], rule), []).append(
            (os.path.basename(scn), fault_text(fault), detail))
    for (function, rule), where in sorted(seen_known.items()):
        print("known %s %s: %d run(s), e.g. %s [%s] %s" %
              (function, rule, len(where), where[0][0], where[0][1],
               where[0][2]))
        if args.verbose:
            for w in where[1:]:
                print("      %s [%s] %s" % w)

    single = sum(sum(b["counts"].values()) for b in bases.values())
    every = sum(len(b["counts"]) for b in bases.values())
    runs_failed = len({(f[0], f[1]) for f in new})
    print("fault sweep: %d scenarios, %d calls each failed alone + %d "
          "functions failed throughout = %d runs (%d unchanged), "
          "%d failures found (%d new in %d runs, %d known), %.0f s, "
          "slowest run %.2f s" %
          (len(scenarios), single, every, len(jobs), same_count,
           len(failures), len(new), runs_failed, len(old),
           time.monotonic() - started, slowest))
    return 1 if new else 0


if __name__ == "__main__":
    sys.exit(main())
