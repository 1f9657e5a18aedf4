"""The scenario player: runs crtrate-simhw.exe in a session and plays a
scenario file on the real screen.  Its hardware statements set up the
simulated display driver (the rig reads them), its registry statements are
imported into the prefix, and its actions (click, choose, dismiss, answer,
close, quit) are played through the tray icon, the menu and the boxes, in
the order the user takes them.  The same
file run by build/native/crtrate-sim is the oracle: every `escape`, `cds`
and `menu` line (the display change with Wine's answer), every box and
every value the simulated program wrote must come out the same under Wine.
"""

import contextlib
import json
import os
import re
import time

from harness.wine.common import (
    APP_TITLE,
    COVER_CLASS,
    DAMAGE_TEXT,
    Failure,
    HELPER,
    MAIN_CLASS,
    MISSING_FORMAT,
    SIMHWS,
    WARNING_CAPTION,
    check,
    check_equal,
    log,
    sim_output,
    wait_until)
from harness.wine.prefix import ROOT_KEYS
from harness.wine.session import Session, parse_quoted_fields, screen_for

def read_scenario(path):
    """Returns (statements, actions), each a list of word lists of
    (text, quoted) pairs.  A line whose form of the scenario language the
    Wine run cannot honour (crtrate-sim --parse) fails."""
    parsed = json.loads(sim_output(["--parse", path]))
    language = parsed["language"]
    for kind in ("statements", "actions"):
        for form, words in parsed[kind]:
            if not language[form][3]:
                raise Failure(f"{os.path.basename(path)}: the Wine run "
                              f"cannot play {' '.join(w for w, _ in words)}")
    return tuple([[tuple(w) for w in words] for _, words in parsed[kind]]
                 for kind in ("statements", "actions"))


def statement(statements, keyword):
    for words in statements:
        if words[0][0] == keyword:
            return [w for w, _ in words[1:]]
    return None


def expected_value(kind, words):
    """(type, bytes) of a transcript's value text (binary 08, sz "ON")."""
    if kind == "binary":
        return 3, bytes(int(b, 16) for b in words)
    if kind == "sz":
        return 1, words[0].encode("cp950")
    if kind == "dword":
        return 4, int(words[0]).to_bytes(4, "little")
    raise Failure(f"cannot compare a value of kind {kind}")


# The transcript lines the rig logs as crtrate-sim writes them: driver
# requests, display changes with their answers, menu entries.
COMPARED = ("escape ", "cds ", "menu ")


