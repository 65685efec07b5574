#!/usr/bin/env bash
# Lets a machine whose kernel runs no 32-bit (i386) programs run them through qemu's user-mode
# emulator, so that Wine's 32-bit loader, and with it the shipped 32-bit GetKovraInfo.exe and
# its tests, run here. On a machine that runs i386 programs natively it changes nothing.
#
#   setup.sh [install]   set up what is missing, then check it (idempotent; needs root)
#   setup.sh check       only check: a 32-bit program runs and its faults reach their handlers
#                        with the trap numbers the Linux kernel gives
#   setup.sh remove      undo everything install did
#
# What install changes, and why:
#   - qemu-user 8 or later (from the release's backports suite when the release has an older
#     one, added as /etc/apt/sources.list.d/kovra-backports.sources): older versions take about
#     a minute to start each 32-bit Wine process;
#   - /usr/local/lib/kovra-i386/: the trap-number library built from trap_numbers_preload.c
#     (qemu delivers faults without the trap number that Wine's 32-bit handlers decide by),
#     the fault probe built from trap_probe.c, and the emulator's name as binfmt_misc runs it;
#   - <qemu's interpreter prefix>/etc/ld.so.preload naming that library: read by emulated
#     programs only, so 64-bit programs never load it;
#   - a binfmt_misc entry "kovra-i386" that hands i386 programs to the emulator (until reboot).
#
# KOVRA_I386_EMULATION=force sets up the emulator even where the kernel runs i386 programs
# natively (binfmt_misc entries are tried before the kernel's own loader), to try the
# emulated path on such a machine.
set -u
here=$(cd "$(dirname "$0")" && pwd)
action=${1:-install}

entry_name=kovra-i386
binfmt=/proc/sys/fs/binfmt_misc
lib_dir=/usr/local/lib/kovra-i386
library=$lib_dir/libkovra-trap-numbers.so
probe=$lib_dir/trap-probe
# Debian's qemu passes the program's own argv[0] on (binfmt_misc flag P) when the name it runs
# under ends in -binfmt-P.
interpreter=$lib_dir/qemu-i386-binfmt-P
sources_file=/etc/apt/sources.list.d/kovra-backports.sources
i386_libc=/lib/i386-linux-gnu/libc.so.6
# The i386 ELF header as qemu's own binfmt configuration matches it: executables and shared
# objects of class 32, little-endian, machine 3.
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

say() { echo "i386 emulation: $*"; }
fail() {
  echo "i386 emulation: ERROR: $*" >&2
  exit 1
}

# Builds the library or the probe with the host compiler, with no 32-bit development packages.
build_library() {
  gcc -m32 -O2 -ffreestanding -nostdlib -shared -fPIC -fno-stack-protector -Wall -Wextra \
    -Werror -o "$1" "$here/trap_numbers_preload.c" "$i386_libc"
}
build_probe() {
  gcc -m32 -O2 -ffreestanding -nostdlib -fno-pie -no-pie -fno-stack-protector -Wall -Wextra \
    -Werror -Wl,--dynamic-linker=/lib/ld-linux.so.2 -o "$1" "$here/trap_probe.c" "$i386_libc"
}

# Whether the probe at $1 runs and sees the trap numbers; prints its own message when it sees
# wrong ones.
probe_passes() { "$1" >/dev/null 2>"$2"; }

qemu_major() {
  local version
  version=$(qemu-i386 --version 2>/dev/null | sed -n 's/.*version \([0-9]*\)\..*/\1/p' | head -1)
  echo "${version:-0}"
}

# The folder qemu reads an emulated program's absolute paths from first.
qemu_prefix() {
  qemu-i386 -h 2>/dev/null | sed -n 's/.*QEMU_LD_PREFIX *= *\([^ ]*\).*/\1/p' | head -1
}

check() {
  local probe_file=${1:-$probe} log
  [ -x "$probe_file" ] || fail "the fault probe $probe_file is not built; run: $0 install"
  log=$(mktemp)
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    if [ -x /usr/lib/wine/wine ]; then
      rm -f "$log"
      fail "Wine's 32-bit loader does not start (run $0 install as root)"
    fi
    say "Wine's 32-bit loader is not installed yet; checking with the probe alone"
  fi
  if ! probe_passes "$probe_file" "$log"; then
    cat "$log" >&2
    rm -f "$log"
    fail "a fault in a 32-bit program does not reach its handler as that fault: the trap-number" \
         "library is missing from $(qemu_prefix)/etc/ld.so.preload or faulty; Wine would turn" \
         "access violations into illegal instructions. Run $0 install as root."
  fi
  rm -f "$log"
  say "32-bit programs run, and an access violation reaches its handler as one"
}

remove() {
  [ "$(id -u)" = 0 ] || fail "removing needs root"
  [ -e "$binfmt/$entry_name" ] && echo -1 >"$binfmt/$entry_name" && say "removed binfmt_misc entry $entry_name"
  local prefix
  prefix=$(qemu_prefix)
  if [ -n "$prefix" ] && grep -qx "$library" "$prefix/etc/ld.so.preload" 2>/dev/null; then
    rm -f "$prefix/etc/ld.so.preload"
    say "removed $prefix/etc/ld.so.preload"
  fi
  rm -rf "$lib_dir" && say "removed $lib_dir"
  if [ -f "$sources_file" ]; then
    rm -f "$sources_file"
    say "removed $sources_file (qemu-user stays installed: apt-get remove qemu-user takes it away)"
  fi
}

