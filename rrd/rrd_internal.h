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
#include <sys/types.h>

struct archive;
struct archive_entry;
struct rrd_inflater;
struct rrd_deflater;

/* archive_error of a damaged gzip stream or a refused archive entry; the text is `message`. */
#define RRD_ARCHIVE_OWN_ERROR (-1000)

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
    unsigned closed : 1;            /* rrd_close() has run */
    unsigned close_failed : 1;      /* ... and could not complete the output */
    uint32_t format;
    int32_t rangegates;
    uint32_t counter;               /* number of the next frame read or written */
    int32_t last_raw_count;         /* records of the last raw frame ended by a record 0 */
    unsigned char held[RRD_RANGEGATE_SIZE];
    char archive_message[256];      /* libarchive's text, kept when the writer is released */

    struct rrd_deflater *deflater;  /* gzip compression of a written file, or NULL */

    /* Reading sources. */
    int timeout_ms;                 /* receive time-out of a socket, 0 = wait for ever */
    struct rrd_inflater *gz;        /* gzip decompression of the whole source, or NULL */
    struct rrd_inflater *entry_gz;  /* gzip decompression of the current archive entry */
    unsigned char peek[4];          /* bytes looked at for the gzip magic, handed out first */
    int peek_len, peek_pos;
    int skipped_entries;            /* archive entries passed over because of their names */
    char skipped_name[160];         /* the first of them, for the message of an archive
                                       that holds no radar data */
    int other_entries;              /* folders, links and other non-files passed over */
    int data_entries;               /* archive entries read as radar data */
    unsigned archive_ended : 1;     /* the archive reader met its end */

    /* One frame read: its bytes so far on streams, so that a time-out or a stop loses
     * nothing (they are handed out again by the next read), and its shortfall at the end. */
    unsigned journaling : 1;
    unsigned sniff : 1;             /* standard input not yet looked at for the gzip magic */
    unsigned char *journal;
    size_t journal_len, journal_cap;
    unsigned char *pushback;
    size_t pushback_len, pushback_pos;
    int64_t attempt_bytes;          /* bytes obtained for the frame being read */
    int64_t lacking;                /* bytes the last frame lacks at the end of input, 0 = none */
    char message[320];              /* text of RRD_ARCHIVE_OWN_ERROR */
};

/* Grows the buffer of a non-borrowed record to at least `bytes`, keeping its contents when
 * `keep` is set (rrd_frame_resize never keeps them). 0 or -1; the record is unchanged on
 * failure. */
int rrd_frame_reserve(rrd_frame *frame, int32_t bytes, int keep);

/* True when the path ends in ".gz" (exactly, case-sensitive). */
int rrd_path_is_gzip(const char *path);

/* The write side of rrd_open(): opens `path` for writing on a fresh handle. */
void rrd_open_writer(rrd_file *file, const char *path, char mode);
/* Finishes and releases a gzip writer; 0 or -1. */
int rrd_close_writer(rrd_file *file);

/* The gzip compressor of a writer (ISA-L's igzip on a thread of its own) into `file`, whose
 * gzip header it writes at once; NULL with `error` set when that or an allocation fails. */
struct rrd_deflater *rrd_deflater_new(FILE *file, int *error);
/* Compresses bytes into the file; 0 or -1 with the error (possibly of an earlier write) in
 * the handle. */
int rrd_deflate_write(rrd_file *file, const unsigned char *bytes, size_t length);
/* Completes the blocks begun so far and writes them to the file; 0 or -1. */
int rrd_deflate_flush(rrd_file *file);
/* Ends the gzip member, writes its last bytes and releases the compressor; 0 or -1. */
int rrd_deflate_finish(rrd_file *file);

/* Copies libarchive's current error text into the handle (it outlives the archive). */
void rrd_keep_archive_message(rrd_file *file);

/* The read side of rrd_open(): opens `path` for reading on a fresh handle. */
void rrd_open_reader(rrd_file *file, const char *path);
/* Reads up to `length` bytes of the (decompressed) input; fewer only at its end or on an
 * error, which is left in the handle. */
size_t rrd_read_bytes(rrd_file *file, unsigned char *buffer, size_t length);
/* Starts the read of one frame, and gives back the bytes of a frame read that a time-out or a
 * stop interrupted so that the next read starts with them. */
void rrd_begin_frame_bytes(rrd_file *file);
void rrd_give_back_frame_bytes(rrd_file *file);
/* Releases the reading sources (archive reader, inflaters, buffers). */
void rrd_close_reader(rrd_file *file);
/* Gzip input (ISA-L's igzip) over a reader of the compressed bytes (> 0, 0 at the end, -1 on
 * error). rrd_inflate gives decompressed bytes: > 0, 0 at the end of the last member, -1 on
 * error (a damaged stream is an error of our own, prefixed with `where` when given). */
typedef ssize_t (*rrd_raw_reader)(rrd_file *file, unsigned char *buffer, size_t length);
struct rrd_inflater *rrd_inflater_new(void);
ssize_t rrd_inflate(rrd_file *file, struct rrd_inflater *z, rrd_raw_reader raw,
                    unsigned char *out, size_t length, const char *where);

/* Sets an error of our own with its text (a damaged gzip stream, a refused entry). */
void rrd_set_own_error(rrd_file *file, const char *text);

#endif /* RRD_INTERNAL_H */
