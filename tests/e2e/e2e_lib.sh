# Sourced by the end-to-end scripts and the run benchmark, with `build` (the build folder),
# `env_sh` (tests/win/wine-env.sh) and `out` (a folder for logs and screenshots) set: the Wine
# environment, the paths a run uses, and one run of the tool from the button's click to the
# confirmed final message box. A machine that cannot run the build's programs ends the script
# with the skip code 77.
if ! "$env_sh" "$build" can-run; then
  echo "SKIPPED: this machine cannot run 32-bit programs, so not the tool under Wine either"
  exit 77
fi
mkdir -p "$out"
eval "$("$env_sh" "$build" env)"
caption="Get Kovra Configuration File"
user_dir="$WINEPREFIX/drive_c/users/$(id -un)"
desktop="$user_dir/Desktop"
staging="$user_dir/Temp/GetInfoDir"
today=$(date +%Y%m%d)
report="$desktop/nf_logs_$today.log"
report_win="C:\\users\\$(id -un)\\Desktop\\nf_logs_$today.log"

# The product is a 32-bit program: it reads the 32-bit registry view and finds 32-bit programs
# under "Program Files (x86)". The same sources built for x86_64 (where 32-bit programs cannot
# run) read the native ones and, not being under WOW64, call the system 32-bit.
if [ "$("$env_sh" "$build" pe-machine)" = 8664 ]; then
  reg_view=/reg:64
  programs="Program Files"
  software_key='HKEY_LOCAL_MACHINE\SOFTWARE'
  os_type=32bit
else
  reg_view=/reg:32
  programs="Program Files (x86)"
  software_key='HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node'
  os_type=64bit
fi
programs_dir="$WINEPREFIX/drive_c/$programs"

wine_run() { "$env_sh" "$build" run "$@" </dev/null; }
reg_quiet() { wine_run reg "$@" "$reg_view" >/dev/null 2>&1; }
driver() {
  "$env_sh" "$build" run "$build/tests/e2e_driver.exe" "$@" </dev/null >"$out/driver.out" 2>&1
  local rc=$?
  tr -d '\r' <"$out/driver.out"
  return $rc
}
field() { sed -n "s/^$1 //p" <<<"$2"; }
shot() { xwd -root -silent -display "$DISPLAY" | convert xwd:- "png:$out/$1.png"; }

# The peak resident size (kB) of the tool's processes so far: Wine keeps the Windows program
# in a Linux process whose command line names it.
tool_peak_kb() {
  local pid kb peak=0
  for pid in $(pgrep -f 'GetKovraInfo\.exe' || true); do
    kb=$(sed -n 's/^VmHWM:[^0-9]*\([0-9]*\).*/\1/p' "/proc/$pid/status" 2>/dev/null)
    [ -n "$kb" ] && [ "$kb" -gt "$peak" ] && peak=$kb
  done
  echo "$peak"
}

# Ends a tool that is still running: the Windows process and the script that started it.
end_tool() {
  pkill -f 'GetKovraInfo\.exe' 2>/dev/null
  kill "$1" 2>/dev/null
}

# The DLL names a planted-DLL folder holds: those the tool loads at run time (always from the
# system folder by full path) and those it imports statically (known DLLs, and comctl32 bound
# through the manifest), which Windows never takes from the program's folder.
planted_runtime_dlls="version msimg32 wtsapi32 psapi dbghelp mapi32"
planted_static_dlls="kernel32 user32 gdi32 advapi32 shell32 shlwapi ole32 oleaut32 msvcrt comctl32"
# The Wine overrides under which a DLL of those names beside a program is loaded before Wine's
# own, as Windows does for DLLs that are not known DLLs. Not for the static ones (Wine cannot
# run with a stand-in for them, and Windows never loads those from beside the program), nor
# for version.dll: Wine's own user32 imports it and, unlike a known DLL's imports on Windows,
# looks for it beside the program before the program's first instruction runs. The import
# check (exe_imports_exist_on_xp) keeps version.dll out of the tool's import table.
planted_dll_overrides="msimg32,wtsapi32,psapi,dbghelp,mapi32=n,b"

