#!/usr/bin/env bash
# Runs the fuzz targets, each for the given number of seconds, on a seed corpus of its own
# (made here once when the corpus is empty): fuzz_rrd_read on small frames in every format,
# gzip-compressed and zipped; fuzz_params_read on parameter files, whole, sparse and with the
# slips operators make. Usage: fuzz.sh [BUILD] [SECONDS] [TARGET]; without TARGET both run.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-300}
target=${3:-}

seed_rrd_read() {
  python3 - "$1" <<'PY'
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
}

seed_params_read() {
  python3 - "$1" <<'PY'
import sys
out = sys.argv[1]
general = ('[params]\nbgLength=10\nbgDelay=10\navgTime=1\navgSpectrum=0\ntoWardSearch=10\n'
           'liveEnable=true\nliveChBegin=100\nliveChLast=100\nliveVelocityChBegin=20\n'
           'liveVelocityLowLimit=50\nliveVelocitySource=0\nliveEnableChannel0=true\n'
           'liveEnableActivity=true\nliveEnableMainVelocity=true\nliveEnableMaxVelocity=true\n'
           'liveEnableMedianVelocity=true\n')
def avalanche(k):
    return (f'[av0{k}]\nenable=true\nlengthMin=8\nperColMin=2\nperRowMin=2\nborderLeft=10\n'
            'borderRight=10\nrangegatesToIgnore="0,1"\nrangegatesSpecial=4 5\nRGnoAlarm=\n'
            'sumPerRowMin=280\nsumSumMin=900\nthreshold=2.4\nthresholdOff=0\n'
            'enablePreAlarmSameRgs=false\n')
rain = ('[rain0]\nenable=true\nchBegin=0\nchWidth=1024\nbgFrameDelay=1000\navgTime=1\n'
        'avgSpectrum=0\nrangegatesToIgnore=0\nthresholdAlarmOn=1.1\nthresholdAlarmOff=1\n')
water = ('[waterlevel0]\nenable=true\nchBegin=100\nchWidth=200\nrangegate=2\nsamples=80\n'
         'thresholdAlarmOn=5000\nthresholdAlarmOff=4000\nthresholdIncidentOn=3000\n'
         'thresholdIncidentOff=2000.5\n')
seeds = {
    'whole.ini': general + ''.join(avalanche(k) for k in range(3)) + rain + water,
    'sparse.ini': '[params]\nbgLength=5\n[av00]\nenable=true\n',
    'slips.ini': ('[av00]\nthreshold=2,4\nsumSumMin=nan\nenable=yes\ntreshold=3\n[rain1]\n'
                  'enable=true\n[params]\nbgLength=5000\nliveChLast=-1\n stray line\n'),
    'escapes.ini': ('[params]\r\nbgLength = "7" ; comment\r\n[av01]\r\nRGnoAlarm=1, 2 ,3\r\n'
                    'threshold=@Variant(\\0\\0\\0\\x87@\\x19\\x99\\x9a)\r\n'
                    'rangegatesSpecial=@ByteArray(1 2)\r\n[%55nknown]\r\nkey\\\\x=1\r\n'),
    'empty.ini': '',
}
for name, text in seeds.items():
    with open(f'{out}/{name}', 'w', newline='') as f:
        f.write(text)
PY
}

# Inputs up to a few frames for the data reader, up to twice a whole parameter file for the
# parameter-file reader.
run() {
  local name=$1 max_len=$2
  local corpus="$build/fuzz-corpus/$name"
  mkdir -p "$corpus"
  if [ -z "$(ls -A "$corpus")" ]; then
    "seed_$name" "$corpus"
  fi
  "$build/bin/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$build/fuzz-$name-" \
    -max_len="$max_len" "$corpus"
}

case $target in
  '') run rrd_read 20000; run params_read 4096 ;;
  fuzz_rrd_read|rrd_read) run rrd_read 20000 ;;
  fuzz_params_read|params_read) run params_read 4096 ;;
  *) echo "fuzz.sh: unknown target '$target' (fuzz_rrd_read or fuzz_params_read)" >&2; exit 2 ;;
esac
