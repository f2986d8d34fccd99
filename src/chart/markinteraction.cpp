#include "chart/markinteraction.h"

#include "chart/zchartview.h"
#include "chart/zmark.h"
#include "chart/zmarkstable.h"
#include "chart/ztraceitem.h"
#include "core/log.h"
#include "data/scan/datascanmanager.h"
#include "data/traces/ttrace.h"

#include <QActionGroup>
#include <QBrush>
#include <QChart>
#include <QContextMenuEvent>
#include <QGraphicsRectItem>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsSimpleTextItem>
#include <QMenu>
#include <QMouseEvent>
#include <QSettings>
#include <QValueAxis>

#include <array>
#include <cmath>
#include <functional>
#include <optional>

namespace ZChart {

namespace {

const QColor kPanelBackground(0, 0, 0, 150);
// The drops a user picks from; 3 dB is the usual band edge, 1 dB the
// flatness edge of a repeater's passband, 6..20 dB a filter's skirt.
constexpr std::array<double, 5> kDrops{1.0, 3.0, 6.0, 10.0, 20.0};

QString mhzText(double hz)
{
    return QString::number(hz / MarkInteraction::kHzPerMHz, 'f', MarkInteraction::kFrequencyPrecision);
}

QString levelText(double db, bool sign = false)
{
    const QString text = QString::number(db, 'f', MarkInteraction::kLevelPrecision);
    return sign && db >= 0 ? QLatin1Char('+') + text : text;
}

} // namespace

// The readout panel is dragged like the marks table and tells when the
// user has let go of it.
class MarkInteraction::ReadoutPanel : public QGraphicsRectItem
{
public:
    ReadoutPanel(QGraphicsItem *parent, std::function<void()> dropped)
        : QGraphicsRectItem(parent), m_dropped(std::move(dropped))
    {
        setAcceptedMouseButtons(Qt::LeftButton);
    }