# A copy of the tool in DIR with the planted DLL (tests/planted.dll, which leaves
# NAME.dll.loaded beside itself when a process loads it) under every NAME given. Sets TOOL_EXE
# to the copy and TOOL_DLL_OVERRIDES to the overrides, for run_tool.
#   plant_dlls DIR NAME...
plant_dlls() {
  local dir=$1 name
  shift
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$build/GetKovraInfo.exe" "$dir/"
  for name in "$@"; do cp "$build/tests/planted.dll" "$dir/$name.dll"; done
  TOOL_EXE="$dir/GetKovraInfo.exe"
  TOOL_DLL_OVERRIDES=$planted_dll_overrides
}

# The planted DLLs in DIR that a process loaded, one "NAME.dll by PROGRAM" a line; nothing
# when none was.
planted_dlls_loaded() {
  local marker
  for marker in "$1"/*.dll.loaded; do
    [ -e "$marker" ] || continue
    echo "$(basename "${marker%.loaded}") by $(iconv -f UTF-16LE -t UTF-8 "$marker" 2>/dev/null)"
  done
}

# One run: starts the tool, presses its button, waits for the final message box (up to
# TIMEOUT_MS), notes the tool's peak memory, confirms the box and waits for the process to end.
# Sets run_text (the box's text), run_code (exit code), run_seconds (click to box), run_peak_kb.
# The program run is TOOL_EXE (the build's GetKovraInfo.exe when unset), under the Wine DLL
# overrides TOOL_DLL_OVERRIDES (none when unset).
# Screenshots of the window and the box go to $out, their names prefixed by SHOT_PREFIX. False when a step fails
# (the reason on stderr); the process is then killed.
run_tool() {
  local timeout_ms=${1:-300000} pid info box start end attempt
  run_text="" run_code="" run_seconds="" run_peak_kb=0
  # The Explorer window an earlier run opened at its end could come up over this run's window
  # and take its click.
  pkill -f 'explorer\.exe /select' 2>/dev/null || true
  # The tool's output goes to a file: programs it starts (Explorer) would hold a pipe open.
  KOVRA_DLL_OVERRIDES="${TOOL_DLL_OVERRIDES:-}" "$env_sh" "$build" run "${TOOL_EXE:-$build/GetKovraInfo.exe}" \
    </dev/null >"$out/tool.log" 2>&1 &
  pid=$!
  if ! info=$(driver find-window "$caption" 30000); then
    echo "window not found" >&2
    end_tool "$pid"
    return 1
  fi
  run_window_info=$info
  shot "${SHOT_PREFIX:-}window"
  read -r bx by <<<"$(field button "$info")"
  # A window of an earlier run (the Explorer window a run opens at its end) may cover ours.
  for w in $(xdotool search --name "^$caption\$" 2>/dev/null); do xdotool windowraise "$w"; done
  start=$(date +%s.%N)
  # The click starts the run, which disables the button at once; a click that reached another
  # window is made again.
  for attempt in 1 2 3; do
    xdotool mousemove "$bx" "$by" click 1
    info=$(driver find-window "$caption" 2000) || break
    [ "$(field button-enabled "$info")" = 1 ] || break
    sleep 1
    info=$(driver find-window "$caption" 2000) || break
    [ "$(field button-enabled "$info")" = 1 ] || break
    echo "the click did not start the run (attempt $attempt); clicking again" >&2
    for w in $(xdotool search --name "^$caption\$" 2>/dev/null); do xdotool windowraise "$w"; done
  done
  if ! box=$(driver wait-msgbox "$caption" "$timeout_ms"); then
    echo "no final message box" >&2
    end_tool "$pid"
    return 1
  fi
  end=$(date +%s.%N)
  run_peak_kb=$(tool_peak_kb)
  shot "${SHOT_PREFIX:-}done"
  run_box_info=$box
  run_text=$(field text "$box")
  run_seconds=$(python3 -c "print(round($end - $start, 2))")
  read -r ox oy <<<"$(field ok "$box")"
  xdotool mousemove "$ox" "$oy" click 1
  for _ in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "the process did not end after the message box" >&2
    end_tool "$pid"
    return 1
  fi
  wait "$pid"
  run_code=$?
  return 0
}
