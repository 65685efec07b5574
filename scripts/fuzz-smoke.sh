#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_report fuzz_report_stream fuzz_rules fuzz_markup
# Each target runs with a seed corpus of real inputs and, for the archive readers, a dictionary
# of the format's signatures; scripts/fuzz-long.sh runs them longer.
seconds=${KOVRA_FUZZ_SECONDS:-30}
findings=build/fuzz/findings
mkdir -p "$findings"
corpus=build/fuzz/corpus/report
python3 tests/fuzz/make_seeds.py "$corpus"
build/fuzz/tools/kovra-report/fuzz_report -max_total_time="$seconds" -rss_limit_mb=1024 \
  -dict=tests/fuzz/zip.dict -artifact_prefix="$findings/" "$corpus" 2>&1 | tail -n 3
# The streaming path on files: the same seeds and the tool's own reports (DES containers).
stream=build/fuzz/corpus/report_stream
python3 tests/fuzz/make_seeds.py "$stream"
cp tests/host/reports/*.log "$stream"/
build/fuzz/tools/kovra-report/fuzz_report_stream -max_total_time="$seconds" -rss_limit_mb=1024 \
  -dict=tests/fuzz/zip.dict -artifact_prefix="$findings/" "$stream" 2>&1 | tail -n 3
rules=build/fuzz/corpus/rules
mkdir -p "$rules"
printf 'a\tone\r\nb/c.txt\t\r\n"\\Task","N/A"\r\n' >"$rules/seed"
printf 'name.txt\0*.t?t' >"$rules/wildcard"
python3 tests/fuzz/make_seeds.py "$rules"
build/fuzz/tests/fuzz_rules -max_total_time="$seconds" -rss_limit_mb=1024 \
  -dict=tests/fuzz/zip.dict -artifact_prefix="$findings/" "$rules" 2>&1 | tail -n 3
markup=build/fuzz/corpus/markup
mkdir -p "$markup"
printf 'Read our <a HREF="x" MAXLINE=1>Privacy Policy.</a> &amp; <FONT SIZE=3 COLOR=#ff0000>big</FONT><BR>x' >"$markup/seed"
printf '<P ALIGN=RIGHT BGCOLOR=clRed>a<HR COLOR=clblue><SUB>b</SUB><#literal> &lt;B&gt;</P>' >"$markup/tags"
printf '<UL><LI TYPE="SQUARE">a<OL><LI>b</OL></UL><OF x="30">c</O><IND x="9">d<BODY BGCOLOR=#fff>' \
  >"$markup/lists"
build/fuzz/tests/fuzz_markup -max_total_time="$(( seconds * 2 / 3 ))" -rss_limit_mb=1024 \
  -artifact_prefix="$findings/" "$markup" 2>&1 | tail -n 3
echo "fuzz smoke: ok"
