# Sourced by run_e2e.sh after a run, with REPORT the Linux path of the report, build the build
# folder and env_sh the Wine environment script. Opens the report with the report reader (the
# Windows build of it, under Wine) and checks the staging files it holds.
[ -f "$REPORT" ] || { echo "no report at $REPORT"; return 1; }
reader() {
  "$env_sh" "$build" run "$build/kovra-report.exe" "$@" </dev/null >"$out/reader.out" 2>&1
  local rc=$?
  tr -d '\r' <"$out/reader.out"
  return $rc
}
to_win() { echo "Z:${1//\//\\}"; }
kind=$(reader kind "$(to_win "$REPORT")") || { echo "reader: $kind"; return 1; }
echo "report kind: $kind"
[ "$kind" = "DES container" ] || { echo "the report is no DES container"; return 1; }
[ -e "$build/info.data" ] && { echo "info.data was left beside the program"; return 1; }
extracted="$out/report"
rm -rf "$extracted"
mkdir -p "$extracted"
reader extract "$(to_win "$REPORT")" "$(to_win "$extracted")" || return 1
listing=$(reader list "$(to_win "$REPORT")") || return 1
echo "$listing"
stored="users/$(id -un)/Temp/GetInfoDir"
for name in Kovra_Debug_Info.txt GetInfoLog.txt GetInfoRun.txt; do
  file="$extracted/$stored/$name"
  [ -f "$file" ] || { echo "report lacks $stored/$name"; return 1; }
  [ "$(head -c 2 "$file" | od -An -tx1 | tr -d ' ')" = "fffe" ] ||
    { echo "$name does not start with the UTF-16 LE byte-order mark"; return 1; }
done
main_info=$(iconv -f UTF-16 -t UTF-8 "$extracted/$stored/Kovra_Debug_Info.txt" | tr -d '\r')
for line in '^Version:' '^OS Name:	Windows ' "^OS Type:	$os_type" '^Cur Users:	' \
  ' GetKovraInfo\.exe ' '^GlobalAtomInfo:Atom:' '^Virtual memory:'; do
  grep -qP "$line" <<<"$main_info" || { echo "Kovra_Debug_Info.txt lacks $line"; return 1; }
done
# The fixture product's block, and the services table (Wine runs a few services).
for line in '^====ZTN====$' '^Display Version:	8\.1\.0$' '^Exefile Version:	1\.0\.0\.0$' \
  "^Exefile Size:	$PRODUCT_EXE_SIZE Bytes\$" '^.{30} [0-9A-F]+  [0-9]+  -?[0-9]+ [0-4] \S'; do
  grep -qP "$line" <<<"$main_info" || { echo "Kovra_Debug_Info.txt lacks $line"; return 1; }
done
# The inventory of the top edition's folder, with an MD5 computed here, and the PulseSync logs.
grep -qP "^ztn\.exe   Ver:1\.0\.0\.0   MD5:$PRODUCT_EXE_MD5   DT:\S" <<<"$main_info" ||
  { echo "Kovra_Debug_Info.txt lacks the inventory line of ztn.exe"; return 1; }
for log in sync.log update.log; do
  [ -f "$extracted/$stored/PulseSync/$log" ] || { echo "report lacks PulseSync/$log"; return 1; }
done
# The browser helpers, the autoruns and the security section.
for line in '^===== BHOs =====$' '^===== Autoruns =====$' '^\[AntiVirusProduct\]$' \
  '^\[AntiSpywareProduct\]$' '^\[FirewallProduct\]$' '^\[Windows FireWall\]$' \
  '^FireWallEnabled=(True|False)$' '^FwObj=(valid|nil)$'; do
  grep -qP "$line" <<<"$main_info" || { echo "Kovra_Debug_Info.txt lacks $line"; return 1; }
done
# uninstall.txt and services.txt, UTF-16 LE like every list the worker saves.
uninstall=$(iconv -f UTF-16 -t UTF-8 "$extracted/$stored/uninstall.txt" | tr -d '\r') ||
  { echo "report lacks uninstall.txt"; return 1; }