    bool isDragged() const { return m_dragged; }

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override
    {
        m_grip = event->scenePos() - pos();
        m_dragged = true;
        event->accept();
    }

    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override { setPos(event->scenePos() - m_grip); }

    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override
    {
        mouseMoveEvent(event);
        m_dragged = false;
        m_dropped();
    }

private:
    std::function<void()> m_dropped;
    QPointF m_grip;
    bool m_dragged = false;
};

MarkInteraction::MarkInteraction(ZChartView *view)
    : m_view(view)
{
    m_panel = new ReadoutPanel(view->chart(), [this] { panelDragged(); });
    m_panel->setZValue(kPanelZValue);
    m_panel->setPen(Qt::NoPen);
    m_panel->setBrush(kPanelBackground);
    // Dragged off the part of the trace it hides, it stays where it is put.
    m_panel->setCursor(Qt::OpenHandCursor);
    m_panelText = new QGraphicsSimpleTextItem(m_panel);
    m_panelText->setFont(markFont(kPanelPointSize, false));
    m_panelText->setBrush(Qt::white);
    m_panelText->setPos(kPanelPadding, kPanelPadding);
    m_panelText->setAcceptedMouseButtons(Qt::NoButton);
    m_panel->hide();
}

MarkInteraction::~MarkInteraction() = default;

double MarkInteraction::frequencyAt(const QPoint &viewPos) const
{
    const QPointF at = m_view->chart()->mapFromScene(m_view->mapToScene(viewPos));
    const QRectF plot = m_view->trace()->plotArea();
    const QtCharts::QValueAxis *axis = m_view->axisX();
    if (plot.width() <= 0)
        return axis->min();
    const double share = qBound(0.0, (at.x() - plot.left()) / plot.width(), 1.0);
    return axis->min() + share * (axis->max() - axis->min());
}

int MarkInteraction::markAt(const QPoint &viewPos) const
{
    const ZMarksTable *table = m_view->marksTable();
    int found = kNoMark;
    int nearest = kGrabHalfWidth + 1;
    for (int i = 0; table && i < table->count(); ++i) {
        const ZMark *mark = table->mark(i);
        if (!mark->isVisible())
            continue;
        const QPoint tip = m_view->mapFromScene(mark->valueScenePos());
        const int dx = qAbs(viewPos.x() - tip.x());
        const int dy = viewPos.y() - tip.y();
        if (dx < nearest && dy >= -kGrabAbove && dy <= kGrabBelow) {
            nearest = dx;
            found = i;
        }
    }
    return found;
}

bool MarkInteraction::press(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return false;
    if (event->modifiers() & Qt::ControlModifier)
        return placeNext(frequencyAt(event->pos())) != kNoMark;
    m_dragged = markAt(event->pos());
    return m_dragged != kNoMark;
}

bool MarkInteraction::move(QMouseEvent *event)
{
    if (m_dragged == kNoMark)
        return false;
    moveMarkTo(m_dragged, frequencyAt(event->pos()));
    return true;
}

bool MarkInteraction::release(QMouseEvent *event)
{
    if (m_dragged == kNoMark || event->button() != Qt::LeftButton)
        return false;
    moveMarkTo(m_dragged, frequencyAt(event->pos()));
    m_dragged = kNoMark;
    return true;
}

QMenu *MarkInteraction::menuFor(const QContextMenuEvent *event)
{
    const QPoint at = event->reason() == QContextMenuEvent::Mouse ? event->pos() : m_view->mapFromGlobal(QCursor::pos());
    return buildMenu(markAt(at), frequencyAt(at));
}

QMenu *MarkInteraction::buildMenu(int mark, double frequencyMHz)
{
    auto *menu = new QMenu(m_view);
    menu->setToolTipsVisible(true);
    const ZMarksTable *table = m_view->marksTable();
    if (mark != kNoMark) {
        const int number = mark + 1;
        auto *modes = new QActionGroup(menu);
        const std::array<std::pair<EMarkMode, const char *>, 3> modeIds{
            {{EMarkMode::FIXED, "dw_mark_mode_fixed"}, {EMarkMode::PEAK, "dw_mark_mode_peak"},
             {EMarkMode::MINIMUM, "dw_mark_mode_minimum"}}};
        for (const auto &[value, id] : modeIds) {
            QAction *action = menu->addAction(qtTrId(id).arg(number));
            action->setToolTip(qtTrId("dw_mark_mode_tip"));
            action->setCheckable(true);
            action->setChecked(mode(mark) == value);
            action->setActionGroup(modes);
            connect(action, &QAction::triggered, this, [this, mark, mode = value] { setMode(mark, mode); });
        }
        QMenu *band = menu->addMenu(qtTrId("dw_mark_band_to").arg(number));
        band->setToolTip(qtTrId("dw_mark_band_tip"));
        for (int other = 0; table && other < table->count(); ++other) {
            if (other == mark || !isShown(other))
                continue;
            connect(band->addAction(QStringLiteral("M%1").arg(other + 1)), &QAction::triggered, this,
                    [this, mark, other] { setBand(mark, other); });
        }
        band->setEnabled(!band->isEmpty());
        connect(menu->addAction(qtTrId("dw_mark_remove").arg(number)), &QAction::triggered, this,
                [this, mark] { remove(mark); });
        menu->addSeparator();
    }
    int next = kNoMark;
    for (int i = 0; table && i < table->count() && next == kNoMark; ++i) {
        if (!isShown(i))
            next = i;
    }
    QAction *place = menu->addAction(next == kNoMark ? qtTrId("dw_mark_place_none")
                                                     : qtTrId("dw_mark_place").arg(next + 1));
    place->setToolTip(qtTrId("dw_mark_place_tip"));
    place->setEnabled(next != kNoMark);
    connect(place, &QAction::triggered, this, [this, frequencyMHz] { placeNext(frequencyMHz); });

    QAction *delta = menu->addAction(qtTrId("dw_readout_delta_toggle"));
    delta->setCheckable(true);
    delta->setChecked(m_state.deltaShown);
    connect(delta, &QAction::toggled, this, &MarkInteraction::setDeltaShown);
    QAction *bandwidth = menu->addAction(qtTrId("dw_readout_bandwidth_toggle"));
    bandwidth->setCheckable(true);
    bandwidth->setChecked(m_state.bandwidthShown);
    connect(bandwidth, &QAction::toggled, this, &MarkInteraction::setBandwidthShown);
    QMenu *drops = menu->addMenu(qtTrId("dw_readout_drop"));
    auto *dropGroup = new QActionGroup(drops);
    for (double drop : kDrops) {
        QAction *action = drops->addAction(qtTrId("dw_readout_drop_value").arg(drop));
        action->setCheckable(true);
        action->setChecked(drop == m_state.dropDb);
        action->setActionGroup(dropGroup);
        connect(action, &QAction::triggered, this, [this, drop] { setDropDb(drop); });
    }
    if (m_state.hasBand()) {
        connect(menu->addAction(qtTrId("dw_readout_band_clear")), &QAction::triggered, this,
                [this] { setBand(kNoMark, kNoMark); });
    }
    QAction *back = menu->addAction(qtTrId("dw_mark_back_to_preset"));
    back->setToolTip(qtTrId("dw_mark_back_to_preset_tip"));
    connect(back, &QAction::triggered, this, [this] {
        reset();
        m_view->placeMarks();
    });
    return menu;
}

bool MarkInteraction::isPlaced(int mark) const
{
    return mark >= 0 && mark < TMarkState::kMarks && m_state.handMHz[std::size_t(mark)].has_value();
}

EMarkMode MarkInteraction::mode(int mark) const
{
    return mark >= 0 && mark < TMarkState::kMarks ? m_state.modes[std::size_t(mark)] : EMarkMode::FIXED;
}

void MarkInteraction::setMode(int mark, EMarkMode mode)
{
    if (mark < 0 || mark >= TMarkState::kMarks)
        return;
    m_state.modes[std::size_t(mark)] = mode;
    sweepCompleted();
}

int MarkInteraction::placeNext(double frequencyMHz)
{
    const ZMarksTable *table = m_view->marksTable();
    for (int i = 0; table && i < table->count(); ++i) {
        if (isShown(i))
            continue;
        m_state.handMHz[std::size_t(i)] = frequencyMHz;
        moveMarkTo(i, frequencyMHz);
        return i;
    }
    return kNoMark;
}

void MarkInteraction::remove(int mark)
{
    if (mark < 0 || mark >= TMarkState::kMarks)
        return;
    m_state.handMHz[std::size_t(mark)].reset();
    m_state.modes[std::size_t(mark)] = EMarkMode::FIXED;
    if (m_state.bandFirst == mark || m_state.bandSecond == mark)
        m_state.bandFirst = m_state.bandSecond = kNoMark;
    if (ZMarksTable *table = m_view->marksTable())
        table->setMarkVisible(mark, false);
    // A preset's mark moved by hand goes back to the preset's frequency.
    m_view->placeMarks();
    refreshReadouts();
}

void MarkInteraction::setBand(int first, int second)
{
    const bool valid = first >= 0 && first < TMarkState::kMarks && second >= 0 && second < TMarkState::kMarks &&
                       first != second;
    m_state.bandFirst = valid ? first : kNoMark;
    m_state.bandSecond = valid ? second : kNoMark;
    refreshReadouts();
}

void MarkInteraction::setBandwidthShown(bool shown)
{
    m_state.bandwidthShown = shown;
    refreshReadouts();
}

void MarkInteraction::reset()
{
    const TMarkState untouched;
    m_state.modes = untouched.modes;
    m_state.handMHz = untouched.handMHz;
    m_state.bandFirst = m_state.bandSecond = kNoMark;
    m_state.deltaShown = m_state.bandwidthShown = false;
    m_dragged = kNoMark;
    refreshReadouts();
}

void MarkInteraction::applyHandPlaced()
{
    ZMarksTable *table = m_view->marksTable();
    const ZData::DS::RangeSliced &range = ZData::DataScanManager::instance().channelRange(m_view->channel());
    for (int i = 0; table && i < table->count(); ++i) {
        std::optional<double> &mhz = m_state.handMHz[std::size_t(i)];
        if (!mhz)
            continue;
        if (*mhz < range.start().MHz() || *mhz > range.stop().MHz()) {
            ZCore::Log::info(m_view->tag(), QStringLiteral(">> M%1 at %2 MHz lies outside %3..%4 MHz: back to the preset")
                                                .arg(i + 1)
                                                .arg(*mhz)
                                                .arg(range.start().MHz())
                                                .arg(range.stop().MHz()));
            mhz.reset();
            continue;
        }
        table->mark(i)->setFrequencyMHz(*mhz);
    }
}

TMarkState MarkInteraction::state() const
{
    TMarkState state = m_state;
    if (const ZMarksTable *table = m_view->marksTable())
        state.tableShare = table->share();
    return state;
}

void MarkInteraction::save(QSettings &settings) const
{
    state().save(settings);
}

void MarkInteraction::restore(const QSettings &settings)
{
    m_state.restore(settings, m_view->tag());
    if (ZMarksTable *table = m_view->marksTable())
        table->setShare(m_state.tableShare);
    m_view->placeMarks();
    sweepCompleted();
}

void MarkInteraction::setDeltaShown(bool shown)
{
    m_state.deltaShown = shown;
    refreshReadouts();
}

bool MarkInteraction::setDropDb(double dropDb)
{
    if (!TMarkState::isDropValid(dropDb))
        return false;
    m_state.dropDb = dropDb;
    refreshReadouts();
    return true;
}

void MarkInteraction::moveMarkTo(int mark, double frequencyMHz)
{
    ZMarksTable *table = m_view->marksTable();
    if (!table || mark < 0 || mark >= table->count())
        return;
    // A mark the user moves by hand stays where it was put.
    m_state.modes[std::size_t(mark)] = EMarkMode::FIXED;
    table->moveMark(mark, frequencyMHz);
    // Where it landed, on a measured point, is what comes back.
    m_state.handMHz[std::size_t(mark)] = table->mark(mark)->data().frequency.MHz();
    refreshReadouts();
}

bool MarkInteraction::isShown(int mark) const
{
    const ZMarksTable *table = m_view->marksTable();
    return table && table->mark(mark) && table->mark(mark)->isVisible();
}

void MarkInteraction::sweepCompleted()
{
    ZMarksTable *table = m_view->marksTable();
    if (!table)
        return;
    const ZData::TR::TTrace trace = m_view->shownTrace();
    // The band's marks bound the search, unless the searching mark is one
    // of them.
    bool moved = false;
    for (int i = 0; i < table->count(); ++i) {
        if (mode(i) == EMarkMode::FIXED || !isShown(i))
            continue;
        const bool bounded = m_state.bandFirst != kNoMark && i != m_state.bandFirst && i != m_state.bandSecond;
        const double fromHz = bounded ? table->mark(m_state.bandFirst)->data().frequency.hz() : ZData::TR::TraceReadouts::kWholeLow;
        const double toHz = bounded ? table->mark(m_state.bandSecond)->data().frequency.hz() : ZData::TR::TraceReadouts::kWholeHigh;
        const ZData::TR::TPointReading found = mode(i) == EMarkMode::PEAK
                                                   ? ZData::TR::TraceReadouts::peak(trace, fromHz, toHz)
                                                   : ZData::TR::TraceReadouts::minimum(trace, fromHz, toHz);
        if (!found.isValid())
            continue;
        table->mark(i)->setFrequencyMHz(found.frequencyHz / kHzPerMHz);
        moved = true;
    }
    if (moved)
        m_view->applyMarksPreset();
    refreshReadouts();
}

ZData::TR::TPointReading MarkInteraction::reading(const ZData::TR::TTrace &trace, int mark) const
{
    const ZMarksTable *table = m_view->marksTable();
    if (!isShown(mark) || !table->mark(mark))
        return {};
    const int index = int(table->mark(mark)->data().index);
    if (index < 0 || index >= trace.size() || !trace.isMeasured(index))
        return {};
    return ZData::TR::TPointReading{index, trace.frequencyHz(index), trace.levelDb(index)};
}

QString MarkInteraction::deltaLines(const ZData::TR::TTrace &trace) const
{
    const ZData::TR::TPointReading first = reading(trace, 0);
    if (!m_state.deltaShown || !first.isValid())
        return QString();
    QStringList lines;
    for (int i = 1; i < ZChartView::kMarksPerView; ++i) {
        const ZData::TR::TPointReading other = reading(trace, i);
        if (!other.isValid())
            continue;
        const ZData::TR::TDelta delta = ZData::TR::TraceReadouts::delta(other, first);
        lines << qtTrId("dw_readout_delta")
                     .arg(i + 1)
                     .arg((delta.frequencyHz >= 0 ? QStringLiteral("+") : QString()) + mhzText(delta.frequencyHz),
                          levelText(delta.levelDb, true));
    }
    return lines.join(QLatin1Char('\n'));
}

QString MarkInteraction::bandLines(const ZData::TR::TTrace &trace) const
{
    const ZData::TR::TPointReading a = reading(trace, m_state.bandFirst);
    const ZData::TR::TPointReading b = reading(trace, m_state.bandSecond);
    if (m_state.bandFirst == kNoMark || !a.isValid() || !b.isValid())
        return QString();
    const ZData::TR::TBandReadout band = ZData::TR::TraceReadouts::band(trace, a.frequencyHz, b.frequencyHz);
    if (!band.isValid())
        return QString();
    return qtTrId("dw_readout_band")
        .arg(qMin(m_state.bandFirst, m_state.bandSecond) + 1)
        .arg(qMax(m_state.bandFirst, m_state.bandSecond) + 1)
        .arg(levelText(band.minimum.levelDb), levelText(band.maximum.levelDb), levelText(band.flatnessDb),
             levelText(band.meanDb), m_view->levelUnitsText());
}

QString MarkInteraction::bandwidthLines(const ZData::TR::TTrace &trace) const
{
    if (!m_state.bandwidthShown)
        return QString();
    const ZData::TR::TBandwidthReadout found = ZData::TR::TraceReadouts::bandwidth(trace, m_state.dropDb);
    if (!found.isFound())
        return qtTrId("dw_readout_bandwidth_none").arg(m_state.dropDb);
    return qtTrId("dw_readout_bandwidth")
        .arg(m_state.dropDb)
        .arg(mhzText(found.widthHz()), mhzText(*found.lowerHz), mhzText(*found.upperHz));
}

void MarkInteraction::refreshReadouts()
{
    if (!m_state.deltaShown && m_state.bandFirst == kNoMark && !m_state.bandwidthShown) {
        showText(QString());
        return;
    }
    const ZData::TR::TTrace trace = m_view->shownTrace();
    QStringList parts;
    for (const QString &part : {deltaLines(trace), bandLines(trace), bandwidthLines(trace)}) {
        if (!part.isEmpty())
            parts << part;
    }
    showText(parts.join(QLatin1Char('\n')));
}

void MarkInteraction::showText(const QString &text)
{
    m_text = text;
    m_panel->setVisible(!text.isEmpty());
    if (text.isEmpty())
        return;
    m_panelText->setText(text);
    const QRectF bounds = m_panelText->boundingRect();
    m_panel->setRect(0, 0, bounds.width() + 2 * kPanelPadding, bounds.height() + 2 * kPanelPadding);
    m_panel->setToolTip(qtTrId("dw_readout_panel_tip"));
    relayout();
}

// Lower left corner of the plot, unless the user put it elsewhere: the
// trace of a band-pass response runs high in the middle, and the limit
// badge holds the upper left.
void MarkInteraction::relayout()
{
    if (m_panel->isDragged())
        return;
    const QRectF panel = m_panel->rect();
    if (const std::optional<QPointF> &share = m_state.panelShare) {
        m_panel->setPos(TMarkState::pointIn(panelRoom(), *share));
        return;
    }
    const QRectF plot = m_view->trace()->plotArea();
    m_panel->setPos(plot.left() + kPanelPadding, plot.bottom() - panel.height() - kPanelPadding);
}

// Kept as a share of the room the view leaves it, so that a smaller window
// still shows it.
void MarkInteraction::panelDragged()
{
    m_state.panelShare = TMarkState::shareIn(panelRoom(), m_panel->pos());
    relayout();
}

// The places the panel may take: wholly inside the view.
QRectF MarkInteraction::panelRoom() const
{
    const QSizeF room = m_view->size() - m_panel->rect().size();
    return QRectF(0.0, 0.0, qMax(0.0, room.width()), qMax(0.0, room.height()));
}

void MarkInteraction::retranslate()
{
    refreshReadouts();
}

bool MarkInteraction::isPanelShown() const
{
    return m_panel->isVisible();
}

} // namespace ZChart
