"""One Wine session: an Xvfb screen, a prefix (harness.wine.prefix) and
the programs started in it.  The program is driven the way a person would:
clicks on its icon in Wine's tray window and keys in its menu and boxes,
through xdotool.  What it shows is read back as text by
build/win64/crtrate-e2e.exe, run in the same prefix; what it stored is read
back with `wine64 reg query` and, byte for byte, with the helper.

A prefix of 64-bit Wine holds two views of HKLM\SOFTWARE: a 32-bit program
sees its keys under Wow6432Node ("Registry Redirector",
learn.microsoft.com/windows/win32/winprog64/registry-redirector).  Windows
95, 98 and NT 4.0 have one registry, so a session writes a scenario's keys
and reads the program's values through the view of the program under test
(its `bits`): `reg /reg:32` or `/reg:64`, and the helper's KEY_WOW64_32KEY
or KEY_WOW64_64KEY.

Every process a session starts (Xvfb, Wine's server and programs, helpers)
is ended by its id when the session stops, whatever happened, and every
wait is bounded.
"""

import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time

from harness.wine.common import (
    APP_TITLE,
    Failure,
    HELPER,
    HELPERS,
    LOCALE,
    MAIN_CLASS,
    ROOT,
    TRAY_CALLBACK,
    WIN32,
    WINE32,
    WORK,
    check,
    check_equal,
    find_tool,
    log,
    split_lines,
    wait_until)
from harness.wine.prefix import (
    ROOT_KEYS,
    WINE_VERSIONS,
    copy_template,
    i386_emulated,
    registry_file)
from tools import make_icons


def parse_quoted_fields(lines):
    """The quoted texts and bare words of each transcript line."""
    return [[w for w, _ in words] for words in split_lines(lines)]


