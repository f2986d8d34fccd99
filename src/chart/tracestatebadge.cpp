#include "chart/tracestatebadge.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>

#include <array>

namespace ZChart {

namespace {

constexpr int kTextFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
// Tall enough for any wrapped reason; the measured height is what counts.
constexpr qreal kUnboundedHeight = 1e4;
// Amber reads on the dark and on the light theme alike.
const QColor kAccent(230, 140, 0);
constexpr std::array<qreal, 3> kFontScales = {1.0, 0.8, 0.65};

} // namespace

TraceStateBadge::TraceStateBadge(QGraphicsItem *parent)
    : QGraphicsItem(parent)
    , m_background(Qt::black)
    , m_text(Qt::white)
{
    m_reasonFont.setPixelSize(kReasonPixelSize);
    m_reasonFont.setBold(true);
    m_noteFont.setPixelSize(kNotePixelSize);
    setZValue(kZValue);
    hide();
}

void TraceStateBadge::setArea(const QRectF &area)
{
    if (area == m_area)
        return;
    prepareGeometryChange();
    m_area = area;
}

void TraceStateBadge::setText(const QString &reason, const QString &note)
{
    m_reason = reason;
    m_note = note;
    setVisible(!reason.isEmpty());
    update();
}

void TraceStateBadge::setColors(const QColor &background, const QColor &text)
{
    m_background = background;
    m_text = text;
    update();
}

QRectF TraceStateBadge::boundingRect() const
{
    return m_area;
}

QRectF TraceStateBadge::textRect(const QFont &font, const QString &text, qreal width) const
{
    return QFontMetricsF(font).boundingRect(QRectF(0, 0, width, kUnboundedHeight), kTextFlags, text);
}

void TraceStateBadge::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    if (m_area.isEmpty())
        return;
    QColor veil = m_background;
    veil.setAlpha(kVeilAlpha);
    painter->fillRect(m_area, veil);

    const qreal textWidth = qMax<qreal>(0, m_area.width() - 4 * kPadding);
    QFont reasonFont = m_reasonFont;
    QFont noteFont = m_noteFont;
    QRectF reason;
    QRectF note;
    // A low plot gets smaller letters rather than a cut-off note.
    for (const qreal scale : kFontScales) {
        reasonFont.setPixelSize(qRound(kReasonPixelSize * scale));
        noteFont.setPixelSize(qRound(kNotePixelSize * scale));
        reason = textRect(reasonFont, m_reason, textWidth);
        note = textRect(noteFont, m_note, textWidth);
        if (reason.height() + note.height() + 3 * kPadding <= m_area.height())
            break;
    }
    const qreal boxWidth = qMax(reason.width(), note.width()) + 2 * kPadding;
    const qreal boxHeight = reason.height() + note.height() + 3 * kPadding;
    QRectF box(0, 0, qMin(boxWidth, m_area.width()), qMin(boxHeight, m_area.height()));
    box.moveCenter(m_area.center());

    QColor fill = m_background;
    fill.setAlpha(kBoxAlpha);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(kAccent, kBorderWidth));
    painter->setBrush(fill);
    painter->drawRoundedRect(box, kCornerRadius, kCornerRadius);

    const QRectF inner = box.adjusted(kPadding, kPadding, -kPadding, -kPadding);
    painter->setFont(reasonFont);
    painter->drawText(inner, kTextFlags, m_reason);
    painter->setFont(noteFont);
    painter->setPen(m_text);
    painter->drawText(inner.adjusted(0, reason.height() + kPadding, 0, 0), kTextFlags, m_note);
}

} // namespace ZChart
