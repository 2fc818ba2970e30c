#!/usr/bin/env bash
# Runs the reader fuzz target for the given number of seconds on a seed corpus of simulated frames.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-300}
corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
"$build/bin/fuzz_rrd_read" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=20000 "$corpus"
