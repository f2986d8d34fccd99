#include "chart/limitmaskoverlay.h"
#include "chart/markinteraction.h"
#include "chart/zmark.h"
#include "chart/viewscale.h"
#include "chart/viewtraces.h"
#include "chart/zchartview.h"
#include "chart/zmarkstable.h"
#include "chart/ztraceitem.h"
#include "core/settingsmanager.h"
#include "ui/dialogs/chartscaledialog.h"
#include "data/device/devicemanager.h"
#include "data/scan/datascanmanager.h"
#include "data/traces/referencestore.h"
#include "data/traces/sweepexport.h"

#include "chartfixture.h"
#include "sweepfeeder.h"

#include <QChart>
#include <QContextMenuEvent>
#include <QGraphicsTextItem>
#include <QMenu>
#include <QSettings>
#include <QValueAxis>
#include <QWheelEvent>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace ZChart;
using TestSupport::ChartFixture;
using TestSupport::SweepFeeder;

namespace {

const auto flatLevel = [](int, quint64) { return 0.1f; };
const auto loudLevel = [](int, quint64) { return 2.0f; };
// Colour steps a smoothed edge may differ by, and how many pixels may: a
// trace drawn a pixel off differs along its whole length.
constexpr int kLookTolerance = 48;
constexpr int kLookDifferingPixels = 60;

// A view in one corner over the one-band profile, its sweep started.
struct Bench
{
    explicit Bench(quint32 corner = ZCommon::UL, const QVector<double> &marks = {}, const QVariantMap &rf = {},
                   const ZData::TR::TLimitMask &s21Limits = {})
    {
        ZData::TScanPreset band = ChartFixture::preset(QStringLiteral("Band"), marks);
        band.channel(ZData::EScanChannel::S21).limits = s21Limits;
        loaded = fixture.load({band}, rf);
        SweepFeeder::start();
        view = std::make_unique<ZChartView>();
        view->setCalibrationNotifier(&fixture.calibrator());
        view->setCorner(corner);
    }

    ChartFixture fixture;
    bool loaded = false;
    std::unique_ptr<ZChartView> view;
};

} // namespace

class TstZChartView : public QObject
{
    Q_OBJECT

private slots:
    void corners_data();
    void corners();
    void dataOfAnotherChannelIgnored();
    void emptyFirstReplyCreatesNoMarks();
    void unsetMarkKeepsNumbers();
    void adcOverflowThreshold_data();
    void adcOverflowThreshold();
    void adcOverflowWaitsForFullSweep();
    void calibrationDetachesAndRestores();
    void lightTheme_data();
    void lightTheme();
    void noPresetLoaded();
    void indexFromFrequency_data();
    void indexFromFrequency();
    void seriesPointAtClamps();
    void traceSpans_data();
    void traceSpans();
    void unmeasuredPointLeavesGap();
    void levelLabelsFitTheHeight_data();
    void levelLabelsFitTheHeight();
    void markModes_data();
    void markModes();
    void markByMouse_data();
    void markByMouse();
    void limitVerdict_data();
    void limitVerdict();
    void looksAsBefore_data();
    void looksAsBefore();
    void referenceTraces_data();
    void referenceTraces();
    void referenceFromFile_data();
    void referenceFromFile();
    void holdsAfterTwoSweeps();
    void scale_data();
    void scale();
    void marksProfile_data();
    void marksProfile();
};

void TstZChartView::corners_data()
{
    QTest::addColumn<quint32>("corner");
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("firstMHz");
    QTest::newRow("UL shows S21") << quint32(ZCommon::UL) << 101 << 100.0;
    QTest::newRow("UR shows S12") << quint32(ZCommon::UR) << 101 << 300.0;
    QTest::newRow("BR stays inactive") << quint32(ZCommon::BR) << 0 << 0.0;
}

void TstZChartView::corners()
{
    QFETCH(quint32, corner);
    QFETCH(int, points);
    QFETCH(double, firstMHz);
    Bench bench(corner);
    QVERIFY(bench.loaded);
    SweepFeeder(flatLevel).sweepBothChannels();
    QCOMPARE(bench.view->plottedPoints().size(), points);
    QCOMPARE(bench.view->seriesPointAt(0).x(), firstMHz);
}

void TstZChartView::dataOfAnotherChannelIgnored()
{
    Bench bench(ZCommon::UR);
    QSignalSpy created(bench.view.get(), &ZChartView::signalCreatedMark);
    // The five S21 slices come first; the S12 view draws nothing meanwhile.
    SweepFeeder(flatLevel).answerSlices(5);
    QCOMPARE(bench.view->plottedPoints().size() + created.count(), 0);
    SweepFeeder(flatLevel).answerSlice();
    QCOMPARE(bench.view->plottedPoints().size(), 25);
    QCOMPARE(created.count(), ZMarksTable::kMaxMarks);
}

// A first reply that measured nothing (a corrupt count) plots nothing; the
// marks come with the first reply that does, at the preset's frequencies.
void TstZChartView::emptyFirstReplyCreatesNoMarks()
{
    Bench bench(ZCommon::UL, {150, 160});
    QSignalSpy created(bench.view.get(), &ZChartView::signalCreatedMark);
    ZData::TDeviceReply empty;
    empty.data = QByteArray(4, '\0');
    emit ZData::DeviceManager::instance().signalGotScanData(empty);
    QCOMPARE(bench.view->plottedPoints().size() + created.count(), 0);
    SweepFeeder(flatLevel).sweepBothChannels();
    QCOMPARE(created.count(), ZMarksTable::kMaxMarks);
}

void TstZChartView::unsetMarkKeepsNumbers()
{
    Bench bench(ZCommon::UL, {150, std::nan(""), 170});
    SweepFeeder(flatLevel).sweepBothChannels();
    const ZMarksTable &table = *bench.view->marksTable();
    QVERIFY(table.isMarkVisible(0) && !table.isMarkVisible(1) && table.isMarkVisible(2));
    QVERIFY(table.text().contains(ZMarksTable::frequencyLine(3, 170.0)));
}

