#pragma once

#include "data/traces/ttrace.h"

namespace ZData::TR {

// Max-hold or min-hold of a channel, point by point of its range: each
// point keeps the highest (lowest) level measured there since the last
// reset. Fed the channel's whole trace after every slice; the points not
// measured since the last clearing leave the hold as it is. A trace of
// another length, or a measured point whose frequency is not the held
// one, means the range changed: the hold starts over from that trace.
// Levels that change meaning (calibration switched, offsets edited) are
// the caller's to reset: the frequencies cannot tell.
class TraceHold
{
public:
    enum class EMode : quint8 { MAX, MIN };

    explicit TraceHold(EMode mode) : m_mode(mode) {}

    void update(const TTrace &trace);
    void reset() { m_held = TTrace(); }

    EMode mode() const { return m_mode; }
    const TTrace &trace() const { return m_held; }

private:
    bool matchesRange(const TTrace &trace) const;
    bool isBetter(double level, double held) const;

    EMode m_mode;
    TTrace m_held;
};

} // namespace ZData::TR
