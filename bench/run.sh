#!/usr/bin/env bash
# Builds the benchmarks (optimised host build) and runs them. Each prints its own figures and
# those of its baseline from the same run.
set -eu
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench
for b in build/bench/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "==> $(basename "$b")"
  "$b" "$@"
done