void TstZChartView::adcOverflowThreshold_data()
{
    QTest::addColumn<float>("peak");
    QTest::addColumn<float>("reference");
    QTest::addColumn<bool>("shown");
    QTest::newRow("0 dB reaches a level of 0") << 1.0f << 0.0f << true;
    QTest::newRow("just below 0 dB") << 0.999f << 0.0f << false;
    // Calibrated, the chart shows other levels than the detector's.
    QTest::newRow("calibrated above, raw below") << 0.999f << 0.5f << false;
    QTest::newRow("calibrated below, raw at 0 dB") << 1.0f << 2.0f << true;
    QTest::newRow("a point never measured") << ZData::TScanPoint::kEmptyReal << 0.0f << false;
}

void TstZChartView::adcOverflowThreshold()
{
    QFETCH(float, peak);
    QFETCH(float, reference);
    QFETCH(bool, shown);
    // The display offsets must not count: the check looks at the raw level.
    Bench bench(ZCommon::UL, {}, {{"ADC_OVERFLOW_LEVEL", 0.0}, {"S21_AMP_ORIGIN", 30.0}});
    if (reference > 0.0f) {
        bench.fixture.calibrator().setReference(reference);
        ZData::DataScanManager::instance().setUseCalib(true);
        QVERIFY(ZData::DataScanManager::instance().useCalib());
    }
    SweepFeeder([peak](int, quint64 hz) { return hz == 170000000 ? peak : 0.01f; }).sweepBothChannels();
    QCOMPARE(bench.view->isAdcOverflowShown(), shown);
}

void TstZChartView::adcOverflowWaitsForFullSweep()
{
    Bench bench(ZCommon::UL, {}, {{"ADC_OVERFLOW_LEVEL", 0.0}});
    SweepFeeder loud(loudLevel);
    loud.answerSlices(4);
    QVERIFY(!bench.view->isAdcOverflowShown());
    loud.answerSlice();
    QVERIFY(bench.view->isAdcOverflowShown());

    // A quiet start of the next sweep does not clear the warning while the
    // loud end of the last sweep is still shown.
    SweepFeeder quiet(flatLevel);
    quiet.answerSlices(9);
    QVERIFY(bench.view->isAdcOverflowShown());
    quiet.answerSlice();
    QVERIFY(!bench.view->isAdcOverflowShown());
}

void TstZChartView::calibrationDetachesAndRestores()
{
    Bench bench(ZCommon::UL, {150, 160, 170}, {{"ADC_OVERFLOW_LEVEL", 0.0}});
    ZChartView &view = *bench.view;
    SweepFeeder(loudLevel).sweepBothChannels();
    bench.fixture.calibrator().calibrating = true;
    emit bench.fixture.calibrator().signalStartedCalibration();
    QVERIFY(!view.isAdcOverflowShown());
    QVERIFY(!view.marksTable()->isMarkVisible(0));
    // The reference sweep does not reach the detached view.
    SweepFeeder([](int, quint64) { return 0.01f; }).answerSlice();
    QCOMPARE(view.plottedPoints().at(0).y(), 20.0 + double(20.0f * std::log10(2.0f)));

    bench.fixture.calibrator().calibrating = false;
    emit bench.fixture.calibrator().signalFinishedCalibration();
    QVERIFY(view.isActive());
    QVERIFY(view.marksTable()->isMarkVisible(2));
    // Following the sweep again: the next slice lands on the curve.
    SweepFeeder(flatLevel).answerSlice();
    QCOMPARE(view.plottedPoints().at(25).y(), 20.0 + double(20.0f * std::log10(0.1f)));
}

void TstZChartView::lightTheme_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("light");
    QTest::newRow("TRUE by hand") << QVariant(QStringLiteral(" TRUE ")) << true;
    QTest::newRow("yes is not a setting") << QVariant(QStringLiteral("yes")) << false;
}

void TstZChartView::lightTheme()
{
    QFETCH(QVariant, value);
    QFETCH(bool, light);
    ChartFixture fixture;
    ZCore::SettingsManager::userSettings()->setValue(QStringLiteral("Theme/LIGHT_THEME_ENABLED"), value);
    ZChartView view;
    QCOMPARE(view.chart()->theme(), light ? QtCharts::QChart::ChartThemeLight : QtCharts::QChart::ChartThemeDark);
}

// Marks exist, but there are no preset frequencies to give them.
void TstZChartView::noPresetLoaded()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({}));
    ZChartView view;
    view.setCorner(ZCommon::UL);
    QVERIFY(view.marksTable()->createMark(0.0));
    view.slotActiveScanPresetUpdated();
    view.applyMarksPreset();
    QVERIFY(!view.marksTable()->isMarkVisible(0));
}

void TstZChartView::indexFromFrequency_data()
{
    QTest::addColumn<double>("stop");
    QTest::addColumn<double>("mhz");
    QTest::addColumn<int>("index");
    QTest::newRow("above the range") << 200.0 << 1e6 << 100;
    QTest::newRow("nearest, up") << 200.0 << 133.51 << 34;
    QTest::newRow("start equals stop") << 100.0 << 100.0 << 0;
}

void TstZChartView::indexFromFrequency()
{
    QFETCH(double, stop);
    QFETCH(double, mhz);
    QFETCH(int, index);
    ChartFixture fixture;
    ZData::TScanPreset preset(QStringLiteral("Band"));
    preset.channels[0] = ZData::TChannelPreset(ZData::TScanRange(ZCore::TFrequency(100e6), ZCore::TFrequency(stop * 1e6), 101));
    preset.channels[1] = preset.channels[0];
    QVERIFY(fixture.load({preset}));
    ZData::DataScanManager::instance().setActivePreset(0, true);
    ZChartView view;
    view.setCorner(ZCommon::UL);
    QCOMPARE(view.indexFromFrequency(mhz), index);
}

void TstZChartView::seriesPointAtClamps()
{
    Bench bench;
    SweepFeeder(flatLevel).answerSlice();
    QCOMPARE(bench.view->seriesPointAt(-4), bench.view->plottedPoints().at(0));
    QCOMPARE(bench.view->seriesPointAt(1000), bench.view->plottedPoints().at(24));
}

