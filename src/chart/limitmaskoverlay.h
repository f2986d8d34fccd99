#pragma once

#include "data/traces/limitmask.h"
#include "data/traces/tlimitsegment.h"

#include <QPointF>
#include <QString>
#include <QVector>

class QGraphicsItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;

namespace ZChart {

class ZTraceItem;
class LimitLinesItem;

// What a view shows of its channel's limit mask: the bounds as lines over
// the plot, the failing stretches of the trace in a highlight drawn by the
// trace item (so a new verdict repaints only what changed), and a PASS/FAIL
// badge in the plot's upper left corner. Nothing shows while the channel
// has no mask, so a view without one looks as it always did.
class LimitMaskOverlay
{
public:
    static constexpr qreal kLinesZValue = 6;
    static constexpr qreal kBadgeZValue = 41;
    static constexpr int kBadgePointSize = 11;
    static constexpr qreal kBadgeMargin = 6;
    static constexpr qreal kBadgePadding = 3;
    static constexpr qreal kHighlightWidth = 5;
    static constexpr qreal kLineWidth = 2;

    // The trace item gets one more polyline; the lines and the badge become
    // children of parent, which owns them.
    LimitMaskOverlay(ZTraceItem *trace, QGraphicsItem *parent);
    ~LimitMaskOverlay();
    LimitMaskOverlay(const LimitMaskOverlay &) = delete;
    LimitMaskOverlay &operator=(const LimitMaskOverlay &) = delete;

    // A mask that differs from the one shown drops the verdict: it was
    // reached against other bounds.
    void setMask(const ZData::TR::TLimitMask &mask);
    const ZData::TR::TLimitMask &mask() const { return m_mask; }
    bool hasMask() const { return !m_mask.isEmpty(); }

    // Judges a sweep; trace and plotted share their indices. Returns the
    // verdict; logs under tag when it differs from the last one.
    ZData::TR::TLimitVerdict judge(const ZData::TR::TTrace &trace, const QVector<QPointF> &plotted,
                                   const QString &tag, const QString &channelName);
    ZData::TR::ELimitResult result() const { return m_verdict.result; }
    const ZData::TR::TLimitVerdict &verdict() const { return m_verdict; }

    // After the plot area or the axes moved.
    void layout();
    void retranslate();
    bool isBadgeShown() const;
    QString badgeText() const;

private:
    void showVerdict(const QVector<QPointF> &plotted);
    static QVector<QPointF> highlight(const QVector<QPointF> &plotted, const QVector<int> &failing);

    ZTraceItem *m_trace = nullptr;
    int m_highlightTrace = -1;
    LimitLinesItem *m_lines = nullptr;
    QGraphicsRectItem *m_badge = nullptr;
    QGraphicsSimpleTextItem *m_badgeText = nullptr;
    ZData::TR::TLimitMask m_mask;
    ZData::TR::TLimitVerdict m_verdict;
};

} // namespace ZChart
