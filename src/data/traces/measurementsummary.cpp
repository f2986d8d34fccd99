#include "data/traces/measurementsummary.h"

#include "data/scan/tscanpreset.h"
#include "data/traces/tracereadouts.h"

namespace ZData::TR::MeasurementSummary {

namespace {

QString level(bool known, double levelDb)
{
    return known ? QString::number(levelDb, 'f', kDecimals) : QStringLiteral("none");
}

} // namespace

QString line(int channel, const TTrace &trace, const TLimitVerdict &verdict)
{
    const TBandReadout band = TraceReadouts::band(trace);
    return QStringLiteral("%1 points=%2 min=%3 max=%4 flatness=%5 limits=%6")
        .arg(TScanPreset::channelGroup(channel), QString::number(band.points),
             level(band.isValid(), band.minimum.levelDb), level(band.isValid(), band.maximum.levelDb),
             level(band.isValid(), band.flatnessDb), LimitMask::resultText(verdict.result));
}

} // namespace ZData::TR::MeasurementSummary
