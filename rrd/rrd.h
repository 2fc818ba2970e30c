/*
 * rrd: the radar-data library.
 *
 * Frames of the monitoring radar in their on-disk/on-wire layout, and the handle that reads
 * and writes them from plain files, gzip files, archives, standard input/output and TCP
 * streams. Plain records and free functions: calls return 0 for success and -1 for failure
 * (or a pointer / NULL), the error stays in the handle and rrd_strerror() turns it into text.
 * Nothing prints and nothing throws. All binary data is little-endian.
 */
#ifndef RRD_H
#define RRD_H

#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Constants ------------------------------------------------------------------------- */

#define RRD_CHANNELS 1024            /* Doppler channels per range gate */
#define RRD_RANGEGATE_SIZE 4100      /* one range-gate record: s32 number + 1024 x u32 */
#define RRD_INFO_SIZE 4096           /* the rrd_info block of an RRD0 frame */
#define RRD_INFO_USED 896            /* bytes of rrd_info that carry information */
#define RRD_STAMP_SIZE 10            /* s32 seconds, s32 microseconds, u16 range gates */
#define RRD_MAX_RANGEGATE_NUMBER 128 /* largest record number accepted in raw frames */
#define RRD_TAG 0x30445252u          /* "RRD0" read as little-endian u32 */
#define RRD_MASK_SIZE 16             /* range-gate mask: four u32 words */

enum rrd_format {
    RRD_FORMAT_NONE = 0,
    RRD_FORMAT_RAW = 1,
    RRD_FORMAT_STAMPED = 2,
    RRD_FORMAT_RRD0 = 3
};

enum rrd_frame_errno {
    RRD_FRAME_OK = 0,
    RRD_FRAME_BAD_NUMBERING = 1,
    RRD_FRAME_COUNT_MISMATCH = 2,
    RRD_FRAME_BAD_ANTENNA = 3,
    RRD_FRAME_NO_RANGEGATES = 4,   /* a frame of 0 range gates */
    RRD_FRAME_BAD_TAG = 5          /* a later RRD0 frame without its tag */
};