void TstZChartView::traceSpans_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("slicesBefore");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    // 101 points: slices 0-24, 25-49, 50-74, 75-99 and 100, then S12's five.
    QTest::newRow("first slice, at the left end") << QSize(500, 245) << 0 << 0 << 24;
    QTest::newRow("last slice, at the right end") << QSize(900, 500) << 4 << 100 << 100;
    QTest::newRow("next sweep, in the middle") << QSize(640, 400) << 12 << 50 << 74;
}

// A slice repaints the segments its points touch, and no more; the trace
// follows the plot area when the view is resized.
void TstZChartView::traceSpans()
{
    QFETCH(QSize, size);
    QFETCH(int, slicesBefore);
    QFETCH(int, first);
    QFETCH(int, last);
    Bench bench;
    ZChartView &view = *bench.view;
    view.resize(500, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    int sweep = 0;
    SweepFeeder feeder([&sweep](int, quint64 hz) { return float(0.01 * (1 + sweep) + double(hz % 7000000) * 1e-9); });
    feeder.answerSlices(qMin(slicesBefore, 10));
    sweep = 1;
    if (slicesBefore > 10)
        feeder.answerSlices(slicesBefore - 10);
    view.resize(size);
    ZTraceItem *trace = view.trace();
    // Laid out, painted and idle past a refresh, so that the measured slice
    // is handed over at once and alone. The chart settles a resize over
    // several layout passes; on a busy machine a late one would repaint the
    // whole plot along with the slice.
    QVector<qreal> layout;
    const auto settled = [&] {
        const QRectF area = trace->plotArea();
        const QVector<qreal> now{area.left(), area.top(), area.width(), area.height(), view.axisX()->min(),
                                 view.axisX()->max(), view.axisY()->min(), view.axisY()->max()};
        const bool same = now == layout;
        layout = now;
        return same && !trace->isRepaintPending();
    };
    QTRY_VERIFY(settled());
    QTest::qWait(ZTraceItem::kRefreshMs * 2);
    QVERIFY(settled());

    const QRectF plot = trace->plotArea();
    QCOMPARE(plot, view.chart()->plotArea());
    feeder.answerSlice();
    QCOMPARE(trace->changedFirst(), first);
    QCOMPARE(trace->changedLast(), last);

    const QVector<QPointF> &points = view.plottedPoints();
    QCOMPARE(trace->mapToPosition(points.first()).x(), plot.left());
    QCOMPARE(trace->mapToPosition(QPointF(view.axisX()->max(), view.axisY()->min())), plot.bottomRight());
    const qreal from = trace->mapToPosition(points.at(qMax(0, first - 1))).x();
    const qreal to = trace->mapToPosition(points.at(qMin(points.size() - 1, last + 1))).x();
    const QRectF span = trace->lastInvalidated();
    const qreal margin = trace->tracePen(ZChartView::kMeasuredTrace).widthF() + 1;
    QVERIFY2(span.left() <= from && span.left() >= qMin(from - margin, plot.left() - margin - 1)
                 && span.right() >= to && span.right() <= qMax(to + margin, plot.right() + margin + 1),
             qPrintable(QStringLiteral("%1..%2 for %3..%4").arg(span.left()).arg(span.right()).arg(from).arg(to)));
    qreal top = plot.bottom();
    qreal bottom = plot.top();
    for (int i = qMax(0, first - 1); i <= qMin(points.size() - 1, last + 1); ++i) {
        top = qMin(top, trace->mapToPosition(points.at(i)).y());
        bottom = qMax(bottom, trace->mapToPosition(points.at(i)).y());
    }
    QVERIFY2(span.top() <= top && span.bottom() >= bottom && span.height() <= bottom - top + 2 * margin,
             qPrintable(QStringLiteral("%1..%2 for %3..%4").arg(span.top()).arg(span.bottom()).arg(top).arg(bottom)));
    QVERIFY(trace->boundingRect().contains(span));

    // Slices right after a paint wait for the next refresh, but get there
    // with nothing else arriving.
    QTRY_VERIFY(!trace->isRepaintPending());
    feeder.answerSlices(3);
    QTRY_VERIFY(!trace->isRepaintPending());
}

// A point the device left unmeasured breaks the trace; the points after it
// stay, and a mark on it sits on the point before.
void TstZChartView::unmeasuredPointLeavesGap()
{
    Bench bench(ZCommon::UL, {150});
    SweepFeeder([](int, quint64 hz) { return hz == 150000000 ? ZData::TScanPoint::kEmptyReal : 0.1f; })
        .sweepBothChannels();
    const QVector<QPointF> &points = bench.view->plottedPoints();
    QCOMPARE(points.size(), 101);
    QVERIFY(std::isnan(points.at(50).y()));
    QCOMPARE(points.at(100).x(), 200.0 + 100 * 1e-9);
    QCOMPARE(bench.view->seriesPointAt(50), points.at(49));
}

void TstZChartView::levelLabelsFitTheHeight_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("everyTick");
    QTest::addColumn<bool>("compactTable");
    QTest::newRow("half of the smallest window") << 245 << false << true;
    QTest::newRow("between") << 330 << false << false;
    QTest::newRow("tall") << 520 << true << false;
}

void TstZChartView::levelLabelsFitTheHeight()
{
    QFETCH(int, height);
    QFETCH(bool, everyTick);
    QFETCH(bool, compactTable);
    Bench bench(ZCommon::UL, {120, 150, 180});
    bench.view->resize(550, height);
    bench.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(bench.view.get()));
    SweepFeeder(flatLevel).sweepBothChannels();
    bench.view->grab();
    // Three marks' table leaves most of the plot's height to the trace.
    const ZMarksTable *table = bench.view->marksTable();
    QCOMPARE(table->isCompact(), compactTable);
    QVERIFY2(table->boundingRect().height() <= ZMarksTable::kCrowdedShare * height,
             qPrintable(QString::number(table->boundingRect().height())));
    QCOMPARE(table->text().count(QLatin1String("MHz")), 3);

    QStringList labels;
    for (QGraphicsItem *item : bench.view->scene()->items()) {
        auto *text = dynamic_cast<QGraphicsTextItem *>(item);
        if (text && text->isVisible() && text->scenePos().x() < bench.view->chart()->plotArea().left())
            labels << text->toPlainText();
    }
    QVERIFY2(!labels.join(QLatin1Char(' ')).contains(QStringLiteral("...")), qPrintable(labels.join(QLatin1Char('|'))));
    QCOMPARE(bench.view->axisY()->tickType() == QtCharts::QValueAxis::TicksFixed, everyTick);
    QVERIFY(labels.size() >= (everyTick ? bench.view->axisY()->tickCount() : 3));
}

