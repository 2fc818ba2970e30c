/*
 * Where the bytes of a reading handle come from: plain files, gzip files, archives (entries
 * chosen by name, gzip-compressed entries decompressed), standard input (gzip recognised by
 * its magic) and TCP streams with their time-out, and the stop request that ends a blocked
 * read at once. Frame assembly above this layer sees one continuous byte stream.
 */
#include "rrd_internal.h"

#include <archive.h>
#include <archive_entry.h>

#include <errno.h>
#include <poll.h>
#include <stdatomic.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

/* Block size handed to libarchive for reading the compressed file. */
#define RRD_ARCHIVE_BLOCK 32768
/* A blocked read looks at the stop request this often (milliseconds). */
#define RRD_POLL_SLICE_MS 200

/* Lock-free, so both a signal handler and another thread may set it. */
static atomic_int stop_requested;

void rrd_request_stop(void)
{
    atomic_store_explicit(&stop_requested, 1, memory_order_relaxed);
}

void rrd_clear_stop(void)
{
    atomic_store_explicit(&stop_requested, 0, memory_order_relaxed);
}

void rrd_set_own_error(rrd_file *file, const char *text)
{
    file->archive_error = RRD_ARCHIVE_OWN_ERROR;
    strncpy(file->message, text, sizeof file->message - 1);
    file->message[sizeof file->message - 1] = '\0';
}

/* ---- Devices: socket, standard input, plain file ------------------------------------------- */

/* Waits until `fd` can be read, the receive time-out expires (EAGAIN) or a stop is requested
 * (EINTR). Short slices keep a stop prompt whatever the signal handler's SA_RESTART says. */
static int wait_readable(rrd_file *file, int fd)
{
    int waited = 0;
    for (;;) {
        struct pollfd p;
        int slice = RRD_POLL_SLICE_MS;
        int n;
        if (atomic_load_explicit(&stop_requested, memory_order_relaxed)) {
            file->sys_error = EINTR;
            return -1;
        }
        if (file->timeout_ms > 0) {
            if (waited >= file->timeout_ms) {
                file->sys_error = EAGAIN;
                return -1;
            }
            if (file->timeout_ms - waited < slice)
                slice = file->timeout_ms - waited;
        }
        p.fd = fd;
        p.events = POLLIN;
        p.revents = 0;
        n = poll(&p, 1, slice);
        if (n > 0)
            return 0; /* readable, closed or failed: the read tells which */
        if (n == 0)
            waited += slice;
        else if (errno != EINTR) {
            file->sys_error = errno;
            return -1;
        }
    }
}

static ssize_t descriptor_read(rrd_file *file, int fd, unsigned char *buffer, size_t length,
                               int is_socket)
{
    for (;;) {
        ssize_t n;
        if (wait_readable(file, fd) != 0)
            return -1;
        n = is_socket ? recv(fd, buffer, length, MSG_DONTWAIT) : read(fd, buffer, length);
        if (n >= 0)
            return n;
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            file->sys_error = errno;
            return -1;
        }
    }
}

static ssize_t device_read(rrd_file *file, unsigned char *buffer, size_t length)
{
    size_t n;
    if (file->sock >= 0)
        return descriptor_read(file, file->sock, buffer, length, 1);
    if (!file->file) {
        file->sys_error = EBADF;
        return -1;
    }
    if (file->standard)
        return descriptor_read(file, fileno(file->file), buffer, length, 0);
    n = fread(buffer, 1, length, file->file);
    if (n > 0)
        return (ssize_t)n;
    if (ferror(file->file)) {
        file->sys_error = errno ? errno : EIO;
        return -1;
    }
    return 0;
}

/* Bytes looked at for the gzip magic come first. */
static size_t take_peeked(rrd_file *file, unsigned char *buffer, size_t length)
{
    size_t n = (size_t)(file->peek_len - file->peek_pos);
    if (n > length)
        n = length;
    memcpy(buffer, file->peek + file->peek_pos, n);
    file->peek_pos += (int)n;
    return n;
}

static ssize_t source_read(rrd_file *file, unsigned char *buffer, size_t length)
{
    if (file->peek_pos < file->peek_len)
        return (ssize_t)take_peeked(file, buffer, length);
    return device_read(file, buffer, length);
}

static int is_gzip_magic(const unsigned char *p, int n)
{
    return n >= 3 && p[0] == 0x1f && p[1] == 0x8b && p[2] == 8;
}

