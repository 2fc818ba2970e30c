/*
 * Gzip input through ISA-L's igzip: the members of a gzip source one after the other, zero
 * padding after them, and every damage (a cut, flipped bits, bytes that are not gzip, a file
 * without any byte) reported as a gzip error with its cause, never passed on as data.
 *
 * Each member's header is read here, across as many reads of the source as it needs (a file
 * name or an extra field may be longer than the buffer), and only the deflate data after it
 * goes to igzip, which checks the trailer.
 */
#include "rrd_internal.h"
#include "rrd_testing.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <stdatomic.h>
#include <stdlib.h>

/* Compressed bytes taken from the source at once. */
#define RRD_GZIP_INPUT 65536

/* Header flags (RFC 1952). */
#define GZIP_FHCRC 0x02
#define GZIP_FEXTRA 0x04
#define GZIP_FNAME 0x08
#define GZIP_FCOMMENT 0x10
#define GZIP_RESERVED 0xe0
#define GZIP_FIXED_SIZE 10

/* The parts of a member header in their order; all but the fixed part depend on a flag. */
enum header_part {
    PART_FIXED,
    PART_EXTRA_LENGTH,
    PART_EXTRA,
    PART_NAME,
    PART_COMMENT,
    PART_CHECK,
    PART_DONE
};

struct gzip_header {
    enum header_part part;
    unsigned char flags;
    unsigned char field[GZIP_FIXED_SIZE]; /* the fixed part, the extra length or the check */
    uint32_t have;                        /* bytes of the current part taken */
    uint32_t extra_length;
    uint32_t crc;                         /* of the header bytes so far, for its check */
};

struct rrd_inflater {
    struct inflate_state state;
    struct gzip_header header;
    int in_member;                  /* a gzip member has begun and not ended */
    int64_t members;                /* members completed */
    size_t in_size;
    unsigned char in[];
};

static atomic_size_t input_size = RRD_GZIP_INPUT;

void rrd_set_gzip_input_size(size_t bytes)
{
    atomic_store(&input_size, bytes > 0 ? bytes : RRD_GZIP_INPUT);
}