void TstZChartView::markModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("bounded");
    QTest::addColumn<double>("expectedMHz");
    QTest::newRow("fixed stays") << int(EMarkMode::FIXED) << false << 130.0;
    QTest::newRow("peak of the range") << int(EMarkMode::PEAK) << false << 150.0;
    QTest::newRow("minimum of the range") << int(EMarkMode::MINIMUM) << false << 120.0;
    QTest::newRow("peak between M2 and M3") << int(EMarkMode::PEAK) << true << 110.0;
}

// M1 at 130 MHz over a trace with its peak at 150, a lesser bump at 110
// and a dip at 120 MHz: a searching mark lands after the next sweep.
void TstZChartView::markModes()
{
    QFETCH(int, mode);
    QFETCH(bool, bounded);
    QFETCH(double, expectedMHz);
    Bench bench(ZCommon::UL, bounded ? QVector<double>{130, 100, 140} : QVector<double>{130});
    SweepFeeder shaped([](int, quint64 hz) {
        return hz == 150000000 ? 1.0f : hz == 110000000 ? 0.5f : hz == 120000000 ? 0.01f : 0.1f;
    });
    shaped.sweepBothChannels();
    MarkInteraction *marks = bench.view->markInteraction();
    marks->setMode(0, EMarkMode(mode));
    if (bounded)
        marks->setBand(1, 2);
    shaped.sweepBothChannels();
    QCOMPARE(bench.view->marksTable()->mark(0)->data().frequency.MHz(), expectedMHz);
    QCOMPARE(marks->readoutText().startsWith(QStringLiteral("M2..M3: min")), bounded);
    // The plot's menu switches a readout on, as the call does.
    const QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(1, 1));
    const std::unique_ptr<QMenu> menu(marks->menuFor(&click));
    for (QAction *action : menu->actions()) {
        if (action->text() == qtTrId("dw_readout_delta_toggle"))
            action->trigger();
    }
    QVERIFY(marks->state().deltaShown);
}

void TstZChartView::markByMouse_data()
{
    QTest::addColumn<QVector<double>>("presetMarks");
    QTest::addColumn<double>("toMHz");
    QTest::addColumn<int>("markIndex");
    QTest::newRow("Ctrl+click places the first unset mark") << QVector<double>{qQNaN(), 120} << 170.0 << 0;
    QTest::newRow("drag moves a preset mark") << QVector<double>{130} << 170.0 << 0;
    QTest::newRow("drag to the range's start") << QVector<double>{150, 130} << 100.0 << 1;
    // A mark's row is the first line of the table's text block; a press
    // there drags the table, which keeps the mark where it was.
    QTest::newRow("drag the table off the trace") << QVector<double>{130} << 130.0 << -1;
    // The panel is refreshed on every sweep while it is dragged.
    QTest::newRow("drag the readout panel") << QVector<double>{130} << 130.0 << -2;
}

void TstZChartView::markByMouse()
{
    QFETCH(QVector<double>, presetMarks);
    QFETCH(double, toMHz);
    QFETCH(int, markIndex);
    Bench bench(ZCommon::UL, presetMarks);
    bench.view->resize(600, 300);
    bench.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(bench.view.get()));
    SweepFeeder(flatLevel).sweepBothChannels();
    ZChartView &view = *bench.view;
    if (markIndex == -2) {
        view.markInteraction()->setBandwidthShown(true);
        QGraphicsItem *panel = nullptr;
        for (QGraphicsItem *item : view.scene()->items()) {
            if (item->zValue() == MarkInteraction::kPanelZValue && item->isVisible())
                panel = item;
        }
        QVERIFY(panel);
        const QPoint grip = view.mapFromScene(panel->sceneBoundingRect().center());
        const QPointF before = panel->pos();
        QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, grip);
        QTest::mouseMove(view.viewport(), grip + QPoint(30, -20));
        SweepFeeder(flatLevel).sweepBothChannels();
        QTest::mouseMove(view.viewport(), grip + QPoint(60, -40));
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, grip + QPoint(60, -40));
        QCOMPARE(panel->pos(), before + QPointF(60, -40));
        SweepFeeder(flatLevel).sweepBothChannels();
        QCOMPARE(panel->pos(), before + QPointF(60, -40));
        QVERIFY(view.markInteraction()->state().panelShare.has_value());
        // Narrower and lower, it stays wholly in sight.
        view.resize(500, 200);
        QVERIFY(view.rect().contains(view.mapFromScene(panel->sceneBoundingRect()).boundingRect()));
        return;
    }
    if (markIndex < 0) {
        ZMarksTable *table = view.marksTable();
        const QPoint grip = view.mapFromScene(table->mapToScene(table->boundingRect().center()));
        const QPointF before = table->pos();
        QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, grip);
        QTest::mouseMove(view.viewport(), grip + QPoint(-200, 100));
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, grip + QPoint(-200, 100));
        const QPointF dropped = table->pos();
        QCOMPARE(dropped, before + QPointF(-200, 100));
        // It keeps its share of the room: further right in a wider view,
        // still wholly inside a much smaller one.
        view.resize(700, 300);
        QVERIFY(table->pos().x() > dropped.x());
        QCOMPARE(table->pos().y(), dropped.y());
        view.resize(300, 150);
        QVERIFY(view.rect().contains(view.mapFromScene(table->sceneBoundingRect()).boundingRect()));
        QCOMPARE(table->mark(0)->data().frequency.MHz(), toMHz);
        return;
    }
    const ZMark *mark = view.marksTable()->mark(markIndex);
    const auto at = [&view](double mhz, double level) {
        return view.mapFromScene(view.chart()->mapToScene(view.chartPosition(QPointF(mhz, level))));
    };
    const QPoint target = at(toMHz, mark->value().y());
    if (std::isnan(presetMarks.at(markIndex))) {
        QVERIFY(!mark->isVisible());
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, target);
    } else {
        const QPoint tip = view.mapFromScene(mark->valueScenePos()) + QPoint(0, -10);
        QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, tip);
        QTest::mouseMove(view.viewport(), (tip + target) / 2);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, target);
    }
    QVERIFY(mark->isVisible());
    QVERIFY2(qAbs(mark->data().frequency.MHz() - toMHz) <= 1.0, qPrintable(QString::number(mark->data().frequency.MHz())));
    // A slice under the mark must not take it back to where the preset has it.
    SweepFeeder(flatLevel).sweepBothChannels();
    QVERIFY(mark->isVisible());
    QVERIFY(qAbs(mark->data().frequency.MHz() - toMHz) <= 1.0);
    // Choosing a preset again, or ending a calibration, keeps a mark inside
    // the range where it was put; the menu hands the marks back to it.
    SweepFeeder::start();
    QVERIFY(mark->isVisible());
    QCOMPARE(int(mark->data().index), view.indexFromFrequency(toMHz));
    view.markInteraction()->reset();
    view.placeMarks();
    QCOMPARE(mark->isVisible(), !std::isnan(presetMarks.at(markIndex)));
    if (mark->isVisible())
        QCOMPARE(int(mark->data().index), view.indexFromFrequency(presetMarks.at(markIndex)));
}

