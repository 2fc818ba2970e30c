/*
 * Internals shared by the files of the radar-data library: the handle record and the few
 * helpers the reading and writing halves call across files. Not installed, not for callers.
 */
#ifndef RRD_INTERNAL_H
#define RRD_INTERNAL_H

/* Frame positions beyond 2 GiB: off_t is 64 bits on every platform we build for. */
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include "rrd.h"

#include <stdio.h>

struct archive;
struct archive_entry;

struct rrd_file {
    int sock;                       /* connected TCP socket, -1 = none */
    FILE *file;                     /* plain file, stdin or stdout, or NULL */
    struct archive *archive;        /* archive reader or writer, or NULL */
    struct archive_entry *entry;    /* entry being written (writer only) */
    int archive_error;              /* last failed libarchive result, 0 = none */
    int frame_error;                /* rrd_frame_errno of the last frame check */
    int sys_error;                  /* errno of the last failed C library / socket call */
    int lookup_error;               /* getaddrinfo() code of a failed name lookup */
    unsigned archived : 1;          /* an archive reader or writer is in use */
    unsigned unseekable : 1;        /* stdin/stdout, archives and sockets */
    unsigned writing : 1;
    unsigned standard : 1;          /* `file` is stdin or stdout: never closed by us */
    unsigned at_end : 1;            /* the end of input was met */
    unsigned holding : 1;           /* `held` is a record 0 that opens the next raw frame */
    uint32_t format;
    int32_t rangegates;
    uint32_t counter;               /* number of the next frame read or written */
    int32_t last_raw_count;         /* records of the last raw frame ended by a record 0 */
    unsigned char held[RRD_RANGEGATE_SIZE];
    char archive_message[256];      /* libarchive's text, kept when the writer is released */
};

/* Grows the buffer of a non-borrowed record to at least `bytes`, keeping its contents when
 * `keep` is set (rrd_frame_resize never keeps them). 0 or -1; the record is unchanged on
 * failure. */
int rrd_frame_reserve(rrd_frame *frame, int32_t bytes, int keep);

/* True when the path ends in ".gz" (exactly, case-sensitive). */
int rrd_path_is_gzip(const char *path);

/* The write side of rrd_open(): opens `path` for writing on a fresh handle. */
void rrd_open_writer(rrd_file *file, const char *path, char mode);
/* Finishes and releases an archive writer; 0 or -1. */
int rrd_close_writer(rrd_file *file);

/* Copies libarchive's current error text into the handle (it outlives the archive). */
void rrd_keep_archive_message(rrd_file *file);

#endif /* RRD_INTERNAL_H */
