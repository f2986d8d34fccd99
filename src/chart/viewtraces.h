#pragma once

#include "data/traces/tracefile.h"
#include "data/traces/tracehold.h"
#include "data/traces/ttrace.h"

#include <QPointF>
#include <QString>
#include <QVector>

#include <optional>

namespace ZChart {

// What a view shows beside its live trace: the reference sweep the user
// stored (kept per device and preset so that it survives a restart), the
// difference of the live trace from it, and the max and min holds. Holds
// nothing and costs nothing until the user asks for one of them.
class ViewTraces
{
public:
    enum class EHold : quint8 { MAX, MIN };

    explicit ViewTraces(int channel);

    QString tag() const;
    int channel() const { return m_channel; }

    // The device and preset the reference belongs to; a change loads the
    // stored one (a refused file leaves none, with the reader's warning).
    void setIdentity(const QString &deviceId, const QString &presetName);
    QString deviceId() const { return m_deviceId; }
    QString presetName() const { return m_presetName; }

    // Only a complete sweep becomes a reference; returns whether it did.
    // Kept on disk as well once the device is known.
    bool storeReference(const ZData::TR::TTrace &live, const ZData::TR::TTraceInfo &info);
    void clearReference();
    // A reference taken in other units (raw dBm against calibrated dB) is
    // kept but neither drawn nor subtracted until those units are back.
    void setShownLevels(ZData::TR::ELevelKind levels) { m_shownLevels = levels; }
    bool hasReference() const { return m_reference && levelsMatch(); }
    const std::optional<ZData::TR::TTrace> &reference() const { return m_reference; }

    // Without a reference there is nothing to subtract: the mode stays off.
    void setDifference(bool on);
    bool isDifference() const { return m_difference && hasReference(); }

    void setHold(EHold hold, bool on);
    bool isHold(EHold hold) const { return m_holdOn[index(hold)]; }
    void resetHolds();
    const ZData::TR::TTrace &holdTrace(EHold hold) const { return m_holds[index(hold)].trace(); }

    // Whether the live trace is needed at all after a slice.
    bool needsLive() const { return isDifference() || m_holdOn[0] || m_holdOn[1]; }
    // Feeds the holds that are on.
    void update(const ZData::TR::TTrace &live);

    // Chart points (MHz, level) of a trace: gaps break the line, keep the x
    // of the point before, and the list ends at the last measured point, as
    // the live trace is drawn.
    static QVector<QPointF> chartPoints(const ZData::TR::TTrace &trace);

private:
    static int index(EHold hold) { return hold == EHold::MAX ? 0 : 1; }
    void loadReference();
    bool levelsMatch() const;

    int m_channel;
    QString m_deviceId;
    QString m_presetName;
    std::optional<ZData::TR::TTrace> m_reference;
    ZData::TR::ELevelKind m_referenceLevels = ZData::TR::ELevelKind::UNKNOWN;
    ZData::TR::ELevelKind m_shownLevels = ZData::TR::ELevelKind::UNKNOWN;
    bool m_difference = false;
    bool m_holdOn[2] = {false, false};
    ZData::TR::TraceHold m_holds[2] = {ZData::TR::TraceHold(ZData::TR::TraceHold::EMode::MAX),
                                       ZData::TR::TraceHold(ZData::TR::TraceHold::EMode::MIN)};
};

} // namespace ZChart
