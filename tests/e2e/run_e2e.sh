#!/usr/bin/env bash
# End to end: starts GetKovraInfo.exe in the Wine environment, finds its window, presses the
# button with real X input, waits for the final message box, confirms it and checks the exit
# code, the staging folder and the report. Screenshots go to BUILD_DIR/e2e/.
#
#   run_e2e.sh BUILD_DIR [CHECK_SCRIPT]
# CHECK_SCRIPT, when given, is sourced after the run with REPORT set to the report's Linux path.
set -u
build=$(cd "$1" && pwd)
check_script=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
env_sh="$here/../win/wine-env.sh"
out="$build/e2e"
# shellcheck source=tests/e2e/e2e_lib.sh
source "$here/e2e_lib.sh"
fail() { echo "FAIL: $*"; exit 1; }

# With KOVRA_E2E_HANG_SYSTEMINFO=1 the systeminfo stand-in hangs (with a child holding its
# output): the run must end it at its time limit and still produce the report.
if [ "${KOVRA_E2E_HANG_SYSTEMINFO:-0}" = 1 ]; then
  fake_dir="$out/fake"
  rm -rf "$fake_dir"
  mkdir -p "$fake_dir"
  touch "$fake_dir/hang-systeminfo"
  # The tool passes none of its environment on: the stand-ins find the folder named beside
  # them (written after the fixture's first clean-up below, removed with the fixture).
  fake_pointer="$("$env_sh" "$build" system-folder)/kovra-fake-dir.txt"
fi

# With KOVRA_E2E_PLANT_DLLS=1 the tool runs from a copy in the user's Downloads folder among
# DLLs of the names of every DLL it loads or imports (Wine told to prefer such DLLs beside a
# program to its own): none of them may be loaded, and the run must be as complete as ever.
planted_dir=""
if [ "${KOVRA_E2E_PLANT_DLLS:-0}" = 1 ]; then
  planted_dir="$user_dir/Downloads/kovra-planted"
  # shellcheck disable=SC2086
  plant_dlls "$planted_dir" $planted_runtime_dlls $planted_static_dlls
fi

# A fixture product: the current generation's Uninstall entry in the 32-bit view and its main
# executable (a copy of the tool itself, so its version and size are known). Removed at the end.
product_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Zentrix Tune 8_is1'
product_dir="$programs_dir/Zentrix Tune 8"
top_key='HKLM\SOFTWARE\Kovra\Zentrix Tune Prime'
updater_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kovra Nimbrel Fetch_is1'
updater_dir="$programs_dir/Kovra Nimbrel Fetch"
shared_dir="$programs_dir/Common Files/Kovra/Nimbrel Fetch"
pulse_dir="$programs_dir/Kovra/PulseSync"
remove_fixture() {
  if [ -n "${fake_pointer:-}" ]; then rm -f "$fake_pointer"; fi
  reg_quiet delete "$product_key" /f
  reg_quiet delete "$top_key" /f
  reg_quiet delete "$updater_key" /f
  rm -rf "$product_dir" "$(dirname "$pulse_dir")" "$updater_dir" "$(dirname "$shared_dir")"
}
remove_fixture
if [ -n "${fake_pointer:-}" ]; then printf '%s' "Z:${fake_dir//\//\\}" >"$fake_pointer"; fi
mkdir -p "$product_dir"
cp "$build/GetKovraInfo.exe" "$product_dir/ztn.exe"
reg_quiet add "$product_key" /v DisplayVersion /d 8.1.0 /f
reg_quiet add "$product_key" /v "Inno Setup: App Path" /d "C:\\$programs\\Zentrix Tune 8" /f
# The top edition installed in the same folder (its inventory lists ztn.exe), and two logs of
# the shared update component.
reg_quiet add "$top_key" /v ztnpv8uninstallpath /d "C:\\$programs\\Zentrix Tune 8\\unins000.exe" /f
mkdir -p "$pulse_dir"
echo "sync started" >"$pulse_dir/sync.log"
echo "update checked" >"$pulse_dir/update.log"
# The updater installed: its files, a .svn folder the digest list leaves out, and the shared
# component folder that the archive list names twice.
mkdir -p "$updater_dir/Skin" "$updater_dir/Database" "$updater_dir/.svn" "$shared_dir"
echo "crash note" >"$updater_dir/bugreport.txt"
echo "skin" >"$updater_dir/Skin/main.png"
echo "db" >"$updater_dir/Database/nbFetch.dbd"
echo "fetch log" >"$updater_dir/NimbrelFetch.log"
echo "svn" >"$updater_dir/.svn/entries"
echo "shared" >"$shared_dir/component.dll"
reg_quiet add "$updater_key" /v InstallLocation \
  /d "C:\\$programs\\Kovra Nimbrel Fetch\\NimbrelFetch.exe" /f
trap 'remove_fixture; [ -z "$planted_dir" ] || rm -rf "$planted_dir"' EXIT
export PRODUCT_EXE_SIZE=$(stat -c %s "$product_dir/ztn.exe")
export PRODUCT_EXE_MD5=$(md5sum "$product_dir/ztn.exe" | cut -d' ' -f1)

# A staging folder left from an earlier run, and an older report, must both be replaced.
mkdir -p "$staging/old/deeper"
echo leftover >"$staging/old/deeper/stale.txt"
rm -f "$desktop"/nf_logs_*.log
echo "an older report" >"$report"

run_tool 300000 || fail "the run did not complete"
if [ -n "$planted_dir" ]; then
  loaded=$(planted_dlls_loaded "$planted_dir")
  [ -z "$loaded" ] || fail "planted DLLs were loaded: $loaded"
  echo "none of the $(find "$planted_dir" -name '*.dll' | wc -l) planted DLLs was loaded"
fi
info=$run_window_info
echo "$info"
[ "$(field client "$info")" = "305 148" ] || fail "client area is $(field client "$info"), not 305 148"
[ "$(field button-text "$info")" = "Click here to save report" ] || fail "button caption"
[ "$(field progress-visible "$info")" = "0" ] || fail "progress bar visible before the run"
echo "$run_box_info"
text=$run_text
if [ -f "$report" ]; then
  expected="The info file: Kovra_Debug_Info.zip has been saved to:|$report_win"
else
  expected="The info file save failed"
fi
[ "$text" = "$expected" ] || fail "message box says '$text', expected '$expected'"
[ "$run_code" = 0 ] || fail "exit code $run_code"
[ -e "$staging" ] && fail "staging folder still exists"

if [ -n "$check_script" ]; then
  REPORT="$report"
  # shellcheck source=/dev/null
  source "$check_script" || fail "report check failed"
fi
echo "PASS: end-to-end run ($text)"
