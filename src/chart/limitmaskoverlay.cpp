#include "chart/limitmaskoverlay.h"

#include "chart/ztraceitem.h"
#include "core/log.h"
#include "core/tfrequency.h"

#include <QBrush>
#include <QFont>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QPainter>
#include <QPen>

#include <cmath>

namespace ZChart {

namespace {

const QColor kLowerColor(255, 170, 0);
const QColor kUpperColor(255, 80, 80);
const QColor kFailColor(255, 40, 40, 170);
const QColor kPassBadgeColor(30, 140, 60);
const QColor kFailBadgeColor(200, 30, 30);

double toMHz(double hz)
{
    return hz / ZCore::TFrequency::kHzPerMHz;
}

} // namespace

// The bounds of every segment, drawn from the mask on each paint: a mask is
// a handful of lines, and they change only with the preset or the axes.
class LimitLinesItem : public QGraphicsItem
{
public:
    LimitLinesItem(ZTraceItem *trace, QGraphicsItem *parent) : QGraphicsItem(parent), m_trace(trace) {}

    void setMask(const ZData::TR::TLimitMask &mask)
    {
        m_mask = mask;
        relayout();
    }
    void relayout()
    {
        prepareGeometryChange();
        m_area = m_trace->plotArea();
        update();
    }
    QRectF boundingRect() const override { return m_area; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override
    {
        painter->save();
        painter->setClipRect(m_area);
        for (const ZData::TR::TLimitSegment &segment : qAsConst(m_mask)) {
            drawBound(*painter, segment, segment.lowerDb, kLowerColor);
            drawBound(*painter, segment, segment.upperDb, kUpperColor);
        }
        painter->restore();
    }

private:
    void drawBound(QPainter &painter, const ZData::TR::TLimitSegment &segment, const std::optional<double> &bound,
                   const QColor &color) const
    {
        if (!bound)
            return;
        QPen pen(color, LimitMaskOverlay::kLineWidth, Qt::DashLine);
        painter.setPen(pen);
        painter.drawLine(m_trace->mapToPosition(QPointF(toMHz(segment.startHz), *bound)),
                         m_trace->mapToPosition(QPointF(toMHz(segment.stopHz), *bound)));
    }

    ZTraceItem *m_trace;
    ZData::TR::TLimitMask m_mask;
    QRectF m_area;
};

LimitMaskOverlay::LimitMaskOverlay(ZTraceItem *trace, QGraphicsItem *parent) : m_trace(trace)
{
    QPen pen(kFailColor, kHighlightWidth);
    pen.setCapStyle(Qt::RoundCap);
    m_highlightTrace = m_trace->addTrace(pen);
    m_lines = new LimitLinesItem(trace, parent);
    m_lines->setZValue(kLinesZValue);
    m_lines->hide();

    m_badge = new QGraphicsRectItem(parent);
    m_badge->setZValue(kBadgeZValue);
    m_badge->setPen(Qt::NoPen);
    m_badgeText = new QGraphicsSimpleTextItem(m_badge);
    QFont font = m_badgeText->font();
    font.setPointSize(kBadgePointSize);
    font.setBold(true);
    m_badgeText->setFont(font);
    m_badgeText->setBrush(Qt::white);
    m_badge->hide();
}

LimitMaskOverlay::~LimitMaskOverlay() = default;

void LimitMaskOverlay::setMask(const ZData::TR::TLimitMask &mask)
{
    if (mask == m_mask)
        return;
    m_mask = mask;
    m_lines->setMask(mask);
    m_lines->setVisible(hasMask());
    m_verdict = ZData::TR::TLimitVerdict();
    showVerdict({});
}

ZData::TR::TLimitVerdict LimitMaskOverlay::judge(const ZData::TR::TTrace &trace, const QVector<QPointF> &plotted,
                                                 const QString &tag, const QString &channelName)
{
    if (!hasMask())
        return m_verdict;
    const ZData::TR::TLimitVerdict verdict = ZData::TR::LimitMask::judge(trace, m_mask);
    if (verdict.result != m_verdict.result)
        ZCore::Log::info(tag, QStringLiteral(">> limit mask %1: %2 => %3 (%4 of %5 points outside)")
                                  .arg(channelName, ZData::TR::LimitMask::resultText(m_verdict.result),
                                       ZData::TR::LimitMask::resultText(verdict.result))
                                  .arg(verdict.failingIndices.size())
                                  .arg(verdict.judgedPoints));
    m_verdict = verdict;
    showVerdict(plotted);
    return m_verdict;
}

void LimitMaskOverlay::showVerdict(const QVector<QPointF> &plotted)
{
    m_trace->setPoints(m_highlightTrace, highlight(plotted, m_verdict.failingIndices));
    retranslate();
}

// Each failing point is highlighted with half a step of the trace on either
// side, so a lone point shows and a failing run reads as one stroke.
QVector<QPointF> LimitMaskOverlay::highlight(const QVector<QPointF> &plotted, const QVector<int> &failing)
{
    QVector<QPointF> line;
    const auto usable = [&plotted](int i) { return i >= 0 && i < plotted.size() && !std::isnan(plotted.at(i).y()); };
    const auto midway = [&plotted](int a, int b) { return (plotted.at(a) + plotted.at(b)) / 2.0; };
    for (int k = 0; k < failing.size(); ++k) {
        const int first = failing.at(k);
        if (!usable(first))
            continue;
        int last = first;
        while (k + 1 < failing.size() && failing.at(k + 1) == last + 1 && usable(last + 1))
            last = failing.at(++k);
        line << (usable(first - 1) ? midway(first - 1, first) : plotted.at(first));
        for (int i = first; i <= last; ++i)
            line << plotted.at(i);
        const QPointF end = usable(last + 1) ? midway(last, last + 1) : plotted.at(last);
        line << end << QPointF(end.x(), std::nan(""));
    }
    return line;
}

void LimitMaskOverlay::layout()
{
    m_lines->relayout();
    const QRectF area = m_trace->plotArea();
    m_badge->setPos(area.topLeft() + QPointF(kBadgeMargin, kBadgeMargin));
}

void LimitMaskOverlay::retranslate()
{
    const bool shown = hasMask() && m_verdict.result != ZData::TR::ELimitResult::NONE;
    m_badge->setVisible(shown);
    if (!shown)
        return;
    const bool pass = m_verdict.result == ZData::TR::ELimitResult::PASS;
    m_badgeText->setText(qtTrId(pass ? "dw_limit_badge_pass" : "dw_limit_badge_fail"));
    m_badgeText->setPos(kBadgePadding, kBadgePadding);
    const QRectF text = m_badgeText->boundingRect();
    m_badge->setRect(0, 0, text.width() + 2 * kBadgePadding, text.height() + 2 * kBadgePadding);
    m_badge->setBrush(pass ? kPassBadgeColor : kFailBadgeColor);
    m_badge->setToolTip(qtTrId("dw_limit_badge_tip")
                            .arg(m_verdict.failingIndices.size())
                            .arg(m_verdict.judgedPoints));
}

bool LimitMaskOverlay::isBadgeShown() const
{
    return m_badge->isVisible();
}

QString LimitMaskOverlay::badgeText() const
{
    return isBadgeShown() ? m_badgeText->text() : QString();
}

} // namespace ZChart
