/*
 * The reading half of the handle: format recognition, frame assembly, counting and seeking.
 */
#include "rrd_internal.h"

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>

/* Room a first frame needs before its format is known: 129 raw records. */
#define RRD_RECOGNITION_BYTES ((RRD_MAX_RANGEGATE_NUMBER + 1) * RRD_RANGEGATE_SIZE)
/* Stamp or tag plus rrd_info: the most a frame header can hold. */
#define RRD_HEADER_MAX (4 + RRD_INFO_SIZE)

/* ---- Bytes ------------------------------------------------------------------------------- */

/* A read that ends inside a frame at the end of input records how much the frame lacks: the
 * rest of this part and `rest` bytes after it. Nothing at all at the start of a frame is the
 * clean end of the input. */
static int read_part(rrd_file *file, unsigned char *buffer, size_t length, int64_t rest)
{
    size_t got = rrd_read_bytes(file, buffer, length);
    if (got == length)
        return 0;
    if (file->at_end && rrd_ok(file) && file->attempt_bytes > 0)
        file->lacking = (int64_t)(length - got) + rest;
    return -1;
}

/* ---- Frames ------------------------------------------------------------------------------ */

/* Puts the held record into slot k (0..128) of a raw frame whose count becomes k + 1. */
static int place_record(rrd_file *file, rrd_frame *frame, int32_t k)
{
    int32_t need = (k + 1) * RRD_RANGEGATE_SIZE;
    if (frame->borrowed) {
        if (frame->format != RRD_FORMAT_RAW || !frame->data || frame->rangegates != frame->data
            || need > frame->capacity)
            return -1;
        frame->count = k + 1;
        frame->size = need;
    } else if (rrd_frame_reserve(frame, need, 1) != 0
               || rrd_frame_resize(frame, RRD_FORMAT_RAW, k + 1) != 0) {
        /* Growing keeps the records gathered so far: losing them would leave stale bytes
         * that might even pass the frame check. */
        file->sys_error = ENOMEM;
        return -1;
    }
    memcpy(frame->rangegates + (size_t)k * RRD_RANGEGATE_SIZE, file->held, RRD_RANGEGATE_SIZE);
    file->rangegates = k + 1;
    return 0;
}

/* The input ended while a raw frame was gathered from its record 0 (`partial` bytes of a
 * further record arrived). The frame is whole unless a record was cut or an earlier frame
 * had more records. */
static int raw_input_ended(rrd_file *file, int32_t gathered, size_t partial)
{
    int32_t records = gathered + (partial ? 1 : 0);
    int64_t lack = partial ? RRD_RANGEGATE_SIZE - (int64_t)partial : 0;
    if (!file->at_end || !rrd_ok(file) || records == 0)
        return -1; /* a time-out, a stop, an error, or the clean end between frames */
    if (file->last_raw_count > records)
        lack += (int64_t)(file->last_raw_count - records) * RRD_RANGEGATE_SIZE;
    if (lack == 0)
        return 0;
    file->lacking = lack;
    return -1;
}

/* A raw frame whose numbers leave the run 0, 1, 2, ...: the rest of its records are passed
 * over up to the next record 0, where the next frame begins. */
static int skip_misnumbered(rrd_file *file)
{
    for (;;) {
        if (rrd_read_bytes(file, file->held, RRD_RANGEGATE_SIZE) != RRD_RANGEGATE_SIZE) {
            if (file->at_end && rrd_ok(file))
                file->frame_error = RRD_FRAME_BAD_NUMBERING;
            return -1;
        }
        if (rrd_get_s32(file->held) == 0) {
            file->holding = 1;
            file->frame_error = RRD_FRAME_BAD_NUMBERING;
            return -1;
        }
    }
}

/* Gathers raw records until a record 0 opens the next frame. `gathered` counts the records
 * already in the frame (1 for the first frame, whose record 0 came with recognition). Every
 * record must carry the next number: a gap, a repeat or a step back is a frame error. */
static int read_raw(rrd_file *file, rrd_frame *frame, int32_t gathered)
{
    for (;;) {
        int32_t k;
        if (!file->holding) {
            size_t got = rrd_read_bytes(file, file->held, RRD_RANGEGATE_SIZE);
            if (got != RRD_RANGEGATE_SIZE)
                return raw_input_ended(file, gathered, got);
        }
        k = rrd_get_s32(file->held);
        if (k == 0 && gathered > 0) {
            file->holding = 1;
            file->last_raw_count = frame->count;
            return 0;
        }
        file->holding = 0;
        if (k != gathered || k > RRD_MAX_RANGEGATE_NUMBER)
            return skip_misnumbered(file);
        if (place_record(file, frame, k) != 0)
            return -1;
        ++gathered;
    }
}