/* ---- Archives -------------------------------------------------------------------------------- */

/* The data-file patterns of the open-files dialog, for entries inside an archive. */
static int is_data_name(const char *name)
{
    static const char *const suffixes[] = {".rrd", ".rrd0", ".rrd.gz", ".rrd0.gz", ".raw"};
    size_t n = name ? strlen(name) : 0;
    size_t i;
    for (i = 0; i < sizeof suffixes / sizeof suffixes[0]; ++i) {
        size_t k = strlen(suffixes[i]);
        if (n > k && strcasecmp(name + n - k, suffixes[i]) == 0 && name[n - k - 1] != '/')
            return 1;
    }
    return 0;
}

static const char *entry_name(rrd_file *file)
{
    const char *name = file->entry ? archive_entry_pathname(file->entry) : NULL;
    return name ? name : "(unnamed entry)";
}

static void archive_fail(rrd_file *file, int rc)
{
    file->archive_error = rc ? rc : ARCHIVE_FATAL;
    rrd_keep_archive_message(file);
}

static ssize_t entry_read(rrd_file *file, unsigned char *buffer, size_t length)
{
    la_ssize_t n;
    if (file->peek_pos < file->peek_len)
        return (ssize_t)take_peeked(file, buffer, length);
    n = archive_read_data(file->archive, buffer, length);
    if (n < 0) {
        archive_fail(file, (int)n);
        return -1;
    }
    return (ssize_t)n;
}

/* Looks at the first bytes of a data entry: gzip inside an archive is decompressed. */
static int start_entry(rrd_file *file, struct archive_entry *entry)
{
    file->entry = entry;
    file->peek_len = file->peek_pos = 0;
    while (file->peek_len < 3) {
        la_ssize_t n = archive_read_data(file->archive, file->peek + file->peek_len,
                                         (size_t)(3 - file->peek_len));
        if (n < 0) {
            archive_fail(file, (int)n);
            return -1;
        }
        if (n == 0)
            break;
        file->peek_len += (int)n;
    }
    if (is_gzip_magic(file->peek, file->peek_len)) {
        file->entry_gz = rrd_inflater_new();
        if (!file->entry_gz) {
            file->sys_error = ENOMEM;
            return -1;
        }
    }
    ++file->data_entries;
    return 0;
}

/* An archive without a single data entry is not a recording of 0 frames: it says what it
 * holds instead. */
static void no_data_files(rrd_file *file)
{
    char line[sizeof file->message];
    if (file->skipped_entries > 0)
        snprintf(line, sizeof line,
                 "the archive holds no radar data file (*.rrd, *.rrd0, *.rrd.gz, *.rrd0.gz, "
                 "*.raw); it has %d other file(s) such as \"%s\"",
                 file->skipped_entries, file->skipped_name);
    else if (file->other_entries > 0)
        snprintf(line, sizeof line,
                 "the archive holds no data files, only %d folder(s) or link(s)",
                 file->other_entries);
    else
        snprintf(line, sizeof line, "the archive holds no files");
    rrd_set_own_error(file, line);
}

/* libarchive must not be asked for a header after its end: it answers with a state error. */
static int end_of_archive(rrd_file *file)
{
    file->entry = NULL;
    file->archive_ended = 1;
    if (file->data_entries == 0) {
        no_data_files(file);
        return -1;
    }
    return 0;
}

/* Moves to the next entry holding radar data, passing over others (a README, folders).
 * `entry` is the header already read, or NULL to read the next one. 1 = an entry is open,
 * 0 = the archive ended, -1 = error. */
static int open_data_entry(rrd_file *file, struct archive_entry *entry)
{
    for (;;) {
        if (!entry) {
            int rc = archive_read_next_header(file->archive, &entry);
            if (rc == ARCHIVE_EOF)
                break;
            if (rc != ARCHIVE_OK && rc != ARCHIVE_WARN) {
                archive_fail(file, rc);
                return -1;
            }
        }
        if (archive_entry_filetype(entry) == AE_IFREG
            && is_data_name(archive_entry_pathname(entry)))
            return start_entry(file, entry) == 0 ? 1 : -1;
        if (archive_entry_filetype(entry) != AE_IFREG) {
            ++file->other_entries;
        } else if (file->skipped_entries++ == 0) {
            const char *name = archive_entry_pathname(entry);
            snprintf(file->skipped_name, sizeof file->skipped_name, "%s", name ? name : "");
        }
        entry = NULL;
    }
    return end_of_archive(file);
}

