#!/usr/bin/env python3
"""End-to-end tests of crtrate under Wine, on a virtual X screen.

Usage (from the top of the tree):
    python3 -m tests.e2e.wine_e2e [--keep] [--jobs N] TEST...
                                      run the named tests (default all)
    python3 -m tests.e2e.wine_e2e --list
                                      name every test and what it proves

Each test gets its own Xvfb screen and Wine prefix (harness.wine.session,
harness.wine.prefix).  The tests of crtrate-simhw.exe play a scenario of
tests/e2e/scenarios through harness.wine.player, with build/native/crtrate-sim
as the oracle; the others drive crtrate.exe itself, without the simulated
driver: the x86_64 build of the release sources (build/win64) in the
64-bit tests, the release exe in those named *-32.

The tests named *-32 run the i686 builds (build/win32/crtrate.exe, the
release exe itself, and the i686 rig) under 32-bit Wine: Debian's wine32,
which tools/wine32_setup.sh installs and, where the kernel runs no i386
programs, starts through qemu-i386.  Only the program under test, and the
helper where it asks what 32-bit Wine's display driver answers, are i686;
Wine's server, shell and the rest of the helper's work stay 64-bit.  A
start there takes about a minute, so each such test starts its program as
few times as its checks allow, one session may play several notebooks,
and --jobs runs two tests at once.

Exit status 0 when every named test passed, 1 when one failed, 2 for an
unknown test or a build file that is missing.
"""

import argparse
import concurrent.futures
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from harness.wine.common import (
    APP_TITLE,
    DESK_CPL,
    EXE,
    EXES,
    Failure,
    HELPER,
    HELPERS,
    ROOT,
    SIM,
    SIMHW,
    SIMHWS,
    SUFFIX,
    UNSUPPORTED_TEXT,
    WINE32,
    WORK,
    check,
    check_equal,
    log,
    wait_until)
from harness.wine.session import Session
from harness.wine.player import (
    click_for_missing_driver,
    play_another,
    play_notebook,
    read_scenario,
    scenario_session,
    statement)

SCENARIOS = os.path.join(ROOT, "tests", "e2e", "scenarios")