struct rrd_inflater *rrd_inflater_new(void)
{
    const size_t size = atomic_load(&input_size);
    struct rrd_inflater *z = calloc(1, sizeof *z + size);
    if (z) {
        z->in_size = size;
        isal_inflate_init(&z->state);
    }
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

static void fail(rrd_file *file, const char *where, const char *prefix, const char *text)
{
    char line[sizeof file->message];
    snprintf(line, sizeof line, "%s%s%s%s", where ? where : "", where ? ": " : "", prefix, text);
    rrd_set_own_error(file, line);
}

static void gzip_fail(rrd_file *file, const char *where, const char *text)
{
    fail(file, where, "gzip: ", text);
}

/* 1 when compressed bytes are at hand, 0 at the end of the compressed input, -1 on error. */
static int refill(rrd_file *file, struct rrd_inflater *z, rrd_raw_reader raw)
{
    ssize_t n;
    if (z->state.avail_in > 0)
        return 1;
    n = raw(file, z->in, z->in_size);
    if (n <= 0)
        return (int)n;
    z->state.next_in = z->in;
    z->state.avail_in = (uint32_t)n;
    return 1;
}

/* ---- Member headers --------------------------------------------------------------------- */

static enum header_part next_part(enum header_part part, unsigned flags)
{
    static const unsigned char flag_of[PART_DONE] = {0, GZIP_FEXTRA, GZIP_FEXTRA, GZIP_FNAME,
                                                     GZIP_FCOMMENT, GZIP_FHCRC};
    for (part = part + 1; part < PART_DONE; part = part + 1) {
        if (flags & flag_of[part])
            return part;
    }
    return PART_DONE;
}

/* Takes up to `want` bytes of the input at hand into `to` (or passes over them when `to` is
 * NULL); the header's check sum covers every byte before the check itself. */
static uint32_t take(struct rrd_inflater *z, unsigned char *to, uint32_t want)
{
    struct inflate_state *s = &z->state;
    uint32_t n = want < s->avail_in ? want : s->avail_in;
    if (to)
        memcpy(to, s->next_in, n);
    if (z->header.part != PART_CHECK)
        z->header.crc = crc32_gzip_refl(z->header.crc, s->next_in, n);
    s->next_in += n;
    s->avail_in -= n;
    return n;
}

/* Up to the end of a zero-terminated name or comment. 1 when its end was taken. */
static int take_text(struct rrd_inflater *z)
{
    const unsigned char *end = memchr(z->state.next_in, 0, z->state.avail_in);
    take(z, NULL, end ? (uint32_t)(end - z->state.next_in) + 1 : z->state.avail_in);
    return end != NULL;
}

/* The fixed part of the header: NULL when it is good, else what is wrong. */
static const char *fixed_part_fault(const unsigned char *fixed)
{
    if (fixed[0] != 0x1f || fixed[1] != 0x8b)
        return "not in gzip format";
    if (fixed[2] != 8)
        return "unknown compression method";
    if (fixed[3] & GZIP_RESERVED)
        return "unknown flags in the header";
    return NULL;
}

/* Takes what the input at hand holds of the current header part. 1 = the part is complete,
 * 0 = it needs more input, -1 = the header is damaged (the error is set). */
static int header_step(rrd_file *file, struct rrd_inflater *z, const char *where)
{
    struct gzip_header *h = &z->header;
    const char *fault;
    switch (h->part) {
    case PART_FIXED:
        h->have += take(z, h->field + h->have, GZIP_FIXED_SIZE - h->have);
        if (h->have < GZIP_FIXED_SIZE)
            return 0;
        if ((fault = fixed_part_fault(h->field)) != NULL) {
            gzip_fail(file, where, fault);
            return -1;
        }
        h->flags = h->field[3];
        return 1;
    case PART_EXTRA_LENGTH:
        h->have += take(z, h->field + h->have, 2 - h->have);
        h->extra_length = rrd_get_u16(h->field);
        return h->have == 2;
    case PART_EXTRA:
        h->have += take(z, NULL, h->extra_length - h->have);
        return h->have == h->extra_length;
    case PART_NAME:
    case PART_COMMENT:
        return take_text(z);
    case PART_CHECK:
        h->have += take(z, h->field + h->have, 2 - h->have);
        if (h->have < 2)
            return 0;
        if (rrd_get_u16(h->field) != (h->crc & 0xffff)) {
            gzip_fail(file, where, "header crc error: the header is damaged");
            return -1;
        }
        return 1;
    case PART_DONE:
        break;
    }
    return 1;
}

/* Reads the whole header of the member that begins at the input at hand, then sets igzip up
 * for its deflate data and trailer. 0 or -1. */
static int read_header(rrd_file *file, struct rrd_inflater *z, rrd_raw_reader raw,
                       const char *where)
{
    struct gzip_header *h = &z->header;
    while (h->part != PART_DONE) {
        int rc = refill(file, z, raw);
        if (rc < 0)
            return -1;
        if (rc == 0) {
            gzip_fail(file, where, "unexpected end of the compressed data: the file is cut short");
            return -1;
        }
        while (h->part != PART_DONE && (rc = header_step(file, z, where)) == 1) {
            h->part = next_part(h->part, h->flags);
            h->have = 0;
        }
        if (rc < 0)
            return -1;
    }
    return 0;
}

/* ---- Members ---------------------------------------------------------------------------- */

static void begin_member(struct rrd_inflater *z)
{
    struct inflate_state *s = &z->state;
    uint8_t *next = s->next_in;
    uint32_t avail = s->avail_in;
    isal_inflate_reset(s);
    s->crc_flag = ISAL_GZIP_NO_HDR_VER;
    s->next_in = next;
    s->avail_in = avail;
    memset(&z->header, 0, sizeof z->header);
    z->header.part = PART_FIXED;
    z->in_member = 1;
}

/* Between members: another member, zero padding or the end. 1 = a member starts, 0 = end. */
static int next_member(rrd_file *file, struct rrd_inflater *z, rrd_raw_reader raw, const char *where)
{
    struct inflate_state *s = &z->state;
    int padded = 0;
    for (;;) {
        int more = refill(file, z, raw);
        if (more == 0 && z->members == 0) {
            /* What a writer killed before its first bytes leaves: not a recording of 0 frames. */
            fail(file, where, "", "empty gzip file");
            return -1;
        }
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
        begin_member(z);
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
        if (read_header(file, z, raw, where) != 0)
            return -1;
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
