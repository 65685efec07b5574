#!/usr/bin/env bash
# One exit policy for every command of the reader, as one table: 0 done, 1 the command found
# something (differences, a report that could not be added), 2 trouble (a usage error, an
# unreadable or damaged input, an output that cannot be written).
set -u
reader=$1
reports="$(cd "$(dirname "$0")" && pwd)/reports"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
one="$reports/machine.log" two="$reports/machine_with_run_entry.log"
head -c 3000 "$one" >"$work/cut.log"
printf '\001\002\003' >"$work/junk.log"
missing="$work/missing.log"
db="$work/index.db"
"$reader" index "$db" "$one" >/dev/null || { echo "FAIL: the index for the query rows"; exit 1; }

# want|command line (words split at blanks; $vars expanded)
rows=$(cat <<'ROWS'
0|--help
2|
2|nosuch
2|kind
2|kind $one $two
0|kind $one
2|kind $junk
2|summary $one --xml
0|summary $one
0|summary $one --json
2|summary $cut
2|summary $missing
0|list $one
2|list $junk
0|show $one Kovra_Debug_Info.txt
2|show $one GetInfoDir/nope.txt
2|show $one Kovra_Debug_Info.txt --codepage
2|show $one Kovra_Debug_Info.txt --codepage x
0|diff $one $one
1|diff $one $two
2|diff $one $missing
2|diff $one
0|table $one processes
0|table $one services --csv
2|table $one processes --csv --json
2|table $one nosuch
2|table $cut processes
0|view $one -o $work/page.html
2|view $one
2|view $one -o $work/no/such/folder/page.html
2|view $cut -o $work/cut.html
0|decode $one -o $work/out.zip
2|decode $one -o $work/no/such/folder/out.zip
0|extract $one $work/extracted
2|extract $junk $work/junk
0|index $db $one
1|index $db $one $cut
2|index $db
2|index $work/junk.log $one
0|query $db "SELECT count(*) FROM reports"
2|query $db "SELECT * FROM nowhere"
2|query $db
0|export $db --ndjson
2|export $db
2|export $missing --ndjson
ROWS
)
junk="$work/junk.log" cut="$work/cut.log"
failed=0
while IFS='|' read -r want line; do
  eval "set -- $line"
  "$reader" "$@" >/dev/null 2>"$work/err"
  got=$?
  if [ "$got" != "$want" ]; then
    echo "FAIL: kovra-report $line: exit $got, want $want ($(head -c 300 "$work/err"))"
    failed=1
  fi
done <<<"$rows"
[ $failed = 0 ] && echo "reader exit codes: ok"
exit $failed
