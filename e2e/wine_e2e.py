#!/usr/bin/env python3
"""End-to-end runs of crtrate under Wine, on a virtual X screen.

Usage:
    wine_e2e.py [--keep] TEST...      run the named tests (see --list)
    wine_e2e.py --list                name every test and what it proves
    wine_e2e.py demo                  the demo for `make run`: with a
                                      $DISPLAY the program is left running
                                      there; without one the story plays on
                                      a virtual screen and writes README's
                                      pictures to docs/

Each test gets its own Xvfb screen and its own Wine prefix, copied from a
template made once by wineboot (kept in ~/.cache/crtrate-e2e while Wine
stays the same version), with the Windows version, the Chinese (Taiwan) locale and the registry keys it needs set
beforehand.  The program is driven the way a person would: clicks on its
icon in Wine's tray window and keys in its menu and boxes, through xdotool.
What it shows is read back as text by build/win64/crtrate-e2e.exe, run in
the same prefix; what it stored is read back with `wine64 reg query` and,
byte for byte, with the helper.

Tests on crtrate-simhw.exe play a scenario file: its hardware statements
set up the simulated display driver (the rig reads them), its registry
statements are imported into the prefix, and its actions (click, choose,
answer, close, quit) are played on the real screen.  The same file run by
build/native/crtrate-sim is the oracle: every `escape` and `menu` line,
every box and every value the simulated program wrote must come out the
same under Wine.

The tests named *32-* run the i686 builds (build/win32/crtrate.exe, the
release exe itself, and the i686 rig) under 32-bit Wine: Debian's wine32,
which tools/wine32_setup.sh installs and, where the kernel runs no i386
programs, starts through qemu-i386.  Only the program under test is
emulated; Wine's server, shell and the helper stay 64-bit.  A start there
takes about a minute, so each such test starts its program as few times as
its checks allow, and --jobs runs two of them at once.

Every process a test starts (Xvfb, Wine's server and programs, helpers) is
ended by its id when the test ends, whatever happened, and every wait is
bounded.  Exit status 0 when every named test passed, 1 otherwise.
"""
import argparse
import fcntl
import hashlib
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build")
WIN64 = os.path.join(BUILD, "win64")
WIN32 = os.path.join(BUILD, "win32")
# The program under test, by the bitness of the Wine that runs it.
EXES = {64: os.path.join(WIN64, "crtrate.exe"),
        32: os.path.join(WIN32, "crtrate.exe")}
SIMHWS = {64: os.path.join(WIN64, "crtrate-simhw.exe"),
          32: os.path.join(WIN32, "crtrate-simhw.exe")}
EXE = EXES[64]
SUFFIX = {64: "", 32: "-32"}
SIMHW = SIMHWS[64]
HELPER = os.path.join(WIN64, "crtrate-e2e.exe")
DESK_CPL = os.path.join(WIN64, "crtrate-e2e-desk.cpl")
SIM = os.path.join(BUILD, "native", "crtrate-sim")
WORK = os.path.join(BUILD, "e2e")
# Made by wineboot in about two minutes (more with 32-bit Wine beside the
# 64-bit one), so kept across build trees and clones.
TEMPLATE = os.environ.get("CRTRATE_WINE_TEMPLATE") or os.path.join(
    os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"),
    "crtrate-e2e", "wine-template")
WINE32 = "/usr/lib/wine/wine"
# Files a prefix shares with the template by hard links: the DLLs and
# programs Wine installed, which nothing rewrites in place.  The rest (the
# registry above all) is copied.
SHARED_DIRS = ("drive_c/windows/system32", "drive_c/windows/syswow64",
               "drive_c/Program Files", "drive_c/Program Files (x86)")
SCENARIOS = os.path.join(ROOT, "e2e", "scenarios")

LOCALE = "zh_TW.UTF-8"
MAIN_CLASS = "Norvex Velkor Resolution Icon Task"
TRAY_CALLBACK = 1225
APP_TITLE = "CRT/懸掛式投影機"
WARNING_CAPTION = "警告"
DAMAGE_TEXT = ("若您的外部 CRT/懸掛式投影機不支援此更新率，則您的裝置可能會損毀。"
               "若您不能確定，請查閱您的硬體手冊。")
MISSING_FORMAT = "未能載入: %s。選擇此項以查看檔案是否存在。"
UNSUPPORTED_TEXT = ("Invalid Operating System or \nOperating System Build \n"
                    "Cannot Continue To Load!")

# Wine's names for the releases the scenarios' "os" statement knows, and
# what GetVersionExA then reports (platform, major, minor).
WINE_VERSIONS = {"win95": ("win95", (1, 4, 0)), "win98": ("win98", (1, 4, 10)),
                 "nt4": ("nt40", (2, 4, 0)), "winme": ("winme", (1, 4, 90)),
                 "win2k": ("win2k", (2, 5, 0))}
ROOT_KEYS = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCC": "HKEY_CURRENT_CONFIG",
             "HKCU": "HKEY_CURRENT_USER"}


class Failure(Exception):
    """A check that did not hold; the message says what was expected."""


def log(message):
    print(message, flush=True)


