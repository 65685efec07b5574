#!/usr/bin/env bash
# The report reader's command line on archives written by an independent writer (Python's
# zipfile): extraction, and refusal of names that would leave the target folder.
set -u
reader=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

python3 - "$work" <<'PY'
import sys, zipfile
w = sys.argv[1]
with zipfile.ZipFile(w + "/good.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("Users/anna/GetInfoDir/Kovra_Debug_Info.txt", "\ufeffVersion:1.0\r\n".encode("utf-16-le"))
    z.writestr("Users/anna/GetInfoDir/sub/log.txt", b"x" * 5000)
with zipfile.ZipFile(w + "/evil.zip", "w") as z:
    z.writestr("fine.txt", b"fine")
    z.writestr("../../escaped.txt", b"evil")
open(w + "/junk.log", "wb").write(b"\x01\x02\x03")
PY

"$reader" kind "$work/good.zip" | grep -qx "ZIP archive" || fail "kind of a plain archive"
"$reader" list "$work/good.zip" | grep -q "Users/anna/GetInfoDir/sub/log.txt" || fail "list"
"$reader" extract "$work/good.zip" "$work/out" || fail "extract"
cmp -s <(printf 'x%.0s' $(seq 5000)) "$work/out/Users/anna/GetInfoDir/sub/log.txt" || fail "extracted bytes"

mkdir -p "$work/deep/target"
if "$reader" extract "$work/evil.zip" "$work/deep/target" 2>"$work/err"; then fail "escaping name accepted"; fi
grep -q "would escape" "$work/err" || fail "message for an escaping name: $(cat "$work/err")"
[ -e "$work/escaped.txt" ] || [ -e "$work/deep/escaped.txt" ] && fail "a file was written outside the folder"
[ -e "$work/deep/target/fine.txt" ] && fail "entries were written before the names were checked"

if "$reader" list "$work/junk.log" 2>"$work/err"; then fail "junk accepted"; fi
grep -q "8 x N + 4" "$work/err" || fail "message for junk: $(cat "$work/err")"
if "$reader" list "$work/missing.log" 2>/dev/null; then fail "missing file accepted"; fi
echo "reader command line: ok"
