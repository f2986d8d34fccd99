#include "chart/ztraceitem.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QVarLengthArray>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace ZChart {

namespace {

// Tick values are sums of intervals; a tick this close beyond the range's
// end is still the end's tick.
constexpr double kTickSlack = 1e-9;
// A paint's exposed span seldom holds more segments than this.
constexpr int kSegmentsOnStack = 256;

bool samePoint(const QPointF &a, const QPointF &b)
{
    // Bitwise, so that a gap that stays a gap is no change.
    return std::memcmp(&a, &b, sizeof(QPointF)) == 0;
}

// Values of the major and minor ticks of a value axis, as the chart library
// places them: evenly over the range, or from an anchor at an interval.
void tickValues(const QtCharts::QValueAxis &axis, QVector<double> &major, QVector<double> &minor)
{
    const double min = axis.min();
    const double max = axis.max();
    const double span = max - min;
    const int minorCount = axis.minorTickCount();
    if (!(span > 0))
        return;
    double step = 0;
    double first = min;
    if (axis.tickType() == QtCharts::QValueAxis::TicksFixed) {
        const int count = qMax(2, axis.tickCount());
        step = span / double(count - 1);
        for (int i = 0; i < count; ++i)
            major.append(min + double(i) * step);
    } else {
        step = axis.tickInterval();
        if (!(step > 0))
            return;
        const double anchor = axis.tickAnchor();
        first = anchor - std::floor((anchor - min) / step) * step;
        for (double value = first; value <= max + span * kTickSlack; value += step)
            major.append(value);
    }
    if (minorCount <= 0)
        return;
    const double minorStep = step / double(minorCount + 1);
    for (double base = first - step; base <= max; base += step) {
        for (int j = 1; j <= minorCount; ++j) {
            const double value = base + double(j) * minorStep;
            // The chart draws no minor line along an edge of the plot.
            if (value > min + span * kTickSlack && value < max - span * kTickSlack)
                minor.append(value);
        }
    }
}

} // namespace

ZTraceItem::ZTraceItem(QGraphicsItem *parent) : QGraphicsItem(parent)
{
    setZValue(kZValue);
    setFlag(ItemUsesExtendedStyleOption);
    m_repaintTimer.setSingleShot(true);
    QObject::connect(&m_repaintTimer, &QTimer::timeout, &m_repaintTimer, [this] { flushRepaint(); });
}

// Everything drawn is clipped to the plot: a repaint that reached past it
// would have the scene redraw the axes' labels and titles beneath.
QRectF ZTraceItem::boundingRect() const
{
    return m_plotArea.isEmpty() ? QRectF() : clipRect();
}

// The line series' clip: the plot area grown to whole pixels, so that a
// trace along an edge is not cut in half, but never into the axes.
QRectF ZTraceItem::clipRect() const
{
    const qreal left = m_plotArea.left() - std::floor(m_plotArea.left());
    const qreal top = m_plotArea.top() - std::floor(m_plotArea.top());
    const qreal width = m_plotArea.width() + 0.5;
    const qreal height = m_plotArea.height() + 0.5;
    return m_plotArea.adjusted(-left, -top, qMax(left, width - std::floor(width)),
                               qMax(top, height - std::floor(height)));
}

int ZTraceItem::addTrace(const QPen &pen)
{
    m_traces.push_back(Trace{ pen, {}, {} });
    m_penMargin = qMax(m_penMargin, pen.widthF() + 1);
    return traceCount() - 1;
}

ZTraceItem::Trace &ZTraceItem::trace(int index)
{
    return m_traces[size_t(qBound(0, index, traceCount() - 1))];
}

void ZTraceItem::setTracePen(int index, const QPen &pen)
{
    if (m_traces.empty())
        return;
    trace(index).pen = pen;
    m_penMargin = qMax(m_penMargin, pen.widthF() + 1);
    requestRepaint(boundingRect());
}

QPen ZTraceItem::tracePen(int index) const
{
    return m_traces.empty() ? QPen() : m_traces[size_t(qBound(0, index, traceCount() - 1))].pen;
}

const QVector<QPointF> &ZTraceItem::points(int index) const
{
    static const QVector<QPointF> none;
    return m_traces.empty() ? none : m_traces[size_t(qBound(0, index, traceCount() - 1))].values;
}