def find_tool(name, *fallbacks):
    found = shutil.which(name)
    if found:
        return found
    for path in fallbacks:
        if os.access(path, os.X_OK):
            return path
    raise Failure(f"{name} not found (make e2e-deps installs it)")


def wait_until(what, timeout, probe, interval=0.15):
    """Calls probe() until it returns something true; fails after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failure(f"timed out after {timeout:g} s waiting for {what}")
        time.sleep(interval)


# ---------------------------------------------------------------- scenarios

# Scenario files and the quoted texts of transcripts and of the helper's
# lines are read by crtrate-sim, with the scenario reader the simulated
# notebook itself uses: one reader of the format, not a second one here.

def sim_output(args, stdin=None):
    result = subprocess.run([SIM] + args, input=stdin, capture_output=True,
                            timeout=60)
    if result.returncode != 0:
        raise Failure(f"crtrate-sim {' '.join(args)}: "
                      f"{result.stderr.decode(errors='replace').strip()}")
    return result.stdout.decode("utf-8")


def read_scenario(path):
    """Returns (statements, actions), each a list of word lists of
    (text, quoted) pairs."""
    parsed = json.loads(sim_output(["--parse", path]))
    return tuple([[tuple(w) for w in line] for line in parsed[kind]]
                 for kind in ("statements", "actions"))


def split_lines(lines):
    """Each line split into words as a scenario line is: blanks separate
    words, a quoted text is one word, '#' starts a comment.  A list of
    (text, quoted) pairs per line."""
    if not lines:
        return []
    out = sim_output(["--words"], "\n".join(lines).encode("utf-8") + b"\n")
    result = []
    for line, words in zip(lines, out.splitlines()):
        words = json.loads(words)
        if words is None:
            raise Failure(f"not a line of scenario words: {line}")
        result.append([tuple(w) for w in words])
    return result


def statement(statements, keyword):
    for words in statements:
        if words[0][0] == keyword:
            return [w for w, _ in words[1:]]
    return None


def reg_string(text):
    return text.replace("\\", "\\\\").replace('"', '\\"')


def registry_file(statements, wine_version):
    """The scenario's keys and values as a .reg file for `wine64 reg
    import`, with the Windows version Wine is to report."""
    lines = ["Windows Registry Editor Version 5.00", "",
             "[HKEY_CURRENT_USER\\Software\\Wine]",
             f'"Version"="{wine_version}"', "",
             # A crash in a test should fail it, not wait for a click.
             "[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]",
             '"ShowCrashDialog"=dword:00000000', ""]
    for words in statements:
        kind = words[0][0]
        if kind not in ("key", "value", "locked"):
            continue
        if kind == "locked":
            raise Failure("a locked key cannot be set up under Wine")
        root, path = words[1][0], words[2][0]
        lines.append(f"[{ROOT_KEYS[root]}\\{path}]")
        if kind == "value":
            name, data_kind = words[3][0], words[4][0]
            args = [w for w, _ in words[5:]]
            if data_kind == "sz":
                value = f'"{reg_string(args[0])}"'
            elif data_kind == "sz-bare":
                value = "hex(1):" + ",".join(
                    f"{b:02x}" for b in args[0].encode("utf-16-le"))
            elif data_kind == "binary":
                value = "hex:" + ",".join(f"{int(b, 16):02x}" for b in args)
            elif data_kind == "dword":
                value = f"dword:{int(args[0], 0) & 0xFFFFFFFF:08x}"
            else:
                raise Failure(f"unknown value kind {data_kind}")
            lines.append(f'"{reg_string(name)}"={value}')
        lines.append("")
    return "\r\n".join(lines) + "\r\n"


def sim_transcript(path):
    """Plays the scenario on the simulated notebook."""
    return sim_output([path]).splitlines()


def parse_quoted_fields(lines):
    """The quoted texts and bare words of each transcript line."""
    return [[w for w, _ in words] for words in split_lines(lines)]


# ------------------------------------------------------------------ session

class Session:
    """One virtual screen and one fresh Wine prefix, and everything started
    in them; stop() ends all of it."""

    def __init__(self, name, os_name, screen=(1024, 768, 16), keep=False,
                 directory=None, display=None, bits=64):
        self.os_name = os_name
        self.bits = bits
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
        version, expected = WINE_VERSIONS[self.os_name]
        reg = os.path.join(self.dir, "setup.reg")
        with open(reg, "w", encoding="utf-16") as f:
            f.write(registry_file(statements, version))
        self.run_wine(["reg", "import", self.unix_to_wine(reg)], timeout=60)
        got = self.helper("version")[0]
        m = re.match(r"version platform=(\d+) (\d+)\.(\d+) .* acp=(\d+)", got)
        if not m:
            raise Failure(f"helper answered {got!r}")
        if tuple(int(x) for x in m.groups()[:3]) != expected:
            raise Failure(f"Wine reports {got}, expected {expected}")
        if m.group(4) != "950":
            raise Failure(f"ANSI code page {m.group(4)}, not 950: is the "
                          f"{LOCALE} locale generated?")
        log("   " + got)

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
        text = b""
        deadline = time.monotonic() + 20
        while not text.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], 1)
            if ready:
                chunk = os.read(read_end, 64)
                if not chunk:
                    break
                text += chunk
        os.close(read_end)
        if not text.endswith(b"\n"):
            raise Failure("Xvfb did not start")
        self.display = ":" + text.decode().strip()

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

    @staticmethod
    def unix_to_wine(path):
        return "Z:" + path.replace("/", "\\")

    def run_wine(self, args, timeout=30, check=True, full=False):
        """What the command printed; with `full`, its exit status, standard
        output and standard error."""
        # Output through files, not pipes: Wine's own processes started on
        # the way (services, the shell) inherit the handles and live on,
        # and a pipe would not end before they do.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            proc = subprocess.Popen([self.wine] + args, env=self.env(),
                                    stdout=out, stderr=err)
            try:
                code = proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait(timeout=10)
                raise Failure(f"wine64 {' '.join(args)} did not finish "
                              f"within {timeout} s")
            out.seek(0)
            err.seek(0)
            text = out.read().decode("utf-8", errors="replace")
            said = err.read().decode("utf-8", errors="replace")
            said_all = (text + said).strip() or "(nothing printed)"
            if check and code != 0:
                raise Failure(f"wine64 {' '.join(args)} exited {code}: "
                              f"{said_all}")
            return (code, text, said) if full else text

    def helper(self, *args, timeout=30):
        try:
            out = self.run_wine([HELPER] + list(args), timeout=timeout)
        except Failure as error:
            # Every command of the helper prints before it ends.  Under
            # load wine64 has now and then exited 1 before the helper ran
            # at all: that says nothing of the program, so such a start is
            # tried once more.
            if not str(error).endswith("exited 1: (nothing printed)"):
                raise
            log(f"   the helper did not start ({args[0]}); once more")
            out = self.run_wine([HELPER] + list(args), timeout=timeout)
        return out.splitlines()

    def start_program(self, exe, extra_env=None, name="program", args=()):
        out = open(os.path.join(self.dir, f"{name}.out"), "w")
        # The i686 builds start under the 32-bit loader; the helper and the
        # applet stay 64-bit whatever the program under test is.
        wine = WINE32 if os.path.dirname(exe) == WIN32 else self.wine
        proc = subprocess.Popen([wine, exe] + list(args),
                                env=self.env(extra_env), stdout=out,
                                stderr=subprocess.STDOUT)
        self.programs.append(proc)
        return proc

    def reg_query(self, root, path):
        return self.run_wine(["reg", "query", f"{ROOT_KEYS[root]}\\{path}"],
                             check=False)

    def values(self, triples):
        """{(root, path, name): (type, bytes) or None} read by the helper."""
        if not triples:
            return {}
        found = {}
        lines = self.helper("regget", *[w for t in triples for w in t])
        for line, words in zip(lines, parse_quoted_fields(lines)):
            key = (words[1], words[2], words[3])
            m = re.search(r"type=(\d+) size=(\d+) hex=(.*)$", line)
            found[key] = ((int(m.group(1)), bytes.fromhex(m.group(3)))
                          if m else None)
        return found

    # -- what is on the screen

    def windows(self):
        """Top-level windows as the helper sees them, children included:
        dicts of the helper's fields (class, title or text, id, visible)."""
        result, found, quoted = [], [], []
        for line in self.helper("windows"):
            m = re.match(r"\s*(window|child) (\S+) (.*)$", line)
            if m:
                found.append((m, re.findall(r'(\w+)=("(?:[^"\\]|\\.)*"|\S+)',
                                            m.group(3))))
                quoted += [v for _, v in found[-1][1] if v.startswith('"')]
        texts = iter([w[0] for w in parse_quoted_fields(quoted)])
        for m, fields in found:
            info = {"hwnd": m.group(2)}
            for key, value in fields:
                info[key] = next(texts) if value.startswith('"') else value
            if m.group(1) == "window":
                info["children"] = []
                result.append(info)
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

    def main_windows(self):
        return [w for w in self.windows() if w.get("class") == MAIN_CLASS]

    def menu_open(self):
        return any(w.get("class") == "#32768" and w.get("visible") == "1"
                   for w in self.windows())

    def tray_icons(self):
        return len(self.tray_tips())

    def tray_tips(self):
        """The tip of each icon in the notification area."""
        lines = self.helper("tray")
        m = re.match(r"tray icons=(\d+)", lines[-1])
        if not m:
            raise Failure(f"helper tray answered {lines[-1]!r}")
        tips = [w[0] for w in parse_quoted_fields(
            [l.split(" tip=", 1)[1] for l in lines if l.startswith("icon ")])]
        check_equal(len(tips), int(m.group(1)), "icons listed")
        return tips

    def wait_icons(self, count, what="the tray icon", timeout=30):
        wait_until(what, timeout, lambda: self.tray_icons() == count)

    def retray(self):
        """What a restarted shell means to the program: its icon taken out
        of the notification area behind its back, then "TaskbarCreated"
        broadcast as Explorer does; the icon must come back."""
        self.helper("untray", MAIN_CLASS, str(TRAY_CALLBACK))
        self.wait_icons(0, "the icon to go", 20)
        self.helper("broadcast", "TaskbarCreated")
        self.wait_icons(1, "the icon to come back", 20)

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

    def focus_box(self, caption):
        ids = wait_until(f"the X window of box {caption!r}", 20,
                         lambda: self.xdotool("search", "--onlyvisible",
                                              "--name",
                                              "^" + re.escape(caption) + "$"))

        # The icon's tooltip carries the program's title too: the box is
        # the larger window.
        def area(window):
            out = " ".join(self.xdotool("getwindowgeometry", window))
            m = re.search(r"Geometry: (\d+)x(\d+)", out)
            return int(m.group(1)) * int(m.group(2)) if m else 0

        box = max(ids, key=area)
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
        self.wait_no_box(caption)

    def wait_no_box(self, caption):
        wait_until(f"box {caption!r} to close", self.patience,
                   lambda: not [b for b in self.boxes() if b[0] == caption])


def wine_version(wine):
    """Wine's version, and whether 32-bit programs can run beside 64-bit
    ones: a prefix made by the one cannot serve the other."""
    version = subprocess.run([wine, "--version"], capture_output=True,
                             timeout=30).stdout.decode().strip()
    return version + (" wow64" if os.path.exists(WINE32) else "")


def i386_emulated():
    """Whether i386 programs start through qemu (tools/wine32_setup.sh)."""
    try:
        with open("/proc/sys/fs/binfmt_misc/qemu-i386") as f:
            return f.readline().strip() == "enabled"
    except OSError:
        return False


def ensure_template(wine, wineserver):
    """A prefix made by wineboot once, reused while Wine is the same.
    Called with the template's lock held."""
    version = wine_version(wine)
    stamp = os.path.join(TEMPLATE, ".crtrate-e2e-wine-version")
    if os.path.isfile(stamp) and open(stamp).read() == version:
        return
    log(f"   making the Wine prefix template ({version}), once")
    making = TEMPLATE + ".new"
    shutil.rmtree(making, ignore_errors=True)
    env = dict(os.environ, WINEPREFIX=making, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    started = time.monotonic()
    subprocess.run([wine, "wineboot", "--init"], env=env, timeout=600,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # Waits for the server to save the registry and go.
    subprocess.run([wineserver, "-w"], env=env, timeout=300)
    if not os.path.isfile(os.path.join(making, "system.reg")):
        raise Failure("wineboot made no prefix")
    with open(os.path.join(making, ".crtrate-e2e-wine-version"), "w") as f:
        f.write(version)
    shutil.rmtree(TEMPLATE, ignore_errors=True)
    os.rename(making, TEMPLATE)
    log(f"   template made in {time.monotonic() - started:.0f} s")


def copy_template(wine, wineserver, prefix):
    """A fresh prefix: the template's DLLs linked, everything else copied."""
    os.makedirs(os.path.dirname(TEMPLATE), exist_ok=True)
    with open(TEMPLATE + ".lock", "w") as lock:
        # Tests run two at a time, and several trees may share the template.
        fcntl.flock(lock, fcntl.LOCK_EX)
        ensure_template(wine, wineserver)
        shared = tuple(os.path.join(TEMPLATE, d) + os.sep
                       for d in SHARED_DIRS)

        def copy(source, target):
            if source.startswith(shared):
                os.link(source, target)
            else:
                shutil.copy2(source, target)

        shutil.copytree(TEMPLATE, prefix, symlinks=True, copy_function=copy)


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
    sys.path.insert(0, os.path.join(ROOT, "tools"))
    import make_icons
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


def check(condition, message):
    if not condition:
        raise Failure(message)


def check_equal(got, expected, what):
    if got != expected:
        raise Failure(f"{what}: expected {expected!r}, got {got!r}")


# ------------------------------------------------------- scenario playback

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


def expected_value(kind, words):
    """(type, bytes) of a transcript's value text (binary 08, sz "ON")."""
    if kind == "binary":
        return 3, bytes(int(b, 16) for b in words)
    if kind == "sz":
        return 1, words[0].encode("cp950")
    if kind == "dword":
        return 4, int(words[0]).to_bytes(4, "little")
    raise Failure(f"cannot compare a value of kind {kind}")


def parse_sim(lines):
    """What the oracle's transcript says the Wine run must show."""
    compared = [l for l in lines if l.startswith(("escape ", "menu "))]
    boxes, writes = [], {}
    for words in parse_quoted_fields(lines):
        if words and words[0] == "box":
            boxes.append((words[2], words[3]))
        elif words and words[0] == "regset" and words[-1] == "0":
            key = (words[1], words[2], words[3])
            writes[key] = expected_value(words[4], words[5:-2])
    return compared, boxes, writes


REG_TYPE_NAMES = {1: "REG_SZ", 3: "REG_BINARY", 4: "REG_DWORD"}


def stored_by_wine(written):
    """What the program reads back through RegQueryValueExA after its
    RegSetValueExA.  It writes its texts without their terminating NUL;
    Wine's RegQueryValueExA reports a text with its NUL counted whether
    the NUL was stored or not.  Other types come back as given."""
    vtype, data = written
    if vtype == 1 and data and data[-1] != 0:
        return vtype, data + b"\0"
    return written


def reg_query_form(value):
    """How `reg query` shows a value: REG_BINARY as hex digits, texts as
    they are, DWORDs in 0x form."""
    vtype, data = value
    if vtype == 3:
        return data.hex().upper()
    if vtype == 1:
        return data.decode("cp950").rstrip("\0")
    return f"0x{int.from_bytes(data, 'little'):x}"


class Player:
    """Plays a scenario's actions on crtrate-simhw.exe under Wine."""

    def __init__(self, session, scenario, actions, sim_lines, extra_env=None):
        self.s = session
        self.scenario = scenario
        self.actions = actions
        self.compared, self.sim_boxes, self.sim_writes = parse_sim(sim_lines)
        self.rig_log = os.path.join(session.dir, "rig.log")
        self.boxes = []
        self.extra_env = extra_env or {}
        self.proc = None
        self.watched = []

    def rig_lines(self):
        if not os.path.exists(self.rig_log):
            return []
        with open(self.rig_log, encoding="utf-8") as f:
            lines = f.read().splitlines()
        errors = [l for l in lines if l.startswith("error ")]
        if errors:
            raise Failure("the rig says: " + "; ".join(errors))
        return lines

    def menus_logged(self):
        return [l for l in self.rig_lines() if l.startswith("menu ")]

    def snapshot(self):
        return self.s.values(self.watched)

    def start(self, statements):
        self.watched = sorted(set(
            [(w[1][0], w[2][0], w[3][0]) for w in statements
             if w[0][0] == "value"] + list(self.sim_writes)))
        self.initial = self.snapshot()
        env = {"CRTRATE_SIM": self.scenario, "CRTRATE_SIM_LOG": self.rig_log}
        env.update(self.extra_env)
        self.proc = self.s.start_program(SIMHWS[self.s.bits], env,
                                         name="crtrate-simhw")
        self.s.wait_icon()
        self.s.screenshot("icon")
        self.s.check_icon("driver_ready")

    def open_menu(self, button, repeat, choice):
        before = len(self.menus_logged())
        self.s.click_icon(button, repeat)
        menu = wait_until("the menu's entries in the rig log",
                          self.s.patience, lambda: (
            self.menus_logged()[before:] if len(self.menus_logged()) - before
            >= 14 else None))
        wait_until("the popup menu on the screen", self.s.patience,
                   self.s.menu_open)
        self.s.screenshot("menu")
        entries = [l.split() for l in menu[-14:]]
        ids = [int(e[1]) for e in entries]
        if choice is not None and choice not in ids:
            raise Failure(f"command {choice} is not in the menu")
        enabled = choice is not None and \
            entries[ids.index(choice)][2] == "enabled"
        if choice is not None:
            # Wine's menus step over separators but not over greyed entries.
            self.s.keys(*(["Down"] * (ids.index(choice) + 1)))
            self.s.screenshot(f"menu-at-{choice}")
            self.s.keys("Return")
        if not enabled:
            self.s.keys("Escape")
        wait_until("the menu to close", self.s.patience,
                   lambda: not self.s.menu_open())
        return choice if enabled else None

    def answer_warning(self, answer):
        if answer is None:
            raise Failure("the scenario chose an entry but gave no answer")
        caption, text, _ = self.s.wait_box(WARNING_CAPTION)
        self.boxes.append((caption, text))
        check_equal(text, DAMAGE_TEXT, "warning text")
        before = self.snapshot()
        self.s.close_box(WARNING_CAPTION, "warning",
                         "Return" if answer == "ok" else "Escape")
        self.sync()
        if answer == "cancel":
            check_equal(self.snapshot(), before,
                        "registry after Cancel (nothing may change)")
            log("   Cancel: registry unchanged")
        else:
            self.take_error_box()

    def sync(self):
        # The program is done once it takes a sent message again, in its
        # own loop or in a box's.
        for _ in range(2):
            self.s.helper("sync", MAIN_CLASS)
            time.sleep(0.3)

    def take_error_box(self):
        errors = [b[:2] for b in self.s.boxes() if b[0] == "Error"]
        if errors:
            self.boxes.append(errors[0])
            log(f"   box {errors[0][0]!r}: {errors[0][1]!r}")
            self.s.close_box("Error", "error")

    def close(self, how):
        """The "close", "quit" and "taskbar-created" actions."""
        if how == "taskbar-created":
            return self.s.retray()
        self.s.helper(how, MAIN_CLASS)
        self.proc.wait(timeout=self.s.patience)

    def play(self):
        choice = answer = None
        for words in self.actions:
            what = [w for w, _ in words]
            log(f"   action: {' '.join(what)}")
            if what[0] == "choose":
                choice = int(what[1], 0)
            elif what[0] == "answer":
                answer = what[1]
            elif what[0] == "click":
                button, repeat = {"left": (1, 1), "right": (3, 1),
                                  "double": (1, 2)}.get(what[1], (0, 0))
                if not button:
                    raise Failure(f"click {what[1]} is not played under Wine")
                chosen = self.open_menu(button, repeat, choice)
                choice = None
                if chosen is not None:
                    self.answer_warning(answer)
                    answer = None
            elif what[0] in ("close", "quit", "taskbar-created"):
                self.close(what[0])
            else:
                raise Failure(f"action {what[0]} is not played under Wine")
        self.finish()

    def finish(self):
        if self.proc.poll() is None:
            # The simulated session ends with the quit of an empty queue.
            self.s.helper("quit", MAIN_CLASS)
            self.proc.wait(timeout=self.s.patience)
        check_equal(self.proc.returncode, 0, "exit code")

    def verify(self):
        got = [l for l in self.rig_lines()
               if l.startswith(("escape ", "menu "))]
        if got != self.compared:
            diff = [f"  line {i + 1}: sim {a!r} / wine {b!r}"
                    for i, (a, b) in enumerate(zip(self.compared, got))
                    if a != b][:5]
            raise Failure("escape and menu lines differ from crtrate-sim "
                          f"({len(self.compared)} sim, {len(got)} wine):\n"
                          + "\n".join(diff))
        log(f"   {len(got)} escape and menu lines equal crtrate-sim's")
        check_equal(self.boxes, self.sim_boxes, "boxes (caption, text)")
        if self.sim_boxes:
            log(f"   the boxes equal crtrate-sim's ({len(self.boxes)})")
        final = self.snapshot()
        for key, written in sorted(self.sim_writes.items()):
            value = stored_by_wine(written)
            check_equal(final.get(key), value,
                        f"value {key} (type, bytes)")
            root, path, name = key
            shown = self.s.reg_query(root, path)
            line = re.compile(r"^\s+" + re.escape(name) + r"\s+" +
                              REG_TYPE_NAMES[value[0]] + r"\s+" +
                              re.escape(reg_query_form(value)) + r"\s*$",
                              re.M)
            check(line.search(shown), f"reg query {root}\\{path} shows no "
                  f"{name} {REG_TYPE_NAMES[value[0]]} "
                  f"{reg_query_form(value)}:\n{shown}")
            note = ("" if value == written else
                    f" (written as {len(written[1])} bytes; read back with "
                    f"the NUL)")
            before = self.initial.get(key)
            was = (f"; was {REG_TYPE_NAMES.get(before[0], before[0])} "
                   f"{len(before[1])} bytes {before[1].hex(' ')}"
                   if before else "; was not there")
            log(f"   {root}\\{path} {name}: {REG_TYPE_NAMES[value[0]]} "
                f"{len(value[1])} bytes {value[1].hex(' ')}{note}{was}")


def check_empty_key_names(session, statements):
    """The older driver's key paths hold an empty adapter name between two
    backslashes.  Wine's registry skips repeated backslashes, so it has no
    key with an empty name: "DISPLAY\\\\Default" is "DISPLAY\\Default".
    Shown here on the keys the scenario set up, and relied on by the checks
    that read the program's values back."""
    for words in statements:
        if words[0][0] not in ("key", "value") or "\\\\" not in words[2][0]:
            continue
        root, path = words[1][0], words[2][0]
        parent, _, rest = path.partition("\\\\")
        listing = session.reg_query(root, parent)
        full = f"{ROOT_KEYS[root]}\\{parent}"
        subkeys = [l.strip() for l in listing.splitlines()
                   if l.strip().lower().startswith(full.lower() + "\\")]
        check(not [k for k in subkeys if k.endswith("\\")],
              f"Wine listed a key with an empty name under {full}")
        single = f"{full}\\{rest.split(chr(92))[0]}"
        check(single.lower() in (k.lower() for k in subkeys),
              f"{path} did not become {single}: {subkeys}")
        log(f"   no empty key name in Wine: {root}\\{path} is "
            f"{root}\\{parent}\\{rest}")


def play_scenario(name, scenario, keep=False, derive=None, extra_env=None,
                  bits=64, rig=None, directory=None, story=Player.play,
                  then=None, prepare=None):
    """Plays the scenario under Wine and checks it against crtrate-sim.
    `rig`: the scenario the rig reads the driver from, if not this one;
    `prepare(session)` runs before the program starts; `story(player)`
    plays the actions; `then(session)` goes on in the same session."""
    statements, actions = read_scenario(scenario)
    os_name = (statement(statements, "os") or ["win98"])[0]
    desktop = statement(statements, "desktop") or ["1024", "768", "16", "1"]
    with Session(name, os_name, screen_for(desktop), keep,
                 directory=directory, bits=bits) as session:
        session.start(statements)
        if prepare:
            prepare(session)
        # Under load the first answer once gave the size of the previous
        # test's screen: ask again for a while before judging.
        shown = []
        deadline = time.monotonic() + 10
        while True:
            shown = session.helper("desktop")[0].split()[1:]
            if shown == desktop or time.monotonic() >= deadline:
                break
            log(f"   Wine reports the desktop {' '.join(shown)}; asking again")
            time.sleep(0.5)
        check_equal(shown, desktop, "the desktop Wine reports")
        check_empty_key_names(session, statements)
        oracle = scenario
        if derive:
            # Facts only the real system can tell, added to the scenario
            # the simulated notebook plays.
            extra = derive(session)
            oracle = os.path.join(session.dir, os.path.basename(scenario))
            text = open(scenario, encoding="utf-8").read()
            head, sep, tail = text.partition("\n---\n")
            with open(oracle, "w", encoding="utf-8") as f:
                f.write(head + "\n" + "\n".join(extra) + "\n" + sep + tail)
        player = Player(session, rig or scenario, actions,
                        sim_transcript(oracle), extra_env)
        player.start(statements)
        story(player)
        player.verify()
        if then:
            then(session)
        return session, player


# -------------------------------------------------------------------- tests

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


def click_for_missing_driver(s, proc, driver_file):
    """A click on the icon of a program whose driver does not answer: a box
    names the driver file, and after it the program goes on."""
    s.click_icon(1)
    check_equal(s.wait_box(APP_TITLE)[1], MISSING_FORMAT % driver_file,
                "box text")
    s.close_box(APP_TITLE, "driver-missing")
    s.helper("sync", MAIN_CLASS)
    check_equal(proc.poll(), None, "the program still running")
    check_equal(s.tray_icons(), 1, "tray icons after the box")
    log("   the box closed; still running, one icon")


def check_second_copy(s):
    """A second copy started while one runs leaves at once with 0, adding
    no icon and no window."""
    second = start_release(s, name="second")
    check_equal(second.wait(timeout=s.patience), 0, "second copy's exit code")
    check_equal(s.tray_icons(), 1, "tray icons with two copies")
    check_equal(len(s.main_windows()), 1, "main windows")
    log("   a second copy left at once (0); one icon")


def test_simhw(keep, scenario, bits=64):
    name = os.path.splitext(os.path.basename(scenario))[0]
    play_scenario(name + SUFFIX[bits],
                  os.path.join(SCENARIOS, scenario), keep, bits=bits)


def test_nt4_cds(keep):
    """NT 4.0's older driver: the choice stands or falls with what
    ChangeDisplaySettingsA answers, which only Wine can tell.  The helper
    makes the program's very request first; the simulated notebook is then
    told that answer, and the Wine run must show "Error" exactly when the
    simulated one does, that is when the answer is not 0."""
    scenario = os.path.join(SCENARIOS, "nt4-legacy.scn")
    statements, actions = read_scenario(scenario)
    width, height, bpp, _ = statement(statements, "desktop")
    rate = None
    for words in actions:
        if words[0][0] == "choose":
            rate = {9004: 60, 9005: 72, 9006: 75, 9007: 85}[int(words[1][0])]
    answers = {}

    def probe(session):
        # CDS_UPDATEREGISTRY | CDS_RESET, as the program asks.
        line = session.helper("cds", width, height, bpp, str(rate),
                              "0x40000001")[0]
        answers["cds"] = int(line.split()[1])
        log(f"   Wine answers ChangeDisplaySettingsA({width}x{height}x{bpp}"
            f"@{rate}, CDS_UPDATEREGISTRY|CDS_RESET) with {answers['cds']}")
        return [f"cds-result {answers['cds']}"]

    _, player = play_scenario("nt4-legacy", scenario, keep, derive=probe)
    shown_error = ("Error", "Error") in player.boxes
    check_equal(shown_error, answers["cds"] != 0,
                "\"Error\" shown exactly when the answer is not 0")
    log("   " + ("\"Error\" shown" if shown_error else "no \"Error\" box")
        + f" for answer {answers['cds']}")


def test_single_copy(keep):
    """One icon however many copies start; WM_CLOSE and a quit posted from
    outside both take it away; exit code 0 each time."""
    with Session("single-copy", "win98", keep=keep) as s:
        s.start()
        first = s.start_program(EXE, name="first")
        s.wait_icons(1)
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


def test_desk_applet(keep):
    """With the driver answering (the rig, e2e/scenarios/win98-desk-applet.scn)
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
        # the applet: once the program takes messages again, no menu may
        # have opened, nor be waiting to.
        player.sync()
        check_equal(player.menus_logged(), [], "menus after the double-click")
        check(not s.menu_open(), "a menu is open after the double-click")
        log("   no menu after the double-click")
        player.open_menu(3, 1, None)
        log("   a single right click opened the menu")
        player.finish()

    play_scenario("desk-applet", os.path.join(SCENARIOS,
                                              "win98-desk-applet.scn"), keep,
                  extra_env={"CRTRATE_E2E_DESK_LOG": desk_log}, story=story)


# Each test: what it proves, then the function and its arguments after keep.
TESTS = {
    "unsupported-winme": (
        "Windows ME: the unsupported-system box, English text under the "
        "Chinese caption, no icon, exit code 0", test_unsupported, "winme"),
    "unsupported-win2k": (
        "Windows 2000: the same box, no icon, exit code 0",
        test_unsupported, "win2k"),
    "driver-missing-win98": (
        "Windows 98, crtrate.exe: icon shown; a click names Kq_M1.VXD",
        test_driver_missing, "win98", "Kq_M1.VXD"),
    "driver-missing-nt40": (
        "NT 4.0, crtrate.exe: icon shown; a click names KqMINI.SYS",
        test_driver_missing, "nt4", "KqMINI.SYS"),
    "simhw-legacy-lcd": (
        "Windows 98, older driver, CRT beside the panel: menus and requests "
        "as simulated, warning in Chinese, Cancel changes nothing, OK writes "
        "the registry values byte for byte",
        test_simhw, "win98-legacy-lcd.scn"),
    "simhw-legacy-crt-alone": (
        "Windows 98, older driver, CRT alone: the same checks",
        test_simhw, "win98-legacy-crt-alone.scn"),
    "simhw-switch": (
        "Windows 98, switch driver generation (level 3): menus, mode and rate "
        "requests and ShowAllModes as simulated",
        test_simhw, "win98-switch.scn"),
    "nt4-legacy-cds": (
        "NT 4.0, older driver: \"Error\" exactly when Wine's "
        "ChangeDisplaySettingsA does not answer 0", test_nt4_cds),
    "single-copy": (
        "a second copy adds no icon; WM_CLOSE and an outside WM_QUIT remove "
        "it", test_single_copy),
    "taskbar-created": (
        "\"TaskbarCreated\" brings the icon back", test_taskbar_created),
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
    failed, waiting, running = [], list(names), []
    os.makedirs(WORK, exist_ok=True)
    while waiting or running:
        while waiting and len(running) < jobs:
            name = waiting.pop(0)
            out = tempfile.TemporaryFile(dir=WORK)
            args = [sys.executable, os.path.abspath(__file__), name]
            proc = subprocess.Popen(args + (["--keep"] if keep else []),
                                    stdout=out, stderr=subprocess.STDOUT)
            running.append((name, proc, out))
        time.sleep(0.5)
        for item in [r for r in running if r[1].poll() is not None]:
            name, proc, out = item
            running.remove(item)
            out.seek(0)
            sys.stdout.write(out.read().decode("utf-8", errors="replace"))
            sys.stdout.flush()
            out.close()
            if proc.returncode != 0:
                failed.append(name)
    return failed


# --------------------------------------------------------------------- demo

DEMO = os.path.join(ROOT, "scenarios", "demo.scn")
DEMO_DIR = os.path.join(BUILD, "demo")
DOCS = os.path.join(ROOT, "docs")
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


def keep_pictures(session):
    """The session's screenshots named in PICTURES also write the README's
    pictures to docs/, cut to what they show, in colours of a palette and
    without a time, so that the same screen gives the same bytes."""
    shoot = session.screenshot
    written = set()

    def screenshot(label):
        path = shoot(label)
        for shot, caption, name in PICTURES:
            if shot != label or name in written:
                continue
            written.add(name)
            cut = ["-trim"]
            if caption:
                ids = session.xdotool("search", "--onlyvisible", "--name",
                                      "^" + re.escape(caption) + "$")
                shapes = [re.search(r"Position: (\d+),(\d+).*Geometry: "
                                    r"(\d+)x(\d+)", " ".join(session.xdotool(
                                        "getwindowgeometry", i)))
                          for i in ids]
                x, y, w, h = max((tuple(int(g) for g in m.groups())
                                  for m in shapes if m),
                                 key=lambda g: g[2] * g[3])
                cut = ["-crop", f"{w}x{h}+{x}+{y}"]
            out = os.path.join(DOCS, name)
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
    lines = ["# Written by e2e/wine_e2e.py from scenarios/demo.scn for the "
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
    lines += ["---", "click left", "choose 9008", "answer ok", "click left",
              "click left"]
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    return path


def run_demo():
    """`make run`: the demo notebook under Wine in Windows 98 mode, then
    crtrate.exe on the same screen without an answering driver; README's
    pictures are cut from the screenshots on the way."""
    os.makedirs(WORK, exist_ok=True)
    scenario = demo_scenario(os.path.join(WORK, "demo-wine.scn"))
    statements, _ = read_scenario(scenario)
    person = os.environ.get("DISPLAY")
    if person:
        return run_demo_on(person, scenario, statements)
    desktop = " ".join(statement(statements, "desktop")[:3])
    log(f"== demo under Wine (Windows 98, {desktop}, no $DISPLAY: on a "
        f"virtual screen), checked against crtrate-sim")

    def without_driver(s):
        # What the same notebook shows when its driver does not answer:
        # the release program on Wine's own display driver.
        log("   crtrate.exe without the driver:")
        proc = s.start_program(EXE, name="crtrate")
        s.wait_icons(1)
        click_for_missing_driver(s, proc, "Kq_M1.VXD")
        s.end_program(proc)

    play_scenario("demo", scenario, rig=DEMO, directory=DEMO_DIR,
                  then=without_driver,
                  prepare=lambda s: (dress_screen(s), keep_pictures(s)))
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
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("tests", nargs="*", help="tests to run (default all)")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--keep", action="store_true",
                        help="keep each test's Wine prefix")
    parser.add_argument("--jobs", type=int, default=1,
                        help="tests run at once, each in a process")
    args = parser.parse_args()
    if args.tests == ["demo"]:
        try:
            return run_demo()
        except (Failure, subprocess.TimeoutExpired, OSError) as error:
            log(f"demo failed: {error}")
            return 1
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
        needed += [EXES[32], SIMHWS[32], WINE32]
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
