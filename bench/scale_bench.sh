#!/usr/bin/env bash
# The customer's wait on big machines: the tool's whole run under Wine on generated machines of
# growing size, one dimension at a time, each beside its floor measured in the same run:
#
#   files     files in the product folder (every one digested and versioned by the inventory);
#             floors: md5sum over the same files, and the same files opened, read and closed
#             by a bare Win32 loop under the same Wine (bench_inventory_floor)
#   services  service keys and services (the services table and the services dump);
#             floor: the same service-manager and registry reads by a bare program
#   tasks     scheduled tasks (instant stand-ins: the cost is the tool's own per task)
#   logs      MB of product logs copied and packed (the run's time over the plain machine's:
#             packing follows the run log); floors: cp of the logs, and zip -8 plus openssl DES
#             of them (the earlier packing baseline)
#
# For each size it prints the run's time from click to message, the time of the steps the
# dimension loads (from the run log in the report, when the report has one; else the run's
# time over the plain machine's), the cost per item and the peak memory; per dimension the
# ratio of the largest size's cost per item to the smallest's (linear growth is 1.0). Last, one
# line per figure for scripts:
#   ratio growth <dimension>: X     ratio inventory/bare reads: X   ratio inventory/md5sum: X
#   instant run: S s                peak over plain: M MB
#
#   bench/scale_bench.sh [BUILD_DIR]   (default: build/windows, or build/windows-x64 where
#                                       32-bit code is emulated)
# KOVRA_SCALE_FILES, KOVRA_SCALE_SERVICES, KOVRA_SCALE_TASKS, KOVRA_SCALE_LOG_MB (sizes,
# space-separated) and KOVRA_SCALE_DIMENSIONS (which to run) change the machines; the host
# reader (build/bench or build/host) reads the run log.
set -eu
cd "$(dirname "$0")/.."
. bench/windows_build.sh
build=$(windows_build "${1:-}")
files_sizes=${KOVRA_SCALE_FILES:-1000 10000 50000}
services_sizes=${KOVRA_SCALE_SERVICES:-100 500 2000}
tasks_sizes=${KOVRA_SCALE_TASKS:-50 200 500}
log_sizes=${KOVRA_SCALE_LOG_MB:-10 200 1024}
dimensions=${KOVRA_SCALE_DIMENSIONS:-files services tasks logs}
env_sh=tests/win/wine-env.sh
for f in GetKovraInfo.exe tests/e2e_driver.exe tests/fake_console.exe bench/bench_services_floor.exe \
  bench/bench_inventory_floor.exe; do
  [ -f "$build/$f" ] || { echo "build $build first (its $f is missing)"; exit 1; }
done
reader=""
for r in build/bench/kovra-report build/host/kovra-report; do
  [ -x "$r" ] && { reader=$(pwd)/$r; break; }
done
"$env_sh" "$build" can-run || { echo "this machine cannot run the programs of $build"; exit 1; }

work=$(mktemp -d /tmp/kovra-scale-bench-XXXXXX)
out="$work/out"
"$env_sh" "$build" start >/dev/null
tests/win/install-standins.sh "$build" >/dev/null
# shellcheck source=tests/e2e/e2e_lib.sh
source tests/e2e/e2e_lib.sh

# The plain machine: the product's top edition installed with one executable, 60 instant tasks
# (the run benchmark's machine).
product_dir="$programs_dir/Zentrix Tune 8"
top_key='HKLM\SOFTWARE\Kovra\Zentrix Tune Prime'
pulse_dir="$programs_dir/Kovra/PulseSync"
services_key='HKLM\SYSTEM\CurrentControlSet\Services'
service_prefix=KovraScale
fake="$work/fake"
cleanup() {
  if [ -n "${fake_pointer:-}" ]; then rm -f "$fake_pointer"; fi
  reg_quiet delete "$top_key" /f
  rm -rf "$product_dir" "$(dirname "$pulse_dir")"
  remove_services
  "$env_sh" "$build" stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
services_made=0
remove_services() {
  [ "$services_made" -gt 0 ] || return 0
  local i
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    for i in $(seq 1 "$services_made"); do
      printf '[-HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\%s%05d]\r\n\r\n' \
        "$service_prefix" "$i"
    done
  } >"$work/remove-services.reg"
  wine_run reg import "Z:${work//\//\\}\\remove-services.reg" /reg:64 >/dev/null 2>&1
  services_made=0
  restart_wine
}
trap cleanup EXIT
# The service manager reads its services when the wineserver starts.
restart_wine() {
  "$env_sh" "$build" start >/dev/null
  eval "$("$env_sh" "$build" env)"
}

