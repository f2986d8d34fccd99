#include "chart/chartaxestransformer.h"

#include "chart/chartenums.h"
#include "chart/chartplacement.h"
#include "chart/viewscale.h"
#include "chart/zchartview.h"
#include "core/enumtext.h"
#include "core/tfrequency.h"
#include "data/scan/datascanmanager.h"

#include <QChart>
#include <QValueAxis>

namespace ZChart::Temp {

namespace {

QString axisTitle(const QString &quantity, const QString &units)
{
    return QStringLiteral("%1 (%2)").arg(quantity, units);
}

QString channelName(int channel)
{
    return ZCore::enumKey(static_cast<ZData::EScanChannel>(channel));
}

// The preset list may be empty (no user profile, or none usable in it).
QString activePresetName()
{
    const ZData::DataScanManager &scan = ZData::DataScanManager::instance();
    if (scan.presetCount() <= 0 || scan.presets().isEmpty())
        return QString();
    return scan.presetAt(scan.activePreset()).name;
}

} // namespace

ChartAxesTransformer::ChartAxesTransformer(ZChartView *view) : m_view(view) {}

void ChartAxesTransformer::registerMethods()
{
    m_ranges.insert(EChartType::LOG_MAG, std::bind(&ChartAxesTransformer::logMagRanges, this));
    m_titles.insert(EChartType::LOG_MAG, std::bind(&ChartAxesTransformer::logMagTitles, this));
}

void ChartAxesTransformer::transformRanges(quint16 chartType)
{
    const auto entry = m_ranges.constFind(chartType);
    if (entry != m_ranges.constEnd())
        (*entry)();
}

void ChartAxesTransformer::transformTitles()
{
    const auto entry = m_titles.constFind(m_view->chartType());
    if (entry == m_titles.constEnd())
        return;
    (*entry)();
    updateChartTitle();
}

void ChartAxesTransformer::logMagRanges()
{
    ZData::DataScanManager &scan = ZData::DataScanManager::instance();
    const int channel = m_view->channel();
    const ZData::DS::RangeSliced &range = scan.channelRange(channel);
    QtCharts::QValueAxis *axisX = m_view->axisX();
    QtCharts::QValueAxis *axisY = m_view->axisY();

    // The view's scale sets the axes: the designed ranges unless the user
    // chose a scale or a zoom.
    const ViewScale *scale = m_view->scale();
    scale->applyFrequency(axisX, range.start().MHz(), ChartPlacement::axisStopMHz(range.stop().hz(), range.points()));
    scale->applyLevel(axisY, m_view->isDifferenceShown(), designedLevelRange(channel, scan.useCalib(), scan.rfParameters()));
}

ZData::TR::TLevelRange ChartAxesTransformer::designedLevelRange(int channel, bool useCalib, const ZData::TRFParameters &rf)
{
    if (useCalib)
        return {kCalibratedLevelMin, kCalibratedLevelMax};
    const double origin = channel == ZData::EScanChannel::S21 ? rf.s21AmpOrigin : rf.s12AmpOrigin;
    return {origin - kRawLevelSpan, origin};
}

void ChartAxesTransformer::logMagTitles()
{
    m_view->axisX()->setTitleText(axisTitle(qtTrId("dw_axis_title_frequency"), qtTrId("dw_units_mhz")));
    const QString quantity = m_view->isDifferenceShown()
                                 ? qtTrId("dw_axis_title_difference").arg(channelName(m_view->channel()))
                                 : channelName(m_view->channel());
    m_view->axisY()->setTitleText(axisTitle(quantity, m_view->levelUnitsText()));
}

void ChartAxesTransformer::updateChartTitle()
{
    const QString title = chartTitle(m_view->channel(), activePresetName());
    if (m_view->chart()->title() != title)
        m_view->chart()->setTitle(title);
}

QString ChartAxesTransformer::chartTitle(int channel, const QString &presetName)
{
    QString title = QStringLiteral("%1 %2 %3");
    if (channel == ZData::EScanChannel::S21)
        title = title.arg(QStringLiteral("UPLINK"));
    else if (channel == ZData::EScanChannel::S12)
        title = title.arg(QStringLiteral("DOWNLINK"));
    return title.arg(channelName(channel)).arg(presetName);
}

} // namespace ZChart::Temp
