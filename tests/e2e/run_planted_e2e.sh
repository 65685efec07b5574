#!/usr/bin/env bash
# Planted links: before the tool runs, a program with the user's rights plants links at the
# names the tool writes, empties or removes: a link to a folder at the staging folder, a link to
# a file and second names (hard links) at the files of the temporary folder, at info.data beside
# the program and at the report on the desktop. Then, in a second run, an earlier staging folder
# holding a link to a folder and a second name. Each run must end with the success message and
# a full report, leave every file and folder the links lead to as it was, and name in the run
# log each link it removed.
#
#   run_planted_e2e.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
env_sh="$here/../win/wine-env.sh"
out="$build/e2e-planted"
rm -rf "$out"
mkdir -p "$out"
# shellcheck source=tests/e2e/e2e_lib.sh
source "$here/e2e_lib.sh"
fail() { echo "FAIL: $*"; exit 1; }
reader() { "$env_sh" "$build" run "$build/kovra-report.exe" "$@" </dev/null | tr -d '\r'; }
to_win() { echo "Z:${1//\//\\}"; }

temp="$user_dir/Temp"
victims="$WINEPREFIX/drive_c/kovra-planted-victims"
remove_fixture() {
  rm -rf "$victims" "$temp/GetInfoDir" "$build/info.data"
  rm -f "$temp/InfoVersion.txt" "$temp/metrologinfo.txt" "$temp/SYS_FILE_Context_Menu.txt"
}
[ -n "${KOVRA_E2E_KEEP:-}" ] || trap remove_fixture EXIT
remove_fixture

# What the links lead to, and their digests before the runs.
mkdir -p "$victims/folder/inner" "$victims/second-folder"
for f in folder/a.txt folder/inner/b.txt second-folder/c.txt info.txt metro.txt export.txt \
  infodata.bin report.log second.txt; do
  echo "precious $f" >"$victims/$f"
done
digests() { (cd "$victims" && find . -type f -o -type d -o -type l | sort | while read -r p; do
  if [ -f "$p" ]; then echo "$p $(md5sum <"$p" | cut -d' ' -f1)"; else echo "$p"; fi
done); }
before=$(digests)

# The tool's report with its run log, extracted by the reader; the run log's text in $run_log.
check_run() {
  local name=$1
  [ "$run_text" = "The info file: Kovra_Debug_Info.zip has been saved to:|$report_win" ] ||
    fail "$name: message box says '$run_text'"
  [ "$run_code" = 0 ] || fail "$name: exit code $run_code"
  [ -e "$build/GetInfoDir" ] && fail "$name: the program's staging folder still exists"
  [ "$(digests)" = "$before" ] || { diff <(echo "$before") <(digests); fail "$name: files that links lead to changed"; }
  [ "$(reader kind "$(to_win "$report")")" = "DES container" ] || fail "$name: no DES-container report"
  rm -rf "$out/report"
  mkdir -p "$out/report"
  reader extract "$(to_win "$report")" "$(to_win "$out/report")" >/dev/null || fail "$name: extract"
  local stored="$out/report/users/$(id -un)/Temp" staged f
  staged=$(cd "$out/report" && find . -name GetInfoRun.txt -printf '%h\n' | head -1)
  [ -n "$staged" ] || fail "$name: the report holds no run log"
  for f in Kovra_Debug_Info.txt GetInfoLog.txt GetInfoRun.txt uninstall.txt services.txt \
    SystemInfo.txt task.txt; do
    [ -s "$out/report/$staged/$f" ] || fail "$name: the report lacks $f"
  done
  for f in InfoVersion.txt metrologinfo.txt SYS_FILE_RunStart_1.txt; do
    [ -s "$stored/$f" ] || fail "$name: the report lacks $f"
  done
  grep -q '^=====Version=====' "$stored/InfoVersion.txt" || fail "$name: InfoVersion.txt is not ours"
  run_log=$(iconv -f UTF-16 -t UTF-8 "$out/report/$staged/GetInfoRun.txt" | tr -d '\r')
  if [ -L "$staging" ]; then
    # Wine cannot remove a Unix link to a folder without following it: the link stays, the
    # run says so and works in the program's folder instead.
    [ "$(readlink "$staging")" = "$victims/folder" ] || fail "$name: the link at the staging folder changed"
    grep -qF 'a link stands at this name and cannot be removed' <<<"$run_log" ||
      fail "$name: a link stays at the staging folder unannounced"
  elif [ -e "$staging" ]; then
    # The same for a link inside an earlier staging folder: what it holds stays, the rest goes.
    grep -qF 'an earlier folder could not be removed whole' <<<"$run_log" ||
      fail "$name: staging folder still exists"
    [ "$(find "$staging" -type f | wc -l)" = 0 ] || fail "$name: the earlier staging folder kept its files"
  fi
}

# Run 1: links at the names of the tool's own files.
rm -f "$desktop"/nf_logs_*.log
ln -s "$victims/folder" "$staging"
ln -s "$victims/info.txt" "$temp/InfoVersion.txt"
ln "$victims/metro.txt" "$temp/metrologinfo.txt"
ln "$victims/export.txt" "$temp/SYS_FILE_Context_Menu.txt"
ln "$victims/infodata.bin" "$build/info.data"
ln -s "$victims/report.log" "$report"
run_tool 300000 || fail "run 1 did not complete"
check_run "run 1"
grep -qE 'Temp.GetInfoDir: a link (stood at this name; removed|stands at this name and cannot be removed)' \
  <<<"$run_log" || fail "run 1: the run log does not name the link at the staging folder"
grep -qF 'Temp\metrologinfo.txt: a second name of another file stood at this name; removed' \
  <<<"$run_log" || fail "run 1: the run log does not name the second name at metrologinfo.txt"
[ -L "$report" ] && fail "run 1: the report is still a link"
[ -L "$temp/InfoVersion.txt" ] && fail "run 1: InfoVersion.txt is still a link"

rm -f "$staging"
# Run 2: an earlier staging folder that holds a link to a folder, a link to a file and a
# second name.
rm -f "$desktop"/nf_logs_*.log
mkdir -p "$staging/sub"
ln -s "$victims/second-folder" "$staging/sub/linked"
ln "$victims/second.txt" "$staging/second.txt"
ln -s "$victims/info.txt" "$staging/sub/file-link.txt"
run_tool 300000 || fail "run 2 did not complete"
check_run "run 2"
echo "PASS: planted links change nothing outside, and both runs give a full report"