mkdir -p "$product_dir" "$fake"
cp "$build/GetKovraInfo.exe" "$product_dir/ztn.exe"
reg_quiet add "$top_key" /v ztnpv8uninstallpath /d "C:\\$programs\\Zentrix Tune 8\\unins000.exe" /f
# The tool passes none of its environment on: the stand-ins find the folder named beside them.
fake_pointer="$("$env_sh" "$build" system-folder)/kovra-fake-dir.txt"
printf '%s' "Z:${fake//\//\\}" >"$fake_pointer"
write_tasks() {
  {
    printf '"TaskName","Next Run Time","Status"\r\n'
    for i in $(seq 1 "$1"); do printf '"\\ScaleTask%04d","N/A","Ready"\r\n' "$i"; done
  } >"$fake/csv.txt"
}

# Milliseconds of the steps whose names match a pattern (extended regular expression), summed,
# from the run log of the last report (fields: at_ms, ms, kind, name, outcome, count, detail);
# empty when the report has no run log.
steps_ms() {
  [ -n "$reader" ] || return 0
  "$reader" show "$report" GetInfoRun.txt 2>/dev/null | tr -d '\r' |
    awk -F'\t' -v pattern="$1" '$3 == "step" && $4 ~ pattern { sum += $2; found = 1 }
      END { if (found) print sum }'
}
# The whole run's milliseconds in the run log (0 without one).
run_ms() {
  [ -n "$reader" ] || { echo 0; return; }
  "$reader" show "$report" GetInfoRun.txt 2>/dev/null | tr -d '\r' |
    awk -F'\t' '$3 == "run" { print $2; found = 1 } END { if (!found) print 0 }'
}
# The run log's stage and step lines, for the table.
all_steps() {
  [ -n "$reader" ] || return 0
  "$reader" show "$report" GetInfoRun.txt 2>/dev/null | tr -d '\r'
}

results="$work/results.txt"
: >"$results"
# One run on the machine as it stands now. Prints "seconds peak_kb".
measure() {
  rm -f "$desktop"/nf_logs_*.log
  if ! run_tool 1800000 >/dev/null; then
    echo "the run on the $1 machine failed; the tool said:" >&2
    cat "$out/tool.log" >&2
    exit 1
  fi
  echo "$run_seconds $run_peak_kb"
}

write_tasks 60
measure warm-up >/dev/null
read -r instant_s instant_kb <<<"$(measure instant)"
echo "the run benchmark's machine (60 instant tasks): run $instant_s s, peak $((instant_kb / 1024)) MB"
all_steps | sed 's/^/  /'
write_tasks 0
read -r plain_s plain_kb <<<"$(measure plain)"
echo "plain machine (no tasks): run $plain_s s, peak $((plain_kb / 1024)) MB"
all_steps | sed 's/^/  /'

# dimension, size, run seconds, dimension milliseconds, peak kB, floor milliseconds
record() {
  echo "$*" >>"$results"
  echo "  $1 $2: run $3 s, steps $4 ms, peak $(($5 / 1024)) MB, floor $6 ms" >&2
}
ms_now() { date +%s%N | cut -c1-13; }
dimension_ms() {
  local steps
  steps=$(steps_ms "$1")
  if [ -n "$steps" ]; then echo "$steps"; else
    python3 -c "print(round(($2 - $plain_s) * 1000))"
  fi
}