/* Reads the `count` records of a first frame after its header (`already` bytes of them are
 * in place), growing the buffer with the bytes that actually arrive: a header is untrusted and
 * must not size a large allocation by itself. Later frames have the proven size and are read
 * in one piece. */
static int read_first_records(rrd_file *file, rrd_frame *frame, size_t header_size, int32_t count,
                              size_t already)
{
    const size_t total = (size_t)count * RRD_RANGEGATE_SIZE;
    size_t have = already;
    int32_t records = 0;
    while (have < total) {
        int32_t want = records < RRD_MAX_RANGEGATE_NUMBER ? RRD_MAX_RANGEGATE_NUMBER : 2 * records;
        size_t want_bytes;
        if (want > count)
            want = count;
        want_bytes = (size_t)want * RRD_RANGEGATE_SIZE;
        if (rrd_frame_reserve(frame, (int32_t)(header_size + want_bytes), 1) != 0) {
            file->sys_error = ENOMEM;
            return -1;
        }
        if (want_bytes > have
            && read_part(file, frame->data + header_size + have, want_bytes - have,
                         (int64_t)(total - want_bytes)) != 0)
            return -1;
        have = want_bytes > have ? want_bytes : have;
        records = want;
    }
    return 0;
}

/* First frame of format 2 or 3 (`have` bytes of it are in `header`): the header is kept apart
 * from the frame buffer so that growing the buffer for many range gates cannot lose the stamp
 * or rrd_info. */
static int start_headed(rrd_file *file, rrd_frame *frame, uint32_t format, unsigned char *header,
                        size_t have)
{
    size_t header_size = format == RRD_FORMAT_RRD0 ? RRD_HEADER_MAX : RRD_STAMP_SIZE;
    const unsigned char *count_field =
        format == RRD_FORMAT_RRD0 ? header + 4 + RRD_INFO_RANGEGATES : header + 8;
    size_t already = have > header_size ? have - header_size : 0;
    int32_t count;

    if (have < header_size && read_part(file, header + have, header_size - have, 0) != 0)
        return -1;
    count = rrd_get_u16(count_field);
    file->format = format;
    file->rangegates = count;
    /* The buffer holds 129 records, more than a header and a few bytes. */
    memcpy(frame->data + header_size, header + header_size, already);
    if (read_first_records(file, frame, header_size, count, already) != 0)
        return -1;
    /* The buffer holds the whole frame by now, so this only sets the fields. */
    if (rrd_frame_resize(frame, format, count) != 0) {
        file->sys_error = ENOMEM;
        return -1;
    }
    memcpy(frame->data, header, header_size);
    return 0;
}

static int start_raw(rrd_file *file, rrd_frame *frame, const unsigned char *bytes, size_t have)
{
    /* The buffer already holds 129 records, so this does not allocate. */
    if (rrd_frame_resize(frame, RRD_FORMAT_RAW, 1) != 0) {
        file->sys_error = ENOMEM;
        return -1;
    }
    memcpy(frame->data, bytes, have);
    if (read_part(file, frame->data + have, RRD_RANGEGATE_SIZE - have, 0) != 0)
        return -1;
    file->format = RRD_FORMAT_RAW;
    file->rangegates = 1;
    return read_raw(file, frame, 1);
}

/* A stamped frame of time 0 (a raw frame written to a stamped output) begins with zeros like
 * a raw record 0; zero microseconds, a range-gate count and a first record numbered 0 right
 * after the stamp tell it apart. */
static int is_timeless_stamp(const unsigned char *h)
{
    return rrd_get_u32(h) == 0 && rrd_get_u32(h + 4) == 0 && rrd_get_u16(h + 8) > 0
           && rrd_get_u32(h + RRD_STAMP_SIZE) == 0;
}

static int recognise(rrd_file *file, rrd_frame *frame)
{
    unsigned char header[RRD_HEADER_MAX];
    uint32_t v;

    if (frame->borrowed)
        return -1;
    if (rrd_frame_reserve(frame, RRD_RECOGNITION_BYTES, 0) != 0) {
        file->sys_error = ENOMEM;
        return -1;
    }
    if (frame->max_count < RRD_MAX_RANGEGATE_NUMBER)
        frame->max_count = RRD_MAX_RANGEGATE_NUMBER;
    rrd_put_u32(frame->data, RRD_TAG);
    frame->size = 0;
    frame->format = RRD_FORMAT_NONE;
    frame->count = 0;
    frame->info = NULL;
    frame->rangegates = NULL;

    if (read_part(file, header, 4, 0) != 0)
        return -1;
    v = rrd_get_u32(header);
    if (v == RRD_TAG)
        return start_headed(file, frame, RRD_FORMAT_RRD0, header, 4);
    if (v > RRD_MAX_RANGEGATE_NUMBER)
        return start_headed(file, frame, RRD_FORMAT_STAMPED, header, 4);
    if (v != 0)
        return start_raw(file, frame, header, 4);
    if (read_part(file, header + 4, RRD_STAMP_SIZE, 0) != 0)
        return -1;
    if (is_timeless_stamp(header))
        return start_headed(file, frame, RRD_FORMAT_STAMPED, header, RRD_STAMP_SIZE + 4);
    return start_raw(file, frame, header, RRD_STAMP_SIZE + 4);
}

