#!/usr/bin/env python3
"""A station that runs for a long time: `rrdcli watch` with recording, the alarm script and
metrics against `rrdcli serve` at 50 frames a second, for SOAK_MINUTES (default 30).

Prints the resident memory of watch after a warm-up (the window filled, the first minute
files written) and at the end, the frames served against those received, analysed and
recorded in minute files, and the metrics' counts; fails when memory grows or a frame is
lost.

usage: soak.py BUILD [MINUTES]"""

import json
import os
import pathlib
import re
import signal
import subprocess
import sys
import tempfile
import time
import urllib.request

RATE = 50
SAMPLE_SECONDS = 30
# Memory may settle a little after the warm-up (allocator pools, caches); more than this is
# growth.
ALLOWED_GROWTH_MIB = 16
ALLOWED_GROWTH_SHARE = 0.10


def fail(message):
    print(f"soak: FAILED: {message}", file=sys.stderr)
    sys.exit(1)


def rss_mib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return float("nan")


def scrape(port):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/metrics", timeout=10) as reply:
        text = reply.read().decode()
    samples = {}
    for line in text.splitlines():
        if line and not line.startswith("#"):
            name, value = line.rsplit(" ", 1)
            samples[name] = float(value)
    return samples


def wait_for_line(path, pattern, process, seconds=60):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        match = re.search(pattern, path.read_text())
        if match:
            return match
        if process.poll() is not None:
            break
        time.sleep(0.2)
    fail(f"no '{pattern}' in {path}: {path.read_text()[-2000:]}")


def frames_in_files(rrdcli, folder):
    files = sorted(str(p) for p in pathlib.Path(folder).rglob("*.rrd0.gz"))
    if not files:
        return 0, 0
    info = subprocess.run([rrdcli, "info", "--json", *files], capture_output=True, text=True)
    if info.returncode != 0:
        fail(f"minute files that do not read cleanly: {info.stderr[-2000:]}")
    return sum(json.loads(line)["frames"] for line in info.stdout.splitlines()), len(files)


