#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from what clang-format makes of it (the root
# .clang-format), and names each such file. `scripts/check-format.sh fix` rewrites them instead.
set -eu
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
  echo "clang-format is not installed" >&2
  exit 1
fi
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" = fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
report=$(mktemp)
trap 'rm -f "$report"' EXIT
if clang-format --dry-run -Werror "${files[@]}" 2>"$report"; then
  exit 0
fi
grep -o '^[^:]*:[0-9]*' "$report" | sort -u | sed 's/^/not formatted: /'
echo "scripts/check-format.sh fix rewrites them"
exit 1
