#include "SkPacket.h"

#include "RuConditioning.h"
#include "RuHalfMatrix.h"

#include <QtGlobal>

#include <algorithm>

namespace {

constexpr int Channels = RuMatrix::ColsAtCompileTime;
constexpr int Half = RuHalfMatrix::ColsAtCompileTime;
using Source = RuAlarmResult::HalfSymmetrySource;

SkPacket::MatrixPtr emptyMatrix()
{
    static const SkPacket::MatrixPtr empty = SkPacket::MatrixPtr::create(0, Channels);
    return empty;
}

void checkType(SkPacketTypeEnum type)
{
    switch (type) {
    case SkPacketTypeEnum::Original:
    case SkPacketTypeEnum::OriginalFiltered:
    case SkPacketTypeEnum::AvalancheBackground:
    case SkPacketTypeEnum::AvalancheNormalized:
    case SkPacketTypeEnum::LiveHalfSym:
        return;
    }
    qFatal("SkPacket::matrix() wrong packet type!");
}

// D(r, c) = V(r, c) - V(r, 1023 - c) on the left half, zero on the right, as the live values
// computed it.
RuMatrix halfSymmetryOf(const RuMatrix &v)
{
    RuMatrix d(v.rows(), Channels);
    for (int r = 0; r < v.rows(); ++r)
        d.row(r).head<Half>() = v.row(r).head<Half>() - v.row(r).tail<Half>().reverse();
    d.rightCols(Channels - Half).setZero();
    return d;
}

} // namespace

SkPacket::SkPacket() = default;

SkPacket::SkPacket(const RuFrame &frame, int frameNumber)
    : m_frame(frame), m_frameNumber(frameNumber)
{
}

bool SkPacket::hasMatrix(SkPacketTypeEnum type) const
{
    switch (type) {
    case SkPacketTypeEnum::Original:
        return hasFrame();
    case SkPacketTypeEnum::OriginalFiltered:
        return m_alarm && m_alarm->hasFiltered()
               && (m_alarm->filtered || !m_alarm->filteredMean.isNull() || hasFrame());
    case SkPacketTypeEnum::AvalancheBackground:
        return m_alarm && m_alarm->hasBackground();
    case SkPacketTypeEnum::AvalancheNormalized:
        return hasMatrix(SkPacketTypeEnum::OriginalFiltered) && m_alarm->hasNormalised();
    case SkPacketTypeEnum::LiveHalfSym:
        if (!m_alarm || !m_alarm->hasHalfSymmetry())
            return false;
        if (m_alarm->halfSymmetrySource == Source::Filtered)
            return hasMatrix(SkPacketTypeEnum::OriginalFiltered);
        if (m_alarm->halfSymmetrySource == Source::Normalised)
            return hasMatrix(SkPacketTypeEnum::AvalancheNormalized);
        return true;
    }
    return false;
}

int SkPacket::matrixRows(SkPacketTypeEnum type) const
{
    if (!hasMatrix(type))
        return 0;
    switch (type) {
    case SkPacketTypeEnum::Original:
        return m_frame.rows();
    case SkPacketTypeEnum::OriginalFiltered:
        if (m_alarm->filtered)
            return static_cast<int>(m_alarm->filtered->rows());
        return m_alarm->filteredMean.isNull() ? m_frame.rows() : m_alarm->filteredMean.rows();
    case SkPacketTypeEnum::AvalancheBackground:
        return backgroundRows();
    case SkPacketTypeEnum::AvalancheNormalized: {
        const int rows = matrixRows(SkPacketTypeEnum::OriginalFiltered);
        return rows == backgroundRows() ? rows : 0;
    }
    case SkPacketTypeEnum::LiveHalfSym:
        switch (m_alarm->halfSymmetrySource) {
        case Source::Filtered: return matrixRows(SkPacketTypeEnum::OriginalFiltered);
        case Source::Normalised: return matrixRows(SkPacketTypeEnum::AvalancheNormalized);
        case Source::Held: return static_cast<int>(m_alarm->halfSymmetry->rows());
        case Source::None: return 0;
        }
    }
    return 0;
}

