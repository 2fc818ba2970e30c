#!/usr/bin/env bash
# Runs every benchmark program and gathers their figures into bench-summary.json.
set -euo pipefail
build=${1:-build}
summary_lines="$build/bench-summary.jsonl"
rm -f "$summary_lines"
export SK_BENCH_SUMMARY="$PWD/$summary_lines"
export SK_BENCH_DATA="$PWD/$build/bench-data"
mkdir -p "$SK_BENCH_DATA"
for b in "$build"/bin/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
python3 scripts/bench_summary.py "$summary_lines" "$build/bench-summary.json"
