#!/usr/bin/env bash
# The window's markup label with real X input: the privacy link is drawn without blue until the
# mouse is on it, turns blue under the mouse and back when it leaves (screenshots), a press on
# the link released elsewhere opens nothing, and a click on it asks the shell to open the
# privacy page, which a stand-in handler of https addresses records.
#
#   run_label_e2e.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
env_sh="$here/../win/wine-env.sh"
out="$build/e2e-label"
rm -rf "$out"
# shellcheck source=tests/e2e/e2e_lib.sh
source "$here/e2e_lib.sh"
to_win() { echo "Z:${1//\//\\}"; }
# The machine's handler of https addresses, replaced for the test in both registry views and
# put back afterwards.
handler_key='HKLM\Software\Classes\https'
urls="$out/urls.txt"
for view in 32 64; do
  wine_run reg export "$handler_key" "$(to_win "$out/https-$view.reg")" /reg:$view /y \
    >/dev/null 2>&1 || rm -f "$out/https-$view.reg"
done
cleanup() {
  end_tool "${pid:-0}"
  for view in 32 64; do
    wine_run reg delete "$handler_key" /f /reg:$view >/dev/null 2>&1
    [ -f "$out/https-$view.reg" ] &&
      wine_run reg import "$(to_win "$out/https-$view.reg")" /reg:$view >/dev/null 2>&1
  done
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The stand-in handler of https addresses.
for view in 32 64; do
  wine_run reg delete "$handler_key" /f /reg:$view >/dev/null 2>&1
  wine_run reg add "$handler_key" /v "URL Protocol" /d "" /f /reg:$view >/dev/null 2>&1
  wine_run reg add "$handler_key\shell\open\command" /ve /f /reg:$view \
    /d "\"$(to_win "$build/tests/fake_console.exe")\" record-url \"$(to_win "$urls")\" \"%1\"" \
    >/dev/null 2>&1 || fail "cannot register the https stand-in"
done

"$env_sh" "$build" run "$build/GetKovraInfo.exe" </dev/null >"$out/tool.log" 2>&1 &
pid=$!
info=$(driver find-window "$caption" 30000) || fail "window not found"
read -r ox oy <<<"$(field client-origin "$info")"
for w in $(xdotool search --name "^$caption\$" 2>/dev/null); do xdotool windowraise "$w"; done
# The label's place in the window's client area.
lx=$((ox + 25)) ly=$((oy + 17)) lw=248 lh=59

# Pixels of the label as "x y r g b" lines, from a screenshot.
label_pixels() {
  shot "$1"
  convert "$out/$1.png" -crop "${lw}x${lh}+${lx}+${ly}" +repage -depth 8 txt:- |
    sed -n 's/^\([0-9]*\),\([0-9]*\): *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3 \4 \5/p'
}
blue_pixels() { awk '$5 > 150 && $3 < 90 && $4 < 90 {n++} END {print n + 0}'; }
xdotool mousemove $((ox + 5)) $((oy + 140))
sleep 0.5
before=$(label_pixels label-before)
[ "$(blue_pixels <<<"$before")" = 0 ] || fail "blue text before the mouse came near the link"
# The link is the one underlined run: the longest row of dark pixels; its text is above it.
read -r ux uy <<<"$(awk '$3 < 100 && $4 < 100 && $5 < 100 {print $2, $1}' <<<"$before" |
  sort -n -k1,1 -k2,2 | awk '
    { if ($1 == row && $2 == last + 1) run++; else { row = $1; start = $2; run = 1 }
      last = $2; if (run > best) { best = run; by = row; bx = start + int(run / 2) } }
    END { print bx, by }')"
[ -n "$ux" ] || fail "no underlined link found in the label"
link_x=$((lx + ux)) link_y=$((ly + uy - 4))
echo "link found at $link_x,$link_y"

xdotool mousemove "$link_x" "$link_y"
sleep 0.7
hovered=$(blue_pixels <<<"$(label_pixels label-hover)")
[ "$hovered" -gt 20 ] || fail "the link did not turn blue under the mouse ($hovered blue pixels)"
xdotool mousemove $((ox + 5)) $((oy + 140))
sleep 0.7
left=$(blue_pixels <<<"$(label_pixels label-left)")
[ "$left" = 0 ] || fail "the link stayed blue after the mouse left ($left blue pixels)"

# Pressed on the link, released elsewhere: nothing opens.
xdotool mousemove "$link_x" "$link_y" mousedown 1
sleep 0.3
xdotool mousemove $((ox + 5)) $((oy + 140)) mouseup 1
sleep 2
[ -s "$urls" ] && fail "a press released outside the link opened $(cat "$urls")"
# A click on the link opens the privacy page.
xdotool mousemove "$link_x" "$link_y" click 1
for _ in $(seq 1 100); do
  [ -s "$urls" ] && break
  sleep 0.1
done
[ -s "$urls" ] || fail "a click on the link opened nothing"
opened=$(tr -d '\r' <"$urls")
[ "$opened" = "https://www.kovra.com/privacy-policy" ] || fail "the click opened '$opened'"
echo "PASS: the privacy link (blue under the mouse: $hovered pixels; opened $opened)"
