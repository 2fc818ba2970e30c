/*
 * The free-space query of a volume.
 */
#include "rrd_internal.h"

#include <sys/statvfs.h>

int rrd_disk_space(const char *path, uint64_t *total, uint64_t *total_free, uint64_t *available)
{
    struct statvfs vfs;
    uint64_t unit;
    /* Paths are UTF-8 already, the form the file system takes them in. */
    if (!path || statvfs(path, &vfs) != 0)
        return -1;
    unit = vfs.f_frsize ? (uint64_t)vfs.f_frsize : (uint64_t)vfs.f_bsize;
    if (total)
        *total = (uint64_t)vfs.f_blocks * unit;
    if (total_free)
        *total_free = (uint64_t)vfs.f_bfree * unit;
    if (available)
        *available = (uint64_t)vfs.f_bavail * unit;
    return 0;
}
