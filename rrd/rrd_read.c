/*
 * The reading half of the handle: opening files, archives, standard input and TCP streams,
 * the byte reader, format recognition, frame assembly, counting and seeking, error texts.
 */
#include "rrd_internal.h"

#include <archive.h>
#include <archive_entry.h>

#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

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
        rrd_open_reader(file, path);
    else
        rrd_open_writer(file, path, mode);
    return file;
}

/* A link that dies without a word (a cut cable, a radar without power) is noticed within about
 * a minute: probes start after 30 s of silence and 6 of them, 5 s apart, go unanswered. */
#define RRD_KEEPALIVE_IDLE_S 30
#define RRD_KEEPALIVE_INTERVAL_S 5
#define RRD_KEEPALIVE_PROBES 6

/* A refused option leaves the stream usable, so its failure is not the connection's. */
static void keep_alive(int sock)
{
    const int on = 1;
    const int idle = RRD_KEEPALIVE_IDLE_S;
    const int interval = RRD_KEEPALIVE_INTERVAL_S;
    const int probes = RRD_KEEPALIVE_PROBES;
    setsockopt(sock, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(sock, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(sock, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(sock, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}

rrd_file *rrd_connect(const char *host, const char *service)
{
    struct addrinfo hints;
    struct addrinfo *list = NULL;
    struct addrinfo *ai;
    rrd_file *file = file_new();
    int rc;

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
            keep_alive(sock);
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
        file->journaling = 1;
    }
    return file;
}

int rrd_set_timeout(rrd_file *file, int seconds)
{
    struct timeval tv;
    if (!file || file->sock < 0)
        return -1;
    /* Reads wait in short slices of their own (so that a stop request is seen); the socket
     * option only mirrors the time-out for anyone who looks at the socket. */
    file->timeout_ms = seconds > 0 ? (seconds > INT32_MAX / 1000 ? INT32_MAX : seconds * 1000) : 0;
    tv.tv_sec = seconds;
    tv.tv_usec = 0;
    if (setsockopt(file->sock, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
        file->sys_error = errno;
        return -1;
    }
    return 0;
}

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
        file->lacking = 0;
    }
    return 0;
}

int rrd_eof(const rrd_file *file)
{
    if (!rrd_is_open(file))
        return -1;
    /* A source that ended inside a frame has not simply ended: its shortfall is an error. */
    return file->at_end && !file->lacking && !file->frame_error ? 1 : 0;
}

int rrd_errno(const rrd_file *file)
{
    if (!file)
        return RRD_ERR_SYSTEM;
    if (file->frame_error)
        return RRD_ERR_FRAME;
    if (file->lacking)
        return RRD_ERR_INCOMPLETE;
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
           && !file->archive_error && !file->lacking;
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

static const char *incomplete_text(int64_t lacking)
{
    static _Thread_local char text[96];
    snprintf(text, sizeof text, "last frame is incomplete: it lacks %lld bytes",
             (long long)lacking);
    return text;
}

static const char *archive_text(const rrd_file *file)
{
    if (file->archive_error == RRD_ARCHIVE_OWN_ERROR)
        return file->message;
    const char *text = file->archive ? archive_error_string(file->archive) : NULL;
    if (text)
        return text;
    return file->archive_message[0] ? file->archive_message : "archive error";
}

/* The step that failed, with the system's cause. */
static const char *with_cause(const char *step, int code)
{
    static _Thread_local char text[256];
    snprintf(text, sizeof text, "%s: %s", step, strerror(code));
    return text;
}

const char *rrd_strerror(const rrd_file *file)
{
    if (!file)
        return "rrd_file is null";
    if (file->frame_error)
        return rrd_frame_strerror(file->frame_error);
    if (file->lacking)
        return incomplete_text(file->lacking);
    if (file->lookup_error)
        return lookup_text(file->lookup_error);
    if (file->archive_error)
        return archive_text(file);
    if (file->sys_error && file->close_failed)
        return with_cause("the end of the file could not be written", file->sys_error);
    if (file->sys_error)
        return strerror(file->sys_error);
    return "no error";
}

int rrd_close(rrd_file *file)
{
    int cause = 0;
    if (!file)
        return -1;
    if (file->closed)
        return file->close_failed ? -1 : 0;
    file->closed = 1;
    if (file->sock >= 0)
        close(file->sock);
    file->sock = -1;
    /* The compressing thread's failure is in the handle already (its cause or our text). */
    if (file->deflater && rrd_close_writer(file) != 0)
        cause = file->sys_error ? file->sys_error : -1;
    rrd_close_reader(file);
    if (file->file) {
        /* Standard streams stay open for the program; only what we wrote is pushed out. */
        int rc = file->standard ? (file->writing ? fflush(file->file) : 0) : fclose(file->file);
        if (rc != 0 && !cause)
            cause = errno ? errno : EIO;
        file->file = NULL;
    }
    if (!cause)
        return 0;
    file->close_failed = 1;
    if (cause > 0)
        file->sys_error = cause;
    return -1;
}

void rrd_free(rrd_file *file)
{
    if (!file)
        return;
    rrd_close(file);
    free(file);
}
