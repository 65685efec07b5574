#!/usr/bin/env bash
# The executable must load on Windows XP SP3: every function it imports must be one that XP SP3
# exports. Lists the import table with objdump and fails on any function missing from the list
# of XP SP3 functions beside this script (a function the code needs only on later versions is
# looked up by name at run time instead). It also fails on any imported DLL missing from the
# list of allowed DLLs beside this script: the system's known DLLs and comctl32 (bound through
# the manifest), which the loader never takes from the program's folder.
#   check_imports.sh EXE
set -eu
exe=$1
here=$(dirname "$0")
allowed="$here/xp_sp3_functions.txt"
allowed_dlls="$here/allowed_import_dlls.txt"
table=$(i686-w64-mingw32-objdump -p "$exe")
imports=$(awk '
  /DLL Name:/ { dll = tolower($3); next }
  /The Export|Resource|^PE File/ { dll = "" }
  dll && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print dll, $3 }' <<<"$table" | sort -u)
[ -n "$imports" ] || { echo "no import table read from $exe"; exit 1; }
dlls=$(awk '/DLL Name:/ { print tolower($3) }' <<<"$table" | sort -u)
unsafe=$(comm -23 <(echo "$dlls") <(grep -v '^#' "$allowed_dlls" | tr 'A-Z' 'a-z' | sort -u))
if [ -n "$unsafe" ]; then
  echo "imported DLLs that the loader may take from the program's folder (load them at run time"
  echo "from the system folder instead, platform/optional_function_win.h):"
  echo "$unsafe"
  exit 1
fi
missing=$(comm -23 <(echo "$imports") <(grep -v '^#' "$allowed" | sort -u))
if [ -n "$missing" ]; then
  echo "imports that Windows XP SP3 lacks (or that are not known to be there):"
  echo "$missing"
  exit 1
fi
echo "$(echo "$imports" | wc -l) imports from $(echo "$dlls" | wc -l) DLLs, all present on Windows XP SP3 and all known DLLs"
