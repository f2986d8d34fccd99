#include "chart/zmarkstable.h"

#include "chart/datamarkprocessor.h"
#include "chart/tmarkstate.h"
#include "chart/zchartview.h"
#include "chart/zmark.h"
#include "core/log.h"
#include "core/utilitymodules/zstring.h"

#include <QChart>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>

namespace ZChart {

namespace {

const QColor kBackground(0, 0, 0, 100);
// The text is laid out in this box; its left edge reaches a little past the
// table's position so the background's margin lines up with the view edge.
const QRectF kTextBox(-10, 20, 300, 300);
constexpr qreal kBackgroundMargin = 5;
constexpr int kFrequencyPrecision = 2;
// "6200.00": the widest frequency of the device's range.
constexpr int kCompactFrequencyWidth = 7;
const QChar kFill = QLatin1Char(' ');

} // namespace

ZMarksTable::ZMarksTable(QtCharts::QChart *chart, ZChartView *view)
    : QGraphicsItem(chart), m_chart(chart), m_view(view), m_font(markFont(kFontPointSize, false)),
      m_fullLineSpacing(QFontMetricsF(m_font).lineSpacing())
{
    setZValue(kZValue);
    // The curve beneath is redrawn for every slice; the table is drawn
    // again only when its text changes.
    setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    setCursor(Qt::OpenHandCursor);
    setAcceptedMouseButtons(Qt::LeftButton);
    retranslate();
    hide();
}

void ZMarksTable::retranslate()
{
    setToolTip(qtTrId("dw_marks_table_tip"));
}

void ZMarksTable::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    m_dragStart = event->scenePos();
    m_posAtPress = pos();
    event->accept();
}

void ZMarksTable::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    const QRectF free = room();
    const QPointF at = m_posAtPress + event->scenePos() - m_dragStart;
    m_share = TMarkState::shareIn(free, at);
    place();
}

void ZMarksTable::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    mouseMoveEvent(event);
}

void ZMarksTable::setShare(const std::optional<QPointF> &share)
{
    m_share = share;
    place();
}

// The positions the table may take: never wholly out of the view, so it
// can always be taken back.
QRectF ZMarksTable::room() const
{
    const qreal leftmost = -m_backgroundRect.left();
    const qreal right = qMax(leftmost, viewWidth() - m_textRect.width());
    const qreal viewHeight = m_view ? m_view->height() : 0;
    return QRectF(leftmost, 0, right - leftmost, qMax(0.0, viewHeight - m_backgroundRect.bottom()));
}

void ZMarksTable::place()
{
    const QRectF free = room();
    if (m_share) {
        setPos(TMarkState::pointIn(free, *m_share));
        return;
    }
    // The compact table starts below the chart's title, in the plot's
    // upper right corner, where a band-pass trace has fallen off.
    const qreal top = m_compact && m_chart ? m_chart->plotArea().top() - m_backgroundRect.top() : free.top();
    setPos(free.right(), qBound(free.top(), top, free.bottom()));
}

// The marks are children of the chart, not of this item; they go first so
// that none outlives the table that lists it.
ZMarksTable::~ZMarksTable() = default;

QString ZMarksTable::tag()
{
    static const QString tagText = QStringLiteral("ZMarksTable");
    return tagText;
}

QRectF ZMarksTable::boundingRect() const
{
    return m_backgroundRect;
}

void ZMarksTable::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    // With every mark hidden a bare dark square would be left in the corner.
    if (m_text.isEmpty())
        return;
    painter->fillRect(m_backgroundRect, kBackground);
    painter->setFont(m_font);
    painter->setPen(Qt::white);
    painter->drawText(m_textRect, Qt::AlignLeft, m_text);
}

bool ZMarksTable::createMark(double frequencyMHz)
{
    show();
    if (isFull())
        return false;
    auto mark = std::make_unique<ZMark>(m_chart, m_view, this);
    mark->setNumber(count());
    mark->setFrequency(ZCore::TFrequency(frequencyMHz, ZCore::TFrequency::kMultiplierMHz));
    mark->syncIndex();
    mark->updatePosition();
    mark->setVisible(m_marksVisible);
    m_marks.push_back(std::move(mark));
    return true;
}

void ZMarksTable::moveMark(int index, double frequencyMHz)
{
    if (index < 0 || index >= count()) {
        ZCore::Log::warning(tag(), QStringLiteral(">> tried to move mark by invalid index: %1").arg(index));
        return;
    }
    if (!m_view) {
        ZCore::Log::warning(tag(),
                            QStringLiteral(">> tried to move mark when chartview is empty with index: %1").arg(index));
        return;
    }
    m_marks[size_t(index)]->setFrequencyMHz(frequencyMHz);
    m_view->applyMarksPreset();
}

void ZMarksTable::setMarksVisible(bool visible)
{
    m_marksVisible = visible;
    for (const auto &mark : m_marks)
        mark->setVisible(visible);
}

void ZMarksTable::showMarks(const QVector<bool> &shown)
{
    m_marksVisible = false;
    for (int i = 0; i < count(); ++i)
        m_marks[size_t(i)]->setVisible(shown.value(i, false));
}

