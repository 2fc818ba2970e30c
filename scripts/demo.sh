#!/usr/bin/env bash
# make demo: simulates a ten-minute recording in which an avalanche comes down, with the
# radar's detector settings in every frame, and shows what rrdcli reads from it.
set -euo pipefail
build=${1:-build}
rrdcli="$build/bin/rrdcli"
recording=demo/avalanche.rrd0.gz

mkdir -p demo
# 600 frames one second apart: ten minutes.
"$rrdcli" simulate --scenario avalanche --frames 600 --interval-ms 1000 --process-params \
  -o "$recording"
echo
"$rrdcli" info "$recording"
