/*
 * The reading half of the handle: opening files, archives, standard input and TCP streams,
 * the byte reader, format recognition, frame assembly, counting and seeking, error texts.
 */
#include "rrd_internal.h"

#include <archive.h>
#include <archive_entry.h>

#include <errno.h>
#include <netdb.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

/* Block size handed to libarchive for reading the compressed file. */
#define RRD_ARCHIVE_BLOCK 32768
/* Room a first frame needs before its format is known: 129 raw records. */
#define RRD_RECOGNITION_BYTES ((RRD_MAX_RANGEGATE_NUMBER + 1) * RRD_RANGEGATE_SIZE)
/* Stamp or tag plus rrd_info: the most a frame header can hold. */
#define RRD_HEADER_MAX (4 + RRD_INFO_SIZE)
#define RRD_LOOKUP_TEXT_SIZE 1024

static rrd_file *file_new(void)
{
    rrd_file *file = calloc(1, sizeof *file);
    if (file)
        file->sock = -1;
    return file;
}

int rrd_path_is_gzip(const char *path)
{
    size_t n = strlen(path);
    return n >= 3 && memcmp(path + n - 3, ".gz", 3) == 0;
}

void rrd_keep_archive_message(rrd_file *file)
{
    const char *text = file->archive ? archive_error_string(file->archive) : NULL;
    if (!text)
        return;
    strncpy(file->archive_message, text, sizeof file->archive_message - 1);
    file->archive_message[sizeof file->archive_message - 1] = '\0';
}

/* ---- Opening ------------------------------------------------------------------------------ */

static void open_reader(rrd_file *file, const char *path)
{
    struct archive *reader;
    struct archive_entry *entry;
    int rc;

    if (strcmp(path, "-") == 0) {
        file->file = stdin;
        file->standard = 1;
        file->unseekable = 1;
        return;
    }
    reader = archive_read_new();
    if (!reader) {
        file->sys_error = ENOMEM;
        return;
    }
    if (rrd_path_is_gzip(path)) {
        /* Only gzip and the raw format: with every filter enabled, the decompressed bytes of
         * a raw file can pass for an lzma stream and the file silently reads as empty. */
        archive_read_support_filter_gzip(reader);
        archive_read_support_format_raw(reader);
    } else {
        archive_read_support_filter_all(reader);
        archive_read_support_format_all(reader);
    }
    rc = archive_read_open_filename(reader, path, RRD_ARCHIVE_BLOCK);
    if (rc == ARCHIVE_OK) {
        rc = archive_read_next_header(reader, &entry);
        if (rc == ARCHIVE_OK || rc == ARCHIVE_WARN) {
            file->archive = reader;
            file->archived = 1;
            file->unseekable = 1;
            return;
        }
    }
    archive_read_free(reader);
    file->file = fopen(path, "rb");
    if (!file->file)
        file->sys_error = errno;
}

rrd_file *rrd_open(const char *path, char mode)
{
    rrd_file *file = file_new();
    if (!file)
        return NULL;
    if (!path) {
        file->sys_error = EINVAL;
        return file;
    }
    if (mode == 'r')
        open_reader(file, path);
    else
        rrd_open_writer(file, path, mode);
    return file;
}

rrd_file *rrd_connect(const char *host, const char *service, char mode)
{
    struct addrinfo hints;
    struct addrinfo *list = NULL;
    struct addrinfo *ai;
    rrd_file *file = file_new();
    int rc;

    (void)mode;
    if (!file)
        return NULL;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    rc = getaddrinfo(host, service, &hints, &list);
    if (rc != 0) {
        file->lookup_error = rc;
        return file;
    }
    for (ai = list; ai; ai = ai->ai_next) {
        int sock = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
        if (sock < 0) {
            file->sys_error = errno;
            continue;
        }
        if (connect(sock, ai->ai_addr, ai->ai_addrlen) == 0) {
            file->sock = sock;
            break;
        }
        file->sys_error = errno;
        close(sock);
    }
    freeaddrinfo(list);
    if (file->sock >= 0) {
        /* An earlier address that failed must not leave the connected handle in error. */
        file->sys_error = 0;
        file->unseekable = 1;
    }
    return file;
}

