#!/usr/bin/env bash
# Packing benchmark: a generated tree of about 150 MB (text logs and one large binary) packed at
# level 8 and enciphered, by the tool's code (bench_pack.exe under Wine) and, in the same run,
# by `zip -q -8 -r` followed by `openssl enc -des-ecb` on the same tree. Prints the times and
# the ratio. Needs the windows build: cmake --preset windows && cmake --build --preset windows
# (build/windows-x64 where 32-bit code is emulated; or give the build folder).
set -eu
cd "$(dirname "$0")/.."
. bench/windows_build.sh
build=$(windows_build "${1:-}")
[ -x "$build/bench/bench_pack.exe" ] || { echo "build $build first"; exit 1; }
work=$(mktemp -d /tmp/kovra-pack-bench-XXXXXX)
trap 'rm -rf "$work"; tests/win/wine-env.sh "$build" stop >/dev/null 2>&1 || true' EXIT
tree="$work/tree"
mkdir -p "$tree/logs/old" "$tree/dumps"
# Text logs: about 100 MB of varied lines; one 50 MB binary of random bytes.
python3 - "$tree" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(1)
words = ["service", "update", "started", "stopped", "error", "warning", "scan", "engine",
         "signature", "quarantine", "file", "C:\\Program Files\\Kovra\\bin", "0x%08X", "ok"]
for i in range(40):
    path = os.path.join(root, "logs" if i % 2 else "logs/old", "product_%02d.log" % i)
    with open(path, "w") as f:
        size = 0
        while size < 2_500_000:
            line = "2026-12-%02d %02d:%02d:%02d.%03d [%5d] %s\n" % (
                rng.randint(1, 28), rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59),
                rng.randint(0, 999), rng.randint(1, 99999),
                " ".join(rng.choice(words) for _ in range(rng.randint(4, 14))).replace(
                    "0x%08X", "0x%08X" % rng.getrandbits(32)))
            f.write(line)
            size += len(line)
with open(os.path.join(root, "dumps", "memory.dmp"), "wb") as f:
    f.write(rng.randbytes(50_000_000))
PY
total=$(du -sb "$tree" | cut -f1)
echo "tree: $((total / 1000000)) MB in $(find "$tree" -type f | wc -l) files"

key=$(python3 -c 'k=[0]*8
for j,c in enumerate(b"qzmvtrylbsed"): k[(j+1)%8]=(k[(j+1)%8]+c)%256
print(bytes(k).hex())')
start=$(date +%s.%N)
(cd "$work" && zip -q -8 -r base.zip tree)
mid=$(date +%s.%N)
openssl enc -des-ecb -provider legacy -provider default -K "$key" -in "$work/base.zip" \
  -out "$work/base.enc"
end=$(date +%s.%N)

tests/win/wine-env.sh "$build" start >/dev/null
win() { echo "Z:${1//\//\\}"; }
wstart=$(date +%s.%N)
ours=$(tests/win/wine-env.sh "$build" run "$build/bench/bench_pack.exe" "$(win "$tree")" \
  "$(win "$work/ours.zip")" "$(win "$work/ours.log")" </dev/null | tr -d '\r')
wend=$(date +%s.%N)
get() { sed -n "s/^$1 //p" <<<"$ours"; }

python3 - "$start" "$mid" "$end" "$(get zip)" "$(get encrypt)" "$(get total)" "$wstart" "$wend" \
  "$(stat -c %s "$work/base.zip")" "$(stat -c %s "$work/ours.zip")" <<'PY'
import sys
s, m, e, oz, oe, ot, ws, we, bsize, osize = map(float, sys.argv[1:])
base = e - s
print("baseline zip -8 -r           %7.2f s" % (m - s))
print("baseline openssl enc des-ecb %7.2f s" % (e - m))
print("baseline total               %7.2f s  (archive %.1f MB)" % (base, bsize / 1e6))
print("ours WriteZipArchive level 8 %7.2f s" % oz)
print("ours EncryptFile             %7.2f s" % oe)
print("ours total                   %7.2f s  (archive %.1f MB)" % (ot, osize / 1e6))
print("ours total with Wine start   %7.2f s" % (we - ws))
print("ratio baseline/ours: %.2f (target >= 1.00; with Wine start %.2f)" % (base / ot, base / (we - ws)))
PY
