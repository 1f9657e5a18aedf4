"""The demo for `make run`: the demo notebook (scenarios/demo.scn) under
64-bit Wine in Windows 98 mode, played by the x86_64 build of the program
(build/win64; the i686 release exe runs only in the 32-bit end-to-end
tests).  With a $DISPLAY the program is left running there for the person
to click; without one the story plays on a virtual screen, checked against
crtrate-sim, and cuts README's pictures from its screenshots, into
build/demo/pictures/ or the directory --pictures names (`make pictures`
names docs/): in the tree it writes nothing else outside build/.

Usage (from the top of the tree):
    python3 -m harness.wine.demo [--pictures DIR]
"""

import argparse
import os
import shutil
import subprocess
import sys

from harness.wine.common import (
    APP_TITLE,
    BUILD,
    EXE,
    Failure,
    ROOT,
    SIMHW,
    WARNING_CAPTION,
    WORK,
    log,
    split_lines)
from harness.wine.session import Session
from harness.wine.player import (
    click_for_missing_driver,
    play_notebook,
    read_scenario,
    scenario_session,
    statement)

DEMO = os.path.join(ROOT, "scenarios", "demo.scn")


DEMO_DIR = os.path.join(BUILD, "demo")


PICTURES_DIR = os.path.join(DEMO_DIR, "pictures")


MARLETT = "/usr/share/wine/fonts/marlett.ttf"


# The pictures README.md shows, each cut from the demo's first screenshot
# of that label: the menu with Wine's tray window above it (all that is on
# the screen then), a box by its own window.
PICTURES = (("menu", None, "demo-menu.png"),
            ("warning", WARNING_CAPTION, "demo-warning.png"),
            ("driver-missing", APP_TITLE, "demo-driver-missing.png"))


def dress_screen(session):
    """The virtual screen as a Windows desktop looks: no window manager runs
    there to draw title bars, so Wine draws those of the programs' own
    windows itself, as Windows does, and the boxes show their captions; the
    background takes the colour of a Windows 98 desktop."""
    for exe in (SIMHW, EXE):
        session.run_wine(["reg", "add", "HKCU\\Software\\Wine\\AppDefaults\\"
                          + os.path.basename(exe) + "\\X11 Driver", "/v",
                          "Decorated", "/d", "N", "/f"])
    # Wine draws a title bar's buttons in its Marlett font, which this
    # Wine's prefixes leave out of the fonts folder it reads.
    shutil.copy(MARLETT, os.path.join(session.prefix, "drive_c", "windows",
                                      "Fonts"))
    # ImageMagick's display sets the root window's background and exits,
    # with status 1 even then.
    subprocess.run(["display", "-window", "root", "-size", "8x8",
                    "xc:#008080"], env=session.env(), timeout=30,
                   stderr=subprocess.DEVNULL)


def settle_box(session, caption):
    """The box titled `caption` as Windows 95, 98 and NT 4.0 show a box
    just opened, the same on every run: active, with the focus rectangle on
    its default button.  Under Wine both varied from run to run: whether
    the box is active depends on where the click that opened it left the X
    focus, and whether its default button shows the focus rectangle on
    whether keys have reached it yet (Wine hides focus rectangles until
    then, as later Windows does).  So the box is made active and Tab goes
    once round its buttons, which leaves the focus where it was, and the
    program is given time to paint."""
    buttons = session.wait_box(caption)[2]
    session.focus_box(caption)
    session.keys(*["Tab"] * len(buttons))
    session.sync()


def keep_pictures(session, directory):
    """The session's screenshots named in PICTURES also write the README's
    pictures to `directory`, cut to what they show, in colours of a palette
    and without a time, so that the same screen gives the same bytes."""
    shoot = session.screenshot
    written = set()

    def screenshot(label):
        wanted = [p for p in PICTURES if p[0] == label and p[2] not in written]
        for _, caption, _ in wanted:
            if caption:
                settle_box(session, caption)
        path = shoot(label)
        for shot, caption, name in wanted:
            written.add(name)
            cut = ["-trim"]
            if caption:
                _, (x, y, w, h) = session.box_window(caption)
                cut = ["-crop", f"{w}x{h}+{x}+{y}"]
            os.makedirs(directory, exist_ok=True)
            out = os.path.join(directory, name)
            subprocess.run(["convert", path] + cut + [
                "+repage", "-strip", "-define",
                "png:exclude-chunks=date,time", "PNG8:" + out],
                check=True, timeout=30, env=session.env())
            log(f"   picture {os.path.relpath(out, ROOT)}")
        return path

    session.screenshot = screenshot


