#!/usr/bin/env bash
# The Wine environment of the Windows tests: a 64-bit prefix under the build folder (so the
# 32-bit programs run under WOW64), a scratch home (the prefix's desktop is never the Linux
# user's home), Tahoma installed, one Xvfb display and one persistent wineserver per test run.
#
#   wine-env.sh BUILD_DIR start      create the prefix when missing, start Xvfb and wineserver
#   wine-env.sh BUILD_DIR stop       end the wineserver and Xvfb
#   wine-env.sh BUILD_DIR run CMD..  run a Windows program in the environment
#   wine-env.sh BUILD_DIR env        print the environment as shell assignments
#   wine-env.sh BUILD_DIR can-run    whether this machine can run the build's programs, and
#                                    their faults arrive as the Windows exceptions they are
#   wine-env.sh BUILD_DIR system-folder   the prefix folder the build's programs see as System32
#   wine-env.sh BUILD_DIR pe-machine      the build's machine type: 014c (x86) or 8664 (x86-64)
#
# The product is 32-bit. A machine whose kernel cannot run 32-bit programs runs them through
# qemu's user-mode emulator once scripts/i386-emulation/setup.sh has set it up; where that is
# not possible the same sources built for x86_64 (the windows-x64 preset) run the tests: the
# build's own executable tells which loader runs its programs.
set -u
build=$(cd "$1" && pwd)
action=$2
shift 2
state="$build/wine"
mkdir -p "$state"

export WINEPREFIX="$state/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export HOME="$state/home"
# Our stand-ins over schtasks.exe and systeminfo.exe load as the programs they are, never
# as Wine's built-in ones.
# KOVRA_DLL_OVERRIDES adds overrides of the caller's (the planted-DLL test's "version=n,b" and
# the like).
export WINEDLLOVERRIDES="mscoree,mshtml=;schtasks.exe,systeminfo.exe=n${KOVRA_DLL_OVERRIDES:+;$KOVRA_DLL_OVERRIDES}"
mkdir -p "$HOME"
if [ -f "$state/display" ]; then export DISPLAY=$(cat "$state/display"); fi

start_xvfb() {
  local n
  for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
      echo $! >"$state/xvfb.pid"
      for _ in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
      done
      echo ":$n" >"$state/display"
      export DISPLAY=":$n"
      return 0
    fi
  done
  echo "no free X display" >&2
  return 1
}

# The machine type in a PE file's header: 014c for x86, 8664 for x86-64.
pe_machine() {
  local offset
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$offset" ] && od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}
build_is_64bit() { [ "$(pe_machine "$build/GetKovraInfo.exe")" = 8664 ]; }
# The 32-bit programs need Wine's 32-bit loader, a 32-bit Linux program: run natively, or
# through qemu's emulator where the kernel cannot run it. Where it does not start at all, the
# tests that need it end with the skip code 77 and say why.
can_run_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
loader_runs() {
  if build_is_64bit; then /usr/lib/wine/wine64 --version >/dev/null 2>&1; else can_run_32bit; fi
}
skip_32bit() {
  echo "SKIPPED: this machine cannot run 32-bit programs (the kernel's 32-bit emulation is off" \
       "and scripts/i386-emulation/setup.sh has not set up qemu's), so Wine cannot run the" \
       "32-bit test programs; the windows-x64 preset runs them as 64-bit" >&2
  exit 77
}
# Whether a fault in the build's programs reaches its handler as the exception it is: a
# half-working emulation of 32-bit code turns access violations into illegal instructions,
# and tests would then fail in odd ways. Asked once per test run, when the environment starts
# (the answer is kept in the state folder); without the probe program (not built yet) only the
# loader is checked.
exceptions_file="$state/exceptions"
check_exceptions() {
  local probe="$build/tests/exception_probe.exe" answer
  [ -f "$probe" ] || return 0
  answer=$(wine_for_build "$probe" </dev/null 2>&1)
  local status=$?
  echo "$answer" >"$exceptions_file"
  [ $status -eq 0 ]
}
exceptions_broken() {
  echo "ERROR: a write to address 0 in a program of this build does not reach its handler as an" \
       "access violation ($(cat "$exceptions_file" 2>/dev/null | tr -d '\r'))." \
       "Where 32-bit code is emulated, run scripts/i386-emulation/setup.sh as root." >&2
}
# Wine's launcher picks its 32-bit loader whenever it is installed; a 64-bit build runs
# through the 64-bit one.
wine_for_build() {
  if build_is_64bit; then /usr/lib/wine/wine64 "$@"; else wine "$@"; fi
}
# The folder a process of the build sees as System32.
system_folder() {
  if build_is_64bit; then echo "$WINEPREFIX/drive_c/windows/system32"
  else echo "$WINEPREFIX/drive_c/windows/syswow64"; fi
}

make_prefix() {
  [ -f "$WINEPREFIX/.kovra-ready" ] && return 0
  rm -rf "$WINEPREFIX"
  wine_for_build wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
  local user_dir="$WINEPREFIX/drive_c/users/$(id -un)"
  # wineboot links these folders to the Linux home; make them real folders of the prefix.
  for d in Desktop Documents Downloads Music Pictures Videos; do
    if [ -L "$user_dir/$d" ]; then rm -f "$user_dir/$d"; fi
    mkdir -p "$user_dir/$d"
  done
  cp /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  touch "$WINEPREFIX/.kovra-ready"
}

case "$action" in
  start)
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    if [ -f "$state/xvfb.pid" ]; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null; rm -f "$state/xvfb.pid" "$state/display"; fi
    start_xvfb || exit 1
    make_prefix
    wineserver -p </dev/null >/dev/null 2>&1
    # Start Wine's own background processes now, detached from the caller's output: later
    # programs would otherwise start them with the test's output pipe, which then never closes.
    wine_for_build cmd /c exit 0 </dev/null >/dev/null 2>&1
    echo "Wine prefix $WINEPREFIX on display $DISPLAY"
    rm -f "$state/exceptions-broken"
    if ! loader_runs; then
      echo "WARNING: 32-bit programs cannot run on this machine; the Windows tests will be skipped"
    elif ! check_exceptions; then
      exceptions_broken
      echo broken >"$state/exceptions-broken"
      exit 1
    fi
    ;;
  stop)
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    if [ -f "$state/xvfb.pid" ]; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null; fi
    rm -f "$state/xvfb.pid" "$state/display"
    ;;
  run)
    loader_runs || skip_32bit
    if [ -f "$state/exceptions-broken" ]; then
      exceptions_broken
      exit 1
    fi
    wine_for_build "$@"
    ;;
  can-run)
    loader_runs || exit 1
    if [ -f "$WINEPREFIX/.kovra-ready" ] && ! check_exceptions; then
      exceptions_broken
      exit 1
    fi
    ;;
  system-folder)
    system_folder
    ;;
  pe-machine)
    pe_machine "$build/GetKovraInfo.exe"
    ;;
  env)
    echo "export WINEPREFIX='$WINEPREFIX' WINEARCH=win64 WINEDEBUG=-all HOME='$HOME' DISPLAY='${DISPLAY:-}' WINEDLLOVERRIDES='$WINEDLLOVERRIDES'"
    ;;
  *)
    echo "usage: wine-env.sh BUILD_DIR start|stop|run|env|can-run|system-folder|pe-machine" >&2
    exit 2
    ;;
esac