void TstZChartView::limitVerdict_data()
{
    QTest::addColumn<quint64>("spikeHz");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<int>("failing");
    QTest::newRow("spike inside the segment") << quint64(150000000) << QStringLiteral("FAIL") << 1;
    QTest::newRow("spike on the segment's edge") << quint64(160000000) << QStringLiteral("FAIL") << 1;
    QTest::newRow("spike outside the segment") << quint64(170000000) << QStringLiteral("PASS") << 0;
}

// A flat sweep passes an upper bound 3 dB above it; the next sweep with one
// point 20 dB up fails where that point is judged. Only a change of the
// verdict is logged, and it is judged once per complete sweep.
void TstZChartView::limitVerdict()
{
    QFETCH(quint64, spikeHz);
    QFETCH(QString, verdict);
    QFETCH(int, failing);
    double flat = 0.0;
    {
        Bench probe;
        SweepFeeder(flatLevel).sweepBothChannels();
        flat = probe.view->plottedPoints().at(50).y();
        QVERIFY(!probe.view->limitOverlay()->isBadgeShown());
    }
    ZData::TR::TLimitSegment segment;
    segment.startHz = 140e6;
    segment.stopHz = 160e6;
    segment.upperDb = flat + 3.0;
    Bench bench(ZCommon::UL, {}, {}, {segment});
    bench.view->resize(600, 300);
    bench.view->show();
    SweepFeeder(flatLevel).sweepBothChannels();
    QCOMPARE(bench.view->limitOverlay()->badgeText(), QStringLiteral("PASS"));

    SweepFeeder spiked([spikeHz](int, quint64 hz) { return hz == spikeHz ? 1.0f : 0.1f; });
    spiked.answerSlices(4);
    QCOMPARE(bench.view->limitOverlay()->badgeText(), QStringLiteral("PASS"));
    spiked.answerSlice();
    QCOMPARE(bench.view->limitOverlay()->badgeText(), verdict);
    QCOMPARE(bench.view->limitOverlay()->verdict().failingIndices.size(), failing);
    QCOMPARE(bench.view->trace()->points(bench.view->trace()->traceCount() - 1).isEmpty(), failing == 0);
    SweepFeeder(flatLevel).sweepBothChannels();
    const QStringList logged = bench.fixture.log().lines().filter(QStringLiteral("limit mask S21"));
    QCOMPARE(logged.size(), failing ? 3 : 1);
    QVERIFY2(logged.first().contains(QStringLiteral("NONE => PASS")), qPrintable(logged.join('\n')));
    if (failing)
        QVERIFY(logged.at(1).contains(QStringLiteral("PASS => FAIL (1 of 21 points outside)")));
}

void TstZChartView::looksAsBefore_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("light");
    QTest::addColumn<QSize>("size");
    // The short view labels every other level tick and keeps the rest as
    // grid lines.
    QTest::newRow("dark, short") << QStringLiteral("dark-short") << false << QSize(500, 245);
    QTest::newRow("light, tall") << QStringLiteral("light-tall") << true << QSize(900, 500);
}

// The views drew with the chart library's line series before; the pictures
// it made are kept, and the trace must still look the same.
void TstZChartView::looksAsBefore()
{
    QFETCH(QString, name);
    QFETCH(bool, light);
    QFETCH(QSize, size);
    ChartFixture fixture;
    QVERIFY(fixture.load({ChartFixture::preset(QStringLiteral("Band"), {130, 170})}));
    ZCore::SettingsManager::userSettings()->setValue(QStringLiteral("Theme/LIGHT_THEME_ENABLED"), light);
    SweepFeeder::start();
    ZChartView view;
    view.setCorner(ZCommon::UL);
    // Shown at another size first: what is kept between paints must follow
    // a resize.
    view.resize(size / 2);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.resize(size);
    QTest::qWait(ZTraceItem::kRefreshMs * 3);
    // A curve with slopes and a notch, so that every slice moves the trace.
    SweepFeeder([](int, quint64 hz) {
        const double mhz = double(hz) / 1e6;
        return float(0.02 + 0.015 * std::sin(mhz / 7.0) + (qAbs(mhz - 160.0) < 3 ? 0.2 : 0.0));
    }).sweepBothChannels();
    const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);

    const QString path = QStringLiteral(MERO_SOURCE_DIR "/tests/chart/data/look-%1.png").arg(name);
    if (qEnvironmentVariableIsSet("MERO_WRITE_LOOKS"))
        QVERIFY(shown.save(path));
    const QImage before = QImage(path).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(before.size(), shown.size());
    int differing = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb a = before.pixel(x, y);
            const QRgb b = shown.pixel(x, y);
            const int delta = qMax(qAbs(qRed(a) - qRed(b)), qMax(qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))));
            differing += delta > kLookTolerance ? 1 : 0;
        }
    }
    QVERIFY2(differing <= kLookDifferingPixels, qPrintable(QString::number(differing)));
}