bool ZTraceItem::setPoints(int index, const QVector<QPointF> &points)
{
    m_changedFirst = 0;
    m_changedLast = -1;
    if (m_traces.empty())
        return false;
    Trace &line = trace(index);
    const int oldCount = line.values.size();
    const int newCount = points.size();
    const int common = qMin(oldCount, newCount);
    int first = 0;
    while (first < common && samePoint(line.values.at(first), points.at(first)))
        ++first;
    int last = qMax(oldCount, newCount) - 1;
    if (oldCount == newCount)
        while (last >= first && samePoint(line.values.at(last), points.at(last)))
            --last;
    if (first > last)
        return false;

    // The old polyline's span goes too: points a shorter list no longer has
    // must leave the screen.
    QRectF dirty = oldCount > first ? spanRect(line, first, qMin(last, oldCount - 1)) : QRectF();
    line.values = points;
    line.pixels.resize(newCount);
    convert(line, first, qMin(last, newCount - 1));
    if (newCount > first)
        dirty |= spanRect(line, first, qMin(last, newCount - 1));
    m_changedFirst = first;
    m_changedLast = last;
    requestRepaint(dirty);
    return true;
}

QPointF ZTraceItem::toPixel(const QPointF &value) const
{
    const double dx = m_plotArea.width() / (m_xMax - m_xMin);
    const double dy = m_plotArea.height() / (m_yMax - m_yMin);
    return QPointF((value.x() - m_xMin) * dx + m_plotArea.left(), (value.y() - m_yMin) * -dy + m_plotArea.bottom());
}

QPointF ZTraceItem::mapToPosition(const QPointF &value) const
{
    return toPixel(value);
}

void ZTraceItem::convert(Trace &line, int first, int last) const
{
    for (int i = qMax(0, first); i <= last && i < line.values.size(); ++i)
        line.pixels[i] = toPixel(line.values.at(i));
}

// The box of the segments that touch the changed points, from the neighbour
// before the first to the neighbour after the last. Only that box: the
// chart's title may reach into the top of a short plot, and a text item is
// laid out again for every paint.
QRectF ZTraceItem::spanRect(const Trace &line, int first, int last) const
{
    const int count = line.pixels.size();
    if (count == 0 || m_plotArea.isEmpty())
        return QRectF();
    const int from = qBound(0, first - 1, count - 1);
    const int to = qBound(0, last + 1, count - 1);
    qreal top = std::numeric_limits<qreal>::max();
    qreal bottom = std::numeric_limits<qreal>::lowest();
    for (int i = from; i <= to; ++i) {
        const qreal y = line.pixels.at(i).y();
        if (!std::isnan(y)) {
            top = qMin(top, y);
            bottom = qMax(bottom, y);
        }
    }
    if (top > bottom)
        return QRectF();
    // The line's own pen: a wide highlight must not widen every repaint of
    // the thin trace.
    const qreal margin = line.pen.widthF() + 1;
    const QPointF topLeft(line.pixels.at(from).x() - margin, top - margin);
    const QPointF bottomRight(line.pixels.at(to).x() + margin, bottom + margin);
    return QRectF(topLeft, bottomRight) & clipRect();
}

void ZTraceItem::setAxes(QtCharts::QValueAxis *axisX, QtCharts::QValueAxis *axisY)
{
    m_axisX = axisX;
    m_axisY = axisY;
    invalidateGrid();
}

void ZTraceItem::setGeometry(const QRectF &plotArea)
{
    prepareGeometryChange();
    m_plotArea = plotArea;
    if (m_axisX && m_axisX->max() > m_axisX->min()) {
        m_xMin = m_axisX->min();
        m_xMax = m_axisX->max();
    }
    if (m_axisY && m_axisY->max() > m_axisY->min()) {
        m_yMin = m_axisY->min();
        m_yMax = m_axisY->max();
    }
    for (Trace &line : m_traces)
        convert(line, 0, line.values.size() - 1);
    invalidateGrid();
}

void ZTraceItem::invalidateGrid()
{
    // The chart must not draw its own grid beneath the cached one; a theme
    // change shows it again.
    for (QtCharts::QValueAxis *axis : { m_axisX, m_axisY }) {
        if (axis) {
            axis->setGridLineVisible(false);
            axis->setMinorGridLineVisible(false);
        }
    }
    m_gridValid = false;
    requestRepaint(boundingRect());
}

void ZTraceItem::requestRepaint(const QRectF &rect)
{
    if (rect.isEmpty())
        return;
    m_pending |= rect;
    // After an idle spell the change is shown at once. A repaint already
    // handed to the scene and not yet painted takes this change along.
    if (m_repaintOutstanding || !m_sincePaint.isValid() || m_sincePaint.elapsed() >= kRefreshMs) {
        flushRepaint();
        return;
    }
    if (!m_repaintTimer.isActive())
        m_repaintTimer.start(int(kRefreshMs - m_sincePaint.elapsed()));
}

