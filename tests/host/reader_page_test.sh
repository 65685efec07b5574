#!/usr/bin/env bash
# The reader's page in a real browser: the page of a report the tool wrote is rendered by
# headless Chromium (nothing may be fetched from the network) and the screenshot must show it;
# then browser/page_test.mjs drives the same Chromium through playwright-core (a test-only
# dependency, installed from the npm registry into OUT_FOLDER): it sorts the process table by
# memory, filters the services table and runs the accessibility check.
#   reader_page_test.sh READER OUT_FOLDER
set -u
reader=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*"; exit 1; }
command -v chromium >/dev/null || { echo "SKIPPED: chromium is not installed"; exit 77; }
mkdir -p "$out"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
"$reader" view "$here/reports/machine_with_products.log" -o "$out/report.html" || fail "view"
rm -f "$out/report.png"
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$profile" --window-size=1200,1600 --screenshot="$out/report.png" \
  "file://$out/report.html" >"$out/chromium.log" 2>&1
[ -s "$out/report.png" ] || fail "no screenshot: $(tail -3 "$out/chromium.log")"
# A rendered page has text and tables: many colours, not a blank canvas.
colours=$(convert "$out/report.png" -format %k info:)
[ "$colours" -gt 8 ] || fail "the screenshot is nearly blank ($colours colours)"
echo "page rendered: $out/report.png ($colours colours)"
command -v node >/dev/null && command -v npm >/dev/null || { echo "SKIPPED: node and npm are needed"; exit 77; }
if [ ! -f "$out/node/node_modules/playwright-core/package.json" ] ||
   [ ! -f "$out/node/node_modules/axe-core/axe.min.js" ] ||
   ! cmp -s "$here/browser/package.json" "$out/node/package.json"; then
  rm -rf "$out/node" && mkdir -p "$out/node" && cp "$here/browser/package.json" "$out/node/"
  (cd "$out/node" && timeout 300 npm install --no-audit --no-fund --no-package-lock >npm.log 2>&1) ||
    fail "npm install of the test's browser driver: $(tail -3 "$out/node/npm.log")"
fi
cp "$here/browser/page_test.mjs" "$out/node/"
rm -f "$out/interactive.png"
timeout 120 node "$out/node/page_test.mjs" "$out/report.html" "$out/interactive.png" ||
  fail "the page in the browser"