void TstZChartView::referenceTraces_data()
{
    QTest::addColumn<int>("slices");
    QTest::addColumn<float>("live");
    QTest::addColumn<QByteArray>("fileOnRestart");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<bool>("calibratedLive");
    QTest::addColumn<double>("halfSpan");
    // Linear magnitudes against a reference of 0.05 (-6 dB as plotted); all
    // slices of both channels are ten.
    // The difference axis opens on five divisions either side of 0 of the
    // smallest 1-2-5 step that holds the difference with a tenth to spare.
    QTest::newRow("12 dB up, kept") << 10 << 0.2f << QByteArray() << true << false << 25.0;
    QTest::newRow("equal, kept") << 10 << 0.05f << QByteArray() << true << false << 0.5;
    QTest::newRow("half a sweep is no reference") << 3 << 0.2f << QByteArray() << false << false << 0.0;
    QTest::newRow("corrupt file refused") << 10 << 0.1f << QByteArray("channel;role\nS21;x;y\n") << false << false
                                          << 10.0;
    QTest::newRow("raw reference, calibrated live") << 10 << 0.2f << QByteArray() << true << true << 0.0;
}

// A stored reference is drawn, the difference is live minus it on a level
// axis around 0, and it comes back for the same device and preset.
void TstZChartView::referenceTraces()
{
    QFETCH(int, slices);
    QFETCH(float, live);
    QFETCH(QByteArray, fileOnRestart);
    QFETCH(bool, kept);
    QFETCH(bool, calibratedLive);
    QFETCH(double, halfSpan);
    Bench bench;
    ZChartView &view = *bench.view;
    view.setDeviceId(QStringLiteral("MERO-7"));
    SweepFeeder([](int, quint64) { return 0.05f; }).answerSlices(slices);
    const bool complete = slices == 10;
    QCOMPARE(view.storeReference(), complete);
    QCOMPARE(view.trace()->points(view.referenceTrace()).size(), complete ? 101 : 0);
    if (!complete) {
        view.setDifferenceShown(true);
        QVERIFY(!view.isDifferenceShown());
        return;
    }

    if (calibratedLive) {
        // dB against dBm is no difference: the reference waits for its units.
        bench.fixture.calibrator().setReference(0.5f);
        ZData::DataScanManager::instance().setUseCalib(true);
        QVERIFY(ZData::DataScanManager::instance().useCalib());
        view.setDifferenceShown(true);
        QVERIFY(!view.isDifferenceShown());
        QVERIFY(view.trace()->points(view.referenceTrace()).isEmpty());
        ZData::DataScanManager::instance().setUseCalib(false);
        QCOMPARE(view.trace()->points(view.referenceTrace()).size(), 101);
        return;
    }
    SweepFeeder([live](int, quint64) { return live; }).sweepBothChannels();
    QVERIFY(view.marksTable()->valueTexts().first().endsWith(QLatin1String(" dBm")));
    view.setDifferenceShown(true);
    // Live minus reference is a ratio of two levels.
    QVERIFY2(view.marksTable()->valueTexts().first().endsWith(QLatin1String(" dB")),
             qPrintable(view.marksTable()->valueTexts().first()));
    const double expected = double(20.0f * std::log10(live)) - double(20.0f * std::log10(0.05f));
    for (const QPointF &point : view.plottedPoints())
        QVERIFY2(qAbs(point.y() - expected) < 1e-4, qPrintable(QString::number(point.y())));
    QCOMPARE(view.plottedPoints().size(), 101);
    QVERIFY(view.trace()->points(view.referenceTrace()).isEmpty());
    QCOMPARE(view.axisY()->min(), -halfSpan);
    QCOMPARE(view.axisY()->max(), halfSpan);

    if (!fileOnRestart.isEmpty()) {
        QFile file(ZData::TR::ReferenceStore::filePath(QStringLiteral("MERO-7"), QStringLiteral("Band"), 0));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(fileOnRestart);
    }
    ZChartView restarted;
    restarted.setCorner(ZCommon::UL);
    restarted.setDeviceId(QStringLiteral("MERO-7"));
    QCOMPARE(restarted.traces()->hasReference(), kept);
    QCOMPARE(bench.fixture.log().contains(QStringLiteral("file refused")), !kept);
}

void TstZChartView::referenceFromFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("taken");
    // The fixture's channels sweep different bands: two Touchstone files.
    QTest::newRow("exported trace file") << QStringLiteral("sweep.csv") << true;
    QTest::newRow("exported Touchstone file") << QStringLiteral("sweep_S21.s2p") << true;
    QTest::newRow("Touchstone file of the other channel") << QStringLiteral("sweep_S12.s2p") << false;
    QTest::newRow("corrupt file") << QStringLiteral("corrupt.csv") << false;
    QTest::newRow("another band") << QStringLiteral("other-band.csv") << false;
    QTest::newRow("calibrated levels on a raw chart") << QStringLiteral("calibrated.csv") << false;
    QTest::newRow("calibrated Touchstone on a raw chart") << QStringLiteral("calibrated_S21.s2p") << false;
}

