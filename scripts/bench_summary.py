#!/usr/bin/env python3
"""Turns the figure lines the benchmark programs append into bench-summary.json and a table."""
import json
import sys

# The ratio each figure is held to, by the figure's name (figures not listed have none).
TARGETS = {
    "convert .rrd0.gz --average 5 to .rrd0.gz": "<= 2.5",
    "convert --average 5 to .rrd0.gz, busier thread": "<= 2.5",
    "rrdcli watch .rrd0.gz, all detectors": "<= 1",
    "rrdcli watch .rrd0.gz, CPU time": "<= 1",
    "rrdcli analyze --log .rrd0.gz, all detectors": "<= 1",
    "rrdcli analyze --log .rrd0.gz, CPU time": "<= 1",
}

def main(lines_path, out_path):
    entries = []
    try:
        with open(lines_path) as f:
            entries = [json.loads(line) for line in f if line.strip()]
    except FileNotFoundError:
        pass
    for e in entries:
        e.setdefault("target", TARGETS.get(e["name"], ""))
    with open(out_path, "w") as f:
        json.dump(entries, f, indent=2)
    cols = ("name", "value", "unit", "baseline", "baseline_value", "ratio", "target")
    rows = [[str(round(e[c], 3)) if isinstance(e[c], float) else str(e[c]) for c in cols] for e in entries]
    widths = [max([len(c)] + [len(r[i]) for r in rows]) for i, c in enumerate(cols)]
    print()
    print("  ".join(c.ljust(w) for c, w in zip(cols, widths)))
    for r in rows:
        print("  ".join(v.ljust(w) for v, w in zip(r, widths)))
    print(f"\nwritten to {out_path}")

if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
