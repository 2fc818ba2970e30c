#pragma once
// An implicitly shared handle to one radar frame record. Copies share the record; any
// non-const access detaches with a deep copy first.

#include "RuFrameInfo.h"
#include "RuMatrix.h"
#include "rrd.h"

#include <QMetaType>
#include <QSharedDataPointer>

class RuFrameData;

class RuFrame
{
public:
    RuFrame();
    // Takes ownership of the record (freed with rrd_frame_free when the last handle goes).
    explicit RuFrame(rrd_frame *record);
    RuFrame(const RuFrame &other);
    RuFrame &operator=(const RuFrame &other);
    ~RuFrame();

    // Registers the meta-type "RuFrame" for queued signals; programs call it once at start-up.
    static void registerMetaType();

    bool isNull() const;
    bool isValid() const;
    int rows() const;

    // The 1024 little-endian unsigned 32-bit values of range gate `row` (byte-addressed:
    // records of stamped frames are not 4-byte aligned).
    const unsigned char *rowData(int row) const;
    unsigned char *rowData(int row);
    quint32 value(int row, int channel) const;

    bool hasStamp() const;
    // The frame carries a parameter block (RRD0).
    bool hasInfo() const;
    // The parameter block, decoded; an empty block (all zero, no process parameters) when the
    // frame carries none.
    RuFrameInfo info() const;
    // The parameter block carries the radar's own detector settings.
    bool hasProcessParameters() const;
    qint64 timeMicros() const;
    RuMatrix toMatrix() const;

    const rrd_frame *record() const;
    rrd_frame *record();
    // Replaces the record (taking ownership); detaches from other handles first.
    void setRecord(rrd_frame *record);

private:
    QSharedDataPointer<RuFrameData> d;
};

Q_DECLARE_METATYPE(RuFrame)
