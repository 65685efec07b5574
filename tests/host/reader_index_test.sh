#!/usr/bin/env bash
# The index of many reports on reports the tool wrote (tests/host/reports and variants of them
# made by report_variants.py): adding twice changes nothing, a damaged report among good ones
# is named and the others added, an interrupted run leaves an index that opens and holds whole
# reports only, and every example question of --help gives the rows the variants call for.
set -u
reader=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Python's own sqlite3 checks the files: an index is a plain SQLite database.
check_whole() {
  python3 - "$1" "$2" <<'PY' || fail "index $1 after $2"
import sqlite3, sys
db = sqlite3.connect("file:%s?mode=ro" % sys.argv[1], uri=True)
assert db.execute("PRAGMA integrity_check").fetchone()[0] == "ok"
tables = [t for (t,) in db.execute("SELECT name FROM sqlite_master WHERE type = 'table'")
          if t not in ("reports", "failed_stages")]
assert len(tables) >= 18, tables
# Every report is whole (its record count is what the tables hold) and no row is an orphan.
for rid, records in db.execute("SELECT id, records FROM reports"):
    held = sum(db.execute('SELECT count(*) FROM "%s" WHERE report_id = ?' % t, (rid,)).fetchone()[0]
               for t in tables)
    assert held == records, (sys.argv[2], rid, held, records)
for t in tables + ["failed_stages"]:
    orphans = db.execute('SELECT count(*) FROM "%s" WHERE report_id NOT IN (SELECT id FROM reports)'
                         % t).fetchone()[0]
    assert orphans == 0, (sys.argv[2], t, orphans)
PY
}
count() { "$reader" query "$1" "$2" --csv | tail -1; }

