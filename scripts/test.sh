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

# A machine whose kernel cannot run 32-bit programs skips the Windows tests above. The same
# sources built for x86_64 then run them under 64-bit Wine, the end-to-end runs included: every
# test but the cases that check what the 32-bit program sees under WOW64.
if ! tests/win/wine-env.sh build/windows can-run; then
  echo "This machine cannot run 32-bit programs: running the Windows tests as a 64-bit build"
  run cmake --preset windows-x64
  run cmake --build --preset windows-x64
  run ctest --preset windows-x64
fi

if [ $status -ne 0 ]; then
  echo "Some builds or tests failed."
fi
exit $status
