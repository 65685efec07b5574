#!/usr/bin/env bash
# Runs every fuzz target for longer than CI does (default 10 minutes each) with the seed
# corpora and the format dictionary; findings go to build/fuzz/findings/.
#   scripts/fuzz-long.sh [SECONDS_EACH]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-600}
KOVRA_FUZZ_SECONDS=$seconds bash scripts/fuzz-smoke.sh