python3 "$here/report_variants.py" "$reader" "$work/v" 30 || fail "making the variants"
db=$work/index.db
out=$("$reader" index "$db" "$work"/v/*.log 2>"$work/err") || fail "index: $(cat "$work/err")"
[ "$out" = "$(printf '30 added (%s records), 0 already in the index, 0 could not be added' \
  "$(count "$db" 'SELECT sum(records) FROM reports')")" ] || fail "index: $out"
[ ! -s "$work/err" ] || fail "a progress bar or message when stderr is no terminal: $(cat "$work/err")"
before=$(count "$db" "SELECT count(*) FROM services")
out=$("$reader" index "$db" "$work"/v/nf_logs_20261102_0000.log "$work"/v/*.log) ||
  fail "index again"
[ "$out" = "0 added (0 records), 31 already in the index, 0 could not be added" ] ||
  fail "index again: $out"
[ "$(count "$db" "SELECT count(*) FROM reports")" = 30 ] &&
  [ "$(count "$db" "SELECT count(*) FROM services")" = "$before" ] || fail "duplicates"
check_whole "$db" "adding twice"

# The example questions of --help, each against what the variants hold.
"$reader" --help | sed -n '/^example questions/,$p' | grep -v '^example\|^  --' | sed 's/^  //' \
  >"$work/examples.sql"
[ "$(wc -l <"$work/examples.sql")" = 3 ] || fail "three example questions in --help"
python3 - "$reader" "$db" "$work/v/manifest.json" "$work/examples.sql" <<'PY' || fail "examples"
import json, subprocess, sys
reader, db, manifest, examples = sys.argv[1:]
facts = json.load(open(manifest))
sql = open(examples).read().splitlines()
query = lambda q: json.loads(subprocess.run([reader, "query", db, q, "--json"], check=True,
                                            capture_output=True, text=True).stdout)
hits = {}
for f in facts:
    if f["stage4_failed"] and f["product"].startswith("8.1.") and f["driver"] == "8.1.0.22":
        hits.setdefault(f["computer"], []).append(f["date"])
want = [{"computer": c, "reports": len(d), "last_report": max(d)} for c, d in sorted(hits.items())]
assert want and query(sql[0]) == want, (query(sql[0]), want)
seen = [f["date"] for f in facts if f["computer"] == "PC-000" and f["updater"]]
want = [{"computer": "PC-000", "first_seen": min(seen), "last_seen": max(seen), "reports": len(seen)}]
assert query(sql[1]) == want, (query(sql[1]), want)
off = [f for f in facts if f["av_off"]]
want = [{"name": "Guard AV", "reports": len(off), "machines": len({f["computer"] for f in off})}]
assert query(sql[2]) == want, (query(sql[2]), want)
PY
# The export: one object per record and per report, each with its report's id and date.
"$reader" export "$db" --ndjson >"$work/export.ndjson" || fail "export"
python3 - "$work/export.ndjson" "$(count "$db" 'SELECT sum(records) + count(*) + (SELECT count(*) FROM failed_stages) FROM reports')" <<'PY' ||
import json, sys
rows = [json.loads(l) for l in open(sys.argv[1])]
assert len(rows) == int(sys.argv[2]), (len(rows), sys.argv[2])
records = [r for r in rows if r["table"] != "reports"]
assert all(r["report_id"] >= 1 and r["report_date"].startswith("2026-") for r in records)
assert {r["enabled"] for r in records if r["table"] == "security"} == {True, False}
PY
  fail "export lines"

# Damaged reports among good ones: a cut container, junk, an archive whose main info file is
# broken inside (records of it were already added when the damage shows).
reports=$here/reports
head -c 3000 "$reports/machine.log" >"$work/cut.log"
head -c 4000 /dev/urandom >"$work/junk.log"
"$reader" decode "$work/v/nf_logs_20261102_0001.log" -o "$work/inner.zip" || fail "decode"
python3 - "$work/inner.zip" <<'PY'
import sys, zipfile
path = sys.argv[1]
info = next(i for i in zipfile.ZipFile(path).infolist() if i.filename.endswith("Kovra_Debug_Info.txt"))
data = bytearray(open(path, "rb").read())
start = info.header_offset + 30 + len(info.filename) + len(info.extra)
for at in range(start + info.compress_size * 3 // 4, start + info.compress_size - 8):
    data[at] ^= 0x55
open(path, "wb").write(data)
PY
damaged=$work/damaged.db
"$reader" index "$damaged" "$reports/machine.log" "$work/cut.log" "$work/junk.log" \
  "$reports/machine_with_products.log" "$work/inner.zip" "$reports/machine_with_run_entry.log" \
  >"$work/out" 2>"$work/err"
[ $? = 1 ] || fail "exit code with damaged reports"
grep -q "cut.log.*8 x N + 4" "$work/err" && grep -q "junk.log" "$work/err" &&
  grep -q "inner.zip: damaged, nothing of it was added" "$work/err" ||
  fail "messages for damaged reports: $(cat "$work/err")"
grep -qx "3 added (.*), 0 already in the index, 3 could not be added" "$work/out" ||
  fail "the good ones added: $(cat "$work/out")"
[ "$(count "$damaged" "SELECT group_concat(file, ' ') FROM reports")" = \
  "machine.log machine_with_products.log machine_with_run_entry.log" ] || fail "the good ones"
check_whole "$damaged" "damaged reports"
"$reader" index "$work/junk.log" "$reports/machine.log" 2>"$work/err" && fail "junk as an index"
grep -q "junk.log" "$work/err" || fail "message for junk as an index: $(cat "$work/err")"

# Interrupted: the run is killed while a large report's transaction is open, seen by the
# database file growing well past what the two reports before it take (the page cache spilling
# the large report's pages into it, the journal holding what they replace).
python3 "$here/report_variants.py" "$reader" "$work/big" 3 --big-services 30000 || fail "big report"
"$reader" index "$work/two.db" "$reports/machine.log" "$reports/machine_with_products.log" >/dev/null
limit=$(( $(stat -c %s "$work/two.db") + (1 << 20) ))
cut=$work/cut.db
"$reader" index "$cut" "$reports/machine.log" "$reports/machine_with_products.log" \
  "$work"/big/*_0002.log "$reports/machine_with_run_entry.log" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 3000); do
  [ "$(stat -c %s "$cut" 2>/dev/null || echo 0)" -gt "$limit" ] && break
  sleep 0.01
done
[ -e "$cut-journal" ] && kill -9 $pid 2>/dev/null || fail "the run ended before it could be interrupted"
wait $pid 2>/dev/null
[ "$(count "$cut" "SELECT count(*) FROM reports")" = 2 ] || fail "the interrupted index"
check_whole "$cut" "an interrupted run"
out=$("$reader" index "$cut" "$reports"/*.log "$work"/big/*_0002.log) || fail "index after the interruption"
[ "${out#* added (}" != "$out" ] && [ "${out%%, 2 already*}" != "$out" ] || fail "after the interruption: $out"
[ "$(count "$cut" "SELECT count(*) FROM reports")" = 4 ] || fail "the completed index"
check_whole "$cut" "the run after the interruption"

# query only reads: a changing statement, a second statement and another database are refused,
# and a missing index is not created.
for sql in "DELETE FROM reports" "SELECT 1; DELETE FROM reports" "ATTACH '$work/x.db' AS x"; do
  "$reader" query "$db" "$sql" >/dev/null 2>&1 && fail "query ran: $sql"
done
[ "$(count "$db" "SELECT count(*) FROM reports")" = 30 ] && [ ! -e "$work/x.db" ] || fail "query wrote"
"$reader" query "$work/none.db" "SELECT 1" 2>/dev/null && fail "a missing index"
[ ! -e "$work/none.db" ] || fail "query created an index"
echo "reader index: ok"
