/*
 * The writing half of the handle: plain files, gzip files (compressed by ISA-L's igzip,
 * rrd_deflate.c), standard output and sockets, and frames converted to the handle's format.
 */
#include "rrd_internal.h"

#include <errno.h>
#include <stdlib.h>
#include <sys/socket.h>

/* A gzip file: one standard gzip member, compressed by ISA-L as the frames arrive. */
static void open_gzip_writer(rrd_file *file, const char *path)
{
    int error;
    file->file = fopen(path, "wb");
    if (!file->file) {
        file->sys_error = errno;
        return;
    }
    file->deflater = rrd_deflater_new(file->file, &error);
    if (!file->deflater) {
        fclose(file->file);
        file->file = NULL;
        file->sys_error = error > 0 ? error : EIO;
        return;
    }
    file->archived = 1;
    file->unseekable = 1;
}

void rrd_open_writer(rrd_file *file, const char *path, char mode)
{
    const char *how;
    file->writing = 1;
    if (strcmp(path, "-") == 0) {
        file->file = stdout;
        file->standard = 1;
        file->unseekable = 1;
        return;
    }
    if (rrd_path_is_gzip(path)) {
        open_gzip_writer(file, path);
        return;
    }
    switch (mode) {
    case '+':
        how = "w+b";
        break;
    case 'a':
        how = "ab";
        break;
    case 'w':
        how = "wb";
        break;
    default:
        how = "rb";
        break;
    }
    file->file = fopen(path, how);
    if (!file->file)
        file->sys_error = errno;
}

int rrd_close_writer(rrd_file *file)
{
    return rrd_deflate_finish(file);
}

int rrd_flush(rrd_file *file)
{
    if (!rrd_is_open(file) || !file->writing || !rrd_ok(file))
        return -1;
    if (file->deflater)
        return rrd_deflate_flush(file);
    if (file->file && fflush(file->file) != 0) {
        file->sys_error = errno ? errno : EIO;
        return -1;
    }
    return 0;
}

static int64_t send_bytes(rrd_file *file, const unsigned char *bytes, size_t length)
{
    size_t sent = 0;
    while (sent < length) {
        ssize_t n = send(file->sock, bytes + sent, length - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            file->sys_error = errno;
            return -1;
        }
        sent += (size_t)n;
    }
    return (int64_t)sent;
}

static int64_t write_bytes(rrd_file *file, const unsigned char *bytes, size_t length)
{
    if (length == 0)
        return 0;
    if (file->sock >= 0)
        return send_bytes(file, bytes, length);
    if (file->deflater)
        return rrd_deflate_write(file, bytes, length) == 0 ? (int64_t)length : -1;
    if (file->archive || file->gz || !file->writing) {
        /* A reading handle is not written to (libarchive would abort the process). */
        file->sys_error = EBADF;
        return -1;
    }
    if (file->file) {
        size_t n = fwrite(bytes, 1, length, file->file);
        if (n < length)
            file->sys_error = errno ? errno : EIO;
        return (int64_t)n;
    }
    return -1;
}

static int put(rrd_file *file, const unsigned char *bytes, size_t length)
{
    return write_bytes(file, bytes, length) == (int64_t)length ? 0 : -1;
}

/* A frame without rrd_info (a raw one) gets time 0 and still its range-gate count, so that
 * the output reads back as stamped frames. */
static int put_stamp(rrd_file *file, const unsigned char *info, int32_t count)
{
    unsigned char stamp[RRD_STAMP_SIZE];
    memset(stamp, 0, sizeof stamp);
    if (info)
        memcpy(stamp, info + RRD_INFO_SECONDS, 8);
    rrd_put_u16(stamp + 8, (uint16_t)count);
    return put(file, stamp, sizeof stamp);
}

static int put_rrd0_header(rrd_file *file, const unsigned char *info)
{
    static const unsigned char zeros[RRD_INFO_SIZE - RRD_INFO_USED];
    unsigned char tag[4];
    rrd_put_u32(tag, RRD_TAG);
    if (put(file, tag, sizeof tag) != 0 || put(file, info, RRD_INFO_USED) != 0)
        return -1;
    return put(file, zeros, sizeof zeros);
}

int rrd_write_frame(rrd_file *file, const rrd_frame *frame, const unsigned char *default_info)
{
    const unsigned char *info;
    size_t records;
    int rc = 0;

    if (!rrd_is_open(file) || !frame || !frame->data)
        return -1;
    file->sys_error = 0;
    file->lookup_error = 0;
    info = frame->info ? frame->info : default_info;
    if (file->rangegates == 0)
        file->rangegates = frame->count;
    if (file->format == RRD_FORMAT_NONE)
        file->format = frame->format;
    records = (size_t)(frame->count > 0 ? frame->count : 0) * RRD_RANGEGATE_SIZE;
    if (records > 0 && !frame->rangegates)
        return -1;
    /* Stamped and RRD0 readers take every frame's size from the first one: a frame of another
     * range-gate count would make the rest of the output unreadable. */
    if (file->format > RRD_FORMAT_RAW && frame->count != file->rangegates) {
        file->sys_error = EINVAL;
        return -1;
    }

    if (file->format == frame->format) {
        rc = put(file, frame->data, (size_t)frame->size);
    } else if (file->format == RRD_FORMAT_RAW) {
        rc = put(file, frame->rangegates, records);
    } else if (file->format == RRD_FORMAT_STAMPED) {
        rc = put_stamp(file, info, frame->count);
        if (rc == 0)
            rc = put(file, frame->rangegates, records);
    } else if (file->format == RRD_FORMAT_RRD0) {
        if (!info)
            return -1;
        rc = put_rrd0_header(file, info);
        if (rc == 0)
            rc = put(file, frame->rangegates, records);
    }
    if (rc != 0)
        return -1;
    ++file->counter;
    return 0;
}
