#!/usr/bin/env bash
# Runs the independent ZIP readers over every archive the Windows tests kept.
#   check_archives.sh FOLDER
set -u
here=$(cd "$(dirname "$0")" && pwd)
status=0 count=0
for zip in "$1"/*.zip; do
  [ -f "$zip" ] || continue
  count=$((count + 1))
  if out=$("$here/../host/zip_readers.sh" "$zip" "$zip.readers" 2>&1); then
    echo "ok   $(basename "$zip"): $(wc -l <<<"$out" | tr -d ' ') lines"
  else
    echo "FAIL $(basename "$zip"): $out"
    status=1
  fi
done
if [ "$count" -eq 0 ] && ! "$here/wine-env.sh" "$(dirname "$1")" can-run; then
  echo "SKIPPED: no archives, as the Windows tests could not run on this machine"
  exit 77
fi
[ "$count" -gt 0 ] || { echo "no archives in $1"; exit 1; }
exit $status
