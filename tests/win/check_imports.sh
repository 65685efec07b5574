#!/usr/bin/env bash
# The executable must load on Windows XP SP3: every function it imports must be one that XP SP3
# exports. Lists the import table with objdump and fails on any function missing from the list
# of XP SP3 functions beside this script (a function the code needs only on later versions is
# looked up by name at run time instead).
#   check_imports.sh EXE
set -eu
exe=$1
allowed="$(dirname "$0")/xp_sp3_functions.txt"
imports=$(i686-w64-mingw32-objdump -p "$exe" | awk '
  /DLL Name:/ { dll = tolower($3); next }
  /The Export|Resource|^PE File/ { dll = "" }
  dll && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print dll, $3 }' | sort -u)
[ -n "$imports" ] || { echo "no import table read from $exe"; exit 1; }
missing=$(comm -23 <(echo "$imports") <(grep -v '^#' "$allowed" | sort -u))
if [ -n "$missing" ]; then
  echo "imports that Windows XP SP3 lacks (or that are not known to be there):"
  echo "$missing"
  exit 1
fi
echo "$(echo "$imports" | wc -l) imports, all present on Windows XP SP3"
