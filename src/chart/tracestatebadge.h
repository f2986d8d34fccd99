#pragma once

#include <QColor>
#include <QFont>
#include <QGraphicsItem>
#include <QRectF>
#include <QString>

namespace ZChart {

// Tells over a chart's plot that its traces are not live, and why. The plot
// is veiled, so the last traces stay readable but plainly old, and a box in
// its middle gives the reason above a line saying the traces are not live.
// Hidden while there is no reason to give.
class TraceStateBadge : public QGraphicsItem
{
public:
    // Above the marks, below the ADC and RF warnings.
    static constexpr qreal kZValue = 90;
    static constexpr int kVeilAlpha = 150;
    static constexpr int kBoxAlpha = 230;
    static constexpr int kReasonPixelSize = 20;
    static constexpr int kNotePixelSize = 14;
    static constexpr qreal kPadding = 10;
    static constexpr qreal kCornerRadius = 6;
    static constexpr qreal kBorderWidth = 2;

    explicit TraceStateBadge(QGraphicsItem *parent = nullptr);

    // The plot area, in the coordinates of the item's parent (the scene).
    void setArea(const QRectF &area);
    // An empty reason hides the badge.
    void setText(const QString &reason, const QString &note);
    // The chart's background and label colours, so both themes read well.
    void setColors(const QColor &background, const QColor &text);

    QString reason() const { return m_reason; }
    QString note() const { return m_note; }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QRectF textRect(const QFont &font, const QString &text, qreal width) const;

    QRectF m_area;
    QString m_reason;
    QString m_note;
    QColor m_background;
    QColor m_text;
    QFont m_reasonFont;
    QFont m_noteFont;
};

} // namespace ZChart