for dimension in $dimensions; do
  case "$dimension" in
    files)
      for n in $files_sizes; do
        rm -rf "$product_dir"
        mkdir -p "$product_dir"
        cp "$build/GetKovraInfo.exe" "$product_dir/ztn.exe"
        # Sub-folders of 500 files: small programs with a version resource and plain libraries.
        python3 - "$product_dir" "$n" "$build/tests/version_other_table.exe" <<'PY'
import os, sys
root, n, probe = sys.argv[1], int(sys.argv[2]), open(sys.argv[3], "rb").read()
for i in range(n - 1):
    folder = os.path.join(root, "Modules%03d" % (i // 500))
    os.makedirs(folder, exist_ok=True)
    if i % 10 == 0:
        data = probe
    else:
        data = (b"library %06d " % i) * 300
    ext = (".exe", ".dll", ".sys")[i % 3]
    with open(os.path.join(folder, "part%06d%s" % (i, ext)), "wb") as f:
        f.write(data)
PY
        read -r s kb <<<"$(measure "files $n")"
        step=$(dimension_ms 'nventory|roduct files' "$s")
        t0=$(ms_now)
        find "$product_dir" -type f \( -name '*.exe' -o -name '*.dll' -o -name '*.sys' \) -print0 |
          xargs -0 md5sum >/dev/null
        floor=$(($(ms_now) - t0))
        # The same files read by a bare Win32 loop under the same Wine: what an open costs there.
        bare=$(wine_run "$build/bench/bench_inventory_floor.exe" "C:\\$programs\\Zentrix Tune 8" |
          tr -d '\r' | awk '{ print $4 }')
        echo "files $n $bare" >>"$work/bare.txt"
        record files "$n" "$s" "$step" "$kb" "$floor"
      done
      rm -rf "$product_dir"
      mkdir -p "$product_dir"
      cp "$build/GetKovraInfo.exe" "$product_dir/ztn.exe"
      ;;
    services)
      mkdir -p "$work/svc"
      cp "$build/tests/version_other_table.exe" "$work/svc/scale.exe"
      image_path="Z:${work//\//\\}\\svc\\scale.exe"
      image_path=${image_path//\\/\\\\}
      for n in $services_sizes; do
        remove_services
        {
          printf 'Windows Registry Editor Version 5.00\r\n\r\n'
          for i in $(seq 1 "$n"); do
            printf '[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\%s%05d]\r\n' \
              "$service_prefix" "$i"
            printf '"Type"=dword:00000010\r\n"Start"=dword:00000003\r\n"ErrorControl"=dword:00000001\r\n'
            printf '"ImagePath"="%s"\r\n' "$image_path"
            printf '"DisplayName"="Kovra scale service %05d"\r\n"ObjectName"="LocalSystem"\r\n' "$i"
            printf '"Description"="A generated service of the scale benchmark"\r\n\r\n'
          done
        } >"$work/services.reg"
        wine_run reg import "Z:${work//\//\\}\\services.reg" /reg:64 >/dev/null 2>&1
        services_made=$n
        restart_wine
        measure "services warm-up" >/dev/null  # the first run after a restart starts Wine's own
        read -r s kb <<<"$(measure "services $n")"
        step=$(dimension_ms 'ervice' "$s")
        floor_out=$(wine_run "$build/bench/bench_services_floor.exe" | tr -d '\r')
        floor=$(awk '{ sum += $3 } END { printf "%d", sum }' <<<"$floor_out")
        record services "$n" "$s" "$step" "$kb" "$floor"
      done
      remove_services
      ;;
    tasks)
      for n in $tasks_sizes; do
        write_tasks "$n"
        read -r s kb <<<"$(measure "tasks $n")"
        step=$(dimension_ms 'ask' "$s")
        record tasks "$n" "$s" "$step" "$kb" -
      done
      write_tasks 0
      ;;
    logs)
      mkdir -p "$pulse_dir"
      for mb in $log_sizes; do
        rm -f "$pulse_dir"/*.log
        # Logs of 10 MB each (the last one the rest): varied text lines, as logs are.
        python3 - "$pulse_dir" "$mb" <<'PY'
import os, sys
folder, mb = sys.argv[1], int(sys.argv[2])
line = 0
left = mb * 1024 * 1024
part = 0
while left > 0:
    size = min(left, 10 * 1024 * 1024)
    chunks, written = [], 0
    while written < size:
        text = b"2026-12-10 10:%02d:%02d.%03d [worker %d] sync step %d finished, %d bytes\r\n" % (
            line // 60 % 60, line % 60, line % 1000, line % 7, line, line * 37 % 100000)
        chunks.append(text)
        written += len(text)
        line += 1
    with open(os.path.join(folder, "sync%03d.log" % part), "wb") as f:
        f.write(b"".join(chunks)[:size])
    left -= size
    part += 1
PY
        read -r s kb <<<"$(measure "logs $mb MB")"
        # The copy is a step of the run log; the packing follows the log's end, so it is the
        # time from click to message beyond the logged run.
        step=$(python3 -c "print(round(${s} * 1000 - $(run_ms) + $(steps_ms 'product logs' || echo 0)))")
        t0=$(ms_now)
        cp -r "$pulse_dir" "$work/logcopy"
        copy_floor=$(($(ms_now) - t0))
        t0=$(ms_now)
        (cd "$work/logcopy" && zip -q -8 -r "$work/logs.zip" . &&
          openssl enc -des-ecb -provider legacy -provider default -K 0123456789ABCDEF \
            -in "$work/logs.zip" -out "$work/logs.des" 2>/dev/null)
        pack_floor=$(($(ms_now) - t0))
        rm -rf "$work/logcopy" "$work/logs.zip" "$work/logs.des"
        record logs "$mb" "$s" "$step" "$kb" "$((copy_floor + pack_floor))"
      done
      rm -rf "$(dirname "$pulse_dir")"
      ;;
  esac
done

touch "$work/bare.txt"
python3 - "$results" "$plain_s" "$plain_kb" "$instant_s" "$work/bare.txt" <<'PY'
import collections, sys
rows = collections.OrderedDict()
for line in open(sys.argv[1]):
    d, n, s, step, kb, floor = line.split()
    rows.setdefault(d, []).append((int(n), float(s), float(step), int(kb), floor))
plain_s, plain_kb = float(sys.argv[2]), int(sys.argv[3])
unit = {"files": "file", "services": "service", "tasks": "task", "logs": "MB"}
print()
print("%-9s %7s %8s %10s %12s %8s %10s" % ("dimension", "size", "run s", "steps ms",
                                            "ms per item", "peak MB", "floor ms"))
growth, peaks, inventory = {}, [], None
for d, sizes in rows.items():
    for n, s, step, kb, floor in sizes:
        print("%-9s %7d %8.2f %10.0f %12.3f %8.1f %10s" % (d, n, s, step, step / n, kb / 1024.0,
                                                          floor))
        peaks.append(kb)
    small, large = sizes[0], sizes[-1]
    per_small = max(small[2], 1.0) / small[0]
    growth[d] = (large[2] / large[0]) / per_small
    if d == "files" and large[4] != "-":
        inventory = large[2] / max(float(large[4]), 1.0)
print()
print("cost per item is the dimension's step time over the size (%s)" %
      ", ".join("%s per %s" % (d, unit[d]) for d in rows))
for d, g in growth.items():
    print("ratio growth %s: %.2f" % (d, g))
bare = {}
for line in open(sys.argv[5]):
    parts = line.split()
    if len(parts) == 3 and parts[2].isdigit():
        bare[int(parts[1])] = int(parts[2])
if "files" in rows and rows["files"][-1][0] in bare:
    n, step = rows["files"][-1][0], rows["files"][-1][2]
    print("bare Win32 reads of the %d files: %d ms" % (n, bare[n]))
    print("ratio inventory/bare reads: %.2f" % (step / max(bare[n], 1)))
if inventory is not None:
    print("ratio inventory/md5sum: %.2f" % inventory)
print("instant run: %.2f s" % float(sys.argv[4]))
if peaks:
    print("peak over plain: %.1f MB" % ((max(peaks) - plain_kb) / 1024.0))
PY