void ZTraceItem::flushRepaint()
{
    m_repaintTimer.stop();
    if (m_pending.isEmpty())
        return;
    m_lastInvalidated = m_pending;
    m_pending = QRectF();
    m_repaintOutstanding = true;
    update(m_lastInvalidated);
}

void ZTraceItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    m_sincePaint.start();
    m_repaintOutstanding = false;
    if (m_plotArea.isEmpty())
        return;
    const QRectF exposed = option->exposedRect;
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    if (!m_gridValid || !qFuzzyCompare(m_grid.devicePixelRatioF(), ratio))
        rebuildGrid(ratio);
    const QRectF gridRect(m_gridOrigin, QSizeF(m_grid.size()) / ratio);
    const QRectF gridPart = exposed & gridRect;
    if (!gridPart.isEmpty())
        painter->drawPixmap(gridPart, m_grid, QRectF((gridPart.topLeft() - m_gridOrigin) * ratio, gridPart.size() * ratio));

    painter->save();
    painter->setClipRect(clipRect() & exposed.adjusted(-1, -1, 1, 1));
    for (const Trace &line : m_traces)
        drawTrace(*painter, line, exposed);
    painter->restore();
}

void ZTraceItem::rebuildGrid(qreal ratio)
{
    const QRectF area = m_plotArea.adjusted(-1, -1, 1, 1);
    m_gridOrigin = QPointF(std::floor(area.left()), std::floor(area.top()));
    const QSize size(int(std::ceil(area.right()) - m_gridOrigin.x()) + 1,
                     int(std::ceil(area.bottom()) - m_gridOrigin.y()) + 1);
    m_grid = QPixmap(size * ratio);
    m_grid.setDevicePixelRatio(ratio);
    m_grid.fill(Qt::transparent);
    QPainter painter(&m_grid);
    painter.translate(-m_gridOrigin);
    drawGrid(painter);
    m_gridValid = true;
}

void ZTraceItem::drawGrid(QPainter &painter) const
{
    const auto lines = [&](const QtCharts::QValueAxis *axis, bool vertical) {
        if (!axis)
            return;
        QVector<double> major;
        QVector<double> minor;
        tickValues(*axis, major, minor);
        const auto draw = [&](const QVector<double> &values, const QPen &pen) {
            painter.setPen(pen);
            for (double value : values) {
                if (vertical) {
                    const qreal x = toPixel(QPointF(value, m_yMin)).x();
                    painter.drawLine(QPointF(x, m_plotArea.top()), QPointF(x, m_plotArea.bottom()));
                } else {
                    const qreal y = toPixel(QPointF(m_xMin, value)).y();
                    painter.drawLine(QPointF(m_plotArea.left(), y), QPointF(m_plotArea.right(), y));
                }
            }
        };
        draw(minor, axis->minorGridLinePen());
        draw(major, axis->gridLinePen());
    };
    lines(m_axisX, true);
    lines(m_axisY, false);
}

void ZTraceItem::drawTrace(QPainter &painter, const Trace &line, const QRectF &exposed) const
{
    const QVector<QPointF> &pixels = line.pixels;
    if (pixels.size() < 2)
        return;
    const qreal from = exposed.left() - m_penMargin;
    const qreal to = exposed.right() + m_penMargin;
    const auto byX = [](const QPointF &p, qreal x) { return p.x() < x; };
    int first = int(std::lower_bound(pixels.cbegin(), pixels.cend(), from, byX) - pixels.cbegin()) - 1;
    int last = int(std::lower_bound(pixels.cbegin(), pixels.cend(), to, byX) - pixels.cbegin());
    first = qMax(0, first);
    last = qMin(pixels.size() - 1, last);

    // Separate segments rather than a polyline: the raster engine fills a
    // solid wide pen's segments directly, where a polyline goes through the
    // stroker and its joins, which cost more than everything else in a paint.
    QVarLengthArray<QLineF, kSegmentsOnStack> segments;
    for (int i = first; i < last; ++i) {
        const QPointF &from = pixels.at(i);
        const QPointF &to = pixels.at(i + 1);
        if (!std::isnan(from.y()) && !std::isnan(to.y()))
            segments.append(QLineF(from, to));
    }
    painter.setPen(line.pen);
    painter.drawLines(segments.constData(), segments.size());
}

} // namespace ZChart
