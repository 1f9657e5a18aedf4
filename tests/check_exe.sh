#!/usr/bin/env bash
# Checks a release crtrate.exe for what Windows 95 OSR2 / 98 / NT 4.0 on a
# Pentium notebook needs.
#
#   tests/check_exe.sh EXE [--arch i686|x86_64]
#
# 1. Imports: only KERNEL32, USER32, GDI32, ADVAPI32 and SHELL32, by name,
#    and exactly the functions that sim/calls.def says the exe imports (read
#    through the C preprocessor, as every reader of that list does).
# 2. PE header: GUI subsystem (2), subsystem version 4.0, OS version 4.0.
# 3. i686 only: the disassembly uses nothing newer than a Pentium: no
#    cmov/fcmov/fcomi, no MMX or SSE registers or instructions.
# 4. Size: the whole i686 release file within 16384 bytes (the 64-bit
#    build only runs the program under Wine; its size is printed).
# Exits non-zero, naming every failure, if any check fails; prints one
# summary line of figures otherwise.
set -euo pipefail

limit=16384
usage() { echo "usage: tests/check_exe.sh EXE [--arch i686|x86_64]" >&2; exit 2; }
exe=${1:-}
arch=i686
if [ $# -eq 3 ] && [ "$2" = --arch ]; then
  arch=$3
elif [ $# -ne 1 ]; then
  usage
fi
case "$arch" in
i686) objdump=i686-w64-mingw32-objdump; format=pei-i386 ;;
x86_64) objdump=x86_64-w64-mingw32-objdump; format=pei-x86-64 ;;
*) usage ;;
esac
if [ ! -f "$exe" ]; then
  echo "check_exe: $exe: no such file" >&2
  exit 1
fi
command -v "$objdump" >/dev/null || {
  echo "check_exe: $objdump not found (binutils-mingw-w64)" >&2
  exit 1
}
calls_file=$(realpath "$(dirname "$0")/../sim/calls.def")

failures=()
fail() { failures+=("$1"); }

if ! headers=$("$objdump" -p "$exe" 2>&1); then
  echo "check_exe: $exe: $objdump cannot read it (not a $format file?):" >&2
  echo "  $headers" >&2
  exit 1
fi

# --- file format -------------------------------------------------------
grep -q "file format $format\$" <<<"$headers" ||
  fail "file format is not $format"

# --- imports -------------------------------------------------------------
# The rows of sim/calls.def that the release exe imports (EXE_SIM, EXE).
declare -A allowed=()
row='#define CALL(dll, function, where, held, why) where dll!function'
listed=$(printf '%s\n#include "%s"\n' "$row" "$calls_file" | cpp -P -) ||
  fail "cpp cannot read $calls_file"
while read -r where imp; do
  case "$where" in EXE_SIM | EXE) allowed[${imp^^}]=$imp ;; esac
done <<<"$listed"

imports=$(awk '
  /^[[:space:]]*DLL Name:/ { dll = toupper($3); sub(/\.DLL$/, "", dll); next }
  /^[[:space:]]*$/ { if (dll != "" && seen) { dll = ""; seen = 0 } next }
  dll != "" && /vma:/ { next }
  dll != "" && NF >= 3 && $1 ~ /^[0-9a-f]+$/ { print dll "!" $3; seen = 1; next }
  dll != "" && NF >= 1 { print dll "!<ordinal " $0 ">"; seen = 1 }
' <<<"$headers" | sort -u)

dlls=()
count=0
while IFS= read -r imp; do
  [ -z "$imp" ] && continue
  count=$((count + 1))
  dll=${imp%%!*}
  case " ${dlls[*]:-} " in *" $dll "*) ;; *) dlls+=("$dll") ;; esac
  case "$dll" in
  KERNEL32 | USER32 | GDI32 | ADVAPI32 | SHELL32) ;;
  *) fail "imports from $dll (${imp#*!})"; continue ;;
  esac
  if [ -n "${allowed[${imp^^}]:-}" ]; then unset "allowed[${imp^^}]"
  else fail "imports $imp, which sim/calls.def does not list as imported"; fi
done <<<"$imports"
for imp in "${allowed[@]}"; do
  fail "sim/calls.def lists $imp as imported, yet the exe does not import it"
done
[ "$count" -gt 0 ] || fail "no imports found (objdump -p shows no import table)"

# --- PE header -----------------------------------------------------------
# objdump spells the OS version fields MajorOSystemVersion (binutils 2.40)
# or MajorOperatingSystemVersion.
field() { awk -v f="$1" '$1 ~ "^(" f ")$" { print $2; exit }' <<<"$headers"; }
subsystem=$(field Subsystem)
os_major=$(field 'MajorOSystemVersion|MajorOperatingSystemVersion')
os_minor=$(field 'MinorOSystemVersion|MinorOperatingSystemVersion')
sub_major=$(field MajorSubsystemVersion)
sub_minor=$(field MinorSubsystemVersion)
[ "$((16#${subsystem:-0}))" -eq 2 ] ||
  fail "subsystem is ${subsystem:-missing}, not 2 (Windows GUI)"
[ "${sub_major:-}.${sub_minor:-}" = 4.0 ] ||
  fail "subsystem version is ${sub_major:-?}.${sub_minor:-?}, not 4.0"
[ "${os_major:-}.${os_minor:-}" = 4.0 ] ||
  fail "OS version is ${os_major:-?}.${os_minor:-?}, not 4.0"

# --- Pentium instruction set (i686 only) -------------------------------------
cpu_note=""
if [ "$arch" = i686 ]; then
  disasm=$("$objdump" -d --no-show-raw-insn "$exe")
  # Instructions of the Pentium Pro and later (cmov, fcmov, fcomi, long
  # nops), and any MMX/SSE register or instruction.
  newer=$(grep -E -i \
    -e $'\t''(cmov[a-z]*|fcmov[a-z]*|f(u)?comip?|nop[wl])([[:space:]]|$)' \
    -e '%(x|y|z)mm[0-9]+|%mm[0-7]' \
    -e $'\t''(emms|movnt[a-z]*|prefetch[a-z0-9]*|[lsm]fence|clflush|ldmxcsr|stmxcsr|fxsave|fxrstor|maskmovq|pshufw|movaps|movups|movss|movdq[au]|movq2dq|movdq2q)([[:space:]]|$)' \
    <<<"$disasm" || true)
  if [ -n "$newer" ]; then
    fail "code newer than a Pentium ($(wc -l <<<"$newer") instructions):"$'\n'"$(head -n 20 <<<"$newer")"
  fi
  insns=$(grep -c -E $'^[[:space:]]+[0-9a-f]+:\t' <<<"$disasm" || true)
  cpu_note=", $insns instructions, none newer than a Pentium"
fi

# --- size ---------------------------------------------------------------
size=$(stat -c %s "$exe")
if [ "$arch" = i686 ]; then
  [ "$size" -le "$limit" ] || fail "size is $size bytes, over the limit of $limit"
else
  limit="none"
fi

if [ ${#failures[@]} -gt 0 ]; then
  echo "check_exe: $exe ($arch): FAILED" >&2
  printf '  - %s\n' "${failures[@]}" >&2
  exit 1
fi
echo "check_exe: $exe ($arch): $size bytes (limit $limit)," \
  "$count imports from ${#dlls[@]} DLLs (${dlls[*]})," \
  "subsystem windows ${sub_major}.${sub_minor}, OS ${os_major}.${os_minor}$cpu_note"
