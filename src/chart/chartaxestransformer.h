#pragma once

#include "core/ifactorymethod.h"
#include "data/traces/tracescale.h"

#include <QHash>
#include <QString>

#include <functional>

namespace ZChart {

class ZChartView;

namespace Temp {

// Keeps the axes and titles of one view in step with its range, channel,
// units and chart type, one set of rules per chart type.
class ChartAxesTransformer : public ZCore::IFactoryMethod
{
public:
    using Method = std::function<void()>;

    // Calibrated data are a gain, shown over a fixed window.
    static constexpr double kCalibratedLevelMin = -20.0;
    static constexpr double kCalibratedLevelMax = 90.0;
    // Raw data are shown below the channel's level origin.
    static constexpr double kRawLevelSpan = 110.0;

    explicit ChartAxesTransformer(ZChartView *view);

    // The level window a channel is shown in while the user chose no scale.
    static ZData::TR::TLevelRange designedLevelRange(int channel, bool useCalib, const ZData::TRFParameters &rf);

    void registerMethods() override;

    void transformRanges(quint16 chartType);
    void transformTitles();

    void logMagRanges();
    void logMagTitles();
    void updateChartTitle();

    // "UPLINK S21 <preset>"; exposed for the chart title and its tests.
    static QString chartTitle(int channel, const QString &presetName);

private:
    ZChartView *m_view = nullptr;
    QHash<quint16, Method> m_ranges;
    QHash<quint16, Method> m_titles;
};

} // namespace Temp
} // namespace ZChart
