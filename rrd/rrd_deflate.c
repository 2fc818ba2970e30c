/*
 * Gzip output through ISA-L's igzip: one standard gzip member per file (what gzip, zlib and
 * libarchive read), completed by rrd_close. The header is in the file from its creation, and
 * rrd_flush completes the blocks begun so far: a writer killed after a flush leaves a cut gzip
 * file that holds every frame written up to it, never an empty one.
 *
 * Compression runs on a thread of its own: the writer copies the bytes into a ring of chunks
 * and goes on reading and averaging frames while the previous chunks are compressed and
 * written, so a conversion takes about as long as the longer of the two instead of both. A
 * failure of the thread (a full disk) is reported by the next write or by the close.
 */
#include "rrd_internal.h"

#include <isa-l/igzip_lib.h>

#include <errno.h>
#include <pthread.h>
#include <stdlib.h>

/* Level 3 of igzip: on radar spectra smaller output than zlib's level 3 at several times its
 * speed; levels 1 and 2 are no faster here and larger. */
#define RRD_DEFLATE_LEVEL 3
#define RRD_DEFLATE_LEVEL_BUFFER ISAL_DEF_LVL3_DEFAULT
/* Compressed bytes gathered before they go to the file. */
#define RRD_DEFLATE_OUTPUT (256 * 1024)
/* The ring of uncompressed chunks between the writer and the compressing thread. */
#define RRD_DEFLATE_CHUNK (1024 * 1024)
#define RRD_DEFLATE_CHUNKS 4

struct rrd_deflater {
    /* Shared, under `lock`. */
    pthread_mutex_t lock;
    pthread_cond_t changed;
    uint64_t handed;                /* chunks handed to the thread */
    uint64_t done;                  /* chunks it has compressed */
    size_t lengths[RRD_DEFLATE_CHUNKS];
    int flushes[RRD_DEFLATE_CHUNKS]; /* the chunk ends with a flush of the blocks */
    int finishing;                  /* no more chunks: end the gzip member */
    int error;                      /* errno of a failed write, or -1: compression failed */

    /* The writer's side. */
    pthread_t thread;
    size_t filled;                  /* bytes in the chunk being filled */
    unsigned char *chunks[RRD_DEFLATE_CHUNKS];

    /* The thread's side. */
    FILE *file;
    struct isal_zstream stream;
    unsigned char *level_buffer;
    unsigned char out[RRD_DEFLATE_OUTPUT];
};

/* ---- The compressing thread -------------------------------------------------------------- */

/* Hands the compressed bytes gathered so far to the file; 0 or an error code. */
static int drain(struct rrd_deflater *z)
{
    size_t n = sizeof z->out - z->stream.avail_out;
    if (n > 0 && fwrite(z->out, 1, n, z->file) != n)
        return errno ? errno : EIO;
    z->stream.next_out = z->out;
    z->stream.avail_out = sizeof z->out;
    return 0;
}

static int compress_step(struct rrd_deflater *z)
{
    if (isal_deflate(&z->stream) != COMP_OK)
        return -1;
    return z->stream.avail_out == 0 ? drain(z) : 0;
}

/* A sync flush: every byte handed so far is compressed into complete blocks that reach the
 * file, so that it decompresses up to here. */
static int complete_blocks(struct rrd_deflater *z)
{
    z->stream.flush = SYNC_FLUSH;
    for (;;) {
        int full, rc;
        if (isal_deflate(&z->stream) != COMP_OK)
            return -1;
        full = z->stream.avail_out == 0;
        rc = drain(z);
        if (rc != 0)
            return rc;
        if (!full && z->stream.avail_in == 0)
            break;
    }
    z->stream.flush = NO_FLUSH;
    return fflush(z->file) == 0 ? 0 : (errno ? errno : EIO);
}

static int compress_chunk(struct rrd_deflater *z, unsigned char *bytes, size_t length, int flush)
{
    int rc = 0;
    z->stream.next_in = bytes;
    z->stream.avail_in = (uint32_t)length;
    if (flush)
        return complete_blocks(z);
    while (rc == 0 && z->stream.avail_in > 0)
        rc = compress_step(z);
    return rc;
}

static int compress_end(struct rrd_deflater *z)
{
    int rc = 0;
    z->stream.end_of_stream = 1;
    z->stream.flush = FULL_FLUSH;
    while (rc == 0 && z->stream.internal_state.state != ZSTATE_END)
        rc = compress_step(z);
    return rc == 0 ? drain(z) : rc;
}

static void *compress_thread(void *arg)
{
    struct rrd_deflater *z = arg;
    int error = 0;
    for (;;) {
        size_t slot, length;
        int flush;
        pthread_mutex_lock(&z->lock);
        while (z->done == z->handed && !z->finishing)
            pthread_cond_wait(&z->changed, &z->lock);
        if (z->done == z->handed) {
            pthread_mutex_unlock(&z->lock);
            break;
        }
        slot = (size_t)(z->done % RRD_DEFLATE_CHUNKS);
        length = z->lengths[slot];
        flush = z->flushes[slot];
        pthread_mutex_unlock(&z->lock);

        /* After a failure the chunks are only taken, so the writer never waits for ever. */
        if (!error)
            error = compress_chunk(z, z->chunks[slot], length, flush);

        pthread_mutex_lock(&z->lock);
        ++z->done;
        if (error && !z->error)
            z->error = error;
        pthread_cond_broadcast(&z->changed);
        pthread_mutex_unlock(&z->lock);
    }
    if (!error)
        error = compress_end(z);
    pthread_mutex_lock(&z->lock);
    if (error && !z->error)
        z->error = error;
    pthread_mutex_unlock(&z->lock);
    return NULL;
}

