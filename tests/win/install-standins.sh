#!/usr/bin/env bash
# Puts our stand-in over the prefix's schtasks.exe and systeminfo.exe (Wine's print nothing),
# in the folder a 32-bit process sees as System32, so that both a direct start and cmd.exe find
# it. The prefix belongs to the build folder.
#   install-standins.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
eval "$("$here/wine-env.sh" "$build" env)"
syswow64="$WINEPREFIX/drive_c/windows/syswow64"
[ -d "$syswow64" ] || { echo "no prefix at $WINEPREFIX"; exit 1; }
for program in schtasks.exe systeminfo.exe; do
  cp "$build/tests/fake_console.exe" "$syswow64/$program"
done
echo "stand-ins installed in $syswow64"
