/*
 * Settings of the radar-data library that only tests change: buffer sizes, so that a test
 * can put the edge of a buffer where it wants it. Not part of rrd.h; programs do not call
 * these.
 */
#ifndef RRD_TESTING_H
#define RRD_TESTING_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Compressed bytes the gzip reader takes from its source at once, for handles opened after
 * the call; 0 restores the default (65536). */
void rrd_set_gzip_input_size(size_t bytes);

#ifdef __cplusplus
}
#endif

#endif /* RRD_TESTING_H */
