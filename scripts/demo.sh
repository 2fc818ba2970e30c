#!/usr/bin/env bash
# make demo: simulates a ten-minute recording in which an avalanche comes down, with the
# radar's detector settings in every frame, writes those settings as a parameter file and
# shows what rrdcli reads and detects.
set -euo pipefail
build=${1:-build}
rrdcli="$build/bin/rrdcli"
recording=demo/avalanche.rrd0.gz
params=demo/params.ini

mkdir -p demo
# 600 frames one second apart: ten minutes.
"$rrdcli" simulate --scenario avalanche --frames 600 --interval-ms 1000 --process-params \
  -o "$recording"
# The radar's own settings as the INI file the viewer and --params read.
"$rrdcli" params --process-params "$recording" -o "$params"
echo "$params: the detector settings of the recording's first frame"
echo
"$rrdcli" info "$recording"
echo
"$rrdcli" analyze --log --params "$params" "$recording"

# The frame on which the avalanche alarm goes on, as the viewer's own detectors find it.
alarm=$("$rrdcli" analyze --process-params --log "$recording" |
  awk -F, '$2 == "AV0-0 ALARM ON" { print $1; exit }')
alarm=${alarm:-300}

# Then the viewer on it. Without a display it draws the window into a picture instead, so
# make demo never blocks on a headless machine. The picture is drawn with a settings store of
# its own (the user's colour scale or hidden curves must not hide the avalanche), at the alarm
# frame, with the colour scale's top above the radar's noise floor.
skarnel="$build/bin/skarnel"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo
  echo "No display: writing the viewer's window at the avalanche alarm (frame $alarm) to demo/skarnel.png."
  settings=$(mktemp -d)
  trap 'rm -rf "$settings"' EXIT
  XDG_CONFIG_HOME="$settings" QT_QPA_PLATFORM=offscreen "$skarnel" --process-params \
    --grab demo/skarnel.png --frame "$alarm" --zmax 5000 --rangegate 17 --dock log \
    "$recording" 2>/dev/null
else
  "$skarnel" --process-params "$recording"
fi
