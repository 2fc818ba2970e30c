/*
 * The frame record: sizes, allocation, the frame check and its texts, the time of a frame
 * and the range-gate masks of the process-parameter section.
 */
#include "rrd_internal.h"

#include <stdlib.h>

/* Largest count whose frame size (records plus the 4100-byte RRD0 header) fits in int32. */
#define RRD_MAX_COUNT ((INT32_MAX - RRD_RANGEGATE_SIZE) / RRD_RANGEGATE_SIZE)

static int32_t header_size(uint32_t format)
{
    switch (format) {
    case RRD_FORMAT_STAMPED:
        return RRD_STAMP_SIZE;
    case RRD_FORMAT_RRD0:
        return 4 + RRD_INFO_SIZE;
    default:
        return 0;
    }
}

int32_t rrd_frame_size(uint32_t format, int32_t count)
{
    if (count < 0 || count > RRD_MAX_COUNT)
        return -1;
    return count * RRD_RANGEGATE_SIZE + header_size(format);
}

int rrd_frame_reserve(rrd_frame *frame, int32_t bytes, int keep)
{
    unsigned char *grown;
    if (!frame || frame->borrowed || bytes < 0)
        return -1;
    if (bytes <= frame->capacity)
        return 0;
    grown = keep ? realloc(frame->data, (size_t)bytes) : malloc((size_t)bytes);
    if (!grown)
        return -1;
    if (!keep)
        free(frame->data);
    /* Pointers into the buffer move with it. */
    if (frame->rangegates)
        frame->rangegates = grown + (frame->rangegates - frame->data);
    if (frame->info)
        frame->info = grown + (frame->info - frame->data);
    frame->data = grown;
    frame->capacity = bytes;
    return 0;
}

int rrd_frame_resize(rrd_frame *frame, uint32_t format, int32_t count)
{
    int32_t size;
    if (!frame || frame->borrowed || format > RRD_FORMAT_RRD0)
        return -1;
    if (format == RRD_FORMAT_NONE)
        return count == 0 ? 0 : -1;
    size = rrd_frame_size(format, count);
    if (size < 0)
        return -1;
    if (size > frame->capacity) {
        free(frame->data);
        frame->data = NULL;
        frame->rangegates = NULL;
        frame->info = NULL;
        frame->size = 0;
        frame->capacity = 0;
        frame->data = malloc((size_t)size);
        if (!frame->data)
            return -1;
        frame->capacity = size;
    }
    frame->size = size;
    frame->format = format;
    frame->count = count;
    if (count > frame->max_count)
        frame->max_count = count;
    if (format == RRD_FORMAT_RRD0) {
        rrd_put_u32(frame->data, RRD_TAG);
        frame->info = frame->data + 4;
    } else {
        /* Formats 1 and 2 carry no rrd_info; a stale pointer would outlive a regrowth. */
        frame->info = NULL;
    }
    frame->rangegates = frame->data ? frame->data + header_size(format) : NULL;
    return 0;
}

rrd_frame *rrd_frame_new(uint32_t format, int32_t count)
{
    rrd_frame *frame;
    if (format > RRD_FORMAT_RRD0 || (format == RRD_FORMAT_NONE && count != 0))
        return NULL;
    frame = calloc(1, sizeof *frame);
    if (!frame)
        return NULL;
    if (rrd_frame_resize(frame, format, count) != 0) {
        rrd_frame_free(frame);
        return NULL;
    }
    if (frame->size > 0)
        memset(frame->data, 0, (size_t)frame->size);
    if (format == RRD_FORMAT_RRD0)
        rrd_put_u32(frame->data, RRD_TAG);
    return frame;
}

rrd_frame *rrd_frame_copy(const rrd_frame *frame)
{
    rrd_frame *copy;
    if (!frame)
        return NULL;
    copy = rrd_frame_new(frame->format, frame->count);
    if (!copy)
        return NULL;
    if (copy->size > 0 && frame->data)
        memcpy(copy->data, frame->data, (size_t)copy->size);
    copy->number = frame->number;
    return copy;
}

