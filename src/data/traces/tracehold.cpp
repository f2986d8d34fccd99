#include "data/traces/tracehold.h"

namespace ZData::TR {

void TraceHold::update(const TTrace &trace)
{
    if (!matchesRange(trace)) {
        m_held = trace;
        return;
    }
    QVector<double> frequencies = m_held.frequencies();
    QVector<double> levels = m_held.levels();
    for (int i = 0; i < trace.size(); ++i) {
        if (!trace.isMeasured(i))
            continue;
        if (!m_held.isMeasured(i) || isBetter(trace.levelDb(i), levels.at(i))) {
            frequencies[i] = trace.frequencyHz(i);
            levels[i] = trace.levelDb(i);
        }
    }
    m_held = TTrace(frequencies, levels);
}

bool TraceHold::matchesRange(const TTrace &trace) const
{
    if (trace.size() != m_held.size())
        return false;
    for (int i = 0; i < trace.size(); ++i) {
        if (trace.isMeasured(i) && m_held.isMeasured(i) && trace.frequencyHz(i) != m_held.frequencyHz(i))
            return false;
    }
    return true;
}

bool TraceHold::isBetter(double level, double held) const
{
    return m_mode == EMode::MAX ? level > held : level < held;
}

} // namespace ZData::TR
