#include "data/scan/rangesliced.h"

#include <algorithm>

namespace ZData::DS {

using ZCore::TFrequency;

namespace {
constexpr double kHalf = 0.5;
}

RangeSliced::RangeSliced(QObject *parent)
    : QObject(parent),
      m_limitMin(ZCore::kFrequencyMin),
      m_limitMax(ZCore::kFrequencyMax),
      m_maxSpan(spanOfLimits(ZCore::kFrequencyMin, ZCore::kFrequencyMax))
{
}

TFrequency RangeSliced::spanOfLimits(TFrequency min, TFrequency max)
{
    return TFrequency((max.MHz() - min.MHz()) * TFrequency::kHzPerMHz);
}

void RangeSliced::setLimits(TFrequency min, TFrequency max)
{
    m_limitMin = min;
    m_limitMax = max;
    m_maxSpan = spanOfLimits(min, max);
}

TFrequency RangeSliced::clampToLimits(TFrequency frequency) const
{
    TFrequency result = frequency > m_limitMax ? m_limitMax : frequency;
    // Written as "unless above" so that a NaN lands on the lower limit.
    if (!(result > m_limitMin))
        result = m_limitMin;
    return result;
}

void RangeSliced::setStart(TFrequency frequency, bool notify)
{
    m_start = clampToLimits(frequency);
    if (m_start <= m_stop) {
        m_span = std::min(m_stop - m_start, m_maxSpan);
    } else if (m_start + m_span > m_limitMax) {
        // Moved past the stop: the span is kept as far as the limit allows.
        m_span = m_limitMax - m_start;
    }
    m_stop = m_start + m_span;
    m_center = TFrequency(m_start.hz() + m_span.hz() * kHalf);
    updateStep(notify);
}

void RangeSliced::setStop(TFrequency frequency, bool notify)
{
    m_stop = clampToLimits(frequency);
    if (m_stop > m_start) {
        m_span = m_stop - m_start;
    } else {
        // Moved below the start: the span is kept as far as the limits allow.
        const TFrequency newStart = m_stop - m_span;
        if (newStart < m_limitMin || newStart > m_limitMax)
            m_span = m_stop - m_limitMin;
        m_start = m_stop - m_span;
    }
    m_center = TFrequency(m_stop.hz() - m_span.hz() * kHalf);
    updateStep(notify);
}

void RangeSliced::setPoints(quint32 count, bool notify)
{
    m_points = std::clamp(count, kMinPoints, kMaxPoints);
    m_slicesTotal = (m_points + kSliceSize - 1) / kSliceSize;
    updateStep(notify);
}

void RangeSliced::updateStep(bool notify)
{
    // Unsigned on purpose: a range whose points were never set divides by
    // 2^32 - 1 instead of by zero or a negative count.
    const quint32 intervals = m_points - 1U;
    m_step = TFrequency(std::max(m_span.hz() / double(intervals), kMinStepHz));
    if (!notify)
        return;
    emit signalUpdated();
    m_nextIndex = 0;
    m_sliceCount = 0;
}

QVector<quint64> RangeSliced::nextSlice()
{
    // The count may have shrunk without a notified update; a slice must never
    // start beyond the range.
    if (m_nextIndex >= m_points)
        m_nextIndex = 0;
    m_sliceStart = m_nextIndex;

    quint32 end = m_sliceStart + kSliceSize;
    if (end < m_points) {
        m_nextIndex = end;
    } else {
        end = m_points;
        m_nextIndex = 0;
        m_sliceCount = 0;
        emit signalReachedEnd();
    }
    const quint32 count = end > m_sliceStart ? end - m_sliceStart : 0U;
    m_sliceCount = std::clamp(count, 1U, kSliceSize);

    const double first = m_start.hz() + double(m_sliceStart) * m_step.hz();
    QVector<quint64> frequencies;
    frequencies.reserve(int(m_sliceCount));
    for (quint32 i = 0; i < m_sliceCount; ++i)
        frequencies.append(wholeHz(TFrequency(first + double(i) * m_step.hz())));
    return frequencies;
}

void RangeSliced::reset(bool full)
{
    emit signalUpdated();
    m_nextIndex = 0;
    m_sliceCount = 0;
    if (full)
        m_sliceStart = 0;
}

} // namespace ZData::DS
