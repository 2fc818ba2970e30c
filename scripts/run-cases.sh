#!/bin/sh
# Runs `rrdcli analyze` over every reference case and compares its output with the case's
# expected.jsonl. Usage: run-cases.sh RRDCLI CASES_DIR
# Exit status: 0 all cases agree, 1 a case disagrees or fails, 77 the cases are not there.
set -u

if [ $# -ne 2 ]; then
    echo "usage: $0 RRDCLI CASES_DIR" >&2
    exit 2
fi
rrdcli=$1
cases=$2
# Each case runs in its own folder, so a relative program path must be made absolute.
case $rrdcli in
    /*) ;;
    */*) rrdcli=$(pwd)/$rrdcli ;;
esac

if [ ! -f "$cases/compare.py" ]; then
    echo "no reference cases in $cases: skipped"
    exit 77
fi
if ! command -v python3 >/dev/null 2>&1; then
    echo "python3 not found: skipped"
    exit 77
fi

# The case folders may be read-only: outputs go to a folder of our own.
out=$(mktemp -d "${TMPDIR:-/tmp}/rrd-cases.XXXXXX") || exit 1
trap 'rm -rf "$out"' EXIT

status=0
found=0
for dir in "$cases"/*/; do
    [ -f "$dir/expected.jsonl" ] || continue
    found=1
    name=$(basename "$dir")
    # Runs in the case folder so that the names in files.txt resolve; the word splitting of
    # the file list is intended (one name per line, no blanks in the names).
    if ! (cd "$dir" && "$rrdcli" analyze --params params.ini $(cat files.txt)) \
            >"$out/$name.jsonl" 2>"$out/$name.err"; then
        echo "$name: rrdcli analyze failed:"
        cat "$out/$name.err"
        status=1
        continue
    fi
    printf '%s: ' "$name"
    python3 "$cases/compare.py" "$dir/expected.jsonl" "$out/$name.jsonl" || status=1
done

if [ $found -eq 0 ]; then
    echo "no reference cases in $cases: skipped"
    exit 77
fi
exit $status