/* Later frames of formats 2 and 3: one read of the whole frame straight into the buffer. */
static int read_whole(rrd_file *file, rrd_frame *frame)
{
    int32_t size = rrd_frame_size(file->format, file->rangegates);
    if (frame->borrowed) {
        if (frame->format != file->format || frame->count != file->rangegates || !frame->data
            || frame->capacity < size) {
            file->sys_error = EINVAL;
            return -1;
        }
    } else if (rrd_frame_resize(frame, file->format, file->rangegates) != 0) {
        file->sys_error = ENOMEM;
        return -1;
    }
    return read_part(file, frame->data, (size_t)size, 0);
}

/* The checks of every frame: the frame check, and that later frames keep the first one's
 * tag and range-gate count. */
static int check_frame(const rrd_file *file, const rrd_frame *frame, int first)
{
    int code;
    if (frame->count == 0)
        return RRD_FRAME_NO_RANGEGATES;
    code = rrd_frame_check(frame);
    if (code != RRD_FRAME_OK || first)
        return code;
    if (file->format == RRD_FORMAT_RRD0 && rrd_get_u32(frame->data) != RRD_TAG)
        return RRD_FRAME_BAD_TAG;
    if (file->format == RRD_FORMAT_STAMPED && rrd_get_u16(frame->data + 8) != file->rangegates)
        return RRD_FRAME_COUNT_MISMATCH;
    return RRD_FRAME_OK;
}

static int interrupted(const rrd_file *file)
{
    return file->sys_error == EAGAIN || file->sys_error == EWOULDBLOCK
           || file->sys_error == EINTR;
}

int rrd_read_frame(rrd_file *file, rrd_frame *frame)
{
    const uint32_t format = file ? file->format : 0;
    const int32_t rangegates = file ? file->rangegates : 0;
    int rc;
    if (!file || !frame)
        return -1;
    if (!rrd_is_open(file))
        return -1; /* keeps the cause of the failed open */
    frame->number = file->counter++;
    file->sys_error = 0;
    file->lookup_error = 0;
    file->frame_error = 0; /* each frame is judged on its own */
    rrd_begin_frame_bytes(file);
    if (format == RRD_FORMAT_NONE)
        rc = recognise(file, frame);
    else if (format == RRD_FORMAT_RAW)
        rc = read_raw(file, frame, 0);
    else
        rc = read_whole(file, frame);
    if (rc != 0) {
        if (interrupted(file) && file->journaling) {
            /* A time-out or a stop inside a frame: nothing is lost, the next read resumes. */
            rrd_give_back_frame_bytes(file);
            file->format = format;
            file->rangegates = rangegates;
            --file->counter;
        }
        return -1;
    }
    file->frame_error = check_frame(file, frame, format == RRD_FORMAT_NONE);
    return file->frame_error ? -1 : 0;
}

/* ---- Counting and seeking ---------------------------------------------------------------- */

static int32_t handle_frame_size(const rrd_file *file)
{
    return file->format == RRD_FORMAT_NONE ? 0 : rrd_frame_size(file->format, file->rangegates);
}

int rrd_frame_total(rrd_file *file, int64_t *count)
{
    struct stat st;
    int32_t size;
    if (!file || !count || !file->file || file->unseekable)
        return -1;
    if (file->writing)
        fflush(file->file);
    if (fstat(fileno(file->file), &st) != 0) {
        file->sys_error = errno;
        return -1;
    }
    size = handle_frame_size(file);
    if (size <= 0)
        return -1;
    *count = (int64_t)st.st_size / size;
    return 0;
}

int rrd_seek(rrd_file *file, int64_t index)
{
    int32_t size;
    if (!file || !file->file || file->unseekable)
        return -1;
    size = handle_frame_size(file);
    if (size <= 0)
        return -1;
    file->sys_error = 0;
    file->lookup_error = 0;
    if (index < -1 || index > INT64_MAX / size) {
        file->sys_error = EINVAL;
        return -1;
    }
    if (fseeko(file->file, index == -1 ? 0 : (off_t)(index * size),
               index == -1 ? SEEK_END : SEEK_SET) != 0) {
        file->sys_error = errno;
        return -1;
    }
    /* A record held from the old position does not belong to the new one. */
    file->holding = 0;
    if (index >= 0) {
        file->counter = (uint32_t)index;
        file->at_end = 0;
        file->lacking = 0;
    }
    return 0;
}
