#!/usr/bin/env bash
# Lists "md5 name" for every file entry of a ZIP archive as three independent readers give it:
# Info-ZIP unzip, libarchive's bsdtar and Python's zipfile. Fails when a reader rejects it.
#   zip_readers.sh ARCHIVE OUT_DIR
set -eu
export LC_ALL=C.UTF-8
archive=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
mkdir -p "$2"
out=$(cd "$2" && pwd)
python3 - "$archive" >"$out/python.txt" <<'PY'
import hashlib, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    bad = z.testzip()
    if bad is not None:
        sys.exit("bad entry: " + bad)
    for info in z.infolist():
        print(hashlib.md5(z.read(info)).hexdigest(), info.filename)
PY
if [ ! -s "$out/python.txt" ]; then
  # An archive without entries: unzip only warns that it is empty (exit code 1).
  bsdtar -tf "$archive" >/dev/null
  set +e
  unzip -tqq "$archive" >"$out/unzip-t.txt" 2>&1
  rc=$?
  set -e
  [ $rc -le 1 ] || { echo "unzip rejects the empty archive"; exit 1; }
  exit 0
fi
unzip -tqq "$archive" >"$out/unzip-t.txt" 2>&1
rm -rf "$out/x"
mkdir -p "$out/x"
bsdtar -xf "$archive" -C "$out/x"
bsdtar -tf "$archive" >"$out/bsdtar-list.txt"
(cd "$out/x" && while IFS= read -r name; do
  [ -f "$name" ] && echo "$(md5sum <"$name" | cut -d' ' -f1) $name"
done <"$out/bsdtar-list.txt") >"$out/bsdtar.txt"
unzip -Z1 "$archive" >"$out/unzip-list.txt"
while IFS= read -r name; do
  echo "$(unzip -p "$archive" "$name" | md5sum | cut -d' ' -f1) $name"
done <"$out/unzip-list.txt" >"$out/unzip.txt"
cmp -s "$out/python.txt" "$out/bsdtar.txt" || { echo "bsdtar differs from zipfile"; exit 1; }
cmp -s "$out/python.txt" "$out/unzip.txt" || { echo "unzip differs from zipfile"; exit 1; }
rm -rf "$out/x"
cat "$out/python.txt"
