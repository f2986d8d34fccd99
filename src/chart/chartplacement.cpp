#include "chart/chartplacement.h"

#include "core/tfrequency.h"

#include <limits>

namespace ZChart::ChartPlacement {

void place(QVector<QPointF> &points, const LevelOffset &offset)
{
    QPointF *point = points.data();
    const int count = points.size();
    for (int i = 0; i < count; ++i) {
        point[i].setX(point[i].x() / ZCore::TFrequency::kHzPerMHz + i * kIndexShiftMHz);
        point[i].setY(point[i].y() + offset.a + offset.b);
    }
}

QVector<QPointF> plotted(const QVector<QPointF> &levels, const QVector<bool> &valid, const LevelOffset &offset)
{
    const int count = qMin(levels.size(), valid.size());
    int end = count;
    while (end > 0 && !valid.at(end - 1))
        --end;
    QVector<QPointF> points = levels.mid(0, end);
    place(points, offset);
    for (int i = 0; i < end; ++i) {
        if (!valid.at(i))
            points[i] = QPointF(i > 0 ? points.at(i - 1).x() : points.at(i).x(), std::numeric_limits<qreal>::quiet_NaN());
    }
    return points;
}

double axisStopMHz(double stopHz, quint32 points)
{
    return stopHz / ZCore::TFrequency::kHzPerMHz + points * kIndexShiftMHz;
}

} // namespace ZChart::ChartPlacement