class Session:
    """One virtual screen and one fresh Wine prefix, and everything started
    in them; stop() ends all of it."""

    def __init__(self, name, os_name, screen=(1024, 768, 16), keep=False,
                 directory=None, display=None, bits=64):
        self.os_name = os_name
        self.bits = bits
        # Wine's `reg` option for the program's view of the registry.
        self.reg_view = f"/reg:{bits}"
        # Seconds to wait for what the program does: under qemu its start
        # alone takes about a minute, and the rest is slower too.
        self.patience = (30 if bits == 64 else
                         300 if i386_emulated() else 60)
        self.screen = screen
        self.keep = keep
        self.dir = directory or os.path.join(WORK, "runs", name)
        self.own_display = display is None
        self.prefix = os.path.join(self.dir, "prefix")
        self.wine = find_tool("wine64", "/usr/lib/wine/wine64")
        self.wineserver = find_tool("wineserver", "/usr/lib/wine/wineserver")
        self.xvfb = None
        self.display = display
        self.programs = []
        self.shots = 0

    # -- set-up and tear-down

    def start(self, statements=()):
        if os.path.exists(self.dir):
            shutil.rmtree(self.dir)
        os.makedirs(self.dir)
        copy_template(self.wine, self.wineserver, self.prefix)
        if self.own_display:
            self.start_xvfb()
        # Wine's server and shell stay up as long as a program of the prefix
        # runs; without one each command would start them anew, and one
        # started while the last are going away can hang.
        self.keeper = self.start_program(HELPER, name="keeper", args=["idle"])
        self.import_registry(statements)
        _, expected = WINE_VERSIONS[self.os_name]
        got = self.ask("version")[0]
        check_equal(tuple(int(got[k]) for k in ("platform", "major", "minor")),
                    expected, "the Windows version Wine reports")
        check(got["acp"] == "950", f"ANSI code page {got['acp']}, not 950: "
              f"is the {LOCALE} locale generated?")
        log(f"   Wine reports Windows {got['major']}.{got['minor']} (platform "
            f"{got['platform']}, build {got['build']}, {got['csd']!r}), "
            f"code page {got['acp']}")

    def import_registry(self, statements, name="setup"):
        """The scenario's keys and values, and the Windows version, in the
        program's view of the registry."""
        version, _ = WINE_VERSIONS[self.os_name]
        reg = os.path.join(self.dir, name + ".reg")
        with open(reg, "w", encoding="utf-16") as f:
            f.write(registry_file(statements, version))
        self.run_wine(["reg", "import", "Z:" + reg.replace("/", "\\"),
                       self.reg_view], timeout=60)

    def start_xvfb(self):
        width, height, depth = self.screen
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             f"{width}x{height}x{depth}", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(self.dir, "xvfb.log"), "w"))
        os.close(write_end)
        # Xvfb writes the number, then a newline, and gives up if the pipe
        # is gone before the newline: read up to it.
        with os.fdopen(read_end) as pipe:
            ready, _, _ = select.select([pipe], [], [], 20)
            number = pipe.readline().strip() if ready else ""
        if not number:
            raise Failure("Xvfb did not start")
        self.display = ":" + number

    def env(self, extra=None):
        env = dict(os.environ)
        for name in ("WAYLAND_DISPLAY", "XAUTHORITY"):
            env.pop(name, None)
        env.update({
            "WINEPREFIX": self.prefix,
            "DISPLAY": self.display,
            # CRTRATE_E2E_WINEDEBUG=err+all shows Wine's own complaints.
            "WINEDEBUG": os.environ.get("CRTRATE_E2E_WINEDEBUG", "-all"),
            # No Mono or Gecko install prompt when the prefix is made.
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "LANG": LOCALE,
            "LC_ALL": LOCALE,
        })
        env.update(extra or {})
        return env

    def __enter__(self):
        return self

    def __exit__(self, kind, error, trace):
        if kind is not None and self.display:
            self.record_failure()
        self.stop()
        return False

    def record_failure(self):
        """What was on the screen when a test failed, for the person who
        reads the failure."""
        try:
            self.screenshot("failure")
            with open(os.path.join(self.dir, "windows.txt"), "w") as f:
                f.write("\n".join(self.helper("windows")) + "\n")
        except (Failure, OSError, subprocess.SubprocessError):
            pass

    def stop(self):
        for proc in self.programs:
            if proc.poll() is None:
                proc.kill()
        if self.display:
            subprocess.run([self.wineserver, "-k"], env=self.env(),
                           timeout=30, stderr=subprocess.DEVNULL)
        # Whatever is left in this prefix (started by Wine on our behalf):
        # by id, found through the prefix named in its environment.
        for pid in self.prefix_pids():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        for proc in self.programs:
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait(timeout=10)
        if not self.keep and os.path.isdir(self.prefix):
            shutil.rmtree(self.prefix, ignore_errors=True)

    def prefix_pids(self):
        marker = ("WINEPREFIX=" + self.prefix).encode()
        pids = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit() or int(entry) == os.getpid():
                continue
            try:
                with open(f"/proc/{entry}/environ", "rb") as f:
                    if marker in f.read().split(b"\0"):
                        pids.append(int(entry))
            except OSError:
                pass
        return pids

    # -- running things in the prefix

    def loader(self, exe):
        """The i686 builds start under the 32-bit loader; everything else
        under wine64."""
        return WINE32 if os.path.dirname(exe) == WIN32 else self.wine

    def run_wine(self, args, timeout=30, check=True, full=False):
        """What the command printed; with `full`, its exit status, standard
        output and standard error."""
        # Output through files, not pipes: Wine's own processes started on
        # the way (services, the shell) inherit the handles and live on,
        # and a pipe would not end before they do.
        command = [self.loader(args[0])] + args
        shown = " ".join([os.path.basename(command[0])] + args)
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            proc = subprocess.Popen(command, env=self.env(), stdout=out,
                                    stderr=err)
            try:
                code = proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait(timeout=10)
                raise Failure(f"{shown} did not finish within {timeout} s")
            out.seek(0)
            err.seek(0)
            text = out.read().decode("utf-8", errors="replace")
            said = err.read().decode("utf-8", errors="replace")
            said_all = (text + said).strip() or "(nothing printed)"
            if check and code != 0:
                raise Failure(f"{shown} exited {code}: {said_all}")
            return (code, text, said) if full else text

    def helper(self, *args, timeout=30, bits=64):
        """What the helper of `bits` printed, as lines.  The i686 helper is
        given the session's patience: through qemu its start alone takes
        about a minute."""
        if bits == 32:
            timeout = max(timeout, self.patience)
        try:
            out = self.run_wine([HELPERS[bits]] + list(args), timeout=timeout)
        except Failure as error:
            # Every command of the helper prints before it ends.  Under
            # load wine64 has now and then exited 1 before the helper ran
            # at all: that says nothing of the program, so such a start is
            # tried once more.
            if not str(error).endswith("exited 1: (nothing printed)"):
                raise
            log(f"   the helper did not start ({args[0]}); once more")
            out = self.run_wine([HELPERS[bits]] + list(args),
                                timeout=timeout)
        return out.splitlines()

    def ask(self, *args, bits=64):
        """The helper's answer, a dict a line: "kind" and each name the line
        gives with its value (texts unquoted)."""
        return [dict(zip(words[1::2], words[2::2]), kind=words[0])
                for words in parse_quoted_fields(self.helper(*args,
                                                             bits=bits))]

    def start_program(self, exe, extra_env=None, name="program", args=()):
        out = open(os.path.join(self.dir, f"{name}.out"), "w")
        proc = subprocess.Popen([self.loader(exe), exe] + list(args),
                                env=self.env(extra_env), stdout=out,
                                stderr=subprocess.STDOUT)
        self.programs.append(proc)
        return proc

    def reg_query(self, root, path):
        return self.run_wine(["reg", "query", f"{ROOT_KEYS[root]}\\{path}",
                              self.reg_view], check=False)

    def values(self, triples):
        """{(root, path, name): (type, bytes) or None} read by the helper
        in the program's view."""
        if not triples:
            return {}
        return {(v["root"], v["path"], v["name"]):
                (int(v["type"]), bytes.fromhex(v["hex"])) if "type" in v
                else None
                for v in self.ask("regget", str(self.bits),
                                  *[w for t in triples for w in t])}

    # -- what is on the screen

    def windows(self):
        """Top-level windows as the helper sees them: dicts of its fields
        (hwnd, class, title, visible), with their child controls' (hwnd,
        id, class, text, visible) under "children"."""
        result = []
        for info in self.ask("windows"):
            if info["kind"] == "window":
                result.append(dict(info, children=[]))
            elif result:
                result[-1]["children"].append(info)
        return result

    def boxes(self):
        """Visible message boxes: (caption, text, buttons)."""
        found = []
        for w in self.windows():
            if w.get("class") == "#32770" and w.get("visible") == "1":
                text = [c["text"] for c in w["children"]
                        if c.get("class") == "Static" and c["id"] == "65535"]
                buttons = [c["text"] for c in w["children"]
                           if c.get("class") == "Button"]
                found.append((w["title"], text[0] if text else "", buttons))
        return found

    def foreground(self):
        """The foreground window's (class, title)."""
        window = self.ask("foreground")[0]
        return window["class"], window["title"]

    def main_windows(self):
        return [w for w in self.windows() if w.get("class") == MAIN_CLASS]

    def menu_open(self):
        return any(w.get("class") == "#32768" and w.get("visible") == "1"
                   for w in self.windows())

    def tray_icons(self):
        return len(self.tray_tips())

    def tray_tips(self):
        """The tip of each icon in the notification area."""
        *icons, tray = self.ask("tray")
        check_equal(tray["kind"], "tray", "the helper's last line")
        check_equal(len(icons), int(tray["icons"]), "icons listed")
        return [icon["tip"] for icon in icons]

    def wait_icons(self, count, what="the tray icon", timeout=30):
        wait_until(what, timeout, lambda: self.tray_icons() == count)

    def untray(self):
        """What a restarted shell's empty notification area means to the
        program: its icon taken away behind its back."""
        self.helper("untray", MAIN_CLASS, str(TRAY_CALLBACK))
        self.wait_icons(0, "the icon to go", 20)

    def retray(self):
        """A restart of a shell that says "TaskbarCreated": the icon taken
        away, then the message broadcast as Explorer does; the icon must
        come back."""
        self.untray()
        self.helper("broadcast", "TaskbarCreated")
        self.wait_icons(1, "the icon to come back", 20)

    def sync(self):
        """Waits until the program takes a sent message again, in its own
        loop or in a box's: it is done with what it was doing."""
        for _ in range(2):
            self.helper("sync", MAIN_CLASS)
            time.sleep(0.5)

    def end_program(self, proc, how="close", timeout=30):
        """Sends WM_CLOSE (or posts WM_QUIT) from outside; the program must
        end with 0 and take its icon along."""
        self.helper(how, MAIN_CLASS)
        check_equal(proc.wait(timeout=timeout), 0, f"exit code after {how}")
        check_equal(self.tray_icons(), 0, f"tray icons after {how}")
        log(f"   {'WM_CLOSE' if how == 'close' else 'WM_QUIT from outside'}: "
            f"exit code 0, icon gone")

    def wait_icon(self):
        """Waits for the program's one icon and checks its tip."""
        tips = wait_until("the program's tray icon", self.patience,
                          self.tray_tips, interval=0.5)
        check_equal(tips, [APP_TITLE], "the icons' tips")

    def xdotool(self, *args, timeout=20):
        result = subprocess.run(["xdotool"] + list(args), env=self.env(),
                                capture_output=True, timeout=timeout)
        return result.stdout.decode("utf-8", errors="replace").split()

    def tray_window(self):
        return wait_until("Wine's tray window", 20, lambda: self.xdotool(
            "search", "--onlyvisible", "--name", "^Wine System Tray$"))[0]

    def click_icon(self, button=1, repeat=1):
        self.xdotool("mousemove", "--window", self.tray_window(), "10", "10",
                     "click", "--repeat", str(repeat), "--delay", "60",
                     str(button))

    def box_window(self, caption):
        """The X window of the box titled `caption`, and its x, y, width
        and height."""
        ids = wait_until(f"the X window of box {caption!r}", 20,
                         lambda: self.xdotool("search", "--onlyvisible",
                                              "--name",
                                              "^" + re.escape(caption) + "$"))

        def shape(window):
            m = re.search(r"Position: (\d+),(\d+).*Geometry: (\d+)x(\d+)",
                          " ".join(self.xdotool("getwindowgeometry", window)))
            return tuple(int(g) for g in m.groups()) if m else (0, 0, 0, 0)

        # The icon's tooltip carries the program's title too: the box is
        # the larger window.
        return max(((w, shape(w)) for w in ids),
                   key=lambda found: found[1][2] * found[1][3])

    def focus_box(self, caption):
        box, _ = self.box_window(caption)
        self.xdotool("windowfocus", "--sync", box)
        # A click on the box's margin makes it the active window again when
        # another program took that away (there is no window manager to do
        # it); keys then reach its default button.
        self.xdotool("mousemove", "--window", box, "3", "3", "click", "1")

    def keys(self, *keys):
        self.xdotool("key", "--delay", "40", *keys)

    def tray_picture(self):
        """Wine's tray window as rows of (r, g, b)."""
        result = subprocess.run(["import", "-display", self.display,
                                 "-window", self.tray_window(), "-depth", "8",
                                 "ppm:-"],
                                env=self.env(), capture_output=True,
                                timeout=30)
        return read_ppm(result.stdout)

    def check_icon(self, expected):
        """The first icon in the tray shows the 16x16 image of `expected`
        (driver_ready or driver_missing), not the other one."""
        picture = self.tray_picture()
        scores = {name: icon_score(picture, icon_art(name))
                  for name in ("driver_ready", "driver_missing")}
        other = [n for n in scores if n != expected][0]
        log(f"   tray icon: {scores[expected]:.0%} of the pixels of "
            f"{expected}, {scores[other]:.0%} of {other}")
        check(scores[expected] >= 0.9 and
              scores[expected] >= scores[other] + 0.1,
              f"the tray icon is not {expected}: {scores}")

    def screenshot(self, label):
        self.shots += 1
        path = os.path.join(self.dir, f"{self.shots:02d}-{label}.png")
        subprocess.run(["import", "-display", self.display, "-window", "root",
                        path], env=self.env(), timeout=30,
                       stderr=subprocess.DEVNULL)
        return path

    def wait_box(self, caption):
        """The box titled `caption` once it shows: (caption, text,
        buttons), logged."""
        box = wait_until(f"a box titled {caption!r}", self.patience, lambda: [
            b for b in self.boxes() if b[0] == caption])[0]
        log(f"   box {box[0]!r}: {box[1]!r} {box[2]}")
        return box

    def close_box(self, caption, shot, key="Return"):
        """Shoots the box titled `caption` as `shot`, presses `key` in it
        and waits for it to go."""
        self.screenshot(shot)
        self.focus_box(caption)
        self.keys(key)
        wait_until(f"box {caption!r} to close", self.patience,
                   lambda: not [b for b in self.boxes() if b[0] == caption])


