#pragma once

#include "core/tfrequency.h"
#include "data/scan/tscanpreset.h"

#include <QObject>
#include <QVector>

namespace ZData::DS {

// One channel's sweep range, kept inside the device's frequency limits and
// handed out slice by slice: the device measures at most kSliceSize points
// per request.
class RangeSliced : public QObject
{
    Q_OBJECT

public:
    static constexpr quint32 kSliceSize = 25;
    static constexpr quint32 kMinPoints = 2;
    // The point lists of a channel hold no more; a larger count would make
    // the sweep write past them.
    static constexpr quint32 kMaxPoints = TScanRange::kMaxPoints;
    // Keeps neighbouring points apart when start and stop coincide.
    static constexpr double kMinStepHz = 0.001;

    explicit RangeSliced(QObject *parent = nullptr);

    // Does not move a range already set: the next setStart/setStop clamps.
    void setLimits(ZCore::TFrequency min, ZCore::TFrequency max);
    void setStart(ZCore::TFrequency frequency, bool notify);
    void setStop(ZCore::TFrequency frequency, bool notify);
    void setPoints(quint32 count, bool notify);

    // The frequencies (whole Hz) of the next slice. The last slice of a sweep
    // emits signalReachedEnd before it is returned, so it is still measured.
    QVector<quint64> nextSlice();
    // Back to the first slice; full also forgets where the last slice began.
    void reset(bool full);
    void markReceived() { m_received = true; }

    ZCore::TFrequency limitMin() const { return m_limitMin; }
    ZCore::TFrequency limitMax() const { return m_limitMax; }
    ZCore::TFrequency start() const { return m_start; }
    ZCore::TFrequency stop() const { return m_stop; }
    ZCore::TFrequency center() const { return m_center; }
    ZCore::TFrequency span() const { return m_span; }
    ZCore::TFrequency maxSpan() const { return m_maxSpan; }
    ZCore::TFrequency step() const { return m_step; }
    quint32 points() const { return m_points; }
    quint32 nextIndex() const { return m_nextIndex; }
    quint32 sliceStart() const { return m_sliceStart; }
    quint32 sliceCount() const { return m_sliceCount; }
    quint32 slicesTotal() const { return m_slicesTotal; }
    bool received() const { return m_received; }

signals:
    void signalUpdated();
    void signalReachedEnd();

private:
    ZCore::TFrequency clampToLimits(ZCore::TFrequency frequency) const;
    void updateStep(bool notify);
    static ZCore::TFrequency spanOfLimits(ZCore::TFrequency min, ZCore::TFrequency max);

    ZCore::TFrequency m_limitMin;
    ZCore::TFrequency m_limitMax;
    ZCore::TFrequency m_start;
    ZCore::TFrequency m_stop;
    ZCore::TFrequency m_center;
    ZCore::TFrequency m_span;
    ZCore::TFrequency m_maxSpan;
    quint32 m_points = 0;
    ZCore::TFrequency m_step;
    quint32 m_nextIndex = 0;
    quint32 m_sliceStart = 0;
    quint32 m_sliceCount = 0;
    quint32 m_slicesTotal = 0;
    bool m_received = false;
};

} // namespace ZData::DS
