#pragma once
// An implicitly shared handle to one radar frame record. Copies share the record; any
// non-const access detaches with a deep copy first.

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
    const unsigned char *info() const;
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