def read_ppm(data):
    """Rows of (r, g, b) from a binary PPM (P6, maximum 255) as ImageMagick
    writes it, without comments in the header."""
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    if not m:
        raise Failure("the tray picture is not an 8-bit PPM")
    width, height = int(m.group(1)), int(m.group(2))
    pixels = data[m.end():]
    return [[tuple(pixels[3 * (y * width + x):3 * (y * width + x) + 3])
             for x in range(width)] for y in range(height)]


def icon_art(name):
    """The 16x16 image of resources/icons/NAME.txt as rows of (r, g, b),
    None for transparent, by the palette tools/make_icons.py draws with."""
    path = os.path.join(ROOT, "resources", "icons", name + ".txt")
    with open(path, encoding="utf-8") as f:
        images = dict(make_icons.parse_art(f.read(), path))
    return [[None if c is None else make_icons.PALETTE[c] for c in row]
            for row in images[16]]


def icon_score(picture, art, tolerance=40):
    """The best share of the art's opaque pixels found in the picture, at
    any place near the top left corner (where the first icon sits)."""
    opaque = [(x, y, rgb) for y, row in enumerate(art)
              for x, rgb in enumerate(row) if rgb is not None]
    best = 0.0
    for dy in range(0, min(8, len(picture) - 15)):
        for dx in range(0, min(8, len(picture[0]) - 15)):
            hits = sum(1 for x, y, rgb in opaque
                       if all(abs(a - b) <= tolerance for a, b in
                              zip(picture[y + dy][x + dx], rgb)))
            best = max(best, hits / len(opaque))
    return best


def screen_for(desktop):
    """The Xvfb screen on which Wine reports the scenario's desktop: Wine
    takes the depth from the X screen (24 bits show as 32) and reports a
    refresh rate of 1 Hz, which the scenarios say as well."""
    width, height, bpp, hz = (int(x) for x in desktop)
    depths = {8: 8, 16: 16, 32: 24}
    if bpp not in depths or hz != 1:
        raise Failure(f"desktop {width}x{height}x{bpp}@{hz} cannot be shown "
                      f"under Wine (depth 8, 16 or 32, rate 1)")
    return width, height, depths[bpp]
