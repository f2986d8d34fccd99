#pragma once

#include <QFont>
#include <QGraphicsItem>
#include <QList>
#include <QPair>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <optional>
#include <vector>

namespace QtCharts {
class QChart;
}

namespace ZChart {

class ZChartView;
class ZMark;
struct TMarkData;

// The marks of one view and the semi-transparent table in its upper right
// corner that lists frequency and level of every visible mark.
class ZMarksTable : public QGraphicsItem
{
public:
    enum { Type = UserType + 2 };

    static constexpr int kMaxMarks = 5;
    static constexpr qreal kZValue = 40;
    static constexpr int kFontPointSize = 12;
    // Where the two-line entries would fill more than this share of the
    // view's height (the smallest window), each mark takes one line in a
    // smaller font instead, so the table leaves the trace in sight.
    static constexpr qreal kCrowdedShare = 0.6;
    static constexpr int kCompactPointSize = 9;

    ZMarksTable(QtCharts::QChart *chart, ZChartView *view);
    ~ZMarksTable() override;

    static QString tag();

    int type() const override { return Type; }
    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;
    void retranslate();

    // False when the table is full.
    bool createMark(double frequencyMHz);
    void moveMark(int index, double frequencyMHz);
    void setMarksVisible(bool visible);
    void setMarkVisible(int index, bool visible);
    // What hiding every mark and showing mark i where shown[i] leaves,
    // without hiding a mark that stays shown (each flip dirties the scene).
    void showMarks(const QVector<bool> &shown);
    void syncAll();
    void updateMarks();
    void rebuildText();
    void relayout();

    int count() const { return int(m_marks.size()); }
    bool isEmpty() const { return m_marks.empty(); }
    bool isFull() const { return count() >= kMaxMarks; }
    bool isMarkVisible(int index) const;
    bool marksVisible() const { return m_marksVisible; }
    ZMark *mark(int index) const;
    QList<TMarkData> marksData() const;
    QStringList valueTexts() const;
    QString text() const { return m_text; }
    bool isCompact() const { return m_compact; }
    // Where the user dragged the table, as a share of the room the view
    // leaves it on each axis (1, 0: the upper right corner); none while it
    // keeps its place in the corner.
    std::optional<QPointF> share() const { return m_share; }
    void setShare(const std::optional<QPointF> &share);

    // "M2       1234.50 MHz": the first line of a mark's entry.
    static QString frequencyLine(int number, double frequencyMHz);

protected:
    // The table may be dragged off the part of the trace it hides; it keeps
    // its share of the room when the view resizes, so it stays in sight.
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

private:
    void place();
    QRectF room() const;
    bool isCrowded() const;
    QString compactLine(const ZMark &mark) const;
    int clampIndex(int index) const;
    void updateGeometry();
    qreal viewWidth() const;

    QtCharts::QChart *m_chart = nullptr;
    ZChartView *m_view = nullptr;
    bool m_marksVisible = true;
    std::vector<std::unique_ptr<ZMark>> m_marks;
    QFont m_font;
    // Of the full-size font: what decides whether the table must be compact.
    qreal m_fullLineSpacing;
    QString m_text;
    QRectF m_backgroundRect;
    QRectF m_textRect;
    // Line count and longest line the text rectangle was measured for.
    QPair<int, int> m_textShape;
    bool m_compact = false;
    std::optional<QPointF> m_share;
    QPointF m_dragStart;
    QPointF m_posAtPress;
};

} // namespace ZChart
