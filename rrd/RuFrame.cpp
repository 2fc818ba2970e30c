#include "RuFrame.h"

#include <QSharedData>

class RuFrameData : public QSharedData
{
public:
    RuFrameData() = default;
    explicit RuFrameData(rrd_frame *r) : record(r), rows(r ? rrd_frame_rangegates(r) : 0) {}
    RuFrameData(const RuFrameData &other)
        : QSharedData(other), record(rrd_frame_copy(other.record)),
          rows(record ? other.rows : 0)
    {
    }
    ~RuFrameData() { rrd_frame_free(record); }
    RuFrameData &operator=(const RuFrameData &) = delete;

    rrd_frame *record = nullptr;
    int rows = 0;
};

RuFrame::RuFrame() : d(new RuFrameData) {}
RuFrame::RuFrame(rrd_frame *record) : d(new RuFrameData(record)) {}
RuFrame::RuFrame(const RuFrame &other) = default;
RuFrame &RuFrame::operator=(const RuFrame &other) = default;
RuFrame::~RuFrame() = default;

void RuFrame::registerMetaType()
{
    qRegisterMetaType<RuFrame>("RuFrame");
}

bool RuFrame::isNull() const { return d->record == nullptr; }

bool RuFrame::isValid() const
{
    return d->record && d->rows >= 1;
}

int RuFrame::rows() const { return d->rows; }

const unsigned char *RuFrame::rowData(int row) const
{
    if (!d->record || row < 0 || row >= d->rows)
        return nullptr;
    return rrd_frame_rangegate(d->record, row) + 4;
}

unsigned char *RuFrame::rowData(int row)
{
    if (!d->record || row < 0 || row >= d->rows)
        return nullptr;
    return rrd_frame_rangegate(d->record, row) + 4;
}

quint32 RuFrame::value(int row, int channel) const
{
    const unsigned char *p = rowData(row);
    if (!p || channel < 0 || channel >= RRD_CHANNELS)
        return 0;
    return rrd_get_u32(p + 4 * channel);
}

bool RuFrame::hasStamp() const { return d->record && d->record->format > RRD_FORMAT_RAW; }

bool RuFrame::hasInfo() const { return d->record && rrd_frame_info(d->record); }

RuFrameInfo RuFrame::info() const
{
    return hasInfo() ? RuFrameInfo::decode(rrd_frame_info(d->record)) : RuFrameInfo();
}

bool RuFrame::hasProcessParameters() const
{
    return hasInfo() && RuFrameInfo::hasProcessParameters(rrd_frame_info(d->record));
}

qint64 RuFrame::timeMicros() const { return d->record ? rrd_frame_time(d->record) : 0; }

RuMatrix RuFrame::toMatrix() const
{
    RuMatrix m(d->rows, RRD_CHANNELS);
    for (int r = 0; r < d->rows; ++r) {
        const unsigned char *src = rowData(r);
        float *dst = m.row(r).data();
        for (int c = 0; c < RRD_CHANNELS; ++c)
            dst[c] = static_cast<float>(rrd_get_u32(src + 4 * c));
    }
    return m;
}

const rrd_frame *RuFrame::record() const { return d->record; }

rrd_frame *RuFrame::record() { return d->record; }

void RuFrame::setRecord(rrd_frame *record)
{
    // A fresh private record: other handles keep the old one, nothing is copied.
    d = new RuFrameData(record);
}
