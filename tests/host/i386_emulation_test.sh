#!/usr/bin/env bash
# The trap-number library of the 32-bit emulation set-up, under qemu's emulator run directly
# (not through binfmt_misc, and with an empty interpreter prefix, so that no installed library
# is preloaded): the fault probe passes with the library, and fails, naming the trap number it
# saw, without it and with a library that gives an access violation the wrong number.
# Skipped (77) where qemu-i386 or the i386 libc is missing.
set -u
here=$(cd "$(dirname "$0")/../../scripts/i386-emulation" && pwd)
command -v qemu-i386 >/dev/null || { echo "SKIPPED: no qemu-i386"; exit 77; }
libc=/lib/i386-linux-gnu/libc.so.6
[ -f "$libc" ] || { echo "SKIPPED: no i386 libc"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/prefix"

flags=(-m32 -O2 -ffreestanding -nostdlib -fno-stack-protector -Wall -Wextra -Werror)
gcc "${flags[@]}" -fno-pie -no-pie -Wl,--dynamic-linker=/lib/ld-linux.so.2 -o "$work/probe" \
  "$here/trap_probe.c" "$libc" || exit 1
gcc "${flags[@]}" -shared -fPIC -o "$work/good.so" "$here/trap_numbers_preload.c" "$libc" || exit 1
# A deliberate fault: page faults reported as general-protection faults.
sed 's/kTrapPageFault = 14/kTrapPageFault = 13/' "$here/trap_numbers_preload.c" >"$work/bad.c"
gcc "${flags[@]}" -shared -fPIC -o "$work/bad.so" "$work/bad.c" "$libc" || exit 1

status=0
# case: preload, expected exit code, text expected on standard error
while IFS='|' read -r preload expected text; do
  args=(-L "$work/prefix")
  [ -n "$preload" ] && args+=(-E "LD_PRELOAD=$work/$preload")
  output=$(qemu-i386 "${args[@]}" "$work/probe" 2>&1)
  code=$?
  if [ "$code" != "$expected" ] || ! grep -qF "$text" <<<"$output"; then
    echo "FAIL: preload '${preload:-none}': exit $code, output: $output (expected $expected, '$text')"
    status=1
  fi
done <<'CASES'
good.so|0|faults reach their handlers with their trap numbers
|1|an access violation reached its handler with trap number -1, expected 14
bad.so|1|an access violation reached its handler with trap number 13, expected 14
CASES
[ $status -eq 0 ] && echo "trap-number library: 3 cases passed"
exit $status