int rrd_set_timeout(rrd_file *file, int seconds)
{
    struct timeval tv;
    if (!file || file->sock < 0)
        return -1;
    tv.tv_sec = seconds;
    tv.tv_usec = 0;
    if (setsockopt(file->sock, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
        file->sys_error = errno;
        return -1;
    }
    return 0;
}

/* ---- Bytes ------------------------------------------------------------------------------- */

static size_t read_archive(rrd_file *file, unsigned char *buffer, size_t length)
{
    size_t got = 0;
    struct archive_entry *entry;
    /* Once the archive has ended or failed it is not asked again: libarchive would only
     * answer with a state error that hides the real outcome. */
    while (got < length && !file->at_end && !file->archive_error) {
        la_ssize_t n = archive_read_data(file->archive, buffer + got, length - got);
        if (n < 0) {
            file->archive_error = 1;
            break;
        }
        if (n > 0) {
            got += (size_t)n;
            continue;
        }
        n = archive_read_next_header(file->archive, &entry);
        if (n == ARCHIVE_EOF)
            file->at_end = 1;
        else if (n != ARCHIVE_OK && n != ARCHIVE_WARN)
            file->archive_error = (int)n;
    }
    return got;
}

static size_t read_socket(rrd_file *file, unsigned char *buffer, size_t length)
{
    size_t got = 0;
    while (got < length) {
        ssize_t n = recv(file->sock, buffer + got, length - got, 0);
        if (n > 0) {
            got += (size_t)n;
        } else if (n == 0) {
            file->at_end = 1;
            break;
        } else if (errno != EINTR) {
            file->sys_error = errno;
            break;
        }
    }
    return got;
}

static size_t read_stream(rrd_file *file, unsigned char *buffer, size_t length)
{
    size_t got = fread(buffer, 1, length, file->file);
    if (got < length) {
        if (ferror(file->file))
            file->sys_error = errno ? errno : EIO;
        if (feof(file->file))
            file->at_end = 1;
    }
    return got;
}

static size_t read_bytes(rrd_file *file, unsigned char *buffer, size_t length)
{
    if (length == 0)
        return 0;
    if (file->sock >= 0)
        return read_socket(file, buffer, length);
    if (file->archive) {
        if (file->writing) {
            /* libarchive aborts the process when a writer is asked to read. */
            file->sys_error = EBADF;
            return 0;
        }
        return read_archive(file, buffer, length);
    }
    if (file->file)
        return read_stream(file, buffer, length);
    return 0;
}

static int read_exact(rrd_file *file, unsigned char *buffer, size_t length)
{
    return read_bytes(file, buffer, length) == length ? 0 : -1;
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

/* The input ended while a raw frame was gathered. It is delivered only when it is known to
 * be complete: as many records, numbered 0..n-1, as the frame before it had. */
static int raw_input_ended(rrd_file *file, const rrd_frame *frame, int32_t gathered)
{
    if (file->at_end && gathered > 0 && gathered == frame->count
        && frame->count == file->last_raw_count)
        return 0;
    return -1;
}

/* Gathers raw records until a record 0 opens the next frame. `gathered` counts the records
 * already in the frame (1 for the first frame, whose record 0 came with recognition). */
static int read_raw(rrd_file *file, rrd_frame *frame, int32_t gathered)
{
    for (;;) {
        int32_t k;
        if (!file->holding) {
            file->sys_error = 0;
            file->lookup_error = 0;
            if (read_bytes(file, file->held, RRD_RANGEGATE_SIZE) != RRD_RANGEGATE_SIZE)
                return raw_input_ended(file, frame, gathered);
        }
        k = rrd_get_s32(file->held);
        if (k == 0 && gathered > 0) {
            file->holding = 1;
            file->last_raw_count = frame->count;
            return 0;
        }
        file->holding = 0;
        if (k < 0 || k > RRD_MAX_RANGEGATE_NUMBER)
            return -1;
        if (place_record(file, frame, k) != 0)
            return -1;
        ++gathered;
    }
}

/* Reads the `count` records of a first frame after its header, growing the buffer with the
 * bytes that actually arrive: a header is untrusted and must not size a large allocation by
 * itself. Later frames have the proven size and are read in one piece. */
static int read_first_records(rrd_file *file, rrd_frame *frame, size_t header_size, int32_t count)
{
    int32_t have = 0;
    while (have < count) {
        int32_t want = have < RRD_MAX_RANGEGATE_NUMBER ? RRD_MAX_RANGEGATE_NUMBER : 2 * have;
        if (want > count)
            want = count;
        if (rrd_frame_reserve(frame, (int32_t)header_size + want * RRD_RANGEGATE_SIZE, 1) != 0) {
            file->sys_error = ENOMEM;
            return -1;
        }
        if (read_exact(file, frame->data + header_size + (size_t)have * RRD_RANGEGATE_SIZE,
                       (size_t)(want - have) * RRD_RANGEGATE_SIZE) != 0)
            return -1;
        have = want;
    }
    return 0;
}

/* First frame of format 2 or 3: the header is kept apart from the frame buffer so that
 * growing the buffer for many range gates cannot lose the stamp or rrd_info. */
static int start_headed(rrd_file *file, rrd_frame *frame, uint32_t format, unsigned char *header)
{
    size_t header_size = format == RRD_FORMAT_RRD0 ? RRD_HEADER_MAX : RRD_STAMP_SIZE;
    const unsigned char *count_field =
        format == RRD_FORMAT_RRD0 ? header + 4 + RRD_INFO_RANGEGATES : header + 8;
    int32_t count;

    if (read_exact(file, header + 4, header_size - 4) != 0)
        return -1;
    count = rrd_get_u16(count_field);
    file->format = format;
    file->rangegates = count;
    if (read_first_records(file, frame, header_size, count) != 0)
        return -1;
    /* The buffer holds the whole frame by now, so this only sets the fields. */
    if (rrd_frame_resize(frame, format, count) != 0) {
        file->sys_error = ENOMEM;
        return -1;
    }
    memcpy(frame->data, header, header_size);
    return 0;
}

static int start_raw(rrd_file *file, rrd_frame *frame, const unsigned char *number)
{
    /* The buffer already holds 129 records, so this does not allocate. */
    if (rrd_frame_resize(frame, RRD_FORMAT_RAW, 1) != 0) {
        file->sys_error = ENOMEM;
        return -1;
    }
    memcpy(frame->data, number, 4);
    if (read_exact(file, frame->data + 4, RRD_RANGEGATE_SIZE - 4) != 0)
        return -1;
    file->format = RRD_FORMAT_RAW;
    file->rangegates = 1;
    return read_raw(file, frame, 1);
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

    if (read_exact(file, header, 4) != 0)
        return -1;
    v = rrd_get_u32(header);
    if (v == RRD_TAG)
        return start_headed(file, frame, RRD_FORMAT_RRD0, header);
    if (v > RRD_MAX_RANGEGATE_NUMBER)
        return start_headed(file, frame, RRD_FORMAT_STAMPED, header);
    return start_raw(file, frame, header);
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
    return read_exact(file, frame->data, (size_t)size);
}

int rrd_read_frame(rrd_file *file, rrd_frame *frame)
{
    int rc;
    if (!file || !frame)
        return -1;
    frame->number = file->counter++;
    file->sys_error = 0;
    file->lookup_error = 0;
    if (file->format == RRD_FORMAT_NONE)
        rc = recognise(file, frame);
    else if (file->format == RRD_FORMAT_RAW)
        rc = read_raw(file, frame, 0);
    else
        rc = read_whole(file, frame);
    if (rc != 0)
        return -1;
    file->frame_error = rrd_frame_check(frame);
    return file->frame_error ? -1 : 0;
}

/* ---- Counting, seeking, state ------------------------------------------------------------ */

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
    }
    return 0;
}

