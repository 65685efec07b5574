#!/usr/bin/env bash
# The fault suite: the tool's whole run on a hostile machine of our own making, twice (with and
# without a 200 MB product log). Values of the wrong kind where the collectors read, a 5,000-
# character Run value, names in Cyrillic, Japanese and emoji, paths over 260 characters, folder
# loops through links, files held open with and without sharing, a damaged leftover info.data.
# Each run must end with the success message, exit code 0, a full DES-container report and no
# staging folder; the run with the large log may peak at most 64 MB above the one without.
#
#   run_fault_suite.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
env_sh="$here/../win/wine-env.sh"
out="$build/e2e-faults"
rm -rf "$out"
# shellcheck source=tests/e2e/e2e_lib.sh
source "$here/e2e_lib.sh"
holders=()
fail() { echo "FAIL: $*"; exit 1; }

uninstall='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
product_key="$uninstall\\Zentrix Tune 8_is1"
top_key='HKLM\SOFTWARE\Kovra\Zentrix Tune Prime'
updater_key="$uninstall\\Kovra Nimbrel Fetch_is1"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
machine_run_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
service_key='HKLM\SYSTEM\CurrentControlSet\Services\KovraHostileService'
product_dir="$programs_dir/Zentrix Tune 8"
pulse_dir="$programs_dir/Kovra/PulseSync"
updater_dir="$programs_dir/Kovra Nimbrel Fetch"
odd_names=("Отчёт о работе.log" "ログファイル.log" "😀 emoji.log" "Ünïcödé.log")
run_values=("KovraDword" "KovraBinary" "KovraMulti" "KovraLong" "Автозапуск 日本 😀")

remove_fixture() {
  local pid
  for pid in "${holders[@]}"; do kill "$pid" 2>/dev/null; done
  reg_quiet delete "$product_key" /f
  reg_quiet delete "$top_key" /f
  reg_quiet delete "$updater_key" /f
  reg_quiet delete "$service_key" /f
  for v in "${run_values[@]}"; do
    reg_quiet delete "$run_key" /v "$v" /f
    reg_quiet delete "$machine_run_key" /v "$v" /f
  done
  rm -rf "$product_dir" "$(dirname "$pulse_dir")" "$updater_dir" "$build/info.data"
}
trap remove_fixture EXIT
remove_fixture

# Registry: the product's entry with values of the wrong kinds (its folder comes from the top
# edition's key), the updater's entry with a wrong-kind version, Run values of every kind, a
# service whose settings are all of the wrong kind.
reg_quiet add "$product_key" /v DisplayVersion /t REG_DWORD /d 8 /f
reg_quiet add "$product_key" /v "Inno Setup: App Path" /t REG_BINARY /d 00ff00ff /f
reg_quiet add "$top_key" /v ztnpv8uninstallpath /d "C:\\$programs\\Zentrix Tune 8\\unins000.exe" /f
reg_quiet add "$top_key" /v ztnpv8installpath /t REG_MULTI_SZ /d "a\\0b" /f
reg_quiet add "$updater_key" /v InstallLocation \
  /d "C:\\$programs\\Kovra Nimbrel Fetch\\NimbrelFetch.exe" /f
reg_quiet add "$updater_key" /v DisplayVersion /t REG_BINARY /d 0102 /f
long_value="C:\\Tools\\$(printf 'x%.0s' $(seq 1 4985)).exe"
for key in "$run_key" "$machine_run_key"; do
  reg_quiet add "$key" /v KovraDword /t REG_DWORD /d 7 /f
  reg_quiet add "$key" /v KovraBinary /t REG_BINARY /d 00ff /f
  reg_quiet add "$key" /v KovraMulti /t REG_MULTI_SZ /d "one\\0two" /f
  reg_quiet add "$key" /v KovraLong /d "$long_value" /f
  reg_quiet add "$key" /v "Автозапуск 日本 😀" /d "C:\\Программы\\日本\\😀.exe" /f
done
reg_quiet add "$service_key" /v Type /t REG_SZ /d sixteen /f
reg_quiet add "$service_key" /v Start /t REG_BINARY /d 02 /f
reg_quiet add "$service_key" /v ImagePath /t REG_DWORD /d 1 /f

# Files: odd names, a path over 260 characters, a folder loop through a link in each folder
# the tool walks, logs held open with and without sharing, a damaged info.data.
deep() {
  local d=$1
  for _ in 1 2 3 4 5 6; do d="$d/$(printf 'deep%.0s' $(seq 1 12))"; done
  mkdir -p "$d" && echo deep >"$d/far.log"
}
for dir in "$product_dir" "$updater_dir" "$pulse_dir"; do
  mkdir -p "$dir"
  for name in "${odd_names[@]}"; do echo "$name" >"$dir/$name"; done
  deep "$dir"
  ln -s .. "$dir/loop"
done
cp "$build/GetKovraInfo.exe" "$product_dir/ztn.exe"
echo "sync" >"$pulse_dir/sync.log"
echo "held without sharing" >"$pulse_dir/locked.log"
echo "held with sharing" >"$pulse_dir/shared.log"
printf 'PK\003\004 damaged leftover, no archive at all' >"$build/info.data"
to_win() { echo "Z:${1//\//\\}"; }
for mode in lock share; do
  file="$pulse_dir/locked.log"
  [ $mode = share ] && file="$pulse_dir/shared.log"
  "$env_sh" "$build" run "$build/tests/fake_console.exe" $mode "$(to_win "$file")" \
    </dev/null >"$out/$mode.out" 2>&1 &
  holders+=($!)
done
for _ in $(seq 1 100); do
  grep -q locked "$out/lock.out" 2>/dev/null && grep -q locked "$out/share.out" 2>/dev/null && break
  sleep 0.1