void ZMarksTable::setMarkVisible(int index, bool visible)
{
    if (isEmpty())
        return;
    m_marks[size_t(clampIndex(index))]->setVisible(visible);
}

void ZMarksTable::syncAll()
{
    for (const auto &mark : m_marks)
        mark->syncIndex();
}

void ZMarksTable::updateMarks()
{
    for (const auto &mark : m_marks)
        mark->moveBy(0);
    rebuildText();
}

QString ZMarksTable::frequencyLine(int number, double frequencyMHz)
{
    namespace ZString = ZCore::UtilityModules::ZString;
    return ZString::justifyPair(QStringLiteral("M") + QString::number(number),
                                ZString::formatNumber(frequencyMHz, 'f', kFrequencyPrecision, false),
                                kFill + qtTrId("dw_units_mhz"), kFill, DataMarkProcessor::kLineWidth);
}

void ZMarksTable::rebuildText()
{
    // Every slice comes here: the font changes only with the table's form.
    if (const bool compact = isCrowded(); compact != m_compact) {
        m_compact = compact;
        m_font = markFont(compact ? kCompactPointSize : kFontPointSize, false);
        m_textRect = QRectF();
    }
    // Entries are separated by a blank line; joining the visible ones keeps
    // that true even when a hidden mark sits between two shown ones.
    QStringList entries;
    for (const auto &mark : m_marks) {
        if (!mark->isVisible())
            continue;
        entries.append(m_compact ? compactLine(*mark)
                                 : QStringLiteral("%1\n%2").arg(frequencyLine(mark->data().number,
                                                                              mark->data().frequency.MHz()),
                                                                mark->valueText()));
    }
    const QString text = entries.join(m_compact ? QStringLiteral("\n") : QStringLiteral("\n\n"));
    // Every slice rebuilds the table, but its text changes only when a
    // slice under a mark arrives; laying out and repainting the same text
    // would cost more than the rest of the slice's bookkeeping together.
    if (text == m_text) {
        place();
        return;
    }
    m_text = text;
    prepareGeometryChange();
    updateGeometry();
    update();
}

// Two lines a mark and a blank line between marks, in the table's font.
bool ZMarksTable::isCrowded() const
{
    const qreal height = m_view ? m_view->height() : 0;
    int shown = 0;
    for (const auto &mark : m_marks)
        shown += mark->isVisible() ? 1 : 0;
    if (height <= 0 || shown == 0)
        return false;
    const int lines = 3 * shown - 1;
    const qreal full = lines * m_fullLineSpacing + 2 * kBackgroundMargin;
    return full > kCrowdedShare * height;
}

// "M2 1234.50 MHz  -12.34 dBm": the entry's two lines on one.
QString ZMarksTable::compactLine(const ZMark &mark) const
{
    const QString label = qtTrId("dw_mark_lmag");
    QString value = mark.valueText();
    if (value.startsWith(label))
        value = value.mid(label.size()).trimmed();
    const QString frequency = ZCore::UtilityModules::ZString::formatNumber(mark.data().frequency.MHz(), 'f',
                                                                           kFrequencyPrecision, false);
    return QStringLiteral("M%1 %2 %3  %4")
        .arg(mark.data().number)
        .arg(frequency, kCompactFrequencyWidth)
        .arg(qtTrId("dw_units_mhz"), value);
}

void ZMarksTable::relayout()
{
    if (isCrowded() != m_compact)
        rebuildText();
    place();
    for (const auto &mark : m_marks)
        mark->reposition();
}

bool ZMarksTable::isMarkVisible(int index) const
{
    if (isEmpty())
        return false;
    return m_marks[size_t(clampIndex(index))]->isVisible();
}

ZMark *ZMarksTable::mark(int index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    return m_marks[size_t(index)].get();
}

QList<TMarkData> ZMarksTable::marksData() const
{
    QList<TMarkData> result;
    for (const auto &mark : m_marks)
        result.append(mark->data());
    return result;
}

QStringList ZMarksTable::valueTexts() const
{
    QStringList result;
    for (const auto &mark : m_marks)
        result.append(mark->valueText());
    return result;
}

int ZMarksTable::clampIndex(int index) const
{
    return qBound(0, index, count() - 1);
}

void ZMarksTable::updateGeometry()
{
    // The lines are of fixed width in a fixed-pitch font: a new level in the
    // same lines leaves the box as it is, and laying the text out again
    // would cost more than the rest of the slice.
    const QStringList lines = m_text.split(QLatin1Char('\n'));
    int widest = 0;
    for (const QString &line : lines)
        widest = qMax(widest, line.size());
    const QPair<int, int> shape(lines.size(), widest);
    if (shape != m_textShape || m_textRect.isNull()) {
        m_textShape = shape;
        m_textRect = QFontMetricsF(m_font).boundingRect(kTextBox, Qt::AlignLeft, m_text);
    }
    m_backgroundRect = m_textRect.adjusted(-kBackgroundMargin, -kBackgroundMargin, kBackgroundMargin, kBackgroundMargin);
    place();
}

qreal ZMarksTable::viewWidth() const
{
    return m_view ? m_view->width() : 0;
}

} // namespace ZChart