int rrd_eof(rrd_file *file)
{
    if (!rrd_is_open(file))
        return -1;
    file->sys_error = 0;
    file->lookup_error = 0;
    return file->at_end ? 1 : 0;
}

int rrd_errno(const rrd_file *file)
{
    if (!file)
        return RRD_ERR_SYSTEM;
    if (file->frame_error)
        return RRD_ERR_FRAME;
    if (file->lookup_error)
        return RRD_ERR_LOOKUP;
    if (file->archive_error)
        return RRD_ERR_ARCHIVE;
    if (file->sys_error == EAGAIN || file->sys_error == EWOULDBLOCK)
        return file->sock >= 0 ? RRD_ERR_TIMEOUT : RRD_ERR_SYSTEM;
    if (file->sys_error)
        return RRD_ERR_SYSTEM;
    return file->at_end ? RRD_ERR_END : RRD_ERR_NONE;
}

int rrd_is_open(const rrd_file *file)
{
    return file && (file->sock >= 0 || file->file || file->archive);
}

int rrd_ok(const rrd_file *file)
{
    return file && !file->frame_error && !file->sys_error && !file->lookup_error
           && !file->archive_error;
}

uint32_t rrd_format(const rrd_file *file)
{
    return file ? file->format : 0;
}

int32_t rrd_rangegates(const rrd_file *file)
{
    return file ? file->rangegates : 0;
}

uint32_t rrd_position(const rrd_file *file)
{
    return file ? file->counter : 0;
}

/* The lookup text is copied into a buffer of the calling thread, folded into one line. */
static const char *lookup_text(int code)
{
    static _Thread_local char text[RRD_LOOKUP_TEXT_SIZE];
    const char *message = gai_strerror(code);
    size_t i;
    strncpy(text, message ? message : "name lookup failed", sizeof text - 1);
    text[sizeof text - 1] = '\0';
    for (i = 0; text[i]; ++i) {
        if (text[i] == '\r' || text[i] == '\n')
            text[i] = ' ';
    }
    return text;
}

static const char *archive_text(rrd_file *file)
{
    const char *text = file->archive ? archive_error_string(file->archive) : NULL;
    if (text)
        return text;
    return file->archive_message[0] ? file->archive_message : "archive error";
}

const char *rrd_strerror(rrd_file *file)
{
    if (!file)
        return "rrd_file is null";
    if (file->frame_error)
        return rrd_frame_strerror(file->frame_error);
    if (file->lookup_error)
        return lookup_text(file->lookup_error);
    if (file->archive_error)
        return archive_text(file);
    if (file->sys_error)
        return strerror(file->sys_error);
    return "no error";
}

int rrd_close(rrd_file *file)
{
    int rc = 0;
    if (!file)
        return -1;
    if (file->sock >= 0)
        close(file->sock);
    if (file->archive) {
        if (file->writing) {
            rc = rrd_close_writer(file);
        } else {
            archive_read_close(file->archive);
            archive_read_free(file->archive);
        }
    }
    if (file->file) {
        if (file->standard) {
            /* Standard streams stay open for the program; only what we wrote is pushed out. */
            if (file->writing)
                fflush(file->file);
        } else if (fclose(file->file) != 0) {
            rc = -1;
        }
    }
    free(file);
    return rc;
}
