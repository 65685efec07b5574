#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each briefly.
set -eu
cd "$(dirname "$0")/.."
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_report fuzz_rules fuzz_markup
corpus=build/fuzz/corpus/report
mkdir -p "$corpus"
python3 - "$corpus" <<'PY'
import sys, zipfile, io
b = io.BytesIO()
with zipfile.ZipFile(b, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("a/b.txt", b"hello" * 100)
open(sys.argv[1] + "/seed.zip", "wb").write(b.getvalue())
PY
build/fuzz/tools/kovra-report/fuzz_report -max_total_time=30 -rss_limit_mb=1024 "$corpus" 2>&1 | tail -n 3
rules=build/fuzz/corpus/rules
mkdir -p "$rules"
printf 'a\tone\r\nb/c.txt\t\r\n"\\Task","N/A"\r\n' >"$rules/seed"
printf 'name.txt\0*.t?t' >"$rules/wildcard"
build/fuzz/tests/fuzz_rules -max_total_time=30 -rss_limit_mb=1024 "$rules" 2>&1 | tail -n 3
markup=build/fuzz/corpus/markup
mkdir -p "$markup"
printf 'Read our <a HREF="x" MAXLINE=1>Privacy Policy.</a> &amp; <FONT SIZE=3 COLOR=#ff0000>big</FONT><BR>x' >"$markup/seed"
printf '<P ALIGN=RIGHT BGCOLOR=clRed>a<HR COLOR=clblue><SUB>b</SUB><#literal> &lt;B&gt;</P>' >"$markup/tags"
build/fuzz/tests/fuzz_markup -max_total_time=20 -rss_limit_mb=1024 "$markup" 2>&1 | tail -n 3
echo "fuzz smoke: ok"