void rrd_frame_free(rrd_frame *frame)
{
    if (!frame)
        return;
    if (!frame->borrowed)
        free(frame->data);
    free(frame);
}

unsigned char *rrd_frame_rangegate(const rrd_frame *frame, int32_t index)
{
    if (!frame || !frame->rangegates || index < 0 || index >= frame->count)
        return NULL;
    return frame->rangegates + (size_t)index * RRD_RANGEGATE_SIZE;
}

unsigned char *rrd_frame_info(const rrd_frame *frame)
{
    return frame ? frame->info : NULL;
}

int32_t rrd_frame_rangegates(const rrd_frame *frame)
{
    return frame ? frame->count : 0;
}

uint32_t rrd_frame_format(const rrd_frame *frame)
{
    return frame ? frame->format : RRD_FORMAT_NONE;
}

int64_t rrd_frame_time(const rrd_frame *frame)
{
    const unsigned char *stamp = NULL;
    if (!frame)
        return 0;
    if (frame->format == RRD_FORMAT_RRD0)
        stamp = frame->info;
    else if (frame->format == RRD_FORMAT_STAMPED && frame->size >= RRD_STAMP_SIZE)
        stamp = frame->data;
    if (!stamp)
        return 0;
    return (int64_t)rrd_get_s32(stamp) * 1000000 + rrd_get_s32(stamp + 4);
}

int rrd_frame_check(const rrd_frame *frame)
{
    int32_t i;
    if (!frame || frame->count < 0 || (frame->count > 0 && !frame->rangegates))
        return RRD_FRAME_BAD_NUMBERING;
    for (i = 0; i < frame->count; ++i) {
        if (rrd_get_s32(frame->rangegates + (size_t)i * RRD_RANGEGATE_SIZE) != i)
            return RRD_FRAME_BAD_NUMBERING;
    }
    if (frame->info) {
        uint8_t antenna = frame->info[RRD_INFO_ANTENNA];
        if (rrd_get_u16(frame->info + RRD_INFO_RANGEGATES) != frame->count)
            return RRD_FRAME_COUNT_MISMATCH;
        if (antenna != 'A' && antenna != 'B')
            return RRD_FRAME_BAD_ANTENNA;
    }
    return RRD_FRAME_OK;
}

const char *rrd_frame_strerror(int code)
{
    switch (code) {
    case RRD_FRAME_OK:
        return "no error";
    case RRD_FRAME_BAD_NUMBERING:
        return "rangegate numbers not correctly numbered";
    case RRD_FRAME_COUNT_MISMATCH:
        return "detected amount of rangegate do not match rangegates of current frame";
    case RRD_FRAME_BAD_ANTENNA:
        return "rrd frame antenna not 'A' and not 'B'";
    case RRD_FRAME_NO_RANGEGATES:
        return "frame has no rangegates";
    case RRD_FRAME_BAD_TAG:
        return "frame does not start with the tag RRD0";
    default:
        return "unkown rrd frame errno";
    }
}

int rrd_mask_decode(const unsigned char *mask, int *out)
{
    int n = 0;
    int w, p;
    if (!mask || !out)
        return 0;
    for (w = 0; w < 4; ++w) {
        uint32_t word = rrd_get_u32(mask + 4 * w);
        for (p = 0; p < 32; ++p) {
            if (word & (UINT32_C(0x80000000) >> p))
                out[n++] = 32 * w + p;
        }
    }
    return n;
}

void rrd_mask_encode(const int *rangegates, int n, unsigned char *mask)
{
    uint32_t words[4] = {0, 0, 0, 0};
    int i;
    if (!mask)
        return;
    for (i = 0; rangegates && i < n; ++i) {
        int rg = rangegates[i];
        if (rg >= 0 && rg < 128)
            words[rg / 32] |= UINT32_C(0x80000000) >> (rg % 32);
    }
    for (i = 0; i < 4; ++i)
        rrd_put_u32(mask + 4 * i, words[i]);
}