/* Byte offsets inside rrd_info. */
enum rrd_info_offset {
    RRD_INFO_SECONDS = 0,          /* s32 measurement time, seconds since 1970 UTC */
    RRD_INFO_MICROS = 4,           /* s32 measurement time, microseconds part */
    RRD_INFO_RANGEGATES = 8,       /* u16 range gates of this frame */
    RRD_INFO_PROFILE = 10,         /* 32 bytes, zero-terminated Latin-1 */
    RRD_INFO_NAME = 42,            /* 32 bytes, zero-terminated Latin-1 */
    RRD_INFO_FLAGS = 74,           /* u8: bit 0 extended block, bit 2 PLL states valid */
    RRD_INFO_GMT = 76,             /* s32 time-zone offset of the measurement time, seconds */
    RRD_INFO_ANTENNA = 80,         /* u8 'A' or 'B' */
    RRD_INFO_MODE = 82,            /* u16 */
    RRD_INFO_PRF = 84,             /* u16 */
    RRD_INFO_RANGE = 86,           /* u16 metres */
    RRD_INFO_BLINDRANGE = 88,      /* u16 metres */
    RRD_INFO_RG_WIDTH = 90,        /* u16 metres */
    RRD_INFO_AMPLITUDE = 92,       /* u32 */
    RRD_INFO_COMPR_LEN = 96,       /* u16 */
    RRD_INFO_TX_DELAY = 98,        /* u16 */
    RRD_INFO_PULSE_DELAY = 100,    /* s16 */
    RRD_INFO_POLARITY = 102,       /* u16 */
    RRD_INFO_GLIDING_MEAN = 104,   /* u16 */
    RRD_INFO_FREQUENCY = 108,      /* u32 1/s */
    RRD_INFO_INTEGRATE = 112,      /* u16 exponent: 2^value spectra integrated */
    RRD_INFO_COMBINE = 114,        /* u16 */
    RRD_INFO_LOOPS = 116,          /* u16 */
    RRD_INFO_AVG_SPEC = 118,       /* u16 */
    RRD_INFO_RXTX_START = 120,     /* s16 */
    RRD_INFO_RXTX_END = 122,       /* s16 */
    RRD_INFO_COR_START = 124,      /* s16 */
    RRD_INFO_COR_END = 126,        /* s16 */
    RRD_INFO_PA_START = 128,       /* s16 */
    RRD_INFO_PA_END = 130,         /* s16 */
    RRD_INFO_PRF_GATES = 132,      /* u16 */
    RRD_INFO_BLIND_GATES = 134,    /* u16 */
    RRD_INFO_DIVIDER = 136,        /* u16 */
    RRD_INFO_RX_START = 138,       /* s16, flags bit 0 */
    RRD_INFO_RX_END = 140,         /* s16, flags bit 0 */
    RRD_INFO_P_SECONDS = 148,      /* s32 processing time; 0 = absent */
    RRD_INFO_P_MICROS = 152,       /* s32 */
    RRD_INFO_P_GMT = 156,          /* s32 */
    RRD_INFO_TEMP_PC = 160,        /* u32 hundredths of a kelvin; 0 = absent */
    RRD_INFO_TEMP_IN = 164,        /* u32 */
    RRD_INFO_TEMP_OUT = 168,       /* u32 */
    RRD_INFO_TEMP_MOD1 = 172,      /* u32, flags bit 0 */
    RRD_INFO_TEMP_MOD2 = 176,      /* u32, flags bit 0 */
    RRD_INFO_TEMP_MOD3 = 180,      /* u32, flags bit 0 */
    RRD_INFO_POWER = 184,          /* u32, flags bit 0 */
    RRD_INFO_VCC1 = 188,           /* s32 millivolts, flags bit 0 */
    RRD_INFO_VCC2 = 192,           /* s32 */
    RRD_INFO_VCC3 = 196,           /* s32 */
    RRD_INFO_VERSION_FW = 200,     /* u32, flags bit 0 */
    RRD_INFO_VERSION_HW = 204,     /* u32, flags bit 0 */
    RRD_INFO_RG_WIDTH_MM = 208,    /* u32 millimetres; 0 = absent */
    RRD_INFO_PLLS = 212,           /* u8 bits 0..2 = PLL 1..3 locked, flags bit 2 */
    RRD_INFO_PP_PRESENT = 508,     /* u16: 1 = process-parameter section present */

    /* Process-parameter section. */
    RRD_PP_GENERAL = 512,          /* 7 x u16: bgLength bgDelay avgTime avgSpectrum
                                      toWardSearch liveChBegin liveChEnd */
    RRD_PP_LIVE_VELOCITY_SOURCE = 526, /* u8 */
    RRD_PP_LIVE_VELOCITY_LOW = 528,    /* f32 */
    RRD_PP_AVALANCHE = 540,        /* 3 blocks of RRD_PP_AVALANCHE_SIZE bytes */
    RRD_PP_WL_PRESENT = 804,       /* u8 */
    RRD_PP_WL_RANGEGATE = 806,     /* u16 */
    RRD_PP_WL_ALARM_ON = 808,      /* f32 */
    RRD_PP_WL_ALARM_OFF = 812,     /* f32 */
    RRD_PP_WL_INCIDENT_ON = 816,   /* f32 */
    RRD_PP_WL_INCIDENT_OFF = 820,  /* f32 */
    RRD_PP_WL_CH_BEGIN = 824,      /* u16 */
    RRD_PP_WL_CH_WIDTH = 826,      /* u16 */
    RRD_PP_WL_SAMPLES = 828,       /* u16 */
    RRD_PP_RAIN_PRESENT = 844,     /* u8 */
    RRD_PP_RAIN_AVG_TIME = 846,    /* u16 */
    RRD_PP_RAIN_AVG_SPECTRUM = 848, /* u16 */
    RRD_PP_RAIN_IGNORE = 852,      /* range-gate mask */
    RRD_PP_RAIN_ALARM_ON = 868,    /* f32 */
    RRD_PP_RAIN_ALARM_OFF = 872,   /* f32 */
    RRD_PP_RAIN_CH_BEGIN = 876,    /* u16 */
    RRD_PP_RAIN_CH_WIDTH = 878,    /* u16 */
    RRD_PP_RAIN_BG_DELAY = 880     /* u16 */
};