[ "$(head -1 <<<"$uninstall")" = "Windows Registry Editor Version 5.00" ] ||
  { echo "uninstall.txt lacks its header"; return 1; }
grep -qF "[$software_key\Microsoft\Windows\CurrentVersion\Uninstall\Zentrix Tune 8_is1]" <<<"$uninstall" &&
  grep -qF "\"Inno Setup: App Path\"=\"C:\\\\$programs\\\\Zentrix Tune 8\"" <<<"$uninstall" ||
  { echo "uninstall.txt lacks the product's entry"; return 1; }
services=$(iconv -f UTF-16 -t UTF-8 "$extracted/$stored/services.txt" | tr -d '\r') ||
  { echo "report lacks services.txt"; return 1; }
[ "$(head -1 <<<"$services")" = "$(printf '%.0s*' $(seq 81))" ] &&
  grep -q '^\[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\' <<<"$services" &&
  grep -q '^"Start"=dword:0000000[0-4]$' <<<"$services" ||
  { echo "services.txt lacks its star rule, key lines or start values"; return 1; }
# The console programs' output (our stand-ins under Wine): the tasks in the ANSI code page, the
# system summary as UTF-16 LE with its three header lines.
tasks="$extracted/$stored/task.txt"
[ -f "$tasks" ] || { echo "report lacks task.txt"; return 1; }
grep -q 'TaskName: *\\BackupJob' "$tasks" || { echo "task.txt lacks the BackupJob query"; return 1; }
system_info=$(iconv -f UTF-16 -t UTF-8 "$extracted/$stored/SystemInfo.txt" | tr -d '\r')
[ "$(sed -n 2p <<<"$system_info")" = "" ] && [ "$(sed -n 3p <<<"$system_info")" = "===== System =====" ] ||
  { echo "SystemInfo.txt lacks its header"; return 1; }
if [ "${KOVRA_E2E_HANG_SYSTEMINFO:-0}" = 1 ]; then
  # The header, and at most what the stand-in printed before it hung.
  if grep -q '^Host Name:' <<<"$system_info" || grep -vq '^\(started and hanging\)\?$' <<<"$(sed 1,3d <<<"$system_info")"; then
    echo "SystemInfo.txt should hold only its header and the output before the hang"
    return 1
  fi
else
  grep -q '^Host Name: *KOVRA-PC' <<<"$system_info" || { echo "SystemInfo.txt lacks the summary"; return 1; }
fi
# The run log: its header, every stage with a duration, the stages together the run's time
# within 10 %; in the hung-program run the note that systeminfo was ended at its time limit.
run_log=$(iconv -f UTF-16 -t UTF-8 "$extracted/$stored/GetInfoRun.txt" | tr -d '\r')
echo "run log:"
echo "$run_log"
[ "$(head -1 <<<"$run_log")" = "$(printf 'at_ms\tms\tkind\tname\toutcome\tcount\tdetail')" ] ||
  { echo "GetInfoRun.txt lacks its header"; return 1; }
stages=$(awk -F'\t' '$3 == "stage" { printf "%s,", $4 }' <<<"$run_log")
[ "$stages" = "user folders,wow64,start message,staging folder,version,stage 1,stage 2,stage 3,stage 4,stage 5,stage 6,store apps,error log," ] ||
  { echo "GetInfoRun.txt holds the stages $stages"; return 1; }
awk -F'\t' '$3 == "run" { run = $2 } $3 == "stage" { if ($2 !~ /^[0-9]+$/) bad = 1; sum += $2 }
  END { d = run - sum; if (d < 0) d = -d; printf "stages %d ms of a run of %d ms\n", sum, run
        exit (bad || run <= 0 || d > run / 10) }' <<<"$run_log" ||
  { echo "the stages' durations do not add up to the run's time"; return 1; }
if [ "${KOVRA_E2E_HANG_SYSTEMINFO:-0}" = 1 ]; then
  grep -qP '^\d+\t\tnote\tstage 4/systeminfo\tlimit\t1\tsysteminfo: time limit of 120 s reached, kept the output so far$' <<<"$run_log" ||
    { echo "GetInfoRun.txt does not say that systeminfo was ended at its time limit"; return 1; }
  summary=$(reader summary "$(to_win "$REPORT")") || return 1
  grep -qF 'limit stage 4/systeminfo: systeminfo: time limit of 120 s reached' <<<"$summary" ||
    { echo "the reader's summary lacks the systeminfo limit: $summary"; return 1; }