SkPacket::MatrixPtr SkPacket::matrix(SkPacketTypeEnum type) const
{
    checkType(type);
    const int rows = matrixRows(type);
    if (rows == 0) {
        if (type == SkPacketTypeEnum::Original && hasFrame())
            return MatrixPtr::create(0, Channels);
        return emptyMatrix();
    }
    if (type == SkPacketTypeEnum::AvalancheBackground)
        return background();
    if (type == SkPacketTypeEnum::OriginalFiltered && m_alarm->filtered)
        return m_alarm->filtered;
    if (type == SkPacketTypeEnum::OriginalFiltered && !m_alarm->filteredMean.isNull()) {
        const RuTrailMean &mean = m_alarm->filteredMean;
        return MatrixPtr::create(mean.trail->mean(mean.pushes));
    }
    if (type == SkPacketTypeEnum::LiveHalfSym && m_alarm->halfSymmetrySource == Source::Held) {
        const RuHalfMatrix &half = *m_alarm->halfSymmetry;
        auto m = QSharedPointer<RuMatrix>::create(half.rows(), Channels);
        m->leftCols(Half) = half;
        m->rightCols(Channels - Half).setZero();
        return m;
    }
    // Whole matrices through the same functions the engine used, so every value is the same.
    if (type == SkPacketTypeEnum::Original)
        return MatrixPtr::create(m_frame.toMatrix());
    if (type == SkPacketTypeEnum::OriginalFiltered)
        return MatrixPtr::create(ruSpectralAverage(m_frame.toMatrix(), m_alarm->spectralRadius));
    const MatrixPtr filtered = matrix(SkPacketTypeEnum::OriginalFiltered);
    if (type == SkPacketTypeEnum::LiveHalfSym
        && m_alarm->halfSymmetrySource == Source::Filtered)
        return MatrixPtr::create(halfSymmetryOf(*filtered));
    const RuMatrix normalised = ruNormalised(*filtered, *background());
    if (type == SkPacketTypeEnum::AvalancheNormalized)
        return MatrixPtr::create(normalised);
    return MatrixPtr::create(halfSymmetryOf(normalised));
}

void SkPacket::originalRow(int row, float *out) const
{
    ruRecordToFloats(m_frame.rowData(row), out);
}

int SkPacket::backgroundRows() const
{
    return m_alarm->background ? static_cast<int>(m_alarm->background->rows())
                               : m_alarm->backgroundMean.rows();
}

SkPacket::MatrixPtr SkPacket::background() const
{
    if (m_alarm->background)
        return m_alarm->background;
    const RuTrailMean &mean = m_alarm->backgroundMean;
    return MatrixPtr::create(mean.trail->mean(mean.pushes));
}

SkPacket::Lanes SkPacket::lanes(Cursor *cursor, int index)
{
    if (!cursor)
        return Lanes();
    const size_t needed = static_cast<size_t>(index) + 1;
    if (cursor->filtered.size() < needed) {
        cursor->filtered.resize(needed);
        cursor->background.resize(needed);
    }
    return Lanes{&cursor->filtered[size_t(index)], &cursor->background[size_t(index)]};
}

void SkPacket::backgroundRow(int row, float *out, const Lanes &l) const
{
    if (m_alarm->background) {
        std::copy_n(m_alarm->background->row(row).data(), Channels, out);
        return;
    }
    const RuTrailMean &mean = m_alarm->backgroundMean;
    mean.trail->meanRow(mean.pushes, row, out, l.background);
}

float SkPacket::backgroundValue(int row, int channel, const Lanes &l) const
{
    if (m_alarm->background)
        return (*m_alarm->background)(row, channel);
    const RuTrailMean &mean = m_alarm->backgroundMean;
    return mean.trail->meanValue(mean.pushes, row, channel, l.background);
}

void SkPacket::filteredRow(int row, float *out, const Lanes &l) const
{
    if (m_alarm->filtered) {
        std::copy_n(m_alarm->filtered->row(row).data(), Channels, out);
        return;
    }
    const RuTrailMean &mean = m_alarm->filteredMean;
    if (!mean.isNull()) {
        mean.trail->meanRow(mean.pushes, row, out, l.filtered);
        return;
    }
    RuTrailInput{m_frame, m_alarm->spectralRadius, MatrixPtr()}.row(row, out);
}

void SkPacket::normalisedRow(int row, float *out, const Lanes &l) const
{
    filteredRow(row, out, l);
    float background[Channels];
    backgroundRow(row, background, l);
    for (int c = 0; c < Channels; ++c)
        out[c] = out[c] / std::max(background[c], 1.0f);
}

