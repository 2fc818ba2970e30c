#include "RuFrameFeed.h"

#include "RuFile.h"
#include "RuFrame.h"

RuFrameFeed::RuFrameFeed(const RuSimulatorOptions &options)
    : m_simulator(new RuSimulator(options))
{
}

RuFrameFeed::RuFrameFeed(const QStringList &sources) : m_sources(sources) {}

RuFrameFeed::~RuFrameFeed()
{
    rrd_frame_free(m_record);
}

RuFrameFeed::Result RuFrameFeed::next(bool loop, QByteArray *bytes)
{
    if (!m_simulator)
        return nextFromSources(loop, bytes);
    if (!loop && m_index >= m_simulator->options().frames)
        return Result::End;
    if (!m_record)
        m_record = m_simulator->newRecord(m_index);
    else if (m_simulator->fill(m_index, m_record) != 0) {
        rrd_frame_free(m_record);
        m_record = nullptr;
    }
    if (!m_record) {
        m_error = QStringLiteral("out of memory");
        return Result::Error;
    }
    ++m_index;
    *bytes = QByteArray(reinterpret_cast<const char *>(m_record->data), m_record->size);
    return Result::Frame;
}

// Sources are read one after the other; with loop the list starts over, unless a whole pass
// gave no frame at all (an empty list would otherwise spin).
RuFrameFeed::Result RuFrameFeed::nextFromSources(bool loop, QByteArray *bytes)
{
    for (;;) {
        if (m_file) {
            RuFrame frame;
            if (m_file->readFrame(frame)) {
                ++m_framesThisPass;
                const rrd_frame *r = frame.record();
                *bytes = QByteArray(reinterpret_cast<const char *>(r->data), r->size);
                return Result::Frame;
            }
            if (m_file->errorCode() != RRD_ERR_END) {
                m_error = QStringLiteral("%1: %2").arg(m_sources.value(m_source),
                                                       m_file->errorString());
                m_file.reset();
                return Result::Error;
            }
            m_file.reset();
        }
        if (++m_source >= m_sources.size()) {
            if (!loop || m_framesThisPass == 0)
                return Result::End;
            m_source = 0;
            m_framesThisPass = 0;
        }
        m_file.reset(new RuFile);
        m_file->open(m_sources[m_source], 'r', 10);
        if (!m_file->isOpen()) {
            m_error = QStringLiteral("%1: %2").arg(m_sources[m_source], m_file->errorString());
            m_file.reset();
            return Result::Error;
        }
    }
}
