#!/usr/bin/env bash
# Runs bench_system.exe under Wine: the atom scan and the process table against the bare
# system calls beneath them. Needs the windows build.
set -eu
cd "$(dirname "$0")/.."
. bench/windows_build.sh
build=$(windows_build "${1:-}")
[ -x "$build/bench/bench_system.exe" ] || { echo "build $build first"; exit 1; }
trap 'tests/win/wine-env.sh "$build" stop >/dev/null 2>&1 || true' EXIT
tests/win/wine-env.sh "$build" start >/dev/null
tests/win/wine-env.sh "$build" run "$build/bench/bench_system.exe" </dev/null | tr -d '\r'
