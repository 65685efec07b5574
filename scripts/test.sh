#!/usr/bin/env bash
# Builds everything and runs every test: the portable units on Linux (ASan and UBSan), the
# Windows build with its tests under Wine, and the end-to-end run of the window.
set -eu
cd "$(dirname "$0")/.."

status=0
run() {
  echo "==> $*"
  "$@" || status=1
}
# A failed install or 32-bit set-up fails the run, but what can still run does.
run bash scripts/install-deps.sh

run bash scripts/check-format.sh
run cmake --preset host
run cmake --build --preset host
run ctest --preset host -j 2
run bash scripts/fuzz-smoke.sh

# The shipped 32-bit executable and its tests under Wine (natively, or where the kernel runs
# no 32-bit programs, through the emulator that install-deps.sh set up).
run cmake --preset windows
run cmake --build --preset windows
run ctest --preset windows

# The same sources built for x86_64: a compile check. Its tests run only where 32-bit programs
# cannot run at all (the Windows tests above then end as skipped), every test but the cases
# that check what the 32-bit program sees under WOW64.
run cmake --preset windows-x64
run cmake --build --preset windows-x64
if ! tests/win/wine-env.sh build/windows can-run; then
  echo "This machine cannot run 32-bit programs: running the Windows tests as a 64-bit build"
  run ctest --preset windows-x64
fi

if [ $status -ne 0 ]; then
  echo "Some builds or tests failed."
fi
exit $status