static void end_entry(rrd_file *file)
{
    free(file->entry_gz);
    file->entry_gz = NULL;
    file->entry = NULL;
    file->peek_len = file->peek_pos = 0;
}

static ssize_t archive_input_read(rrd_file *file, unsigned char *buffer, size_t length)
{
    for (;;) {
        ssize_t n;
        if (!file->entry) {
            int rc = file->archive_ended ? 0 : open_data_entry(file, NULL);
            if (rc <= 0)
                return rc;
        }
        n = file->entry_gz ? rrd_inflate(file, file->entry_gz, entry_read, buffer, length,
                                          entry_name(file))
                           : entry_read(file, buffer, length);
        if (n != 0)
            return n;
        end_entry(file);
    }
}

/* ---- The input as one stream ----------------------------------------------------------------- */

/* Standard input is looked at when the first frame is read (not when it is opened, which
 * must not block): gzip is recognised by its magic bytes. */
static int sniff_standard_input(rrd_file *file)
{
    while (file->peek_len < 3) {
        ssize_t n = device_read(file, file->peek + file->peek_len, (size_t)(3 - file->peek_len));
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        file->peek_len += (int)n;
    }
    file->sniff = 0;
    if (is_gzip_magic(file->peek, file->peek_len)) {
        file->gz = rrd_inflater_new();
        if (!file->gz) {
            file->sys_error = ENOMEM;
            return -1;
        }
    }
    return 0;
}

static ssize_t input_read(rrd_file *file, unsigned char *buffer, size_t length)
{
    if (file->archive)
        return archive_input_read(file, buffer, length);
    if (file->sniff && sniff_standard_input(file) != 0)
        return -1;
    if (file->gz)
        return rrd_inflate(file, file->gz, source_read, buffer, length, NULL);
    return source_read(file, buffer, length);
}

static int journal_append(rrd_file *file, const unsigned char *bytes, size_t length)
{
    if (file->journal_len + length > file->journal_cap) {
        size_t cap = file->journal_cap ? file->journal_cap : 65536;
        unsigned char *grown;
        while (cap < file->journal_len + length)
            cap *= 2;
        grown = realloc(file->journal, cap);
        if (!grown) {
            file->sys_error = ENOMEM;
            return -1;
        }
        file->journal = grown;
        file->journal_cap = cap;
    }
    memcpy(file->journal + file->journal_len, bytes, length);
    file->journal_len += length;
    return 0;
}

size_t rrd_read_bytes(rrd_file *file, unsigned char *buffer, size_t length)
{
    size_t got = 0;
    if (file->writing) {
        /* A writer's file belongs to its compressing thread, if it has one. */
        file->sys_error = EBADF;
        return 0;
    }
    while (got < length && file->pushback_pos < file->pushback_len) {
        size_t n = file->pushback_len - file->pushback_pos;
        if (n > length - got)
            n = length - got;
        memcpy(buffer + got, file->pushback + file->pushback_pos, n);
        file->pushback_pos += n;
        got += n;
    }
    if (file->pushback && file->pushback_pos == file->pushback_len) {
        free(file->pushback);
        file->pushback = NULL;
        file->pushback_len = file->pushback_pos = 0;
    }
    /* Once the input has ended or failed it is not asked again: libarchive would only answer
     * with a state error that hides the real outcome. */
    while (got < length && !file->at_end && !file->archive_error && !file->sys_error) {
        ssize_t n = input_read(file, buffer + got, length - got);
        if (n < 0)
            break;
        if (n == 0) {
            file->at_end = 1;
            break;
        }
        got += (size_t)n;
    }
    if (got > 0 && file->journaling)
        journal_append(file, buffer, got);
    file->attempt_bytes += (int64_t)got;
    return got;
}

void rrd_begin_frame_bytes(rrd_file *file)
{
    file->attempt_bytes = 0;
    file->journal_len = 0;
    if (file->journaling && file->holding)
        journal_append(file, file->held, RRD_RANGEGATE_SIZE);
}

void rrd_give_back_frame_bytes(rrd_file *file)
{
    size_t rest = file->pushback_len - file->pushback_pos;
    unsigned char *joined;
    if (!file->journaling || file->journal_len == 0)
        return;
    joined = malloc(file->journal_len + rest);
    if (!joined) {
        file->sys_error = ENOMEM;
        return;
    }
    memcpy(joined, file->journal, file->journal_len);
    if (rest)
        memcpy(joined + file->journal_len, file->pushback + file->pushback_pos, rest);
    free(file->pushback);
    file->pushback = joined;
    file->pushback_len = file->journal_len + rest;
    file->pushback_pos = 0;
    file->journal_len = 0;
    file->holding = 0;
}