void SkPacket::matrixRow(SkPacketTypeEnum type, int row, float *out, Cursor *cursor) const
{
    checkType(type);
    const Lanes l = lanes(cursor, 0);
    switch (type) {
    case SkPacketTypeEnum::Original:
        originalRow(row, out);
        return;
    case SkPacketTypeEnum::OriginalFiltered:
        filteredRow(row, out, l);
        return;
    case SkPacketTypeEnum::AvalancheBackground:
        backgroundRow(row, out, l);
        return;
    case SkPacketTypeEnum::AvalancheNormalized:
        normalisedRow(row, out, l);
        return;
    case SkPacketTypeEnum::LiveHalfSym:
        break;
    }
    std::fill_n(out + Half, Channels - Half, 0.0f);
    if (m_alarm->halfSymmetrySource == Source::Held) {
        std::copy_n(m_alarm->halfSymmetry->row(row).data(), Half, out);
        return;
    }
    float v[Channels];
    if (m_alarm->halfSymmetrySource == Source::Filtered)
        filteredRow(row, v, l);
    else
        normalisedRow(row, v, l);
    for (int c = 0; c < Half; ++c)
        out[c] = v[c] - v[Channels - 1 - c];
}

float SkPacket::filteredValue(int row, int channel, const Lanes &l) const
{
    if (m_alarm->filtered)
        return (*m_alarm->filtered)(row, channel);
    const RuTrailMean &mean = m_alarm->filteredMean;
    if (!mean.isNull())
        return mean.trail->meanValue(mean.pushes, row, channel, l.filtered);
    return RuTrailInput::frameValue(m_frame, m_alarm->spectralRadius, row, channel);
}

float SkPacket::normalisedValue(int row, int channel, const Lanes &l) const
{
    return filteredValue(row, channel, l) / std::max(backgroundValue(row, channel, l), 1.0f);
}

float SkPacket::halfSymmetrySourceValue(int row, int channel, const Lanes &l) const
{
    if (m_alarm->halfSymmetrySource == Source::Filtered)
        return filteredValue(row, channel, l);
    return normalisedValue(row, channel, l);
}

float SkPacket::matrixValue(SkPacketTypeEnum type, int row, int channel, Cursor *cursor) const
{
    checkType(type);
    // Two lanes a row: the channel and its mirror (taken first, so that the cursor has grown
    // to both before either is used).
    const Lanes mirror = lanes(cursor, 2 * row + 1);
    const Lanes l = lanes(cursor, 2 * row);
    switch (type) {
    case SkPacketTypeEnum::Original:
        return static_cast<float>(m_frame.value(row, channel));
    case SkPacketTypeEnum::OriginalFiltered:
        return filteredValue(row, channel, l);
    case SkPacketTypeEnum::AvalancheBackground:
        return backgroundValue(row, channel, l);
    case SkPacketTypeEnum::AvalancheNormalized:
        return normalisedValue(row, channel, l);
    case SkPacketTypeEnum::LiveHalfSym:
        break;
    }
    if (channel >= Half)
        return 0.0f;
    if (m_alarm->halfSymmetrySource == Source::Held)
        return (*m_alarm->halfSymmetry)(row, channel);
    return halfSymmetrySourceValue(row, channel, l)
           - halfSymmetrySourceValue(row, Channels - 1 - channel, mirror);
}

void SkPacket::prefetchColumn(int channel, int rows) const
{
    if (!hasFrame())
        return;
    const int radius = m_alarm ? std::min(m_alarm->spectralRadius, Channels / 2) : 0;
    const int first = std::max(channel - radius, 0);
    const int last = std::min(channel + radius, Channels - 1);
    for (int j = 0; j < rows; ++j) {
        const unsigned char *src = m_frame.rowData(j);
        if (!src)
            return;
        __builtin_prefetch(src + 4 * first);
        __builtin_prefetch(src + 4 * last);
    }
}

void SkPacket::matrixColumn(SkPacketTypeEnum type, int channel, int rows, double *out,
                            int stride, Cursor *cursor) const
{
    if (type == SkPacketTypeEnum::LiveHalfSym) {
        if (channel >= Half) {
            for (int j = 0; j < rows; ++j)
                out[j * stride] = 0.0;
            return;
        }
        if (m_alarm->halfSymmetrySource != Source::Held) {
            prefetchColumn(Channels - 1 - channel, rows);
            prefetchColumn(channel, rows);
        }
    } else if (type != SkPacketTypeEnum::AvalancheBackground) {
        prefetchColumn(channel, rows); // the background's inputs are earlier frames
    }
    for (int j = 0; j < rows; ++j)
        out[j * stride] = matrixValue(type, j, channel, cursor);
}
