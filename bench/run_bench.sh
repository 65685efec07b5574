#!/usr/bin/env bash
# The customer's wait: the tool's whole run under Wine (button pressed to final message box) on a
# machine whose scheduled-task queries and systeminfo take a chosen time, against the same
# machine with instant programs. The stand-ins over schtasks.exe and systeminfo.exe do the
# waiting. Runs the two machines alternately RUNS times each and prints their medians, the
# stand-ins' total waiting as the baseline of a run that waits for them one after another, and
# the added time as a share of it.
#
#   bench/run_bench.sh [BUILD_DIR]     (default build/windows; build/windows-x64 where 32-bit
#                                       code is emulated)
# KOVRA_BENCH_TASKS (60), KOVRA_BENCH_QUERY_MS (200), KOVRA_BENCH_SYSTEMINFO_MS (3000),
# KOVRA_BENCH_RUNS (5) change the machine and the repetitions.
set -eu
cd "$(dirname "$0")/.."
. bench/windows_build.sh
build=$(windows_build "${1:-}")
tasks=${KOVRA_BENCH_TASKS:-60}
query_ms=${KOVRA_BENCH_QUERY_MS:-200}
systeminfo_ms=${KOVRA_BENCH_SYSTEMINFO_MS:-3000}
runs=${KOVRA_BENCH_RUNS:-5}
env_sh=tests/win/wine-env.sh
for f in GetKovraInfo.exe tests/e2e_driver.exe tests/fake_console.exe; do
  [ -f "$build/$f" ] || { echo "build $build first (its $f is missing)"; exit 1; }
done
"$env_sh" "$build" can-run || { echo "this machine cannot run the programs of $build"; exit 1; }

work=$(mktemp -d /tmp/kovra-run-bench-XXXXXX)
trap 'rm -f "${fake_pointer:-/nonexistent}"; rm -rf "$work"; "$env_sh" "$build" stop >/dev/null 2>&1 || true' EXIT
"$env_sh" "$build" start >/dev/null
tests/win/install-standins.sh "$build" >/dev/null
out="$work"
# shellcheck source=tests/e2e/e2e_lib.sh
source tests/e2e/e2e_lib.sh

# The generated machine: this many root-folder tasks, listed by the schtasks stand-in.
fake="$work/fake"
mkdir -p "$fake"
{
  printf '"TaskName","Next Run Time","Status"\r\n'
  for i in $(seq 1 "$tasks"); do printf '"\\BenchTask%03d","N/A","Ready"\r\n' "$i"; done
} >"$fake/csv.txt"
# The tool passes none of its environment on: the stand-ins find the folder named beside them.
fake_pointer="$("$env_sh" "$build" system-folder)/kovra-fake-dir.txt"
printf '%s' "Z:${fake//\//\\}" >"$fake_pointer"

# One run: seconds from the button's click to the final message box.
run_once() {
  echo "$1" >"$fake/query-delay.txt"
  echo "$2" >"$fake/systeminfo-delay.txt"
  run_tool 600000 >/dev/null || exit 1
  echo "$run_seconds"
}

median() { python3 -c "import statistics, sys; print(statistics.median(map(float, sys.argv[1:])))" "$@"; }
instant=() waiting=()
run_once 0 0 >/dev/null  # warm-up: Wine's own processes and caches
for _ in $(seq 1 "$runs"); do
  instant+=("$(run_once 0 0)")
  waiting+=("$(run_once "$query_ms" "$systeminfo_ms")")
done
python3 - "$(median "${instant[@]}")" "$(median "${waiting[@]}")" "$tasks" "$query_ms" \
  "$systeminfo_ms" "${instant[*]}" "${waiting[*]}" <<'PY'
import sys
instant, slow = float(sys.argv[1]), float(sys.argv[2])
tasks, query_ms, systeminfo_ms = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
waits = (tasks * query_ms + systeminfo_ms) / 1000
print("run, instant stand-ins:   %6.2f s median (runs: %s)" % (instant, sys.argv[6]))
print("run, waiting stand-ins:   %6.2f s median (runs: %s)" % (slow, sys.argv[7]))
print("baseline: the waits one after another: %.2f s (%d task queries x %d ms, systeminfo %d ms)"
      % (waits, tasks, query_ms, systeminfo_ms))
print("added by the waits:       %6.2f s" % (slow - instant))
print("ratio added/waiting: %.2f (target <= 0.30)" % ((slow - instant) / waits))
PY