/* ---- The writer's side ------------------------------------------------------------------- */

static void release(struct rrd_deflater *z)
{
    int i;
    for (i = 0; i < RRD_DEFLATE_CHUNKS; ++i)
        free(z->chunks[i]);
    free(z->level_buffer);
    pthread_cond_destroy(&z->changed);
    pthread_mutex_destroy(&z->lock);
    free(z);
}

/* The member's header goes to the file at once, before any frame. 0 or an error code. */
static int write_header(struct rrd_deflater *z)
{
    struct isal_gzip_header header;
    int rc;
    isal_gzip_header_init(&header);
    if (isal_write_gzip_header(&z->stream, &header) != 0)
        return -1;
    z->stream.gzip_flag = IGZIP_GZIP_NO_HDR;
    rc = drain(z);
    if (rc == 0 && fflush(z->file) != 0)
        rc = errno ? errno : EIO;
    return rc;
}

struct rrd_deflater *rrd_deflater_new(FILE *file, int *error)
{
    struct rrd_deflater *z = calloc(1, sizeof *z);
    int i, ok;
    *error = ENOMEM;
    if (!z)
        return NULL;
    pthread_mutex_init(&z->lock, NULL);
    pthread_cond_init(&z->changed, NULL);
    z->file = file;
    z->level_buffer = malloc(RRD_DEFLATE_LEVEL_BUFFER);
    ok = z->level_buffer != NULL;
    for (i = 0; ok && i < RRD_DEFLATE_CHUNKS; ++i) {
        z->chunks[i] = malloc(RRD_DEFLATE_CHUNK);
        ok = z->chunks[i] != NULL;
    }
    if (ok) {
        isal_deflate_init(&z->stream);
        z->stream.level = RRD_DEFLATE_LEVEL;
        z->stream.level_buf = z->level_buffer;
        z->stream.level_buf_size = RRD_DEFLATE_LEVEL_BUFFER;
        z->stream.gzip_flag = IGZIP_GZIP;
        z->stream.flush = NO_FLUSH;
        z->stream.next_out = z->out;
        z->stream.avail_out = sizeof z->out;
        *error = write_header(z);
        ok = *error == 0;
    }
    if (ok && pthread_create(&z->thread, NULL, compress_thread, z) != 0) {
        *error = EAGAIN;
        ok = 0;
    }
    if (!ok) {
        release(z);
        return NULL;
    }
    return z;
}

static void set_error(rrd_file *file, int error)
{
    if (error > 0)
        file->sys_error = error;
    else
        rrd_set_own_error(file, "gzip: compression failed");
}

/* Hands the filled chunk to the thread and waits until the next one is free, or with `flush`
 * until the thread has flushed it. */
static int hand_over(rrd_file *file, struct rrd_deflater *z, int flush)
{
    const uint64_t busy = flush ? 0 : RRD_DEFLATE_CHUNKS - 1;
    int error;
    pthread_mutex_lock(&z->lock);
    z->lengths[z->handed % RRD_DEFLATE_CHUNKS] = z->filled;
    z->flushes[z->handed % RRD_DEFLATE_CHUNKS] = flush;
    ++z->handed;
    pthread_cond_broadcast(&z->changed);
    while (z->handed - z->done > busy)
        pthread_cond_wait(&z->changed, &z->lock);
    error = z->error;
    pthread_mutex_unlock(&z->lock);
    z->filled = 0;
    if (error) {
        set_error(file, error);
        return -1;
    }
    return 0;
}

int rrd_deflate_write(rrd_file *file, const unsigned char *bytes, size_t length)
{
    struct rrd_deflater *z = file->deflater;
    while (length > 0) {
        size_t n = RRD_DEFLATE_CHUNK - z->filled;
        if (n > length)
            n = length;
        memcpy(z->chunks[z->handed % RRD_DEFLATE_CHUNKS] + z->filled, bytes, n);
        z->filled += n;
        bytes += n;
        length -= n;
        if (z->filled == RRD_DEFLATE_CHUNK && hand_over(file, z, 0) != 0)
            return -1;
    }
    return 0;
}

int rrd_deflate_flush(rrd_file *file)
{
    return hand_over(file, file->deflater, 1);
}

int rrd_deflate_finish(rrd_file *file)
{
    struct rrd_deflater *z = file->deflater;
    int error;
    pthread_mutex_lock(&z->lock);
    if (z->filled > 0) {
        z->lengths[z->handed % RRD_DEFLATE_CHUNKS] = z->filled;
        z->flushes[z->handed % RRD_DEFLATE_CHUNKS] = 0;
        ++z->handed;
    }
    z->finishing = 1;
    pthread_cond_broadcast(&z->changed);
    pthread_mutex_unlock(&z->lock);
    pthread_join(z->thread, NULL);
    error = z->error;
    release(z);
    file->deflater = NULL;
    if (error) {
        set_error(file, error);
        return -1;
    }
    return 0;
}
