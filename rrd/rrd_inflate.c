/*
 * Gzip input through ISA-L's igzip: the members of a gzip source one after the other, zero
 * padding after them, and every damage (a cut, flipped bits, bytes that are not gzip) reported
 * as a gzip error with its cause, never passed on as data.
 */
#include "rrd_internal.h"

#include <isa-l/igzip_lib.h>

#include <stdlib.h>

/* Compressed bytes taken from the source at once. */
#define RRD_GZIP_INPUT 65536

struct rrd_inflater {
    struct inflate_state state;
    int in_member;                  /* a gzip member has begun and not ended */
    int64_t members;                /* members completed */
    unsigned char in[RRD_GZIP_INPUT];
};

struct rrd_inflater *rrd_inflater_new(void)
{
    struct rrd_inflater *z = calloc(1, sizeof *z);
    if (z)
        isal_inflate_init(&z->state);
    return z;
}

static const char *inflate_text(int rc)
{
    switch (rc) {
    case ISAL_INVALID_BLOCK:
        return "invalid compressed block";
    case ISAL_INVALID_SYMBOL:
        return "invalid compressed data (bad code)";
    case ISAL_INVALID_LOOKBACK:
        return "invalid compressed data (distance too far back)";
    case ISAL_INVALID_WRAPPER:
        return "not in gzip format";
    case ISAL_UNSUPPORTED_METHOD:
        return "unknown compression method";
    case ISAL_INCORRECT_CHECKSUM:
        return "crc or length error: the data is damaged";
    default:
        return "decompression failed";
    }
}

static void gzip_fail(rrd_file *file, const char *where, const char *text)
{
    char line[sizeof file->message];
    snprintf(line, sizeof line, "%s%sgzip: %s", where ? where : "", where ? ": " : "", text);
    rrd_set_own_error(file, line);
}

/* 1 when compressed bytes are at hand, 0 at the end of the compressed input, -1 on error. */
static int refill(rrd_file *file, struct rrd_inflater *z, rrd_raw_reader raw)
{
    ssize_t n;
    if (z->state.avail_in > 0)
        return 1;
    n = raw(file, z->in, sizeof z->in);
    if (n <= 0)
        return (int)n;
    z->state.next_in = z->in;
    z->state.avail_in = (uint32_t)n;
    return 1;
}

/* Between members: another member, zero padding or the end. 1 = a member starts, 0 = end. */
static int next_member(rrd_file *file, struct rrd_inflater *z, rrd_raw_reader raw, const char *where)
{
    struct inflate_state *s = &z->state;
    int padded = 0;
    for (;;) {
        int more = refill(file, z, raw);
        uint8_t *next;
        uint32_t avail;
        if (more <= 0)
            return more;
        while (z->members > 0 && s->avail_in > 0 && *s->next_in == 0) {
            ++s->next_in;
            --s->avail_in;
            padded = 1;
        }
        if (s->avail_in == 0)
            continue;
        if (z->members > 0 && (padded || *s->next_in != 0x1f)) {
            gzip_fail(file, where, "bytes after the compressed data are not gzip");
            return -1;
        }
        next = s->next_in;
        avail = s->avail_in;
        isal_inflate_reset(s);
        s->crc_flag = ISAL_GZIP;
        s->next_in = next;
        s->avail_in = avail;
        z->in_member = 1;
        return 1;
    }
}

/* A source that ends inside a member is damaged, not ended. */
ssize_t rrd_inflate(rrd_file *file, struct rrd_inflater *z, rrd_raw_reader raw,
                    unsigned char *out, size_t length, const char *where)
{
    struct inflate_state *s = &z->state;
    if (length > UINT32_MAX)
        length = UINT32_MAX;
    for (;;) {
        uint32_t avail_before;
        size_t produced;
        int rc;
        if (!z->in_member) {
            rc = next_member(file, z, raw, where);
            if (rc <= 0)
                return rc;
        }
        rc = refill(file, z, raw);
        if (rc < 0)
            return -1;
        if (rc == 0) {
            gzip_fail(file, where, "unexpected end of the compressed data: the file is cut short");
            return -1;
        }
        avail_before = s->avail_in;
        s->next_out = out;
        s->avail_out = (uint32_t)length;
        rc = isal_inflate(s);
        if (rc < 0) {
            gzip_fail(file, where, inflate_text(rc));
            return -1;
        }
        produced = length - s->avail_out;
        if (s->block_state == ISAL_BLOCK_FINISH) {
            z->in_member = 0;
            ++z->members;
        } else if (produced == 0 && s->avail_in == avail_before && avail_before > 0) {
            /* No progress on input at hand would loop for ever. */
            gzip_fail(file, where, inflate_text(rc));
            return -1;
        }
        if (produced > 0)
            return (ssize_t)produced;
    }
}