// What the window exports comes back as a reference, as the chart drew it;
// anything else is refused with a box and the reference kept before stays.
void TstZChartView::referenceFromFile()
{
    QFETCH(QString, file);
    QFETCH(bool, taken);
    namespace TR = ZData::TR;
    Bench bench;
    ZChartView &view = *bench.view;
    SweepFeeder([](int, quint64) { return 0.05f; }).sweepBothChannels();
    QVERIFY(view.storeReference());
    const TR::TTrace before = *view.traces()->reference();
    SweepFeeder([](int, quint64 hz) { return float(hz) * 1e-9f; }).sweepBothChannels();

    QTemporaryDir dir;
    const ZData::DataScanManager &scan = ZData::DataScanManager::instance();
    const TR::SweepExport::TChannelTraces live = {TR::channelTrace(scan, 0), TR::channelTrace(scan, 1)};
    TR::TTraceInfo info = TR::TTraceInfo::ofSweep(ZData::DeviceManager::instance().deviceInfo(), scan, {});
    QVERIFY(TR::SweepExport::writeTraces(dir.filePath(QStringLiteral("sweep.csv")), info, live));
    QVERIFY(TR::SweepExport::writeTraces(dir.filePath(QStringLiteral("sweep.s2p")), info, live));
    QVERIFY(TR::SweepExport::writeTraces(dir.filePath(QStringLiteral("other-band.csv")), info, {live[1], live[1]}));
    info.levels = TR::ELevelKind::CALIBRATED;
    QVERIFY(TR::SweepExport::writeTraces(dir.filePath(QStringLiteral("calibrated.csv")), info, live));
    QVERIFY(TR::SweepExport::writeTraces(dir.filePath(QStringLiteral("calibrated.s2p")), info, live));
    QFile corrupt(dir.filePath(QStringLiteral("corrupt.csv")));
    QVERIFY(corrupt.open(QIODevice::WriteOnly) && corrupt.write("channel;role\nS21;x;y\n") > 0);
    corrupt.close();

    bench.fixture.dialogs().clear();
    QCOMPARE(view.loadReference(dir.filePath(file)), taken);
    QCOMPARE(bench.fixture.dialogs().count(ZCore::UserDialogs::EKind::Warning), taken ? 0 : 1);
    const TR::TTrace &reference = *view.traces()->reference();
    if (!taken) {
        QCOMPARE(reference, before);
        QVERIFY(bench.fixture.dialogs().boxes().first().text.contains(file));
        return;
    }
    // Files keep levels to the thousandth of a dB.
    QCOMPARE(reference.frequencies(), live[0].frequencies());
    for (int i = 0; i < reference.size(); ++i)
        QVERIFY(qAbs(reference.levelDb(i) - live[0].levelDb(i)) <= 5e-4);
    QCOMPARE(view.trace()->points(view.referenceTrace()).size(), 101);
}

// Max and min hold keep each point's extreme over sweeps that cross.
void TstZChartView::holdsAfterTwoSweeps()
{
    Bench bench;
    ZChartView &view = *bench.view;
    view.setMaxHold(true);
    view.setMinHold(true);
    int sweep = 0;
    // The first sweep is loud on the lower half, the second on the upper.
    SweepFeeder feeder([&sweep](int, quint64 hz) { return (hz < 150000000) == (sweep == 0) ? 0.2f : 0.1f; });
    feeder.sweepBothChannels();
    sweep = 1;
    feeder.sweepBothChannels();
    const QVector<QPointF> high = view.trace()->points(view.maxHoldTrace());
    const QVector<QPointF> low = view.trace()->points(view.minHoldTrace());
    QCOMPARE(high.size(), 101);
    QCOMPARE(low.size(), 101);
    const double loud = view.plottedPoints().last().y();
    const double quiet = view.plottedPoints().first().y();
    QVERIFY(loud > quiet);
    for (int i = 0; i < high.size(); ++i) {
        QCOMPARE(high.at(i).y(), loud);
        QCOMPARE(low.at(i).y(), quiet);
    }
    // Reset, the holds start over from the sweep shown now.
    view.resetHolds();
    QCOMPARE(view.trace()->points(view.maxHoldTrace()).first().y(), quiet);
}

void TstZChartView::scale_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<double>("top");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("zoomed");
    // The one-band profile's S21 origin is 20: the designed axis is -90..20,
    // and the flat trace lies at 0. The wheel turns a quarter down the plot,
    // at -7.5 dB.
    QTest::newRow("untouched") << QString() << -90.0 << 20.0 << 12 << "%i" << false;
    QTest::newRow("set, tenths") << "set" << -8.0 << -2.5 << 12 << "%.1f" << false;
    QTest::newRow("autoscale a flat trace") << "autoscale" << -1.6 << 0.6 << 12 << "%.1f" << false;
    QTest::newRow("reset after set") << "set,reset" << -90.0 << 20.0 << 12 << "%i" << false;
    QTest::newRow("finer step") << "finer" << -35.0 << 20.0 << 12 << "%i" << false;
    QTest::newRow("page up") << "up" << -80.0 << 30.0 << 12 << "%i" << false;
    QTest::newRow("wheel on frequency") << "wheel" << -90.0 << 20.0 << 12 << "%i" << true;
    QTest::newRow("shift and wheel on level") << "shiftwheel" << -50.0 << 5.0 << 12 << "%i" << false;
    // Typed, any step within reach, not only 1-2-5.
    QTest::newRow("typed") << "typed" << -11.0 << -3.3 << 12 << "%.1f" << false;
}