/* ---- Opening --------------------------------------------------------------------------------- */

static int ends_with(const char *path, const char *suffix)
{
    size_t n = strlen(path);
    size_t k = strlen(suffix);
    return n >= k && strcasecmp(path + n - k, suffix) == 0;
}

static int is_tar_gzip(const char *path)
{
    return ends_with(path, ".tar.gz") || ends_with(path, ".tgz");
}

/* Names that promise an archive or compressed file: when libarchive cannot read them, their
 * bytes are not data frames either, so there is no falling back to a plain file. */
static int is_archive_name(const char *path)
{
    static const char *const suffixes[] = {".gz", ".tgz", ".zip", ".tar", ".bz2",
                                           ".xz", ".zst", ".7z", ".tbz2", ".txz"};
    size_t i;
    for (i = 0; i < sizeof suffixes / sizeof suffixes[0]; ++i) {
        if (ends_with(path, suffixes[i]))
            return 1;
    }
    return 0;
}

static void open_plain(rrd_file *file, const char *path)
{
    struct stat st;
    file->file = fopen(path, "rb");
    if (!file->file) {
        file->sys_error = errno;
        return;
    }
    if (fstat(fileno(file->file), &st) == 0 && S_ISDIR(st.st_mode)) {
        fclose(file->file);
        file->file = NULL;
        file->sys_error = EISDIR;
    }
}

static void open_archive(rrd_file *file, const char *path)
{
    struct archive *reader = archive_read_new();
    struct archive_entry *entry = NULL;
    int rc;

    if (!reader) {
        file->sys_error = ENOMEM;
        return;
    }
    if (is_tar_gzip(path)) {
        archive_read_support_filter_gzip(reader);
    } else {
        archive_read_support_filter_all(reader);
    }
    archive_read_support_format_all(reader);
    rc = archive_read_open_filename(reader, path, RRD_ARCHIVE_BLOCK);
    if (rc == ARCHIVE_OK)
        rc = archive_read_next_header(reader, &entry);
    if (rc == ARCHIVE_EOF && archive_format(reader) == ARCHIVE_FORMAT_EMPTY) {
        archive_read_free(reader);
        if (is_archive_name(path))
            /* What a writer killed before its first bytes leaves: not an empty recording. */
            rrd_set_own_error(file, ends_with(path, ".zip") ? "empty zip file" : "empty archive file");
        else
            open_plain(file, path);
        return;
    }
    if (rc == ARCHIVE_OK || rc == ARCHIVE_WARN || rc == ARCHIVE_EOF) {
        file->archive = reader;
        file->archived = 1;
        file->unseekable = 1;
        if (rc == ARCHIVE_EOF)
            end_of_archive(file);
        else
            open_data_entry(file, entry);
        return;
    }
    if (is_archive_name(path)) {
        file->archive = reader;
        archive_fail(file, rc);
        file->archive = NULL;
        archive_read_free(reader);
        return;
    }
    archive_read_free(reader);
    open_plain(file, path);
}

void rrd_open_reader(rrd_file *file, const char *path)
{
    if (strcmp(path, "-") == 0) {
        file->file = stdin;
        file->standard = 1;
        file->unseekable = 1;
        file->journaling = 1;
        file->sniff = 1;
        return;
    }
    if (ends_with(path, ".gz") && !is_tar_gzip(path)) {
        /* A plain gzip file: decompressed here, never read as frames when it is damaged. */
        open_plain(file, path);
        if (!file->file)
            return;
        file->gz = rrd_inflater_new();
        if (!file->gz)
            file->sys_error = ENOMEM;
        file->archived = 1;
        file->unseekable = 1;
        return;
    }
    open_archive(file, path);
}

void rrd_close_reader(rrd_file *file)
{
    if (file->archive && !file->writing) {
        archive_read_close(file->archive);
        archive_read_free(file->archive);
        file->archive = NULL;
        file->entry = NULL;
    }
    free(file->gz);
    free(file->entry_gz);
    free(file->journal);
    free(file->pushback);
    file->gz = file->entry_gz = NULL;
    file->journal = file->pushback = NULL;
}
