#!/usr/bin/env bash
# The window's markup label with real X input: the privacy link is drawn without blue until the
# mouse is on it, turns blue under the mouse and back when it leaves (screenshots), a press on
# the link released elsewhere opens nothing, and a click on it asks the shell to open the
# privacy page, which a stand-in handler of https addresses records. Then at 120 and 144 DPI
# (the prefix's LogPixels): the window's client area looks as at 96 DPI, pixel for pixel, and
# the link is there and turns blue under the mouse (screenshots window-DPI.png kept).
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
# The screen's DPI of the programs started from now on (Wine reads it at process start); the
# value there was before is put back afterwards.
dpi_key='HKCU\Control Panel\Desktop'
old_dpi=$(wine_run reg query "$dpi_key" /v LogPixels 2>/dev/null | tr -d '\r' |
  sed -n 's/.*LogPixels *REG_DWORD *0x\([0-9a-fA-F]*\).*/\1/p')
set_dpi() {
  if [ -n "$1" ]; then
    wine_run reg add "$dpi_key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  else
    wine_run reg delete "$dpi_key" /v LogPixels /f >/dev/null 2>&1
  fi
}
cleanup() {
  end_tool "${pid:-0}"
  set_dpi "${old_dpi:+$((16#$old_dpi))}"
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

# Pixels of the label as "x y r g b" lines, from a screenshot.
label_pixels() {
  shot "$1"
  convert "$out/$1.png" -crop "${lw}x${lh}+${lx}+${ly}" +repage -depth 8 txt:- |
    sed -n 's/^\([0-9]*\),\([0-9]*\): *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3 \4 \5/p'
}
blue_pixels() { awk '$5 > 150 && $3 < 90 && $4 < 90 {n++} END {print n + 0}'; }
# The window's client area (305 x 148) of a screenshot, as its own picture.
client_area() { convert "$out/$1.png" -crop "305x148+${ox}+${oy}" +repage "png:$out/$2.png"; }

# Starts the tool and finds its label; then, with the mouse away from the link, finds the
# link (the one underlined run of the label, the longest row of dark pixels; its text is above
# it) in the screenshot NAME-before, and checks that the link turns blue under the mouse and
# back when it leaves. Sets pid, ox, oy, lx, ly, link_x, link_y and hovered.
start_and_hover() {
  "$env_sh" "$build" run "$build/GetKovraInfo.exe" </dev/null >"$out/tool.log" 2>&1 &
  pid=$!
  info=$(driver find-window "$caption" 30000) || fail "$1: window not found"
  read -r ox oy <<<"$(field client-origin "$info")"
  for w in $(xdotool search --name "^$caption\$" 2>/dev/null); do xdotool windowraise "$w"; done
  # The label's place in the window's client area.
  lx=$((ox + 25)) ly=$((oy + 17)) lw=248 lh=59
  xdotool mousemove $((ox + 5)) $((oy + 140))
  sleep 0.5
  local before left ux uy
  before=$(label_pixels "$1-before")
  [ "$(blue_pixels <<<"$before")" = 0 ] || fail "$1: blue text before the mouse came near the link"
  read -r ux uy <<<"$(awk '$3 < 100 && $4 < 100 && $5 < 100 {print $2, $1}' <<<"$before" |
    sort -n -k1,1 -k2,2 | awk '
      { if ($1 == row && $2 == last + 1) run++; else { row = $1; start = $2; run = 1 }
        last = $2; if (run > best) { best = run; by = row; bx = start + int(run / 2) } }
      END { print bx, by }')"
  [ -n "$ux" ] || fail "$1: no underlined link found in the label"
  link_x=$((lx + ux)) link_y=$((ly + uy - 4))
  echo "$1: link found at $link_x,$link_y"

  xdotool mousemove "$link_x" "$link_y"
  sleep 0.7
  hovered=$(blue_pixels <<<"$(label_pixels "$1-hover")")
  [ "$hovered" -gt 20 ] || fail "$1: the link did not turn blue under the mouse ($hovered blue pixels)"
  xdotool mousemove $((ox + 5)) $((oy + 140))
  sleep 0.7
  left=$(blue_pixels <<<"$(label_pixels "$1-left")")
  [ "$left" = 0 ] || fail "$1: the link stayed blue after the mouse left ($left blue pixels)"
}

set_dpi 96
start_and_hover label
client_area label-before window-96

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
blue96=$hovered
end_tool "$pid"
wait "$pid" 2>/dev/null

# The layout is in fixed pixels and every font of the window is 11 pixels high: on a screen of
# more pixels per inch the window looks the same, so the link keeps its place in the label.
for dpi in 120 144; do
  set_dpi $dpi
  start_and_hover "label-$dpi"
  client_area "label-$dpi-before" "window-$dpi"
  differ=$(compare -metric AE "$out/window-96.png" "$out/window-$dpi.png" null: 2>&1)
  [ "$differ" = 0 ] || fail "at $dpi DPI the window differs from 96 DPI in $differ pixels"
  end_tool "$pid"
  wait "$pid" 2>/dev/null
done
echo "PASS: the privacy link (blue under the mouse: $blue96 pixels; opened $opened), the same" \
  "window at 120 and 144 DPI"
