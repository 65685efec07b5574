#!/usr/bin/env bash
# Puts our stand-in over the prefix's schtasks.exe and systeminfo.exe (Wine's print nothing),
# in the folder the build's processes see as System32, so that both a direct start and cmd.exe
# find it. The prefix belongs to the build folder.
#   install-standins.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
folder=$("$here/wine-env.sh" "$build" system-folder)
[ -d "$folder" ] || { echo "no prefix folder $folder"; exit 1; }
for program in schtasks.exe systeminfo.exe; do
  cp "$build/tests/fake_console.exe" "$folder/$program"
done
echo "stand-ins installed in $folder"
