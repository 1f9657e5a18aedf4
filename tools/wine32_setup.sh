#!/usr/bin/env bash
# Makes 32-bit Wine usable for the release exe's end-to-end runs.
#
#   tools/wine32_setup.sh
#
# Exit 0 when /usr/lib/wine/wine (Debian's wine32) starts and its display
# driver has the XRandR library; 77, with the reason on the last line, when
# that cannot be made so here (the runs are then skipped, not passed); 1
# when an install step failed.
#
# Wine's X11 display driver lists and sets display modes through XRandR,
# which it loads with dlopen: libXrender, then libXrandr (load_xrandr() in
# Wine's dlls/winex11.drv/xrandr.c).  Debian's libwine:i386 only recommends
# libxrandr2:i386 (which depends on libxrender1:i386), and without it
# 32-bit Wine's ChangeDisplaySettingsA answers DISP_CHANGE_BADMODE to every
# request, the mode in force included, where 64-bit Wine answers 0.
#
# Debian's wine32 is an i386 program.  Kernels built without 32-bit
# emulation refuse it ("Exec format error"); qemu's user-mode emulator then
# runs it, through a binfmt_misc handler for i386 ELF files.  Registrations
# do not survive a reboot, so each run registers the handler when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

WINE32=/usr/lib/wine/wine
XRANDR32=/usr/lib/i386-linux-gnu/libXrandr.so.2
QEMU=/usr/bin/qemu-i386-static
BINFMT=/proc/sys/fs/binfmt_misc

skip() {
  echo "wine32: skipped: $*"
  exit 77
}

starts() {
  [ -x "$WINE32" ] && "$WINE32" --version >/dev/null 2>&1
}

starts && [ -e "$XRANDR32" ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || skip "not root, and sudo asks for a password"
  sudo="sudo -n"
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "wine32: adding the i386 architecture to dpkg"
  $sudo dpkg --add-architecture i386
fi
# apt lists the i386 packages only after an update, which the helper makes
# when something is missing.
tools/apt_missing.sh wine32 "$WINE32:wine32:i386" \
  "$XRANDR32:libxrandr2:i386"

starts && exit 0
echo "wine32: this kernel runs no i386 programs by itself"
tools/apt_missing.sh wine32 "$QEMU:qemu-user-static"

if [ ! -e "$BINFMT/register" ]; then
  echo "wine32: mounting binfmt_misc"
  $sudo mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null ||
    skip "binfmt_misc cannot be mounted here, so no i386 program can start"
fi
if [ ! -e "$BINFMT/qemu-i386" ]; then
  echo "wine32: registering qemu-i386 for i386 programs (binfmt_misc)"
  # F: the emulator is opened now, so it is found inside any mount
  # namespace; O and P: as Debian's own qemu-user-static registration.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf ':qemu-i386:M::%s:%s:%s:OPF\n' "$magic" "$mask" "$QEMU" |
    $sudo tee "$BINFMT/register" >/dev/null ||
    skip "binfmt_misc refused the i386 handler"
fi
[ "$(head -n 1 "$BINFMT/qemu-i386")" = enabled ] ||
  skip "the i386 handler is registered but disabled"

starts || skip "$WINE32 still does not start under qemu-i386"