// What the user sets is what the axes show, and it survives the profile.
void TstZChartView::scale()
{
    QFETCH(QString, action);
    QFETCH(double, bottom);
    QFETCH(double, top);
    QFETCH(int, ticks);
    QFETCH(QString, format);
    QFETCH(bool, zoomed);
    Bench bench(ZCommon::UL, {130});
    ZChartView &view = *bench.view;
    view.resize(600, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    SweepFeeder(flatLevel).sweepBothChannels();
    const QRectF plot = view.chart()->plotArea();
    const QPoint at = view.mapFromScene(view.chart()->mapToScene(QPointF(plot.center().x(), plot.top() + plot.height() / 4)));
    for (const QString &step : action.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (step == QLatin1String("set"))
            view.setLevelScale(-2.5, 0.5);
        else if (step == QLatin1String("autoscale"))
            QVERIFY(view.autoscaleLevel());
        else if (step == QLatin1String("reset"))
            view.resetScale();
        else if (step == QLatin1String("finer"))
            QTest::keyClick(&view, Qt::Key_Plus);
        else if (step == QLatin1String("up"))
            QTest::keyClick(&view, Qt::Key_PageUp);
        else if (step == QLatin1String("typed")) {
            ChartScaleDialog *dialog = view.openScaleDialog();
            dialog->setValues({-3.3, 0.7, 6.5});
            dialog->accept();
        }
        else {
            const Qt::KeyboardModifiers modifiers = step == QLatin1String("wheel") ? Qt::NoModifier : Qt::ShiftModifier;
            QWheelEvent wheel(at, view.mapToGlobal(at), QPoint(), QPoint(0, QWheelEvent::DefaultDeltasPerStep),
                              Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view.viewport(), &wheel);
        }
    }
    const auto check = [&](const ZChartView &shown) {
        QVERIFY2(qAbs(shown.axisY()->min() - bottom) < 1e-9 && qAbs(shown.axisY()->max() - top) < 1e-9,
                 qPrintable(QStringLiteral("%1..%2").arg(shown.axisY()->min()).arg(shown.axisY()->max())));
        QCOMPARE(shown.axisY()->tickCount(), ticks);
        QCOMPARE(shown.axisY()->labelFormat(), format);
        const double span = shown.axisX()->max() - shown.axisX()->min();
        QCOMPARE(span < 100.0 * ViewScale::kZoomFactor + 1e-6, zoomed);
        QVERIFY(shown.axisX()->min() <= 150.0 && shown.axisX()->max() >= 150.0);
    };
    check(view);
    // A mark whose level is off the scale stays on the plot's edge.
    const ZMark *mark = view.marksTable()->mark(0);
    QTRY_VERIFY2(view.chart()->plotArea().adjusted(-0.5, -0.5, 0.5, 0.5).contains(mark->pos()),
                 qPrintable(QStringLiteral("%1,%2").arg(mark->pos().x()).arg(mark->pos().y())));

    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("scale.ini")), QSettings::IniFormat);
    view.saveProfile(settings);
    ZChartView restored;
    restored.setCorner(ZCommon::UL);
    restored.restoreProfile(settings);
    check(restored);
    QCOMPARE(restored.markInteraction()->dropDb(), action == QLatin1String("typed") ? 6.5 : 3.0);
}

void TstZChartView::marksProfile_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("modes");
    QTest::addColumn<int>("bandFrom");
    QTest::addColumn<double>("m4MHz");
    QTest::addColumn<double>("dropDb");
    QTest::addColumn<bool>("delta");
    QTest::addColumn<bool>("tableMoved");
    QTest::addColumn<QString>("logged");
    // No profile text: the user sets them and the view saves them.
    QTest::newRow("round trip") << QString() << "PEAK,FIXED,FIXED,FIXED,FIXED" << 2 << 170.0 << 6.5 << true << true
                                << QString();
    QTest::newRow("hand-edited values refused")
        << "MARK1_MODE=BOGUS;MARK3_MODE=MINIMUM;MARK4_MHZ=9000;BAND_FROM_MARK=2;BAND_TO_MARK=2;"
           "BANDWIDTH_DROP_DB=0;DELTA_SHOWN=true;MARKS_TABLE_X=1.5;MARKS_TABLE_Y=0"
        << "FIXED,FIXED,MINIMUM,FIXED,FIXED" << 0 << qQNaN() << 3.0 << true << false
        << "ignored MARK1_MODE=BOGUS";
    QTest::newRow("hand mark outside the preset's range") << "MARK4_MHZ=500" << "FIXED,FIXED,FIXED,FIXED,FIXED" << 0
                                                          << qQNaN() << 3.0 << false << false
                                                          << "M4 at 500 MHz lies outside";
}

// What the user changed about the marks comes back with the profile, into a
// view whose marks are made only by the first sweep, as after a start; an
// untouched view writes nothing.
void TstZChartView::marksProfile()
{
    QFETCH(QString, ini);
    QFETCH(QString, modes);
    QFETCH(int, bandFrom);
    QFETCH(double, m4MHz);
    QFETCH(double, dropDb);
    QFETCH(bool, delta);
    QFETCH(bool, tableMoved);
    QFETCH(QString, logged);
    Bench bench(ZCommon::UL, {130, 100, 140});
    ZChartView &view = *bench.view;
    SweepFeeder(flatLevel).sweepBothChannels();
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("current.ini")), QSettings::IniFormat);
    view.saveProfile(settings);
    QVERIFY2(settings.allKeys().isEmpty(), qPrintable(settings.allKeys().join(QLatin1Char(' '))));
    if (ini.isEmpty()) {
        MarkInteraction *marks = view.markInteraction();
        marks->setMode(0, EMarkMode::PEAK);
        marks->setBand(1, 2);
        QVERIFY(marks->setDropDb(6.5));
        marks->setDeltaShown(true);
        QCOMPARE(marks->placeNext(170.0), 3);
        view.marksTable()->setShare(QPointF(0.25, 0.5));
        view.saveProfile(settings);
    } else {
        settings.beginGroup(view.settingsGroup());
        for (const QString &entry : ini.split(QLatin1Char(';')))
            settings.setValue(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        settings.endGroup();
    }

    ZChartView restored;
    restored.setCorner(ZCommon::UL);
    restored.restoreProfile(settings);
    SweepFeeder(flatLevel).sweepBothChannels();
    const TMarkState state = restored.markInteraction()->state();
    QStringList shownModes;
    for (EMarkMode mode : state.modes)
        shownModes << QString::fromLatin1(QMetaEnum::fromType<EMarkMode>().valueToKey(mode));
    QCOMPARE(shownModes.join(QLatin1Char(',')), modes);
    QCOMPARE(state.bandFirst, bandFrom - 1);
    const ZMark *m4 = restored.marksTable()->mark(3);
    QCOMPARE(m4->isVisible(), !std::isnan(m4MHz));
    if (m4->isVisible())
        QCOMPARE(m4->data().frequency.MHz(), m4MHz);
    QCOMPARE(state.dropDb, dropDb);
    QCOMPARE(state.deltaShown, delta);
    QCOMPARE(state.tableShare.has_value(), tableMoved);
    QCOMPARE(restored.markInteraction()->readoutText().contains(QLatin1String("M2-M1")), delta);
    QVERIFY(logged.isEmpty() || bench.fixture.log().contains(logged));
}

QTEST_MAIN(TstZChartView)
#include "tst_zchartview.moc"
