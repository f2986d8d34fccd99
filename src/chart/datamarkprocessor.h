#pragma once

#include "core/ifactorymethod.h"
#include "data/scan/tscanpoint.h"

#include <QHash>
#include <QPointF>
#include <QString>
#include <QVector>

#include <functional>

namespace ZChart {

class ZChartView;

// What a mark says about the point it sits on, one rule per mark type.
class DataMarkProcessor : public ZCore::IFactoryMethod
{
public:
    using ValuesMethod = std::function<QVector<float>(const ZData::TScanPoint &)>;
    using TextMethod = std::function<QString(const QVector<float> &, const QPointF &, bool)>;

    // Width of one line of the marks table.
    static constexpr int kLineWidth = 20;
    static constexpr int kValuePrecision = 2;

    explicit DataMarkProcessor(ZChartView *view);

    ZChartView *view() const { return m_view; }

    void registerMethods() override;

    // Empty for a point not measured yet (frequency 0) or an unknown type.
    QVector<float> markValues(const ZData::TScanPoint &point, quint16 markType) const;
    QString markText(const QVector<float> &values, const ZData::TScanPoint &point, const QPointF &markValue,
                     bool showSign, quint16 markType) const;

    // Magnitude in dB and phase in degrees.
    QVector<float> logMagValues(const ZData::TScanPoint &point) const;
    // "LMg:      -12.34 dBm": the level shown at the mark.
    QString logMagText(const QVector<float> &values, const QPointF &markValue, bool showSign) const;

private:
    ZChartView *m_view = nullptr;
    QHash<quint16, ValuesMethod> m_values;
    QHash<quint16, TextMethod> m_texts;
};

} // namespace ZChart