def counts(samples):
    names = ["frames_received", "frames_analysed", "frames_dropped", "frames_recorded",
             "minute_files_written", "minute_files_alarm", "minute_files_deleted",
             "stream_losses", "stream_reconnects", "alarm_script_runs",
             "alarm_script_failures", "record_errors"]
    lines = [f"  {name + '_total':36} {samples.get(f'rrdcli_watch_{name}_total', 0):.0f}"
             for name in names]
    alarms = {k: v for k, v in samples.items()
              if k.startswith("rrdcli_watch_alarm_events_total") and v > 0}
    lines += [f"  {name:36} {value:.0f}" for name, value in sorted(alarms.items())]
    return "\n".join(lines)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = pathlib.Path(sys.argv[1])
    minutes = float(sys.argv[2] if len(sys.argv) > 2 and sys.argv[2] else
                    os.environ.get("SOAK_MINUTES", "30"))
    rrdcli = str(build / "bin" / "rrdcli")
    frames = int(minutes * 60 * RATE)
    warm_up = min(120.0, minutes * 60 * 0.2)
    work = pathlib.Path(tempfile.mkdtemp(prefix="soak-"))
    script = work / "alarm.sh"
    script.write_text("#!/bin/sh\necho alarm >> \"$(dirname \"$0\")/alarms\"\n")
    script.chmod(0o755)
    print(f"soak: {minutes:g} min at {RATE} frames/s ({frames} frames) in {work}")

    serve_out = work / "serve.out"
    serve = subprocess.Popen([rrdcli, "serve", "--port", "0", "--scenario", "mixed",
                              "--process-params", "--frames", str(frames), "--rate", str(RATE)],
                             stdout=open(serve_out, "w"), stderr=subprocess.STDOUT)
    address = wait_for_line(serve_out, r"serving on (\S+)", serve).group(1)
    log, errors = work / "watch.csv", work / "watch.err"
    watch = subprocess.Popen([rrdcli, "watch", "--process-params", "--record", str(work / "rec"),
                              "--alarm-script", str(script), "--metrics", "127.0.0.1:0", address],
                             stdout=open(log, "w"), stderr=open(errors, "w"))
    port = wait_for_line(errors, r"metrics at http://127\.0\.0\.1:(\d+)/", watch).group(1)
    start = time.monotonic()
    rss_start = None
    print(f"{'s':>6} {'received':>9} {'analysed':>9} {'recorded':>9} {'lag':>5} {'RSS MiB':>8}")
    while serve.poll() is None:
        time.sleep(min(SAMPLE_SECONDS, max(1.0, warm_up - (time.monotonic() - start)))
                   if rss_start is None else SAMPLE_SECONDS)
        if watch.poll() is not None:
            fail(f"watch ended early with {watch.returncode}: {errors.read_text()[-2000:]}")
        elapsed = time.monotonic() - start
        if rss_start is None and elapsed >= warm_up:
            rss_start = rss_mib(watch.pid)
        m = scrape(port)
        print(f"{elapsed:6.0f} {m['rrdcli_watch_frames_received_total']:9.0f} "
              f"{m['rrdcli_watch_frames_analysed_total']:9.0f} "
              f"{m['rrdcli_watch_frames_recorded_total']:9.0f} "
              f"{m['rrdcli_watch_recorder_lag_frames']:5.0f} {rss_mib(watch.pid):8.1f}",
              flush=True)
    # The radar has sent its last frame and hung up: watch catches up, then stops.
    deadline = time.monotonic() + 120
    while True:
        m = scrape(port)
        settled = (m["rrdcli_watch_stream_losses_total"] >= 1 and
                   m["rrdcli_watch_frames_analysed_total"] == m["rrdcli_watch_frames_received_total"]
                   and m["rrdcli_watch_recorder_lag_frames"] == 0)
        if settled or time.monotonic() > deadline:
            break
        time.sleep(1)
    rss_end = rss_mib(watch.pid)
    watch.send_signal(signal.SIGTERM)
    if watch.wait(timeout=120) != 0:
        fail(f"watch ended with {watch.returncode}: {errors.read_text()[-2000:]}")
    recorded, files = frames_in_files(rrdcli, work / "rec")

    if rss_start is None:
        rss_start = rss_end
    growth = rss_end - rss_start
    print(f"\nRSS of watch: {rss_start:.1f} MiB after the warm-up of {warm_up:.0f} s, "
          f"{rss_end:.1f} MiB at the end ({growth:+.1f} MiB)")
    print(f"frames sent {frames}, received {m['rrdcli_watch_frames_received_total']:.0f}, "
          f"analysed {m['rrdcli_watch_frames_analysed_total']:.0f}, "
          f"dropped {m['rrdcli_watch_frames_dropped_total']:.0f}, "
          f"recorded {recorded} in {files} minute files")
    print("metrics at the end (the minute file being written completes only at the stop):")
    print(counts(m))
    unexpected = [line for line in errors.read_text().splitlines()
                  if "metrics at" not in line and "stream lost" not in line
                  and "Alarm script" not in line]
    problems = []
    if m["rrdcli_watch_frames_received_total"] != frames:
        problems.append("frames were lost between serve and watch")
    if m["rrdcli_watch_frames_analysed_total"] != frames:
        problems.append("frames were not analysed")
    if recorded != frames:
        problems.append("the minute files do not hold every frame")
    if growth > max(ALLOWED_GROWTH_MIB, ALLOWED_GROWTH_SHARE * rss_start):
        problems.append(f"memory grew by {growth:.1f} MiB")
    if unexpected:
        problems.append("watch reported: " + " | ".join(unexpected[:5]))
    serve.wait()
    if problems:
        fail("; ".join(problems) + f" (files kept in {work})")
    subprocess.run(["rm", "-rf", str(work)])
    print("soak: passed")


if __name__ == "__main__":
    main()
