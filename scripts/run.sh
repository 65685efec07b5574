#!/usr/bin/env bash
# Builds GetKovraInfo.exe and runs it under Wine. With a display the window opens for the user;
# without one it runs under Xvfb, presses the button itself and prints where the report went.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
build=$(pwd)/build/windows
env_sh=tests/win/wine-env.sh

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  # A prefix of its own under the build folder, on the user's display.
  export WINEPREFIX="$build/wine/user-prefix" WINEARCH=win64 WINEDEBUG=-all
  [ -d "$WINEPREFIX" ] || wineboot -i
  exec wine "$build/GetKovraInfo.exe"
fi

bash "$env_sh" "$build" start
trap 'bash "$env_sh" "$build" stop' EXIT
eval "$(bash "$env_sh" "$build" env)"
desktop="$WINEPREFIX/drive_c/users/$(id -un)/Desktop"
mkdir -p "$build/run"
driver() { bash "$env_sh" "$build" run "$build/tests/e2e_driver.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
bash "$env_sh" "$build" run "$build/GetKovraInfo.exe" </dev/null >"$build/run/tool.log" 2>&1 &
pid=$!
caption="Get Kovra Configuration File"
info=$(driver find-window "$caption" 30000)
read -r bx by <<<"$(sed -n 's/^button //p' <<<"$info")"
xdotool mousemove "$bx" "$by" click 1
box=$(driver wait-msgbox "$caption" 600000)
echo "The tool says: $(sed -n 's/^text //p' <<<"$box" | tr '|' '\n')"
read -r ox oy <<<"$(sed -n 's/^ok //p' <<<"$box")"
xdotool mousemove "$ox" "$oy" click 1
wait "$pid" || true
report=$(ls -t "$desktop"/nf_logs_*.log 2>/dev/null | head -n 1 || true)
if [ -n "$report" ]; then
  echo "Report: $report"
else
  echo "No report was written."
fi
