#include "chart/datamarkprocessor.h"

#include "chart/chartenums.h"
#include "chart/zchartview.h"
#include "core/utilitymodules/zstring.h"

#include <cmath>

namespace ZChart {

namespace {
constexpr float kDecibelsPerDecade = 20.0f;
constexpr float kDegreesPerRadian = 57.29578f;
const QChar kFill = QLatin1Char(' ');
} // namespace

DataMarkProcessor::DataMarkProcessor(ZChartView *view) : m_view(view) {}

void DataMarkProcessor::registerMethods()
{
    using namespace std::placeholders;
    m_values.insert(EMarkType::LMAG, std::bind(&DataMarkProcessor::logMagValues, this, _1));
    m_texts.insert(EMarkType::LMAG, std::bind(&DataMarkProcessor::logMagText, this, _1, _2, _3));
}

QVector<float> DataMarkProcessor::markValues(const ZData::TScanPoint &point, quint16 markType) const
{
    const auto entry = m_values.constFind(markType);
    if (entry == m_values.constEnd() || point.frequency == 0)
        return {};
    return (*entry)(point);
}

QString DataMarkProcessor::markText(const QVector<float> &values, const ZData::TScanPoint &point,
                                    const QPointF &markValue, bool showSign, quint16 markType) const
{
    const auto entry = m_texts.constFind(markType);
    if (entry == m_texts.constEnd() || point.frequency == 0)
        return qtTrId("dw_mark_no_data");
    return (*entry)(values, markValue, showSign);
}

QVector<float> DataMarkProcessor::logMagValues(const ZData::TScanPoint &point) const
{
    const float magnitude = std::hypot(point.real, point.imag);
    return { kDecibelsPerDecade * std::log10(magnitude), std::atan2(point.imag, point.real) * kDegreesPerRadian };
}

QString DataMarkProcessor::logMagText(const QVector<float> &values, const QPointF &markValue, bool showSign) const
{
    namespace ZString = ZCore::UtilityModules::ZString;
    if (values.isEmpty())
        return qtTrId("dw_mark_no_data");
    const QString units = kFill + m_view->levelUnitsText();
    const QString value = ZString::formatNumber(markValue.y(), 'f', kValuePrecision, showSign);
    return ZString::justifyPair(qtTrId("dw_mark_lmag"), value, units, kFill, kLineWidth);
}

} // namespace ZChart