done
grep -q '^locked' "$out/lock.out" && grep -q '^locked' "$out/share.out" ||
  fail "the files could not be held open"

reader() {
  "$env_sh" "$build" run "$build/kovra-report.exe" "$@" </dev/null >"$out/reader.out" 2>&1
  local rc=$?
  tr -d '\r' <"$out/reader.out"
  return $rc
}

# One run and the checks of its report; sets peak_kb.
check_run() {
  local label=$1 listing main_info stored="users/$(id -un)/Temp/GetInfoDir"
  rm -f "$desktop"/nf_logs_*.log
  SHOT_PREFIX="$label-" run_tool 600000 || fail "$label: the run did not complete"
  [ "$run_text" = "The info file: Kovra_Debug_Info.zip has been saved to:|$report_win" ] ||
    fail "$label: message box says '$run_text'"
  [ "$run_code" = 0 ] || fail "$label: exit code $run_code"
  [ -e "$staging" ] && fail "$label: staging folder still exists"
  [ -e "$build/info.data" ] && fail "$label: info.data left beside the program"
  [ "$(reader kind "$(to_win "$report")")" = "DES container" ] || fail "$label: no DES container"
  listing=$(reader list "$(to_win "$report")") || fail "$label: the reader cannot list the report"
  for name in Kovra_Debug_Info.txt GetInfoLog.txt uninstall.txt services.txt SystemInfo.txt \
    task.txt PulseSync/sync.log PulseSync/shared.log; do
    grep -qF "$stored/$name" <<<"$listing" || fail "$label: report lacks $name"
  done
  for name in "${odd_names[@]}"; do
    grep -qF "Kovra Nimbrel Fetch/$name" <<<"$listing" || fail "$label: report lacks the updater's $name"
  done
  grep -qF "$stored/PulseSync/locked.log" <<<"$listing" &&
    fail "$label: a log held without sharing was copied"
  rm -rf "$out/report"
  mkdir -p "$out/report"
  reader extract "$(to_win "$report")" "$(to_win "$out/report")" >/dev/null ||
    fail "$label: the reader cannot extract the report"
  main_info=$(iconv -f UTF-16 -t UTF-8 "$out/report/$stored/Kovra_Debug_Info.txt" | tr -d '\r')
  grep -qF "KovraLong=$long_value" <<<"$main_info" || fail "$label: the long Run value is not whole"
  grep -qF 'Автозапуск 日本 😀=C:\Программы\日本\😀.exe' <<<"$main_info" ||
    fail "$label: the Run value with odd names is missing"
  grep -qF 'KovraDword=dword:00000007' <<<"$main_info" || fail "$label: the DWORD Run value is missing"
  grep -q "^ztn\.exe   Ver:" <<<"$main_info" || fail "$label: the inventory lacks ztn.exe"
  # The reader's tables: every line recognised; the odd Run values as autostart records.
  [ "$(reader table "$(to_win "$report")" unparsed)" = "$(printf 'file\tsection\tline\ttext')" ] ||
    fail "$label: lines the reader did not recognise: $(cat "$out/reader.out")"
  local autostart
  autostart=$(reader table "$(to_win "$report")" autostart) || fail "$label: reader table autostart"
  grep -qF "$(printf 'Run\tKovraDword=dword:00000007\tKovraDword\tdword:00000007\t\tfalse')" \
    <<<"$autostart" || fail "$label: the DWORD Run value as a record: $autostart"
  grep -qF "$(printf '\tАвтозапуск 日本 😀\tC:\\Программы\\日本\\😀.exe\t')" <<<"$autostart" ||
    fail "$label: the Run value with odd names as a record: $autostart"
  # The run log names the log held without sharing, once, with its reason, and stays small; the
  # reader's summary shows it.
  local run_log summary
  run_log=$(iconv -f UTF-16 -t UTF-8 "$out/report/$stored/GetInfoRun.txt" | tr -d '\r')
  [ "$(grep -c 'locked\.log' <<<"$run_log")" = 1 ] &&
    grep -qP '\tnote\tstage 4/product logs\tskipped\t1\t.*\\locked\.log: held by another program$' <<<"$run_log" ||
    fail "$label: the run log does not name the held log once: $run_log"
  grep -q 'shared\.log' <<<"$run_log" && fail "$label: the run log names the log held with sharing"
  [ "$(wc -l <<<"$run_log")" -le 120 ] || fail "$label: the run log has $(wc -l <<<"$run_log") lines"
  summary=$(reader summary "$(to_win "$report")") || fail "$label: no summary"
  grep -qP '^( +|Noted: +)skipped stage 4/product logs: .*\\locked\.log: held by another program$' <<<"$summary" ||
    fail "$label: the summary lacks the held log: $summary"
  echo "$label: run log of $(wc -l <<<"$run_log") lines"
  peak_kb=$run_peak_kb
  echo "$label: ${run_seconds} s, peak ${peak_kb} kB, $(wc -l <<<"$listing") entries"
}

check_run plain
plain_peak=$peak_kb
# The same machine with a 200 MB log among the product's logs.
head -c $((200 * 1024 * 1024)) /dev/urandom | base64 -w 120 | head -c $((200 * 1024 * 1024)) \
  >"$pulse_dir/huge.log"
check_run large-log
grep -qF "GetInfoDir/PulseSync/huge.log" <<<"$(reader list "$(to_win "$report")")" ||
  fail "the report lacks the 200 MB log"
rm -f "$pulse_dir/huge.log"
added=$(((peak_kb - plain_peak) / 1024))
echo "peak with the 200 MB log: ${added} MB above the run without it (bound 64 MB)"
[ "$added" -le 64 ] || fail "the 200 MB log raised the peak by $added MB"
echo "PASS: fault suite"
