#include "SkPacket.h"

#include <QtGlobal>

namespace {

SkPacket::MatrixPtr emptyMatrix()
{
    static const SkPacket::MatrixPtr empty =
        SkPacket::MatrixPtr::create(0, RuMatrix::ColsAtCompileTime);
    return empty;
}

} // namespace

SkPacket::SkPacket() : m_original(emptyMatrix()) {}

SkPacket::SkPacket(const RuFrame &frame, int frameNumber)
    : m_frame(frame), m_frameNumber(frameNumber),
      m_original(MatrixPtr::create(frame.toMatrix()))
{
}

void SkPacket::setAlarmResult(const SkAlarmResultSharedPtr &result)
{
    m_alarm = result;
    m_cache.clear(); // derived from the result it replaces
}

bool SkPacket::hasMatrix(SkPacketTypeEnum type) const
{
    switch (type) {
    case SkPacketTypeEnum::Original:
        return hasFrame();
    case SkPacketTypeEnum::OriginalFiltered:
        return m_alarm && m_alarm->hasFiltered();
    case SkPacketTypeEnum::AvalancheBackground:
        return m_alarm && m_alarm->hasBackground();
    case SkPacketTypeEnum::AvalancheNormalized:
        return m_alarm && m_alarm->hasNormalised();
    case SkPacketTypeEnum::LiveHalfSym:
        return m_alarm && m_alarm->hasHalfSymmetry();
    }
    return false;
}

SkPacket::MatrixPtr SkPacket::matrix(SkPacketTypeEnum type) const
{
    switch (type) {
    case SkPacketTypeEnum::Original:
        return m_original;
    case SkPacketTypeEnum::OriginalFiltered:
    case SkPacketTypeEnum::AvalancheBackground:
    case SkPacketTypeEnum::AvalancheNormalized:
    case SkPacketTypeEnum::LiveHalfSym:
        break;
    default:
        qFatal("SkPacket::matrix() wrong packet type!");
    }
    const int key = static_cast<int>(type);
    const auto cached = m_cache.constFind(key);
    if (cached != m_cache.constEnd())
        return *cached;
    if (!hasMatrix(type))
        return emptyMatrix(); // not cached: a result may still arrive
    MatrixPtr m;
    switch (type) {
    case SkPacketTypeEnum::OriginalFiltered:
        m = m_alarm->filtered; // immutable and shared: no copy needed
        break;
    case SkPacketTypeEnum::AvalancheBackground:
        m = m_alarm->background;
        break;
    case SkPacketTypeEnum::AvalancheNormalized:
        m = MatrixPtr::create(m_alarm->normalised());
        break;
    default:
        m = MatrixPtr::create(m_alarm->halfSymmetryMatrix());
        break;
    }
    m_cache.insert(key, m);
    return m;
}
