#include "chart/viewtraces.h"

#include "chart/chartplacement.h"
#include "core/log.h"
#include "data/scan/tscanpreset.h"
#include "data/traces/referencestore.h"


namespace ZChart {

namespace TR = ZData::TR;

namespace {

constexpr double kHzPerMHz = 1e6;

} // namespace

ViewTraces::ViewTraces(int channel) : m_channel(channel) {}

QString ViewTraces::tag() const
{
    return QStringLiteral("ViewTraces [ %1 ]").arg(ZData::TScanPreset::channelGroup(m_channel));
}

void ViewTraces::setIdentity(const QString &deviceId, const QString &presetName)
{
    if (deviceId == m_deviceId && presetName == m_presetName)
        return;
    m_deviceId = deviceId;
    m_presetName = presetName;
    loadReference();
}

void ViewTraces::loadReference()
{
    m_reference.reset();
    if (m_deviceId.isEmpty())
        return;
    TR::TTraceInfo info;
    m_reference = TR::ReferenceStore::load(m_deviceId, m_presetName, m_channel, nullptr, &info);
    m_referenceLevels = info.levels;
    if (m_reference)
        ZCore::Log::info(tag(), QStringLiteral(">> loaded reference of %1 points for [ %2 ]")
                                    .arg(m_reference->size())
                                    .arg(m_presetName));
}

bool ViewTraces::storeReference(const TR::TTrace &live, const TR::TTraceInfo &info)
{
    if (!live.isComplete()) {
        ZCore::Log::warning(tag(), QStringLiteral(">> no complete sweep to keep as reference: %1 of %2 points measured")
                                       .arg(live.measuredCount())
                                       .arg(live.size()));
        return false;
    }
    m_reference = live;
    m_referenceLevels = info.levels;
    ZCore::Log::info(tag(), QStringLiteral("<< stored reference of %1 points for [ %2 ]").arg(live.size()).arg(m_presetName));
    // Without a device the reference lives until the next preset or device.
    if (!m_deviceId.isEmpty())
        TR::ReferenceStore::save(m_deviceId, m_presetName, m_channel, info, live);
    return true;
}

void ViewTraces::clearReference()
{
    m_reference.reset();
    m_difference = false;
    if (!m_deviceId.isEmpty())
        TR::ReferenceStore::remove(m_deviceId, m_presetName, m_channel);
    ZCore::Log::info(tag(), QStringLiteral("<< cleared reference for [ %1 ]").arg(m_presetName));
}

void ViewTraces::setDifference(bool on)
{
    m_difference = on && hasReference();
}

bool ViewTraces::levelsMatch() const
{
    using TR::ELevelKind;
    return m_referenceLevels == ELevelKind::UNKNOWN || m_shownLevels == ELevelKind::UNKNOWN
           || m_referenceLevels == m_shownLevels;
}

void ViewTraces::setHold(EHold hold, bool on)
{
    m_holdOn[index(hold)] = on;
    if (!on)
        m_holds[index(hold)].reset();
}

void ViewTraces::resetHolds()
{
    for (TR::TraceHold &hold : m_holds)
        hold.reset();
}

void ViewTraces::update(const TR::TTrace &live)
{
    for (int i = 0; i < 2; ++i) {
        if (m_holdOn[i])
            m_holds[i].update(live);
    }
}

QVector<QPointF> ViewTraces::chartPoints(const TR::TTrace &trace)
{
    int end = trace.size();
    while (end > 0 && !trace.isMeasured(end - 1))
        --end;
    const auto x = [&trace](int i) { return trace.frequencyHz(i) / kHzPerMHz + i * ChartPlacement::kIndexShiftMHz; };
    int first = 0;
    while (first < end && !trace.isMeasured(first))
        ++first;
    QVector<QPointF> points;
    points.reserve(end);
    // A gap takes the x of the point before (before the first, of that one),
    // never that of a point never asked for, which is 0 Hz.
    double lastX = first < end ? x(first) : 0.0;
    for (int i = 0; i < end; ++i) {
        if (trace.isMeasured(i)) {
            lastX = x(i);
            points.append(QPointF(lastX, trace.levelDb(i)));
        } else {
            points.append(QPointF(lastX, TR::TTrace::gap()));
        }
    }
    return points;
}

} // namespace ZChart
