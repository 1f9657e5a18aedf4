"""Wine prefixes for the end-to-end runs.  Each run gets its own prefix,
copied from a template made once by wineboot (kept in ~/.cache/crtrate-e2e
while Wine stays the same version), with the Windows version, the Chinese
(Taiwan) locale and the registry keys of its scenario set beforehand.
"""

import fcntl
import os
import shutil
import subprocess
import time

from harness.wine.common import Failure, WINE32, log

# Made by wineboot in about two minutes (more with 32-bit Wine beside the
# 64-bit one), so kept across build trees and clones.
TEMPLATE = os.environ.get("CRTRATE_WINE_TEMPLATE") or os.path.join(
    os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"),
    "crtrate-e2e", "wine-template")


# Files a prefix shares with the template by hard links: the DLLs and
# programs Wine installed, which nothing rewrites in place.  The rest (the
# registry above all) is copied.
SHARED_DIRS = ("drive_c/windows/system32", "drive_c/windows/syswow64",
               "drive_c/Program Files", "drive_c/Program Files (x86)")


# Wine's names for the releases the scenarios' "os" statement knows, and
# what GetVersionExA then reports (platform, major, minor).
WINE_VERSIONS = {"win95": ("win95", (1, 4, 0)), "win98": ("win98", (1, 4, 10)),
                 "nt4": ("nt40", (2, 4, 0)), "winme": ("winme", (1, 4, 90)),
                 "win2k": ("win2k", (2, 5, 0))}


ROOT_KEYS = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCC": "HKEY_CURRENT_CONFIG",
             "HKCU": "HKEY_CURRENT_USER"}


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