def parse_sim(lines):
    """What the oracle's transcript says the Wine run must show."""
    compared = [l for l in lines if l.startswith(COMPARED)]
    boxes, writes = [], {}
    for words in parse_quoted_fields(lines):
        # A box's "box <type> <caption> <text>" line, not its closing
        # "box -> <answer>".
        if words and words[0] == "box" and words[1] != "->":
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

    def __init__(self, session, scenario, actions, sim_lines, extra_env=None,
                 label="rig"):
        self.s = session
        self.scenario = scenario
        self.actions = actions
        self.label = label
        self.compared, self.sim_boxes, self.sim_writes = parse_sim(sim_lines)
        self.rig_log = os.path.join(session.dir, label + ".log")
        self.boxes = []
        self.entries = []  # the open menu's entries, as the rig logged them
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
        """Each listing of the menu in the rig's log (crtrate-sim
        --listings)."""
        out = sim_output(["--listings"],
                         "\n".join(self.rig_lines()).encode("utf-8") + b"\n")
        return [json.loads(line) for line in out.splitlines()]

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
                                         name=f"crtrate-simhw-{self.label}")
        self.s.wait_icon()
        self.s.screenshot("icon")
        self.s.check_icon("driver_ready")

    def show_menu(self, button, repeat):
        before = len(self.menus_logged())
        self.s.click_icon(button, repeat)
        menus = wait_until("the menu's entries in the rig log",
                           self.s.patience, lambda: (
            self.menus_logged()[before:] or None))
        wait_until("the popup menu on the screen", self.s.patience,
                   self.s.menu_open)
        self.s.screenshot("menu")
        self.entries = menus[-1]["entries"]

    def pick(self, choice):
        """Chooses `choice`, an entry's (resolution, rate), in the open menu,
        or closes it with Escape when it is None or greyed; returns the
        entry chosen, or None."""
        names = [(res, rate) for res, rate, _, _ in self.entries]
        if choice is not None and choice not in names:
            raise Failure(f"{' '.join(choice)} is not in the menu")
        enabled = choice is not None and \
            not self.entries[names.index(choice)][2]
        if choice is not None:
            # Wine's menus step over separators but not over greyed entries.
            self.s.keys(*(["Down"] * (names.index(choice) + 1)))
            self.s.screenshot(f"menu-at-{'-'.join(choice)}")
            self.s.keys("Return")
        if not enabled:
            self.s.keys("Escape")
        wait_until("the menu to close", self.s.patience,
                   lambda: not self.s.menu_open())
        return choice if enabled else None

    def click_during_warning(self, button):
        """A click on the icon while the warning waits: no menu may open,
        now or once the program takes its messages again."""
        before = len(self.menus_logged())
        self.s.click_icon(button)
        self.check_no_menu(before, "while the warning was open")
        check_equal([b[0] for b in self.s.boxes()], [WARNING_CAPTION],
                    "boxes while the warning is open")
        log("   a click on the icon while the warning waits: no menu")

    def check_no_menu(self, before, when):
        """Once the program takes its messages again, no menu opened since
        the rig had logged `before` menus, nor is one waiting to open."""
        self.s.sync()
        check_equal(self.menus_logged()[before:], [], f"menus opened {when}")
        check(not self.s.menu_open(), f"a menu is open {when}")

    def answer_warning(self, answer):
        caption, text, _ = self.s.wait_box(WARNING_CAPTION)
        self.boxes.append((caption, text))
        check_equal(text, DAMAGE_TEXT, "warning text")
        before = self.snapshot()
        self.s.close_box(WARNING_CAPTION, "warning",
                         "Return" if answer == "ok" else "Escape")
        self.s.sync()
        if answer == "cancel":
            check_equal(self.snapshot(), before,
                        "registry after Cancel (nothing may change)")
            log("   Cancel: registry unchanged")
        else:
            self.take_error_box()

    def take_error_box(self):
        errors = [b[:2] for b in self.s.boxes() if b[0] == "Error"]
        if errors:
            self.boxes.append(errors[0])
            log(f"   box {errors[0][0]!r}: {errors[0][1]!r}")
            self.s.close_box("Error", "error")

    def close(self, how):
        """The "close", "quit" and "shell-restart" actions (a restart of
        Windows 98's shell, which says "TaskbarCreated")."""
        if how == "shell-restart":
            return self.s.retray()
        self.s.helper(how, MAIN_CLASS)
        self.proc.wait(timeout=self.s.patience)

    def play(self):
        """Plays the actions in the user's order: a click opens the menu
        (or, while the warning waits, must open nothing), "choose" and
        "dismiss" close it, "answer" closes the warning."""
        warning = False
        for words in self.actions:
            what = [w for w, _ in words]
            log(f"   action: {' '.join(what)}")
            if what[0] == "click":
                button, repeat = {"left": (1, 1), "right": (3, 1),
                                  "double": (1, 2)}.get(what[1], (0, 0))
                if not button:
                    raise Failure(f"click {what[1]} is not played under Wine")
                if warning:
                    self.click_during_warning(button)
                else:
                    self.show_menu(button, repeat)
            elif what[0] in ("choose", "dismiss"):
                chosen = self.pick(tuple(what[1:3]) if what[0] == "choose"
                                   else None)
                warning = chosen is not None
            elif what[0] == "answer":
                if not warning:
                    raise Failure("the scenario answers a warning that is "
                                  "not open")
                self.answer_warning(what[1])
                warning = False
            elif what[0] in ("close", "quit", "shell-restart"):
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
        got = [l for l in self.rig_lines() if l.startswith(COMPARED)]
        if got != self.compared:
            diff = [f"  line {i + 1}: sim {a!r} / wine {b!r}"
                    for i, (a, b) in enumerate(zip(self.compared, got))
                    if a != b][:5]
            raise Failure("escape, cds and menu lines differ from crtrate-sim "
                          f"({len(self.compared)} sim, {len(got)} wine):\n"
                          + "\n".join(diff))
        changes = [l for l in got if l.startswith("cds ")]
        log(f"   {len(got)} escape, cds and menu lines equal crtrate-sim's"
            + "".join(f"; {l}" for l in changes))
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