def start_release(s, name="program"):
    """Starts the exe under test; for the i686 one, says which bytes."""
    exe = EXES[s.bits]
    if s.bits == 32:
        with open(exe, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        log(f"   {os.path.relpath(exe, ROOT)}: {os.path.getsize(exe)} bytes, "
            f"sha256 {digest}")
    return s.start_program(exe, name=name)


def test_unsupported(keep, os_name, bits=64):
    """The unsupported-system box, in English under the Chinese caption; no
    icon, no window, exit code 0."""
    with Session(f"unsupported-{os_name}{SUFFIX[bits]}", os_name, keep=keep,
                 bits=bits) as s:
        s.start()
        proc = start_release(s)
        check_equal(s.wait_box(APP_TITLE)[1], UNSUPPORTED_TEXT, "box text")
        check_equal(s.tray_icons(), 0, "tray icons")
        check_equal(s.main_windows(), [], "the program's windows")
        s.close_box(APP_TITLE, "unsupported")
        check_equal(proc.wait(timeout=s.patience), 0, "exit code")
        log("   OK closes it; exit code 0, no icon")


def test_driver_missing(keep, os_name, driver_file, bits=64,
                        second_copy=False):
    """Wine's display driver does not answer: the icon is there with its
    tip and a click names the missing driver file; the program goes on.
    With second_copy, a second copy started meanwhile adds no icon (the
    32-bit runs check one copy this way rather than start three)."""
    with Session(f"driver-missing-{os_name}{SUFFIX[bits]}", os_name, keep=keep,
                 bits=bits) as s:
        s.start()
        proc = start_release(s)
        s.wait_icon()
        log(f"   icon with the tip {APP_TITLE!r}")
        s.screenshot("icon")
        s.check_icon("driver_missing")
        click_for_missing_driver(s, proc, driver_file)
        if second_copy:
            check_second_copy(s)
        s.end_program(proc, timeout=s.patience)


def check_second_copy(s):
    """A second copy started while one runs leaves at once with 0, adding
    no icon and no window."""
    second = start_release(s, name="second")
    check_equal(second.wait(timeout=s.patience), 0, "second copy's exit code")
    check_equal(s.tray_icons(), 1, "tray icons with two copies")
    check_equal(len(s.main_windows()), 1, "main windows")
    log("   a second copy left at once (0); one icon")


def test_simhw(keep, scenario, bits=64):
    name = os.path.splitext(os.path.basename(scenario))[0] + SUFFIX[bits]
    path = os.path.join(SCENARIOS, scenario)
    with scenario_session(name, path, keep, bits) as session:
        play_notebook(session, path)


def test_nt4_cds(keep, bits=64, then=()):
    """NT 4.0's older driver: the choice stands or falls with what
    ChangeDisplaySettingsA answers, which only Wine can tell.  The helper,
    of the program's bitness, first sets the mode in force, which a Wine
    that can change the display takes (0), then makes the program's very
    request; the simulated notebook is then told that answer, and the Wine
    run must show "Error" exactly when the simulated one does, that is
    when the answer is not 0.  Under 32-bit Wine the answer must be 0: the
    release exe's change is applied.  `then`: scenarios of the same system
    and desktop played next in the same session."""
    scenario = os.path.join(SCENARIOS, "nt4-legacy.scn")
    statements, actions = read_scenario(scenario)
    width, height, bpp, _ = statement(statements, "desktop")
    rate = [words[2][0] for words in actions if words[0][0] == "choose"][-1]
    answers = {}

    def probe(session):
        # The mode in force at the adapter's default rate, dynamically;
        # then CDS_UPDATEREGISTRY | CDS_RESET, as the program asks.
        in_force, answers["cds"] = (int(line["result"]) for line in
                                    session.ask(
            "cds", width, height, bpp, "0", "0",
            width, height, bpp, str(rate), "0x40000001", bits=bits))
        check_equal(in_force, 0, f"{bits}-bit Wine's answer to "
                    f"ChangeDisplaySettingsA({width}x{height}x{bpp}, 0), the "
                    f"mode in force (-2, DISP_CHANGE_BADMODE: its display "
                    f"driver sets no mode; tools/wine32_setup.sh installs "
                    f"what 32-bit Wine's driver needs)")
        log(f"   {bits}-bit Wine answers ChangeDisplaySettingsA({width}x"
            f"{height}x{bpp}, 0) with 0, and ({width}x{height}x{bpp}@{rate}, "
            f"CDS_UPDATEREGISTRY|CDS_RESET) with {answers['cds']}")
        if bits == 32:
            check_equal(answers["cds"], 0, "32-bit Wine's answer to the "
                        "program's request (for the change to be applied)")
        return [f"cds-result {answers['cds']}"]

    def story(player):
        player.play()
        shown_error = ("Error", "Error") in player.boxes
        check_equal(shown_error, answers["cds"] != 0,
                    "\"Error\" shown exactly when the answer is not 0")
        log("   " + ("\"Error\" shown" if shown_error else
                     "no \"Error\" box") + f" for answer {answers['cds']}")

    with scenario_session("nt4-legacy" + SUFFIX[bits], scenario, keep,
                          bits) as session:
        play_notebook(session, scenario, derive=probe, story=story)
        for other in then:
            play_another(session, os.path.join(SCENARIOS, other),
                         os.path.splitext(other)[0])


def test_single_copy(keep):
    """One icon however many copies start, two at the same moment among
    them; WM_CLOSE and a quit posted from outside both take it away; exit
    code 0 each time."""
    with Session("single-copy", "win98", keep=keep) as s:
        s.start()
        # Started together, as the StartUp folder and a Run key start them:
        # neither finds the other's window, which exists only once the
        # driver has been asked.
        copies = [s.start_program(EXE, name=name) for name in ("first", "twin")]
        left = wait_until("one of two copies started together to leave",
                          s.patience, lambda: [p for p in copies
                                               if p.poll() is not None])
        check_equal([p.returncode for p in left], [0], "the copy that left")
        first = [p for p in copies if p not in left][0]
        s.wait_icons(1)
        check_equal(len(s.main_windows()), 1, "main windows")
        log("   two copies started together: one left with 0, one icon")
        check_second_copy(s)
        s.end_program(first)
        third = s.start_program(EXE, name="third")
        s.wait_icons(1)
        s.end_program(third, "quit")
        check_equal(s.main_windows(), [], "windows after the quit")


def test_taskbar_created(keep):
    """A shell that starts afresh has an empty notification area and says
    "TaskbarCreated"; the program puts its icon back.

    Wine's shell cannot be restarted for this: its explorer.exe owns the
    desktop window, so ending it takes every top-level window of the
    prefix with it (the program's hidden window too, leaving the process
    behind without one), and an explorer started afresh broadcasts no
    "TaskbarCreated".  What a restart means to the program is played
    instead: its icon is taken out of the notification area behind its
    back, then the message is broadcast as Explorer does."""
    with Session("taskbar-created", "win98", keep=keep) as s:
        s.start()
        proc = s.start_program(EXE)
        s.wait_icons(1)
        s.retray()
        log("   icon taken away, TaskbarCreated broadcast: icon back")
        s.screenshot("icon-back")
        s.end_program(proc)


def test_icon_back(keep):
    """NT 4.0's own shell says nothing when it restarts, so a program's icon
    is simply gone.  Started again, crtrate leaves at once but asks the
    running copy to add its icon again.  The restart is played as in
    taskbar-created, without the broadcast."""
    with Session("icon-back-nt40", "nt4", keep=keep) as s:
        s.start()
        first = s.start_program(EXE, name="first")
        s.wait_icons(1)
        s.untray()
        log("   icon taken away, nothing broadcast")
        second = s.start_program(EXE, name="second")
        check_equal(second.wait(timeout=s.patience), 0,
                    "second copy's exit code")
        s.wait_icons(1, "the icon to come back", 20)
        check_equal(len(s.main_windows()), 1, "main windows")
        log("   a second copy left with 0 and the icon is back")
        s.screenshot("icon-back")
        s.end_program(first)


def test_desk_applet(keep):
    """With the driver answering (the rig, tests/e2e/scenarios/win98-desk-applet.scn)
    a real right double-click on the icon starts RUNDLL32.EXE with
    "shell32.dll,Control_RunDLL desk.cpl" and opens no menu; the stand-in
    applet records the command line it was started with.  A single right
    click then opens the menu.  The requests and the menu equal crtrate-sim's
    for the same clicks."""
    desk_log = os.path.join(WORK, "runs", "desk-applet", "desk.log")

    def story(player):
        s = player.s
        applet = os.path.join(s.prefix, "drive_c", "windows", "system32",
                              "desk.cpl")
        # The prefix shares system32's files with the template by hard
        # links: a file there is replaced, never written into.
        if os.path.exists(applet):
            os.unlink(applet)
        shutil.copyfile(DESK_CPL, applet)
        s.click_icon(3, repeat=2)
        lines = wait_until("the Display applet to be started", 30, lambda: (
            open(desk_log).read().splitlines()
            if os.path.exists(desk_log) else None))
        log(f"   applet: {lines[0]}")
        check(re.match(r"desk\.cpl init .*rundll32(\.exe)?\"?\s+"
                       r"shell32\.dll,Control_RunDLL desk\.cpl\s*$",
                       lines[0], re.I),
              f"the applet was started by {lines[0]!r}")
        # The double-click killed the first press's timer before it started
        # the applet.
        player.check_no_menu(0, "after the double-click")
        log("   no menu after the double-click")
        player.show_menu(3, 1)
        player.pick(None)
        log("   a single right click opened the menu")
        player.finish()

    scenario = os.path.join(SCENARIOS, "win98-desk-applet.scn")
    with scenario_session("desk-applet", scenario, keep) as session:
        play_notebook(session, scenario,
                      extra_env={"CRTRATE_E2E_DESK_LOG": desk_log},
                      story=story)


# Each test: what it proves, then the function and its arguments after keep.
TESTS = {
    "unsupported-winme": (
        "Windows ME: the unsupported-system box, English text under the "
        "Chinese caption, no icon, exit code 0", test_unsupported, "winme"),
    "unsupported-win2k": (
        "Windows 2000: the same box, no icon, exit code 0",
        test_unsupported, "win2k"),
    "driver-missing-win98": (
        "Windows 98, crtrate.exe: icon shown; a click names Kq_M1.VXD, a "
        "second click while it shows opens no second box",
        test_driver_missing, "win98", "Kq_M1.VXD"),
    "driver-missing-nt40": (
        "NT 4.0, crtrate.exe: icon shown; a click names KqMINI.SYS",
        test_driver_missing, "nt4", "KqMINI.SYS"),
    "simhw-legacy-lcd": (
        "Windows 98, older driver, CRT beside the panel: menus and requests "
        "as simulated, warning in Chinese, Cancel changes nothing, a click "
        "while the warning waits opens no menu, OK writes the registry "
        "values byte for byte",
        test_simhw, "win98-legacy-lcd.scn"),
    "simhw-legacy-crt-alone": (
        "Windows 98, older driver, CRT alone: the same checks",
        test_simhw, "win98-legacy-crt-alone.scn"),
    "simhw-switch": (
        "Windows 98, switch driver generation (level 3): menus, mode and rate "
        "requests and ShowAllModes as simulated",
        test_simhw, "win98-switch.scn"),
    "nt4-legacy-cds": (
        "NT 4.0, older driver: Wine takes the mode in force; \"Error\" "
        "exactly when its ChangeDisplaySettingsA does not answer 0 to the "
        "program's request", test_nt4_cds),
    "single-copy": (
        "of two copies started together one leaves with 0; a second copy "
        "adds no icon; WM_CLOSE and an outside WM_QUIT remove it",
        test_single_copy),
    "taskbar-created": (
        "\"TaskbarCreated\" brings the icon back", test_taskbar_created),
    "icon-back-nt40": (
        "NT 4.0, icon gone without a word: starting crtrate again brings it "
        "back", test_icon_back),
    "desk-applet": (
        "driver answering: a right double-click starts RUNDLL32.EXE "
        "shell32.dll,Control_RunDLL desk.cpl and no menu; a right click "
        "opens the menu", test_desk_applet),
    # The shipped bytes under 32-bit Wine.
    "unsupported-winme-32": (
        "i686 release exe, Windows ME: the unsupported-system box, no icon, "
        "exit code 0", test_unsupported, "winme", 32),
    "driver-missing-win98-32": (
        "i686 release exe, Windows 98: icon and tip; a click names Kq_M1.VXD "
        "and the program goes on; a second copy adds no icon; WM_CLOSE ends "
        "it with 0 and takes the icon away",
        test_driver_missing, "win98", "Kq_M1.VXD", 32, True),
    "driver-missing-nt40-32": (
        "i686 release exe, NT 4.0: icon and tip; a click names KqMINI.SYS "
        "and the program goes on; WM_CLOSE ends it with 0",
        test_driver_missing, "nt4", "KqMINI.SYS", 32),
    "simhw-legacy-lcd-32": (
        "i686 rig, Windows 98, older driver, CRT beside the panel: the same "
        "checks as simhw-legacy-lcd", test_simhw, "win98-legacy-lcd.scn", 32),
    "simhw-switch-32": (
        "i686 rig, Windows 98, switch driver generation: the same checks as "
        "simhw-switch, ShowAllModes in the 32-bit program's view of the "
        "registry", test_simhw, "win98-switch.scn", 32),
    "simhw-nt40-32": (
        "i686 rig, NT 4.0, in one session: the older driver, 32-bit Wine "
        "taking the mode in force and the program's change (0, no "
        "\"Error\"); then the switch driver, ShowAllModes in the 32-bit "
        "view", test_nt4_cds, 32, ("nt4-switch.scn",)),
}


def run_tests(names, keep):
    failed = []
    for name in names:
        title, test, *args = TESTS[name]
        log(f"-- e2e {name}: {title}")
        started = time.monotonic()
        try:
            test(keep, *args)
        except (Failure, subprocess.TimeoutExpired, OSError) as error:
            failed.append(name)
            log(f"FAIL e2e {name} ({time.monotonic() - started:.1f} s): "
                f"{error}")
            log(f"     screenshots and logs: {os.path.join(WORK, 'runs')}")
            continue
        log(f"ok   e2e {name} ({time.monotonic() - started:.1f} s)")
    return failed


def run_parallel(names, keep, jobs):
    """Runs the tests in processes of their own, `jobs` at a time; each
    one's output is shown whole when it ends."""
    os.makedirs(WORK, exist_ok=True)

    def run(name):
        # Output through a file, not a pipe, as in Session.run_wine.
        with tempfile.TemporaryFile(dir=WORK) as out:
            code = subprocess.call(
                [sys.executable, "-m", "tests.e2e.wine_e2e", name]
                + (["--keep"] if keep else []), cwd=ROOT, stdout=out,
                stderr=subprocess.STDOUT)
            out.seek(0)
            return name, code, out.read().decode("utf-8", errors="replace")

    failed = []
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        for done in concurrent.futures.as_completed(
                [pool.submit(run, name) for name in names]):
            name, code, text = done.result()
            sys.stdout.write(text)
            sys.stdout.flush()
            if code != 0:
                failed.append(name)
    return failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("tests", nargs="*", help="tests to run (default all)")
    parser.add_argument("--list", action="store_true",
                        help="name every test and what it proves, and run "
                        "none")
    parser.add_argument("--keep", action="store_true",
                        help="keep each test's Wine prefix")
    parser.add_argument("--jobs", type=int, default=1,
                        help="tests run at once, each in a process")
    args = parser.parse_args()
    if args.list:
        for name, (title, *_) in TESTS.items():
            print(f"{name:24} {title}")
        return 0
    unknown = [t for t in args.tests if t not in TESTS]
    if unknown:
        print(f"unknown test: {' '.join(unknown)}", file=sys.stderr)
        return 2
    names = args.tests or list(TESTS)
    needed = [EXE, SIMHW, HELPER, DESK_CPL, SIM]
    if [n for n in names if n.endswith("-32")]:
        needed += [EXES[32], SIMHWS[32], HELPERS[32], WINE32]
    for path in needed:
        if not os.path.exists(path):
            print(f"{path} is missing: build first (make build; for the "
                  f"32-bit runs tools/wine32_setup.sh)", file=sys.stderr)
            return 2
    if args.jobs > 1 and len(names) > 1:
        failed = run_parallel(names, args.keep, args.jobs)
    else:
        failed = run_tests(names, args.keep)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
