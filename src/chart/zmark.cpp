#include "chart/zmark.h"

#include "chart/datamarkprocessor.h"
#include "chart/zchartview.h"
#include "chart/zmarkstable.h"
#include "data/scan/datascanmanager.h"

#include <QChart>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace ZChart {

namespace {

const QColor kMarkRed(255, 0, 0, 255);
// The generic family that font configurations map to a fixed-pitch font.
const char *const kFallbackFixedFamily = "monospace";
// The number sits centred in this box above the triangle.
const QRectF kNumberBox(-10, -30, 20, 10);
constexpr qreal kTriangleHalfWidth = 5;
constexpr qreal kTriangleHeight = 15;
// Room for the triangle and its pen around the tip.
constexpr qreal kBoundsHalfWidth = 7;
constexpr qreal kBoundsBottom = 2;

} // namespace

QFont markFont(int pointSize, bool bold)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter, QFont::PreferDefault);
    font.setFixedPitch(true);
    font.setBold(bold);
    font.setPointSize(pointSize);
    if (!QFontInfo(font).fixedPitch())
        font.setFamily(QString::fromLatin1(kFallbackFixedFamily));
    return font;
}

ZMark::ZMark(QtCharts::QChart *chart, ZChartView *view, ZMarksTable *table)
    : QGraphicsItem(chart),
      m_chart(chart),
      m_view(view),
      m_table(table),
      m_font(markFont(kFontPointSize, true)),
      m_textColor(kMarkRed),
      m_outlineColor(kMarkRed)
{
    setZValue(kZValue);
    // Redrawn with the curve beneath on every slice; its picture seldom changes.
    setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    setFlag(ItemIsFocusable);
}

QRectF ZMark::boundingRect() const
{
    const qreal left = qMin(m_textRect.left(), -kBoundsHalfWidth);
    const qreal right = qMax(m_textRect.right(), kBoundsHalfWidth);
    return QRectF(QPointF(left, m_textRect.top()), QPointF(right, kBoundsBottom));
}

void ZMark::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    QPainterPath triangle;
    triangle.moveTo(0, 0);
    triangle.lineTo(-kTriangleHalfWidth, -kTriangleHeight);
    triangle.lineTo(kTriangleHalfWidth, -kTriangleHeight);
    triangle.closeSubpath();
    painter->setPen(m_outlineColor);
    painter->drawPath(triangle);

    painter->setFont(m_font);
    painter->setPen(m_textColor);
    painter->drawText(m_textRect, Qt::AlignCenter, m_text);
}

void ZMark::setNumber(int n)
{
    prepareGeometryChange();
    m_data.number = quint16(n + 1);
    m_text = QString::number(m_data.number);
    m_textRect = QFontMetricsF(m_font).boundingRect(kNumberBox, Qt::AlignCenter, m_text);
    update();
}

void ZMark::updatePosition()
{
    m_value = m_view ? m_view->seriesPointAt(int(qMin<quint32>(m_data.index, INT_MAX))) : QPointF();
    reposition();
}

// A level off the scale (or a frequency outside the zoom) pins the mark to
// the plot's edge, as on an instrument, rather than over the axis labels.
void ZMark::reposition()
{
    if (!m_chart || !m_view)
        return;
    const QPointF at = m_view->chartPosition(m_value);
    const QRectF plot = m_chart->plotArea();
    if (plot.isEmpty()) {
        setPos(at);
        return;
    }
    setPos(qBound(plot.left(), at.x(), plot.right()), qBound(plot.top(), at.y(), plot.bottom()));
}

void ZMark::moveBy(int delta)
{
    if (!m_view)
        return;
    m_data.index = clampedIndex(qint64(m_data.index) + delta);
    const ZData::TScanPoint point = ZData::DataScanManager::instance().pointAt(m_view->channel(), m_data.index);
    m_data.frequency = ZCore::TFrequency(double(point.frequency));
    updatePosition();
}

void ZMark::setFrequencyMHz(double frequencyMHz)
{
    if (!m_view)
        return;
    m_data.index = clampedIndex(m_view->indexFromFrequency(frequencyMHz));
    updatePosition();
}

void ZMark::syncIndex()
{
    if (m_view)
        m_data.index = clampedIndex(m_view->indexFromFrequency(m_data.frequency.MHz()));
}

QString ZMark::valueText() const
{
    if (!m_view)
        return QString();
    const ZData::TScanPoint point = ZData::DataScanManager::instance().pointAt(m_view->channel(), m_data.index);
    const DataMarkProcessor *processor = m_view->markProcessor();
    return processor->markText(processor->markValues(point, m_data.type), point, m_value, false, m_data.type);
}

QPointF ZMark::valueScenePos() const
{
    if (!m_chart || !m_view)
        return QPointF();
    return m_chart->mapToScene(pos());
}

void ZMark::setOutlineColor(const QColor &color)
{
    m_outlineColor = color;
    update();
}

quint32 ZMark::clampedIndex(qint64 index) const
{
    const qint64 count = ZData::DataScanManager::instance().channelPointCount(m_view->channel());
    return quint32(qMax<qint64>(0, qMin(index, count - 1)));
}

} // namespace ZChart
