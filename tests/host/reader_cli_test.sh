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
# Reports the tool wrote: summary, show, view, diff.
reports="$(dirname "$0")/reports"
one="$reports/machine.log" two="$reports/machine_with_run_entry.log"
"$reader" --help | grep -q "usage: kovra-report" || fail "--help on standard output"
"$reader" kind "$one" | grep -qx "DES container" || fail "kind of a report"
summary=$("$reader" summary "$one") || fail "summary"
grep -q "^OS: *Windows 7" <<<"$summary" && grep -q "^Services: *[1-9]" <<<"$summary" &&
  grep -q "^Archive: *12 entries" <<<"$summary" || fail "summary: $summary"
"$reader" show "$one" Kovra_Debug_Info.txt | head -1 | grep -q "^Version:1.0.0.0$" || fail "show"
"$reader" show "$one" GetInfoDir/nope.txt 2>/dev/null && fail "show of a missing entry"
"$reader" diff "$one" "$one" >/dev/null || fail "diff of a report with itself"
diff_out=$("$reader" diff "$one" "$two"); rc=$?
[ $rc = 1 ] || fail "diff exit code $rc"
[ "$(printf '%s\n' "$diff_out" | head -2)" = "$(printf -- '--- Autostart: Run\n+ KovraDiffTest=C:\\evil\\evil.exe')" ] ||
  fail "diff shows the added Run entry under its section: $diff_out"
"$reader" view "$one" -o "$work/view.html" || fail "view"
python3 - "$work/view.html" <<'PY' || fail "the page"
import html.parser, sys
class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(); self.tables = 0; self.external = 0; self.scripts = 0
    def handle_starttag(self, tag, attrs):
        self.tables += tag == "table"; self.scripts += tag == "script"
        self.external += any(k == "src" or (k == "href" and not v.startswith("#")) for k, v in attrs)
p = Page(); p.feed(open(sys.argv[1], encoding="utf-8").read())
assert p.tables >= 2 and p.scripts == 1 and p.external == 0, (p.tables, p.scripts, p.external)
PY
# A machine with a product and an autostart entry: the summary counts them.
products=$("$reader" summary "$reports/machine_with_products.log") || fail "summary with products"
grep -q "ZTN 8.1.0 (file 1.0.0.0)" <<<"$products" && grep -q "^Inventory: *2$" <<<"$products" &&
  grep -q "^Autostart: *1$" <<<"$products" || fail "summary with products: $products"
# Tables for scripts: every table by name, numbers as JSON numbers, the same counts as the
# summary; the inventory's section named by what it is in diff.
"$reader" --help | grep -q "^  processes  (Processes)" || fail "--help lists the tables"
"$reader" --help | grep -q "working_set_mb *number" || fail "--help lists the fields"
python3 - "$reader" "$reports/machine_with_products.log" <<'PY' || fail "table and summary --json"
import csv, io, json, subprocess, sys
reader, report = sys.argv[1], sys.argv[2]
run = lambda *a: subprocess.run([reader, *a], capture_output=True, text=True, check=True).stdout
summary = json.loads(run("summary", report, "--json"))
assert summary["counts"]["processes"] == 8 and summary["counts"]["inventory"] == 2, summary
assert summary["products"] == ["ZTN 8.1.0 (file 1.0.0.0)"], summary
processes = json.loads(run("table", report, "processes", "--json"))
assert len(processes) == summary["counts"]["processes"], processes
assert all(isinstance(p["working_set_mb"], int) and p["name"] for p in processes), processes
services = list(csv.DictReader(io.StringIO(run("table", report, "services", "--csv"))))
assert len(services) == summary["counts"]["services"], services
assert {s["kind"] for s in services} == {"driver", "service"}, services
inventory = json.loads(run("table", report, "inventory", "--json"))
assert [i["path"] for i in inventory] == ["Drivers\\filter.sys", "ztn.exe"], inventory
products = json.loads(run("table", report, "products", "--json"))
assert products[0]["versions_differ"] is True and products[0]["size_bytes"] == 2333850, products
text = run("table", report, "uninstall")
assert text.splitlines()[0] == "file\tkey\tvalue\tkind\tdata", text
assert json.loads(run("table", report, "unparsed", "--json")) == []
PY
"$reader" table "$one" nosuch 2>"$work/err"; [ $? = 2 ] && grep -q "no table named nosuch" "$work/err" ||
  fail "an unknown table: $(cat "$work/err")"
"$reader" diff "$one" "$reports/machine_with_products.log" | grep -qx -- "--- Product files" ||
  fail "the inventory section in diff"
# Damaged reports: a clear message and no crash.
head -c 3000 "$one" >"$work/cut.log"
"$reader" summary "$work/cut.log" 2>"$work/err" && fail "a cut report read"
grep -q "8 x N + 4" "$work/err" || fail "message for a cut report: $(cat "$work/err")"
"$reader" table "$work/cut.log" processes 2>"$work/err" && fail "a table of a cut report"
grep -q "8 x N + 4" "$work/err" || fail "table of a cut report: $(cat "$work/err")"
"$reader" diff "$one" "$work/missing.log" 2>/dev/null; [ $? = 2 ] || fail "diff with a missing report"
echo "reader command line: ok"
