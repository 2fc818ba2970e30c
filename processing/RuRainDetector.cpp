#include "RuRainDetector.h"

#include <algorithm>

namespace {

constexpr int Channels = RuMatrix::ColsAtCompileTime;

int wrap(long long channel)
{
    return static_cast<int>((channel % Channels + Channels) % Channels);
}

// Sum of the `width` channels from `first` on, channel indices wrapping modulo 1024.
double wrappedWindowSum(const RuMatrix &m, int row, int first, int width)
{
    const int head = std::min(width, Channels - first);
    double sum = m.row(row).segment(first, head).sum();
    if (width > head)
        sum += m.row(row).head(width - head).sum();
    return sum;
}

// The window summed over the spectral average of radius n (each channel the mean of the
// 2n+1 channels around it, wrapping): the mean of the window's sums shifted by -n..n. The
// shifted sums repeat every 1024 shifts, so whole laps collapse to one product and at most
// 1023 shifts are walked whatever the radius.
double averagedWindowSum(const RuMatrix &m, int row, int begin, int width, int n)
{
    const long long terms = 2LL * n + 1;
    const long long laps = terms / Channels;
    const int rest = static_cast<int>(terms % Channels);
    double sum = 0.0;
    if (laps > 0)
        sum = static_cast<double>(laps) * width * m.row(row).sum();
    int first = wrap(static_cast<long long>(begin) - n);
    double shifted = wrappedWindowSum(m, row, first, width);
    for (int k = 0; k < rest; ++k) {
        sum += shifted;
        shifted += static_cast<double>(m(row, wrap(static_cast<long long>(first) + width)))
                   - m(row, first);
        first = wrap(first + 1);
    }
    return sum / static_cast<double>(terms);
}

} // namespace

void RuRainDetector::initialise(const RuRainParams &params, int rows)
{
    m_rows = std::max(rows, 0);
    m_alarmOn = false;
    m_ignored.assign(m_rows, 0);
    for (int r : params.rangegatesToIgnore) {
        if (r >= 0 && r < m_rows)
            m_ignored[r] = 1;
    }
    m_window.clear();
    m_windowSum = Sums::Zero(m_rows);
    m_queue.clear();
    m_current = Eigen::VectorXf::Zero(m_rows);
}

void RuRainDetector::process(const RuRainParams &params, const RuMatrix &raw,
                             RuRainResult &result)
{
    if (raw.rows() != m_rows)
        initialise(params, static_cast<int>(raw.rows()));
    pushTimeAverage(params, raw);
    // While the alarm is on the background stays as it was before the rain.
    if (!m_alarmOn)
        pushBackground(params);
    ratios(result);
    if (params.thresholdAlarmOn == 0.0f)
        return;
    decide(params, result);
}

void RuRainDetector::rowSums(const RuRainParams &params, const RuMatrix &raw, Sums &out) const
{
    // A window reaching past the last channel is clipped to the row.
    const int begin = std::clamp(params.chBegin, 0, Channels);
    const int end = static_cast<int>(std::clamp(static_cast<long long>(params.chBegin)
                                                    + params.chWidth,
                                                static_cast<long long>(begin),
                                                static_cast<long long>(Channels)));
    const int width = end - begin;
    out.resize(raw.rows());
    for (int r = 0; r < raw.rows(); ++r) {
        if (params.avgSpectrum > 0)
            out[r] = averagedWindowSum(raw, r, begin, width, params.avgSpectrum);
        else
            out[r] = raw.row(r).segment(begin, width).sum();
    }
}

// The time average is linear, so averaging the row sums of the last frames gives the row
// sums of the averaged frames without keeping any matrix.
void RuRainDetector::pushTimeAverage(const RuRainParams &params, const RuMatrix &raw)
{
    const std::size_t length = static_cast<std::size_t>(std::max(params.avgTime, 1));
    Sums sums;
    if (m_window.size() >= length) {
        m_windowSum -= m_window.front();
        sums = std::move(m_window.front()); // reuse its storage
        m_window.pop_front();
    }
    rowSums(params, raw, sums);
    if (m_window.empty())
        m_windowSum = sums;
    else
        m_windowSum += sums;
    m_window.push_back(std::move(sums));
    m_current = (m_windowSum / static_cast<double>(m_window.size())).cast<float>();
}

void RuRainDetector::pushBackground(const RuRainParams &params)
{
    // A delay below 1 would leave no background at all; the current frame is the least.
    const std::size_t capacity = static_cast<std::size_t>(std::max(params.bgFrameDelay, 1));
    if (m_queue.size() >= capacity) {
        Eigen::VectorXf recycled = std::move(m_queue.front());
        m_queue.pop_front();
        recycled = m_current;
        m_queue.push_back(std::move(recycled));
    } else {
        m_queue.push_back(m_current);
    }
}

void RuRainDetector::ratios(RuRainResult &result) const
{
    result.ratios.fill(0.0f, m_rows);
    result.summedCurrent = 0.0f;
    result.summedBackground = 0.0f;
    const Eigen::VectorXf &first = m_queue.empty() ? m_current : m_queue.front();
    const Eigen::VectorXf &last = m_queue.empty() ? m_current : m_queue.back();
    for (int r = 0; r < m_rows; ++r) {
        if (m_ignored[r])
            continue;
        const float background = (first[r] + last[r]) / 2.0f;
        result.ratios[r] = m_current[r] / background;
        result.summedCurrent += m_current[r];
        result.summedBackground += background;
    }
}

void RuRainDetector::decide(const RuRainParams &params, RuRainResult &result)
{
    // Mean of the two largest ratios, both floored at 0: one strong range gate alone counts
    // half, and NaN ratios of empty range gates never count.
    float largest = 0.0f;
    float second = 0.0f;
    for (float ratio : result.ratios) {
        if (ratio > largest) {
            second = largest;
            largest = ratio;
        } else if (ratio > second) {
            second = ratio;
        }
    }
    result.activity = (largest + second) / 2.0f;
    if (!m_alarmOn) {
        m_alarmOn = result.activity > params.thresholdAlarmOn;
        result.status = m_alarmOn ? RuStatusAlarmOn : RuStatusQuiet;
        return;
    }
    const float off = params.thresholdAlarmOff != 0.0f ? params.thresholdAlarmOff
                                                       : params.thresholdAlarmOn;
    m_alarmOn = result.activity > off;
    result.status = m_alarmOn ? RuStatusAlarmContinues : RuStatusAlarmOff;
}
