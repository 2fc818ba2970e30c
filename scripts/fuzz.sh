#!/usr/bin/env bash
# Runs the reader fuzz target for the given number of seconds on a seed corpus of small frames
# in every format, gzip-compressed and zipped (made here once when the corpus is empty).
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-300}
corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
if [ -z "$(ls -A "$corpus")" ]; then
  python3 - "$corpus" <<'PY'
import gzip, io, random, struct, sys, zipfile, zlib
out = sys.argv[1]
rnd = random.Random(1)
def record(n):
    return struct.pack('<i', n) + b''.join(struct.pack('<I', rnd.randrange(1 << 20)) for _ in range(1024))
def info(count):
    block = bytearray(4096)
    struct.pack_into('<iiH', block, 0, 1706767200, 0, count)
    block[42:49] = b'Station'
    block[80] = ord('A')
    return bytes(block)
raw = b''.join(record(0) + record(1) for _ in range(2))
stamped = b''.join(struct.pack('<iiH', 1706767200 + i, 0, 1) + record(0) for i in range(3))
rrd0 = b''.join(b'RRD0' + info(1) + record(0) for _ in range(2))
def member(payload, name=b'', extra=b'', comment=b'', check=False):
    flags = (2 if check else 0) | (4 if extra else 0) | (8 if name else 0) | (16 if comment else 0)
    head = b'\x1f\x8b\x08' + bytes([flags]) + bytes(4) + b'\x00\xff'
    if extra:
        head += struct.pack('<H', len(extra)) + extra
    for text in (name, comment):
        if text:
            head += text + b'\x00'
    if check:
        head += struct.pack('<H', zlib.crc32(head) & 0xffff)
    deflate = zlib.compressobj(6, zlib.DEFLATED, -15)
    body = deflate.compress(payload) + deflate.flush()
    return head + body + struct.pack('<II', zlib.crc32(payload), len(payload) & 0xffffffff)
seeds = {'raw.rrd': raw, 'stamped.rrd': stamped, 'rrd0.rrd0': rrd0,
         'raw.rrd.gz': gzip.compress(raw), 'rrd0.rrd0.gz': gzip.compress(rrd0),
         'members.rrd0.gz': member(rrd0[:5000], name=b'first.rrd0')
                            + member(rrd0[5000:], extra=b'AB\x02\x00xy', comment=b'station',
                                     check=True)}
buf = io.BytesIO()
with zipfile.ZipFile(buf, 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('a.rrd0', rrd0[:5000])
    z.writestr('b.rrd0', rrd0[5000:])
seeds['two.zip'] = buf.getvalue()
for name, data in seeds.items():
    with open(f'{out}/{name}', 'wb') as f:
        f.write(data)
PY
fi
"$build/bin/fuzz_rrd_read" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=20000 "$corpus"
