"""What every part of the Wine harness shares: where the builds and the
working files are, the program's own names and texts as the tests expect
to read them, and the small helpers for logging, bounded waits and checks.
"""

import json
import os
import shutil
import subprocess
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.join(ROOT, "build")
WIN64 = os.path.join(BUILD, "win64")
WIN32 = os.path.join(BUILD, "win32")
SIM = os.path.join(BUILD, "native", "crtrate-sim")
WORK = os.path.join(BUILD, "e2e")
WINE32 = "/usr/lib/wine/wine"
LOCALE = "zh_TW.UTF-8"

# The program under test and its rig, by the bitness of the Wine that runs
# them, and the suffix of the names of the tests that run them there.
EXES = {64: os.path.join(WIN64, "crtrate.exe"),
        32: os.path.join(WIN32, "crtrate.exe")}
SIMHWS = {64: os.path.join(WIN64, "crtrate-simhw.exe"),
          32: os.path.join(WIN32, "crtrate-simhw.exe")}
SUFFIX = {64: "", 32: "-32"}
EXE = EXES[64]
SIMHW = SIMHWS[64]

# The helper: x86_64 for all it does, i686 to ask 32-bit Wine's display
# driver.
HELPERS = {64: os.path.join(WIN64, "crtrate-e2e.exe"),
           32: os.path.join(WIN32, "crtrate-e2e.exe")}
HELPER = HELPERS[64]
DESK_CPL = os.path.join(WIN64, "crtrate-e2e-desk.cpl")

MAIN_CLASS = "Norvex Velkor Resolution Icon Task"
TRAY_CALLBACK = 1225
# The class of the window the helper's "cover" shows as another program's.
COVER_CLASS = "CrtrateE2ECover"

APP_TITLE = "CRT/懸掛式投影機"
WARNING_CAPTION = "警告"
DAMAGE_TEXT = ("若您的外部 CRT/懸掛式投影機不支援此更新率，則您的裝置可能會損毀。"
               "若您不能確定，請查閱您的硬體手冊。")
MISSING_FORMAT = "未能載入: %s。選擇此項以查看檔案是否存在。"
UNSUPPORTED_TEXT = ("Invalid Operating System or \nOperating System Build \n"
                    "Cannot Continue To Load!")


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


def sim_output(args, stdin=None):
    result = subprocess.run([SIM] + args, input=stdin, capture_output=True,
                            timeout=60)
    if result.returncode != 0:
        raise Failure(f"crtrate-sim {' '.join(args)}: "
                      f"{result.stderr.decode(errors='replace').strip()}")
    return result.stdout.decode("utf-8")


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


def check(condition, message):
    if not condition:
        raise Failure(message)


def check_equal(got, expected, what):
    if got != expected:
        raise Failure(f"{what}: expected {expected!r}, got {got!r}")
