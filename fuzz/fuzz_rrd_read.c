/*
 * libFuzzer target of the reader: the input bytes are read as a plain file (every format
 * and every archive format), as the bytes of a ".gz" path, gzip-compressed through a ".gz"
 * path, as a gzip-looking entry of a zip archive and from standard input (where gzip is
 * recognised by its magic). Half of the inputs are decompressed through a small input buffer,
 * so that gzip headers and trailers meet its edge. Good frames are written back in every
 * format to exercise the converter.
 */
#include "rrd.h"
#include "rrd_testing.h"

#include <archive.h>
#include <archive_entry.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define MAX_FRAMES 64

static char dir[256];

static void remove_dir(void)
{
    static const char *const names[] = {"input.rrd", "input.rrd.gz", "input.zip"};
    char path[300];
    size_t i;
    for (i = 0; i < sizeof names / sizeof names[0]; ++i) {
        snprintf(path, sizeof path, "%s/%s", dir, names[i]);
        unlink(path);
    }
    rmdir(dir);
}

static void make_dir(void)
{
    const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    snprintf(dir, sizeof dir, "%s/fuzz_rrd_read.XXXXXX", base);
    if (!mkdtemp(dir))
        abort();
    atexit(remove_dir);
}

static void put_file(const char *path, const uint8_t *data, size_t size)
{
    FILE *f = fopen(path, "wb");
    if (!f)
        abort();
    if (size && fwrite(data, 1, size, f) != size)
        abort();
    fclose(f);
}

static void put_gzip(const char *path, const uint8_t *data, size_t size)
{
    struct archive *a = archive_write_new();
    struct archive_entry *e = archive_entry_new();
    archive_write_set_format_raw(a);
    archive_write_add_filter_gzip(a);
    if (archive_write_open_filename(a, path) != ARCHIVE_OK)
        abort();
    archive_entry_set_filetype(e, AE_IFREG);
    archive_write_header(a, e);
    if (size)
        archive_write_data(a, data, size);
    archive_write_close(a);
    archive_write_free(a);
    archive_entry_free(e);
}

/* The bytes as the only entry of a zip, named like gzip-compressed radar data. */
static void put_zip(const char *path, const uint8_t *data, size_t size)
{
    struct archive *a = archive_write_new();
    struct archive_entry *e = archive_entry_new();
    archive_write_set_format_zip(a);
    archive_write_set_options(a, "zip:compression=store");
    if (archive_write_open_filename(a, path) != ARCHIVE_OK)
        abort();
    archive_entry_set_pathname(e, "input.rrd0.gz");
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_size(e, (la_int64_t)size);
    archive_write_header(a, e);
    if (size)
        archive_write_data(a, data, size);
    archive_write_close(a);
    archive_write_free(a);
    archive_entry_free(e);
}

/* A frame the reader returns must describe its own buffer. */
static void check_frame(const rrd_frame *f)
{
    if (f->size > f->capacity || f->count < 0)
        abort();
    if (f->count > 0 && (!f->rangegates || f->rangegates < f->data
                         || f->rangegates + (size_t)f->count * RRD_RANGEGATE_SIZE
                                > f->data + f->capacity))
        abort();
    if (f->info && (f->info < f->data || f->info + RRD_INFO_SIZE > f->data + f->capacity))
        abort();
}

static void write_back(rrd_frame **frames, int n)
{
    static unsigned char info[RRD_INFO_SIZE];
    uint32_t format;
    for (format = RRD_FORMAT_RAW; format <= RRD_FORMAT_RRD0; ++format) {
        rrd_file *out = rrd_open("/dev/null", 'w');
        rrd_frame *opener = rrd_frame_new(format, 1);
        int i;
        rrd_write_frame(out, opener, NULL);
        for (i = 0; i < n; ++i)
            rrd_write_frame(out, frames[i], (i & 1) ? info : NULL);
        rrd_frame_free(opener);
        rrd_free(out);
    }
}

/* Every read goes into one record, as a caller that reuses its record would do; this also
 * spares the sanitizer's allocator a large allocation per input. */
static void read_all(const char *path)
{
    static rrd_frame *scratch;
    rrd_frame *frames[MAX_FRAMES];
    int n = 0;
    int64_t total = 0;
    rrd_file *in = rrd_open(path, 'r');
    if (!in)
        return;
    if (!scratch)
        scratch = rrd_frame_new(RRD_FORMAT_NONE, 0);
    while (n < MAX_FRAMES) {
        int rc = rrd_read_frame(in, scratch);
        check_frame(scratch);
        (void)rrd_frame_time(scratch);
        if (rc != 0) {
            if (rrd_eof(in) != 0 || !rrd_ok(in))
                break;
            continue;
        }
        frames[n] = rrd_frame_copy(scratch);
        if (!frames[n])
            break;
        ++n;
        if (n == 2 && rrd_frame_total(in, &total) == 0 && total > 1)
            rrd_seek(in, 1);
    }
    (void)rrd_strerror(in);
    rrd_free(in);
    write_back(frames, n);
    while (n > 0)
        rrd_frame_free(frames[--n]);
}

/* Standard input is a pipe that holds the bytes (max_len keeps them below its capacity). */
static void read_stdin(const uint8_t *data, size_t size)
{
    int pipe_fds[2];
    int saved = dup(0);
    if (saved < 0 || pipe(pipe_fds) != 0)
        abort();
    if (size && write(pipe_fds[1], data, size) != (ssize_t)size)
        abort();
    close(pipe_fds[1]);
    dup2(pipe_fds[0], 0);
    close(pipe_fds[0]);
    read_all("-");
    dup2(saved, 0);
    close(saved);
}

/* 0 (the default buffer) or a small size, chosen by the input's last byte. */
static size_t gzip_input_size(const uint8_t *data, size_t size)
{
    const unsigned pick = size ? data[size - 1] : 0;
    return pick & 1 ? 1 + (pick >> 1) % 64 : 0;
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char path[300];
    if (!dir[0])
        make_dir();
    rrd_set_gzip_input_size(gzip_input_size(data, size));

    snprintf(path, sizeof path, "%s/input.rrd", dir);
    put_file(path, data, size);
    read_all(path);

    snprintf(path, sizeof path, "%s/input.rrd.gz", dir);
    put_file(path, data, size);
    read_all(path);
    put_gzip(path, data, size);
    read_all(path);

    snprintf(path, sizeof path, "%s/input.zip", dir);
    put_zip(path, data, size);
    read_all(path);

    if (size <= 60000)
        read_stdin(data, size);
    return 0;
}
