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

# Then the viewer on it. Without a display it draws the window into a picture instead, so
# make demo never blocks on a headless machine.
skarnel="$build/bin/skarnel"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo
  echo "No display: writing the viewer's window on the avalanche (frame 300) to a picture."
  QT_QPA_PLATFORM=offscreen "$skarnel" --process-params --grab demo/skarnel.png --frame 300 \
    --dock log "$recording" 2>/dev/null
else
  "$skarnel" --process-params "$recording"
fi
