/*
 * The handle's life: opening files, archives, standard streams and TCP streams, its state and
 * error texts, closing and freeing. Reading is rrd_read.c (frames) and rrd_source.c (bytes),
 * writing rrd_write.c.
 */
#include "rrd_internal.h"

#include <archive.h>

#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

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

/* ---- Opening ----------------------------------------------------------------------------- */

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

/* ---- State ------------------------------------------------------------------------------- */

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
