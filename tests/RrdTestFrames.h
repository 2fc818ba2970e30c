#pragma once
// Frames and files for the radar-data library tests, made by the library itself.

#include "rrd.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstring>
#include <memory>
#include <vector>

namespace rrdtest {

struct FrameFree
{
    void operator()(rrd_frame *f) const { rrd_frame_free(f); }
};
struct FileFree
{
    void operator()(rrd_file *f) const { rrd_free(f); }
};
using Frame = std::unique_ptr<rrd_frame, FrameFree>;
using File = std::unique_ptr<rrd_file, FileFree>;

constexpr int64_t kBaseSeconds = 1706767200; // 2024-02-01 06:00:00 UTC

// A good frame whose time and values tell it apart from frames with another `id`.
inline Frame makeFrame(uint32_t format, int count, int id, char antenna = 'A')
{
    Frame f(rrd_frame_new(format, count));
    for (int i = 0; i < count; ++i) {
        unsigned char *rg = rrd_frame_rangegate(f.get(), i);
        rrd_put_s32(rg, i);
        for (int c = 0; c < RRD_CHANNELS; ++c)
            rrd_put_u32(rg + 4 + 4 * c, uint32_t(id * 7919 + i * 131 + c));
    }
    unsigned char *stamp = format == RRD_FORMAT_RRD0 ? f->info
                           : format == RRD_FORMAT_STAMPED ? f->data
                                                           : nullptr;
    if (stamp) {
        rrd_put_s32(stamp + RRD_INFO_SECONDS, int32_t(kBaseSeconds + id));
        rrd_put_s32(stamp + RRD_INFO_MICROS, 250000);
        rrd_put_u16(stamp + RRD_INFO_RANGEGATES, uint16_t(count));
    }
    if (format == RRD_FORMAT_RRD0) {
        f->info[RRD_INFO_ANTENNA] = uint8_t(antenna);
        std::strcpy(reinterpret_cast<char *>(f->info + RRD_INFO_NAME), "Station");
    }
    return f;
}

inline int64_t frameTimeOf(int id)
{
    return (kBaseSeconds + id) * 1000000 + 250000;
}

inline QByteArray bytesOf(const rrd_frame *f)
{
    return QByteArray(reinterpret_cast<const char *>(f->data), f->size);
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFrames(const QString &path, const std::vector<const rrd_frame *> &frames,
                 char mode = 'w')
{
    File out(rrd_open(path.toLatin1().constData(), mode));
    if (!rrd_is_open(out.get()))
        return false;
    for (const rrd_frame *f : frames) {
        if (rrd_write_frame(out.get(), f, nullptr) != 0)
            return false;
    }
    return rrd_close(out.get()) == 0;
}

// Raw frames of `count` records each; `firstValue` replaces channel 0 of the very first record.
inline std::vector<Frame> rawFrames(int frames, int count, int firstValue = -1)
{
    std::vector<Frame> list;
    for (int i = 0; i < frames; ++i)
        list.push_back(makeFrame(RRD_FORMAT_RAW, count, i));
    if (firstValue >= 0)
        rrd_put_u32(rrd_frame_rangegate(list[0].get(), 0) + 4, uint32_t(firstValue));
    return list;
}

inline std::vector<const rrd_frame *> pointers(const std::vector<Frame> &frames)
{
    std::vector<const rrd_frame *> list;
    for (const Frame &f : frames)
        list.push_back(f.get());
    return list;
}

struct ReadOutcome
{
    std::vector<Frame> frames;
    bool ok = false;
    QString error;
    int eof = -1;
    uint32_t format = 0;
    int rangegates = 0;
};

inline ReadOutcome readFrom(rrd_file *in, int extraReads = 0)
{
    ReadOutcome r;
    for (;;) {
        Frame f(rrd_frame_new(rrd_format(in), rrd_rangegates(in)));
        if (rrd_read_frame(in, f.get()) != 0)
            break;
        r.frames.push_back(std::move(f));
    }
    for (int i = 0; i < extraReads; ++i) {
        Frame f(rrd_frame_new(rrd_format(in), rrd_rangegates(in)));
        rrd_read_frame(in, f.get());
    }
    r.ok = rrd_ok(in);
    r.error = QString::fromLocal8Bit(rrd_strerror(in));
    r.eof = rrd_eof(in);
    r.format = rrd_format(in);
    r.rangegates = rrd_rangegates(in);
    return r;
}

inline ReadOutcome readAll(const QString &path, int extraReads = 0)
{
    File in(rrd_open(path.toLatin1().constData(), 'r'));
    return readFrom(in.get(), extraReads);
}

} // namespace rrdtest