def demo_scenario(path):
    """scenarios/demo.scn as it can be under Wine, with the story the demo
    plays.  Its hardware stays; what differs: no switch device can be had,
    so the program finds no adapter name and its key paths hold an empty
    one (the registry is set up at those paths), the X screen's rate
    shows as 1 Hz, and the desktop has 16 bits per pixel (at 8 Wine draws
    the boxes' text on black, and the screenshots are for reading), so the
    display modes' key is the one for 16 bits.  The story chooses 1024x768
    60 Hz, the one entry allowed beside the panel at that depth; Wine keeps
    no rate in the display settings the way Windows 9x does, so only a
    choice at the rate already stored there shows its check mark in the
    next menu."""
    lines = ["# Written by harness/wine/demo.py from scenarios/demo.scn for the "
             "demo under Wine."]
    with open(DEMO, encoding="utf-8") as f:
        text = f.read().splitlines()
    for line, words in zip(text, split_lines(text)):
        if not words:
            continue
        if words[0][0] == "---":
            break
        if words[0][0] in ("switch", "switch-text"):
            continue
        if words[0][0] == "desktop":
            line = " ".join(["desktop"] + [w for w, _ in words[1:3]]
                            + ["16", "1"])
        lines.append(line.rstrip("\n").replace("\\\\0000\\\\",
                                                 "\\\\\\\\")
                     .replace("\\\\MODES\\\\8\\\\",
                              "\\\\MODES\\\\16\\\\"))
    lines += ["---", "click left", "dismiss", "click left", "choose 1024x768 60",
              "answer ok", "click left", "dismiss"]
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    return path


def run_demo(pictures):
    """`make run`: the demo notebook under Wine in Windows 98 mode, then
    crtrate.exe on the same screen without an answering driver; README's
    pictures are cut from the screenshots on the way into `pictures`."""
    os.makedirs(WORK, exist_ok=True)
    scenario = demo_scenario(os.path.join(WORK, "demo-wine.scn"))
    statements, _ = read_scenario(scenario)
    person = os.environ.get("DISPLAY")
    if person:
        return run_demo_on(person, scenario, statements)
    desktop = " ".join(statement(statements, "desktop")[:3])
    log(f"== demo under Wine (Windows 98, {desktop}, no $DISPLAY: on a "
        f"virtual screen), checked against crtrate-sim")

    with scenario_session("demo", scenario, directory=DEMO_DIR) as s:
        dress_screen(s)
        keep_pictures(s, pictures)
        play_notebook(s, scenario, rig=DEMO)
        # What the same notebook shows when its driver does not answer:
        # the release program on Wine's own display driver.
        log("   crtrate.exe without the driver:")
        proc = s.start_program(EXE, name="crtrate")
        s.wait_icons(1)
        click_for_missing_driver(s, proc, "Kq_M1.VXD")
        s.end_program(proc)
    log("   screenshots:")
    for name in sorted(os.listdir(DEMO_DIR)):
        if name.endswith(".png"):
            log("     " + os.path.join(DEMO_DIR, name))
    return 0


def run_demo_on(display, scenario, statements):
    """With a screen of the person's own: the program is left running with
    its icon in Wine's tray window, for the person to click."""
    log(f"== demo under Wine (Windows 98) on your display {display}")
    s = Session("demo", "win98", directory=DEMO_DIR, display=display,
                keep=True)
    if os.path.isdir(s.prefix):
        # The last demo's program, if still running, goes first.
        subprocess.run([s.wineserver, "-k"], env=s.env(), timeout=30,
                       stderr=subprocess.DEVNULL)
    try:
        s.start(statements)
        proc = s.start_program(SIMHW, {
            "CRTRATE_SIM": DEMO,
            "CRTRATE_SIM_LOG": os.path.join(DEMO_DIR, "rig.log")},
            name="crtrate-simhw")
        s.wait_icons(1, "the program's tray icon", 60)
    except BaseException:
        s.stop()
        raise
    # The helper that kept Wine up during the set-up is not needed now.
    s.keeper.kill()
    s.keeper.wait(timeout=10)
    log(f"   crtrate-simhw.exe is running (process {proc.pid}): its monitor "
        "icon is in the window titled \"Wine System Tray\".")
    log("   Click it for the menu; choosing an entry asks first, then "
        "changes the mode and the registry of this Wine prefix.")
    log("   The menu depends on your screen's size and depth (the demo "
        "notebook has 1024x768 at 8 bits).")
    log(f"   Requests and menus are logged to {DEMO_DIR}/rig.log; the "
        f"scenario is {DEMO}.")
    log(f"   To stop it: WINEPREFIX={s.prefix} {s.wineserver} -k")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--pictures", default=PICTURES_DIR, metavar="DIR",
                        help="where README's pictures go, when the demo "
                        "plays on a virtual screen (default "
                        "build/demo/pictures)")
    args = parser.parse_args()
    try:
        return run_demo(os.path.abspath(args.pictures))
    except (Failure, subprocess.TimeoutExpired, OSError) as error:
        log(f"demo failed: {error}")
        return 1


if __name__ == "__main__":
    sys.exit(main())