/* Offsets inside avalanche block k, which starts at RRD_PP_AVALANCHE + k * 88. */
enum rrd_pp_avalanche_offset {
    RRD_PP_AVALANCHE_SIZE = 88,
    RRD_PP_AV_PRESENT = 0,         /* u8 */
    RRD_PP_AV_PRE_ALARM_SAME = 1,  /* u8 */
    RRD_PP_AV_LENGTH_MIN = 2,      /* u16 */
    RRD_PP_AV_PER_COL_MIN = 4,     /* u16 */
    RRD_PP_AV_PER_ROW_MIN = 6,     /* u16 */
    RRD_PP_AV_BORDER_LEFT = 8,     /* u16 */
    RRD_PP_AV_BORDER_RIGHT = 10,   /* u16 */
    RRD_PP_AV_SUM_PER_ROW_MIN = 12, /* u32 */
    RRD_PP_AV_SUM_SUM_MIN = 16,    /* u32 */
    RRD_PP_AV_THRESHOLD_ON = 20,   /* f32 */
    RRD_PP_AV_THRESHOLD_OFF = 24,  /* f32 */
    RRD_PP_AV_IGNORE = 28,         /* range-gate mask */
    RRD_PP_AV_SPECIAL = 44,        /* range-gate mask */
    RRD_PP_AV_NO_ALARM = 60        /* range-gate mask */
};

/* ---- Little-endian byte helpers --------------------------------------------------------- */