install_qemu() {
  [ "$(qemu_major)" -ge 8 ] && return 0
  local codename candidate uri
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || fail "cannot tell the Debian release from /etc/os-release"
  export DEBIAN_FRONTEND=noninteractive
  candidate=$(apt-cache policy qemu-user 2>/dev/null | sed -n 's/ *Candidate: *[0-9]*:*\([0-9]*\)\..*/\1/p')
  if [ "${candidate:-0}" -ge 8 ] 2>/dev/null; then
    say "installing qemu-user from $codename"
    apt-get install -y -q --no-install-recommends qemu-user || fail "apt-get install qemu-user failed"
  else
    if [ ! -f "$sources_file" ]; then
      # The same mirror as the release's own packages.
      uri=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
      [ -n "$uri" ] || uri=$(awk '$1 == "deb" && $3 !~ /security/ { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
      [ -n "$uri" ] || uri=http://deb.debian.org/debian
      say "adding the $codename-backports suite of $uri ($sources_file): $codename's qemu is" \
          "older than 8 and takes about a minute to start each 32-bit Wine process"
      printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$uri" "$codename" >"$sources_file"
    fi
    local attempt
    for attempt in 1 2 3; do
      apt-get update -q >/dev/null && break
      say "apt-get update failed (attempt $attempt); retrying"
      sleep 5
    done
    say "installing qemu-user from $codename-backports"
    apt-get install -y -q --no-install-recommends -t "$codename-backports" qemu-user ||
      fail "apt-get install -t $codename-backports qemu-user failed"
  fi
  [ "$(qemu_major)" -ge 8 ] || fail "qemu-i386 $(qemu_major) is installed; version 8 or later is needed"
}

install() {
  command -v gcc >/dev/null || fail "gcc is needed to build the trap-number library"
  [ -f "$i386_libc" ] || fail "$i386_libc is missing (it comes with wine32:i386)"
  scratch=""
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  build_probe "$scratch/trap-probe" || fail "building the fault probe failed"

  if [ ! -e "$binfmt/$entry_name" ] && [ "${KOVRA_I386_EMULATION:-}" != force ] &&
    probe_passes "$scratch/trap-probe" /dev/null; then
    say "this kernel runs 32-bit programs natively: nothing to set up"
    return 0
  fi
  [ "$(id -u)" = 0 ] || fail "this kernel cannot run 32-bit programs; setting up qemu's emulator" \
                             "for them needs root: run sudo $0"

  say "this kernel cannot run 32-bit programs (or emulation is forced): setting up qemu's" \
      "user-mode emulator for them, so that Wine runs the 32-bit tool"
  install_qemu
  mkdir -p "$lib_dir"
  build_library "$scratch/lib.so" || fail "building the trap-number library failed"
  if ! cmp -s "$scratch/lib.so" "$library"; then
    cp "$scratch/lib.so" "$library" && say "installed $library"
  fi
  cmp -s "$scratch/trap-probe" "$probe" || cp "$scratch/trap-probe" "$probe"

  local prefix
  prefix=$(qemu_prefix)
  [ -n "$prefix" ] || fail "qemu-i386 -h does not name its interpreter prefix (QEMU_LD_PREFIX)"
  if ! grep -qx "$library" "$prefix/etc/ld.so.preload" 2>/dev/null; then
    mkdir -p "$prefix/etc"
    echo "$library" >"$prefix/etc/ld.so.preload"
    say "wrote $prefix/etc/ld.so.preload (read by emulated 32-bit programs only)"
  fi

  if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
      fail "binfmt_misc is not available ($binfmt cannot be mounted): the kernel cannot hand" \
           "32-bit programs to the emulator"
    say "mounted binfmt_misc"
  fi
  local emulator
  emulator=$(readlink -f "$(command -v qemu-i386)")
  # Flag F opens the emulator at registration, so a new emulator file needs a new entry.
  if [ "$(readlink "$interpreter" 2>/dev/null)" != "$emulator" ] || [ ! -e "$binfmt/$entry_name" ] ||
    ! grep -q "^interpreter $interpreter" "$binfmt/$entry_name" || ! probe_passes "$probe" /dev/null; then
    [ -e "$binfmt/$entry_name" ] && echo -1 >"$binfmt/$entry_name"
    ln -sfn "$emulator" "$interpreter"
    echo ":$entry_name:M::$i386_magic:$i386_mask:$interpreter:OPF" >"$binfmt/register" ||
      fail "registering the emulator with binfmt_misc failed"
    say "registered binfmt_misc entry $entry_name: i386 programs run through $emulator"
  fi
  check "$probe"
}

case "$action" in
  install) install ;;
  check)
    if [ -e "$binfmt/$entry_name" ]; then check "$probe"; else
      scratch=$(mktemp -d)
      build_probe "$scratch/trap-probe" || fail "building the fault probe failed"
      check "$scratch/trap-probe"
      status=$?
      rm -rf "$scratch"
      exit $status
    fi
    ;;
  remove) remove ;;
  *)
    echo "usage: setup.sh [install|check|remove]" >&2
    exit 2
    ;;
esac
