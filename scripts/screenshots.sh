#!/usr/bin/env bash
# make screenshots: pictures of the viewer on the avalanche demo at its alarm, in each of the
# three views and with the Log, Live and RG Sum docks shown, a water-level rise at its alarm,
# the window in German and the options dialog, drawn offscreen with --grab into BUILD/screenshots/.
set -euo pipefail
build=${1:-build}
rrdcli="$build/bin/rrdcli"
skarnel="$build/bin/skarnel"
out="$build/screenshots"
mkdir -p "$out"
recording="$out/avalanche.rrd0.gz"
"$rrdcli" simulate --scenario avalanche --frames 600 --interval-ms 1000 --process-params \
  -o "$recording" >/dev/null

# The frame on which the avalanche alarm goes on, from the same engine the viewer runs.
alarm=$("$rrdcli" analyze --process-params --log "$recording" |
  awk -F, '$2 == "AV0-0 ALARM ON" { print $1; exit }')
alarm=${alarm:-300}
echo "avalanche alarm at frame $alarm"

# Each picture starts from a settings store of its own, so that neither the user's settings nor
# an earlier picture's (the window writes them when it closes) change what it shows.
settings=$(mktemp -d)
trap 'rm -rf "$settings"' EXIT
fresh() {
  mktemp -d -p "$settings"
}

shot() {
  local name=$1
  shift
  XDG_CONFIG_HOME=$(fresh) QT_QPA_PLATFORM=offscreen "$skarnel" --process-params --grab "$out/$name.png" \
    --frame "$alarm" "$@" "$recording" 2>/dev/null
}
# The raw levels of the simulated radar reach a few thousand; the normalised views are ratios.
shot frame-log --view frame --zmax 5000 --dock log
shot frame-normalized-live --view frame --show normalized --dock live
shot rangegates-rgsum --view rangegates --show normalized --rangegate 17 --dock rgsum
shot velocities-log --view velocities --show normalized --peak-shift middle --rangegate 17 --channel 780 --dock log
# A water-level rise: its curve (near 1.4e5), the Channel0 curve and the alarm markers on the
# activity plot's logarithmic right axis, next to rain near 1, at the water-level alarm.
waterlevel="$out/waterlevel.rrd0.gz"
"$rrdcli" simulate --scenario waterlevel --frames 600 --interval-ms 1000 --process-params \
  -o "$waterlevel" >/dev/null
wlAlarm=$("$rrdcli" analyze --process-params --log "$waterlevel" |
  awk -F, '$2 == "WL0 ALARM ON" { print $1; exit }')
XDG_CONFIG_HOME=$(fresh) QT_QPA_PLATFORM=offscreen "$skarnel" --process-params \
  --grab "$out/waterlevel-activity.png" --frame "${wlAlarm:-300}" --zmax 5000 --rangegate 2 \
  --dock log "$waterlevel" 2>/dev/null
# The window in German, and the options dialog (every tab, one below the other).
shot frame-log-german --view frame --zmax 5000 --dock log --language Deutsch
XDG_CONFIG_HOME=$(fresh) QT_QPA_PLATFORM=offscreen "$skarnel" --grab "$out/options.png" \
  --grab-dialog options 2>/dev/null
XDG_CONFIG_HOME=$(fresh) QT_QPA_PLATFORM=offscreen "$skarnel" --grab "$out/options-german.png" \
  --grab-dialog options --language Deutsch 2>/dev/null

# The command console, opened from the window and talking to a stand-in command port
# (rrdcli cmdport): after START and STATUS.
SK_BIN_DIR="$build/bin" SK_OPS_PNG_DIR="$(cd "$out" && pwd)" QT_QPA_PLATFORM=offscreen \
  "$build/bin/tst_mainwindow_ops" consoleOpensFromTheWindow >/dev/null
echo "console: $out/console.png"

# The spectrogram zoomed in around zero velocity (Ctrl+Shift+wheel) with its channel axis in
# m/s, drawn by the window suite that checks that axis against the radar's Prf and Integrate.
SK_AXES_PNG_DIR="$(cd "$out" && pwd)" QT_QPA_PLATFORM=offscreen \
  "$build/bin/tst_mainwindow_axes" zoomedChannelAxisKeepsVelocities >/dev/null
echo "velocity axis: $out/velocity-zoom.png"

# The stream-health indicator while the radar's server is down: red, counting down to the next
# attempt, the newest frame's age growing.
SK_BIN_DIR="$build/bin" SK_HEALTH_PNG_DIR="$(cd "$out" && pwd)" QT_QPA_PLATFORM=offscreen \
  "$build/bin/tst_stream_health" followsAServerKilledAndStartedAgain >/dev/null
echo "stream health: $out/stream-health.png"

# The log as a console: the mixed scenario's alarms on and off only (pre-alarms, incidents,
# warnings hidden through the choice the Log dock keeps in the settings), with the window
# holding the frames up to a few past the avalanche alarm, so that its rows are red and the
# status bar names the detectors in alarm.
mixed="$out/mixed.rrd0.gz"
"$rrdcli" simulate --scenario mixed --frames 1200 --interval-ms 1000 --process-params \
  -o "$mixed" >/dev/null
mixedAlarm=$("$rrdcli" analyze --process-params --log "$mixed" |
  awk -F, '$2 == "AV0-2 ALARM ON" { print $1; exit }')
mixedAlarm=${mixedAlarm:-300}
logConfig=$(fresh)
mkdir -p "$logConfig/radar"
printf '[alarmLog]\nhiddenKinds=prealarm, incident, other\n' >"$logConfig/radar/skarnel.ini"
XDG_CONFIG_HOME=$logConfig QT_QPA_PLATFORM=offscreen "$skarnel" --process-params \
  --grab "$out/log-filtered.png" --n $((mixedAlarm + 5)) --frame "$mixedAlarm" --zmax 5000 \
  --dock log "$mixed" 2>/dev/null
