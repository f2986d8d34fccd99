#pragma once

#include "chart/chartenums.h"
#include "core/tfrequency.h"

#include <QColor>
#include <QFont>
#include <QGraphicsItem>
#include <QPointF>
#include <QRectF>
#include <QString>

namespace QtCharts {
class QChart;
}

namespace ZChart {

class ZChartView;
class ZMarksTable;

// The fixed-pitch font of the marks and their table, so the value columns
// line up; fixed pitch is asked for explicitly because some platforms hand
// out a proportional font as their "fixed" system font.
QFont markFont(int pointSize, bool bold);

// Where a mark sits and what it shows.
struct TMarkData
{
    static constexpr quint32 kNoIndex = 0xFFFFFFFF;
    static constexpr quint16 kNoNumber = 0xFFFF;

    quint32 index = kNoIndex;
    ZCore::TFrequency frequency;
    quint16 number = kNoNumber;
    quint16 type = EMarkType::LMAG;
};

// One numbered marker: a small triangle whose tip sits on a point of the
// plotted curve. It follows a point index of the channel's range.
class ZMark : public QGraphicsItem
{
public:
    enum { Type = UserType + 1 };

    static constexpr qreal kZValue = 42;
    static constexpr int kFontPointSize = 12;

    ZMark(QtCharts::QChart *chart, ZChartView *view, ZMarksTable *table);

    int type() const override { return Type; }
    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

    // n is the 0-based place in the table; the mark shows n + 1.
    void setNumber(int n);
    void updatePosition();
    void reposition();
    // Moves by delta points (clamped to the range) and takes the frequency
    // of the point it lands on.
    void moveBy(int delta);
    // Lands on the point nearest to f; the frequency is taken later, from
    // the measured point (moveBy).
    void setFrequencyMHz(double frequencyMHz);
    // A new index for the frequency kept, after the range changed.
    void syncIndex();
    void setFrequency(ZCore::TFrequency frequency) { m_data.frequency = frequency; }
    QString valueText() const;

    QPointF value() const { return m_value; }
    QPointF valueScenePos() const;
    const TMarkData &data() const { return m_data; }
    ZMarksTable *table() const { return m_table; }
    QColor outlineColor() const { return m_outlineColor; }
    void setOutlineColor(const QColor &color);

private:
    quint32 clampedIndex(qint64 index) const;

    QtCharts::QChart *m_chart = nullptr;
    ZChartView *m_view = nullptr;
    ZMarksTable *m_table = nullptr;
    QFont m_font;
    QString m_text;
    QRectF m_textRect;
    QColor m_textColor;
    QColor m_outlineColor;
    QPointF m_value;
    TMarkData m_data;
};

} // namespace ZChart
