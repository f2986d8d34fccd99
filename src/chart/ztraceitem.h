#pragma once

#include <QElapsedTimer>
#include <QGraphicsItem>
#include <QPen>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QTimer>
#include <QVector>

namespace QtCharts {
class QValueAxis;
}

namespace ZChart {

// Draws a view's polylines over its plot area, in place of the chart
// library's line series, which strokes and repaints the whole line for every
// slice. A change repaints only the x-span of the points that changed; a
// paint draws only the segments under the exposed rectangle, over a grid
// kept in a pixmap; and repaints come at most once per screen refresh.
//
// Points are chart values (x in the frequency axis' unit, y in the level
// axis' unit); a point whose y is not a number is not drawn and breaks its
// polyline. x must not decrease along a polyline.
class ZTraceItem : public QGraphicsItem
{
public:
    enum { Type = UserType + 3 };
    // Above the chart's grid and axes, below the marks and their table.
    static constexpr qreal kZValue = 5;
    // One screen refresh: repaints closer together than this are merged.
    static constexpr int kRefreshMs = 16;

    explicit ZTraceItem(QGraphicsItem *parent = nullptr);

    int type() const override { return Type; }
    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

    // Returns the new polyline's index; polylines are drawn in index order.
    int addTrace(const QPen &pen);
    int traceCount() const { return int(m_traces.size()); }
    void setTracePen(int trace, const QPen &pen);
    QPen tracePen(int trace) const;
    // Repaints the span from the first to the last point that differs from
    // what the polyline held, each widened by one neighbour. Returns whether
    // anything differed.
    bool setPoints(int trace, const QVector<QPointF> &points);
    const QVector<QPointF> &points(int trace) const;
    // First and last index setPoints found changed; first > last when none.
    int changedFirst() const { return m_changedFirst; }
    int changedLast() const { return m_changedLast; }

    // The grid follows the axes' ticks and pens; the chart's own grid lines
    // are hidden so that they are not drawn twice.
    void setAxes(QtCharts::QValueAxis *axisX, QtCharts::QValueAxis *axisY);
    // Plot area in the parent's coordinates and the axes' ranges; rebuilds
    // the grid and every polyline's pixels.
    void setGeometry(const QRectF &plotArea);
    // After a theme or tick change that moved no axis range.
    void invalidateGrid();
    QRectF plotArea() const { return m_plotArea; }
    // Where a chart value lies in the parent's coordinates.
    QPointF mapToPosition(const QPointF &value) const;

    // Region changed but not yet handed to the scene (waiting for the
    // refresh), and the region handed over last.
    QRectF pendingRect() const { return m_pending; }
    QRectF lastInvalidated() const { return m_lastInvalidated; }
    bool isRepaintPending() const { return !m_pending.isEmpty() || m_repaintOutstanding; }

private:
    struct Trace
    {
        QPen pen;
        QVector<QPointF> values;
        QVector<QPointF> pixels;
    };

    Trace &trace(int index);
    QPointF toPixel(const QPointF &value) const;
    void convert(Trace &trace, int first, int last) const;
    QRectF spanRect(const Trace &trace, int first, int last) const;
    void requestRepaint(const QRectF &rect);
    void flushRepaint();
    void rebuildGrid(qreal devicePixelRatio);
    void drawGrid(QPainter &painter) const;
    void drawTrace(QPainter &painter, const Trace &trace, const QRectF &exposed) const;
    QRectF clipRect() const;

    std::vector<Trace> m_traces;
    QtCharts::QValueAxis *m_axisX = nullptr;
    QtCharts::QValueAxis *m_axisY = nullptr;
    QRectF m_plotArea;
    double m_xMin = 0;
    double m_xMax = 1;
    double m_yMin = 0;
    double m_yMax = 1;
    qreal m_penMargin = 1;
    int m_changedFirst = 0;
    int m_changedLast = -1;

    QPixmap m_grid;
    QPointF m_gridOrigin;
    bool m_gridValid = false;

    QRectF m_pending;
    QRectF m_lastInvalidated;
    bool m_repaintOutstanding = false;
    QElapsedTimer m_sincePaint;
    QTimer m_repaintTimer;
};

} // namespace ZChart
