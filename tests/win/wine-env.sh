#!/usr/bin/env bash
# The Wine environment of the Windows tests: a 64-bit prefix under the build folder (so the
# 32-bit programs run under WOW64), a scratch home (the prefix's desktop is never the Linux
# user's home), Tahoma installed, one Xvfb display and one persistent wineserver per test run.
#
#   wine-env.sh BUILD_DIR start      create the prefix when missing, start Xvfb and wineserver
#   wine-env.sh BUILD_DIR stop       end the wineserver and Xvfb
#   wine-env.sh BUILD_DIR run CMD..  run a Windows program in the environment
#   wine-env.sh BUILD_DIR env        print the environment as shell assignments
#   wine-env.sh BUILD_DIR can-run-32bit   whether this machine can run the 32-bit programs
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
export WINEDLLOVERRIDES="mscoree,mshtml=;schtasks.exe,systeminfo.exe=n"
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

# The tool is a 32-bit program: Wine runs it through its 32-bit loader, a 32-bit Linux program.
# A machine whose kernel has 32-bit emulation switched off cannot run it; the tests that need
# it then end with the skip code 77 and say why.
can_run_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
skip_32bit() {
  echo "SKIPPED: this machine cannot run 32-bit programs (the kernel's 32-bit emulation is off)," \
       "so Wine cannot run the 32-bit test programs" >&2
  exit 77
}

make_prefix() {
  [ -f "$WINEPREFIX/.kovra-ready" ] && return 0
  rm -rf "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
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
    wine cmd /c exit 0 </dev/null >/dev/null 2>&1
    echo "Wine prefix $WINEPREFIX on display $DISPLAY"
    can_run_32bit || echo "WARNING: 32-bit programs cannot run on this machine; the Windows tests will be skipped"
    ;;
  stop)
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    if [ -f "$state/xvfb.pid" ]; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null; fi
    rm -f "$state/xvfb.pid" "$state/display"
    ;;
  run)
    can_run_32bit || skip_32bit
    exec wine "$@"
    ;;
  can-run-32bit)
    can_run_32bit
    ;;
  env)
    echo "export WINEPREFIX='$WINEPREFIX' WINEARCH=win64 WINEDEBUG=-all HOME='$HOME' DISPLAY='${DISPLAY:-}'"
    ;;
  *)
    echo "usage: wine-env.sh BUILD_DIR start|stop|run|env" >&2
    exit 2
    ;;
esac