fi
# The updater's files under their stored paths, its digest list with correct digests (computed
# here), the display facts, the registry exports, the hosts file; the shared component once.
updater_stored="$programs/Kovra Nimbrel Fetch"
for name in bugreport.txt Skin/main.png Database/nbFetch.dbd NimbrelFetch.log; do
  [ -f "$extracted/$updater_stored/$name" ] || { echo "report lacks the updater's $name"; return 1; }
done
temp_stored="users/$(id -un)/Temp"
digests=$(tr -d '\r' <"$extracted/$temp_stored/NFMD5.txt") || { echo "report lacks NFMD5.txt"; return 1; }
expected_md5=$(md5sum "$extracted/$updater_stored/Skin/main.png" | cut -d' ' -f1)
grep -qF "C:\\$programs\\Kovra Nimbrel Fetch\\Skin\\main.png,$expected_md5" <<<"$digests" ||
  { echo "NFMD5.txt lacks the digest of Skin\main.png"; return 1; }
grep -q '\.svn' <<<"$digests" && { echo "NFMD5.txt lists a .svn file"; return 1; }
for name in InfoVersion.txt SYS_FILE_RunStart_1.txt metrologinfo.txt; do
  [ -f "$extracted/$temp_stored/$name" ] || { echo "report lacks $name"; return 1; }
done
grep -q '^=====Version=====' "$extracted/$temp_stored/InfoVersion.txt" ||
  { echo "InfoVersion.txt lacks its first line"; return 1; }
grep -q ':===Over StartGetMetroInfo' "$extracted/$temp_stored/metrologinfo.txt" ||
  { echo "metrologinfo.txt lacks its last line"; return 1; }
[ -f "$extracted/windows/system32/drivers/etc/hosts" ] || { echo "report lacks the hosts file"; return 1; }
[ "$(grep -c 'Common Files/Kovra/Nimbrel Fetch/component.dll$' <<<"$listing")" = 1 ] ||
  { echo "the shared component is not stored exactly once"; return 1; }
# Only files, under their stored paths: no folder entries, no drive letters.
if grep -E '(/$|^[A-Za-z]:)' <<<"$(awk '{print $3}' <<<"$listing")"; then
  echo "unexpected folder or drive in the stored names"
  return 1
fi
# The reader's tables of this report: every line recognised, the product, the process table and
# the inventory as records, the page written.
report_win=$(to_win "$REPORT")
unparsed=$(reader table "$report_win" unparsed) || { echo "reader table: $unparsed"; return 1; }
[ "$unparsed" = "$(printf 'file\tsection\tline\ttext')" ] ||
  { echo "lines the reader did not recognise: $unparsed"; return 1; }
grep -qx "ZTN,8\.1\.0,1\.0\.0\.0,$PRODUCT_EXE_SIZE,true" <<<"$(reader table "$report_win" products --csv)" ||
  { echo "reader table products: $(cat "$out/reader.out")"; return 1; }
grep -qP '^[0-9]+\tGetKovraInfo\.exe\t' <<<"$(reader table "$report_win" processes)" ||
  { echo "reader table processes: $(cat "$out/reader.out")"; return 1; }
grep -qP "^ztn\.exe\t1\.0\.0\.0\t$PRODUCT_EXE_MD5\t\S" <<<"$(reader table "$report_win" inventory)" ||
  { echo "reader table inventory: $(cat "$out/reader.out")"; return 1; }
reader table "$report_win" tasks --json | grep -q '"task": ' ||
  { echo "reader table tasks: $(cat "$out/reader.out")"; return 1; }
reader view "$report_win" -o "$(to_win "$out/report.html")" >/dev/null &&
  grep -q 'id="t-services"' "$out/report.html" || { echo "reader view: $(cat "$out/reader.out")"; return 1; }
echo "report holds the staging files"
