#!/usr/bin/env bash
# Peak memory of the report reader on a 600 MB report (the DES container around an archive with
# one large entry and a main info file of 200 MB of table rows): summary, list, show, extract,
# table and view, each beside `openssl enc -d` deciphering the same container in the same run (a
# streaming baseline). Fails when a command needs 128 MB.
#   bench/reader_memory_bench.sh [READER]   (default: the bench preset's kovra-report)
set -eu
cd "$(dirname "$0")/.."
reader=${1:-build/bench/kovra-report}
if [ ! -x "$reader" ]; then
  cmake --preset bench >/dev/null && cmake --build --preset bench --target kovra-report >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import os, sys, zipfile
w = sys.argv[1]
with zipfile.ZipFile(os.path.join(w, "big.zip"), "w", zipfile.ZIP_STORED, allowZip64=True) as z:
    z.writestr("GetInfoDir/GetInfoLog.txt", "\ufeff".encode("utf-16-le"))
    # The main info file as the tool writes it (UTF-16 LE), with a service table of 200 MB.
    info = zipfile.ZipInfo("GetInfoDir/Kovra_Debug_Info.txt")
    info.compress_type = zipfile.ZIP_DEFLATED
    with z.open(info, "w", force_zip64=True) as f:
        f.write("\ufeffVersion:1.0.0.0\r\n".encode("utf-16-le"))
        rows = "".join("%-30s 20  4  0 2 C:\\Windows\\system32\\svc%d.exe \r\n" % ("Service %d" % i, i)
                       for i in range(10000)).encode("utf-16-le")
        f.write(("*" * 81 + "\r\n").encode("utf-16-le"))
        for _ in range((200 << 20) // len(rows)):
            f.write(rows)
    with z.open("GetInfoDir/huge.log", "w", force_zip64=True) as f:
        chunk = os.urandom(1 << 20)
        for _ in range(600):
            f.write(chunk)
PY
# The container: DES-ECB of the archive under the report key, and the length trailer.
key=$(python3 -c 'k=[0]*8
for j,c in enumerate(b"qzmvtrylbsed"): k[(j+1)%8]=(k[(j+1)%8]+c)%256
print(bytes(k).hex())')
openssl enc -des-ecb -provider legacy -provider default -K "$key" -nopad \
  -in <(cat "$work/big.zip"; head -c $(( (8 - $(stat -c %s "$work/big.zip") % 8) % 8 )) /dev/zero) \
  -out "$work/report.log"
python3 -c 'import struct,sys; open(sys.argv[1],"ab").write(struct.pack("<I", int(sys.argv[2])))' \
  "$work/report.log" "$(stat -c %s "$work/big.zip")"
rm "$work/big.zip"
check() {
  /usr/bin/time -f "%M" -o "$work/peak" "$reader" "$@" >/dev/null 2>"$work/err" ||
    { echo "FAIL: $1: $(cat "$work/err")"; exit 1; }
  local kb
  kb=$(tail -1 "$work/peak")
  echo "$1: peak $((kb / 1024)) MB, ratio ours/openssl: $(python3 -c "print(round($kb / $base, 2))")"
  [ "$kb" -lt $((128 * 1024)) ] || { echo "FAIL: $1 used $((kb / 1024)) MB"; exit 1; }
}
/usr/bin/time -f "%M" -o "$work/peak" openssl enc -d -des-ecb -provider legacy -provider default \
  -K "$key" -nopad -in <(head -c $(( $(stat -c %s "$work/report.log") - 4 )) "$work/report.log") \
  -out /dev/null
base=$(tail -1 "$work/peak")
echo "baseline openssl enc -d: peak $((base / 1024)) MB"
check summary "$work/report.log"
check list "$work/report.log"
check show "$work/report.log" huge.log --codepage 1252
check extract "$work/report.log" "$work/out"
check table "$work/report.log" services --csv
check view "$work/report.log" -o "$work/view.html"
[ "$(stat -c %s "$work/out/GetInfoDir/huge.log")" = $((600 << 20)) ] || { echo "FAIL: extracted size"; exit 1; }
echo "reader memory: ok"