def notebook_os(statements):
    return (statement(statements, "os") or ["win98"])[0]


def notebook_desktop(statements):
    return statement(statements, "desktop") or ["1024", "768", "16", "1"]


@contextlib.contextmanager
def scenario_session(name, scenario, keep=False, bits=64, directory=None):
    """A started session on the scenario's system and screen, with its keys
    and values, for play_notebook."""
    statements, _ = read_scenario(scenario)
    with Session(name, notebook_os(statements),
                 screen_for(notebook_desktop(statements)), keep,
                 directory=directory, bits=bits) as session:
        session.start(statements)
        yield session


def play_another(session, scenario, label, **options):
    """Plays a further notebook in a session that played one before, on its
    system and screen: the scenario's keys and values go in on top, and the
    rig logs to LABEL.log.  Saves a session's set-up, not the program's
    start.  `options` as play_notebook takes them."""
    statements, _ = read_scenario(scenario)
    check_equal(notebook_os(statements), session.os_name,
                f"the system of {os.path.basename(scenario)}")
    session.import_registry(statements, label)
    return play_notebook(session, scenario, label=label, **options)


def play_notebook(session, scenario, derive=None, extra_env=None, rig=None,
                  story=Player.play, label="rig"):
    """Plays the scenario in a started session and checks it against
    crtrate-sim; returns the player.  `rig`: the scenario the rig reads the
    driver from, if not this one; `story(player)` plays the actions."""
    statements, actions = read_scenario(scenario)
    desktop = notebook_desktop(statements)
    # Under load the first answer once gave the size of the previous
    # test's screen: ask again for a while before judging.
    deadline = time.monotonic() + 10
    while True:
        got = session.ask("desktop")[0]
        shown = [got[k] for k in ("width", "height", "bits", "rate")]
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
                    sim_output([oracle]).splitlines(), extra_env, label)
    player.start(statements)
    story(player)
    player.verify()
    return player


def click_for_missing_driver(s, proc, driver_file):
    """A click on the icon of a program whose driver does not answer: a box
    names the driver file.  Another program's window then covers it; a
    second click on the icon shows no second box but brings this one back
    to the front, and after it the program goes on."""
    s.click_icon(1)
    check_equal(s.wait_box(APP_TITLE)[1], MISSING_FORMAT % driver_file,
                "box text")
    cover = s.start_program(HELPER, name="cover", args=("cover",))
    wait_until("another program's window in front", 30,
               lambda: s.foreground()[0] == COVER_CLASS)
    s.screenshot("box-covered")
    # The box's own loop hands the program the next click on the icon.
    s.click_icon(1)
    wait_until("the box in front again", 30,
               lambda: s.foreground() == ("#32770", APP_TITLE))
    s.sync()
    check_equal([b[0] for b in s.boxes()], [APP_TITLE],
                "boxes after a second click on the icon")
    log("   covered by another window, the box came back to the front at "
        "a click on the icon; still one box")
    s.helper("close", COVER_CLASS)
    check_equal(cover.wait(timeout=30), 0, "the other program's exit code")
    s.close_box(APP_TITLE, "driver-missing")
    s.helper("sync", MAIN_CLASS)
    check_equal(proc.poll(), None, "the program still running")
    check_equal(s.tray_icons(), 1, "tray icons after the box")
    log("   the box closed; still running, one icon")