static inline uint16_t rrd_get_u16(const unsigned char *p) { return (uint16_t)(p[0] | (p[1] << 8)); }
static inline int16_t rrd_get_s16(const unsigned char *p) { return (int16_t)rrd_get_u16(p); }
static inline uint32_t rrd_get_u32(const unsigned char *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
static inline int32_t rrd_get_s32(const unsigned char *p) { return (int32_t)rrd_get_u32(p); }
static inline float rrd_get_f32(const unsigned char *p)
{
    uint32_t u = rrd_get_u32(p);
    float f;
    memcpy(&f, &u, sizeof f);
    return f;
}
static inline void rrd_put_u16(unsigned char *p, uint16_t v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}
static inline void rrd_put_u32(unsigned char *p, uint32_t v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}
static inline void rrd_put_s32(unsigned char *p, int32_t v) { rrd_put_u32(p, (uint32_t)v); }
static inline void rrd_put_f32(unsigned char *p, float f)
{
    uint32_t u;
    memcpy(&u, &f, sizeof u);
    rrd_put_u32(p, u);
}

/* ---- Frame record ----------------------------------------------------------------------- */

/* One frame in its file layout. `data` holds the whole frame (stamp or tag and rrd_info
 * included); `rangegates` points at the first 4100-byte range-gate record inside it and `info`
 * at the rrd_info block (format 3 only). Records are byte-addressed: in format 2 they start at
 * an odd offset, so values are read with the byte helpers above, never through casts. */
typedef struct rrd_frame {
    unsigned char *data;
    int32_t size;
    int32_t capacity;
    unsigned char *rangegates;
    unsigned char *info;
    int32_t count;
    int32_t max_count;
    uint32_t format;
    uint32_t number;
    uint32_t borrowed;
} rrd_frame;

int32_t rrd_frame_size(uint32_t format, int32_t count);
rrd_frame *rrd_frame_new(uint32_t format, int32_t count);
int rrd_frame_resize(rrd_frame *frame, uint32_t format, int32_t count);
rrd_frame *rrd_frame_copy(const rrd_frame *frame);
void rrd_frame_free(rrd_frame *frame);

unsigned char *rrd_frame_rangegate(const rrd_frame *frame, int32_t index);
unsigned char *rrd_frame_info(const rrd_frame *frame);
int32_t rrd_frame_rangegates(const rrd_frame *frame);
uint32_t rrd_frame_format(const rrd_frame *frame);

/* Microseconds since 1970 UTC from rrd_info (format 3) or the stamp (format 2); 0 otherwise. */
int64_t rrd_frame_time(const rrd_frame *frame);

/* The frame check: 0 for a good frame, else an rrd_frame_errno code. */
int rrd_frame_check(const rrd_frame *frame);
const char *rrd_frame_strerror(int code);

/* Decodes a 16-byte range-gate mask (bit 31 of word w selects range gate 32*w) into
 * `out` (room for 128) in ascending order; returns how many were written. */
int rrd_mask_decode(const unsigned char *mask, int *out);
/* The inverse: sets the bits of the listed range gates (0..127; others are ignored). */
void rrd_mask_encode(const int *rangegates, int n, unsigned char *mask);

/* ---- Reading and writing handle ---------------------------------------------------------- */

typedef struct rrd_file rrd_file;

int rrd_disk_space(const char *path, uint64_t *total, uint64_t *total_free, uint64_t *available);

/* mode 'r' reads; '+', 'a', 'w' (or any other character) write. */
rrd_file *rrd_open(const char *path, char mode);
/* A TCP stream from the radar (IPv4), for reading. TCP keep-alive is on, so that a link that
 * dies without a word is noticed within about a minute. */
rrd_file *rrd_connect(const char *host, const char *service);
int rrd_set_timeout(rrd_file *file, int seconds);

/* Ends blocked reads from standard input and sockets within a fraction of a second: they fail
 * with EINTR (a system error) and keep the part of a frame already read for the next read.
 * rrd_request_stop() is safe in a signal handler; it holds for every handle until cleared. */
void rrd_request_stop(void);
void rrd_clear_stop(void);

int rrd_read_frame(rrd_file *file, rrd_frame *frame);
int rrd_write_frame(rrd_file *file, const rrd_frame *frame, const unsigned char *default_info);
/* Pushes every frame written so far out to the file, so that a writer killed afterwards loses
 * nothing before this point: a gzip writer completes its compressed blocks on its compressing
 * thread and writes them (the file then reads up to here, ending as a cut gzip stream), a
 * plain file or standard output is flushed. 0, or -1 with the error in the handle. */
int rrd_flush(rrd_file *file);

int rrd_frame_total(rrd_file *file, int64_t *count);
int rrd_seek(rrd_file *file, int64_t index);
/* 1 when the input ended cleanly at a frame boundary, 0 otherwise, -1 for a handle that is not
 * open. Like every query it changes nothing in the handle. */
int rrd_eof(const rrd_file *file);

/* What went wrong on a handle, for callers that decide on codes rather than texts. */
enum rrd_error_code {
    RRD_ERR_NONE = 0,       /* good, and the end of input has not been met */
    RRD_ERR_END = 1,        /* the input ended cleanly at a frame boundary */
    RRD_ERR_TIMEOUT = 2,    /* nothing arrived within the receive time-out; reading resumes */
    RRD_ERR_SYSTEM = 3,     /* a system call failed (rrd_strerror names the cause) */
    RRD_ERR_LOOKUP = 4,     /* the host name could not be resolved */
    RRD_ERR_FRAME = 5,      /* a frame failed its check */
    RRD_ERR_ARCHIVE = 6,    /* the archive or the gzip stream is damaged or refused */
    RRD_ERR_INCOMPLETE = 7  /* the input ended inside a frame */
};
/* The rrd_error_code of the handle's state; RRD_ERR_SYSTEM for none. */
int rrd_errno(const rrd_file *file);

int rrd_is_open(const rrd_file *file);
int rrd_ok(const rrd_file *file);
uint32_t rrd_format(const rrd_file *file);
int32_t rrd_rangegates(const rrd_file *file);
uint32_t rrd_position(const rrd_file *file);

const char *rrd_strerror(const rrd_file *file);
/* Completes and closes what the handle reads or writes (the end of a gzip stream, buffered
 * bytes) but keeps the handle, so that the outcome stays in it: 0, or -1 when the output
 * could not be completed, rrd_errno() and rrd_strerror() then telling why ("the end of the
 * file could not be written: No space left on device"). A closed handle is no longer open;
 * closing it again gives the same result. */
int rrd_close(rrd_file *file);
/* Frees the handle (NULL is accepted), closing it first if that has not been done; the
 * result of such a close is lost, so a writer calls rrd_close() itself. */
void rrd_free(rrd_file *file);

#ifdef __cplusplus
}
#endif

#endif /* RRD_H */
