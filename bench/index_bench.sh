#!/usr/bin/env bash
# The index of many reports: 1,000 reports made from the tool's own (tests/host/report_variants.py:
# 200 machines, five reports each, names, dates, products, drivers and entries varied) added by
# `kovra-report index`, then the example questions of --help asked by `kovra-report query`.
# Baseline in the same run: Python's sqlite3 inserting the same records (read back from the
# index's export, one file per report) into the same schema, one transaction per report, and
# answering the same questions. A second baseline decodes the same reports alone
# (`kovra-report decode R -o /dev/null` per report). Prints reports per second, peak memory and
# query times with their ratios, and the index time against decoding alone (goal: at most 1.25);
# fails above 60 s for the 1,000 reports, 128 MB of memory or 1 s per question.
#   bench/index_bench.sh [READER] [COUNT]   (default: the bench preset's kovra-report, 1000)
set -eu
cd "$(dirname "$0")/.."
reader=${1:-build/bench/kovra-report}
count=${2:-1000}
if [ ! -x "$reader" ]; then
  cmake --preset bench >/dev/null && cmake --build --preset bench --target kovra-report >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 tests/host/report_variants.py "$reader" "$work/reports" "$count"
echo "$count reports, $(du -sm "$work/reports" | cut -f1) MB"

/usr/bin/time -f "%e %M" -o "$work/ours" "$reader" index "$work/ours.db" "$work"/reports/*.log
read -r ours_s ours_kb <"$work/ours"

# The second baseline: decoding the same reports alone, one `decode R -o /dev/null` per report,
# so that the index's own share (parsing and inserting, beside the deciphering) shows.
cat >"$work/decode.sh" <<'SH'
reader=$1; shift
for r in "$@"; do "$reader" decode "$r" -o /dev/null || exit 1; done
SH
/usr/bin/time -f "%e" -o "$work/decode" bash "$work/decode.sh" "$reader" "$work"/reports/*.log
read -r decode_s <"$work/decode"

# The baseline's input: the same records, one file per report (made before the clock starts).
"$reader" export "$work/ours.db" --ndjson >"$work/export.ndjson"
python3 - "$work" <<'PY'
import json, os, sys
work = sys.argv[1]
os.makedirs(work + "/records")
files = {}
for line in open(work + "/export.ndjson"):
    row = json.loads(line)
    rid = row["id"] if row["table"] == "reports" else row["report_id"]
    if rid not in files:
        files[rid] = open("%s/records/%06d.ndjson" % (work, rid), "w")
    files[rid].write(line)
for f in files.values():
    f.close()
PY
cat >"$work/baseline.py" <<'PY'
import json, os, sqlite3, sys
work = sys.argv[1]
src = sqlite3.connect(work + "/ours.db")
schema = [sql for (sql,) in src.execute("SELECT sql FROM sqlite_master WHERE sql IS NOT NULL")]
columns = {t: [c[1] for c in src.execute('PRAGMA table_info("%s")' % t)]
           for (t,) in src.execute("SELECT name FROM sqlite_master WHERE type = 'table'")}
db = sqlite3.connect(work + "/baseline.db", isolation_level=None)
for sql in schema:
    db.execute(sql)
inserts = {t: 'INSERT INTO "%s" (%s) VALUES (%s)' % (t, ", ".join('"%s"' % c for c in cs),
                                                      ", ".join("?" * len(cs)))
           for t, cs in columns.items()}
for name in sorted(os.listdir(work + "/records")):
    db.execute("BEGIN")
    for line in open(os.path.join(work, "records", name)):
        row = json.loads(line)
        table = row.pop("table")
        row.pop("report_date", None)
        db.execute(inserts[table], [row.get(c) for c in columns[table]])
    db.execute("COMMIT")
PY
/usr/bin/time -f "%e %M" -o "$work/base" python3 "$work/baseline.py" "$work"
read -r base_s base_kb <"$work/base"

python3 - "$reader" "$work" "$count" "$ours_s" "$ours_kb" "$base_s" "$base_kb" "$decode_s" <<'PY'
import subprocess, sys, time
reader, work, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
ours_s, ours_kb, base_s, base_kb, decode_s = (float(a) for a in sys.argv[4:9])
ok = True
print("kovra-report index: %d reports in %.2f s, %.0f reports/s, peak %.1f MB" %
      (count, ours_s, count / ours_s, ours_kb / 1024))
print("baseline python3 sqlite3 inserts: %.2f s, %.0f reports/s, peak %.1f MB" %
      (base_s, count / base_s, base_kb / 1024))
print("ratio reports/s ours/baseline: %.2f" % (base_s / ours_s))
print("ratio peak memory ours/baseline: %.2f" % (ours_kb / base_kb))
print("decoding alone (decode R -o /dev/null per report): %.2f s" % decode_s)
print("ratio index time / decoding alone: %.2f (goal at most 1.25); decoding alone takes %.0f%% "
      "of the index's time (one process per report there, started each time)"
      % (ours_s / decode_s, 100 * decode_s / ours_s))
ok = ours_s < 60 * count / 1000 and ours_kb < 128 * 1024
help_text = subprocess.run([reader, "--help"], capture_output=True, text=True, check=True).stdout
examples = help_text[help_text.index("example questions"):].splitlines()[1:]
ask = ("import sqlite3, sys\n"
       "db = sqlite3.connect('file:%s?mode=ro' % sys.argv[1], uri=True)\n"
       "print(len(db.execute(sys.argv[2]).fetchall()))")
for question, sql in zip(examples[0::2], examples[1::2]):
    sql = sql.strip()
    start = time.perf_counter()
    out = subprocess.run([reader, "query", work + "/ours.db", sql, "--csv"], capture_output=True,
                         text=True, check=True).stdout
    ours = time.perf_counter() - start
    # The baseline as a command too: Python starting, opening the same index, asking.
    start = time.perf_counter()
    rows = int(subprocess.run([sys.executable, "-c", ask, work + "/baseline.db", sql],
                              capture_output=True, text=True, check=True).stdout)
    base = time.perf_counter() - start
    ours_rows = len(out.splitlines()) - 1
    print("query %s\n  %d rows; ours %.3f s, baseline %.3f s (%d rows; each the whole command)"
          % (question.strip(" -"), ours_rows, ours, base, rows))
    print("  ratio query time ours/baseline: %.2f" % (ours / base))
    ok = ok and ours < 1.0 and ours_rows == rows
print("index bench: " + ("ok" if ok else "FAIL (goal missed)"))
sys.exit(0 if ok else 1)
PY
