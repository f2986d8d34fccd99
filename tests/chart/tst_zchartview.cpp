#include "chart/chartplacement.h"
#include "chart/limitmaskoverlay.h"
#include "chart/markinteraction.h"
#include "chart/zmark.h"
#include "chart/viewscale.h"
#include "chart/viewtraces.h"
#include "chart/zchartview.h"
#include "chart/zmarkstable.h"
#include "chart/ztraceitem.h"
#include "ui/dialogs/chartscaledialog.h"
#include "data/device/devicemanager.h"
#include "data/scan/datascanmanager.h"
#include "data/traces/sweepexport.h"

#include "chartfixture.h"
#include "sweepfeeder.h"

#include <QChart>
#include <QGraphicsTextItem>
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
    bool show(int width, int height)
    {
        view->resize(width, height);
        view->show();
        return QTest::qWaitForWindowExposed(view.get());
    }

    ChartFixture fixture;
    bool loaded = false;
    std::unique_ptr<ZChartView> view;
};

void useCalib(ChartFixture &fixture, float reference)
{
    fixture.calibrator().setReference(reference);
    ZData::DataScanManager::instance().setUseCalib(true);
    QVERIFY(ZData::DataScanManager::instance().useCalib());
}

} // namespace

class TstZChartView : public QObject
{
    Q_OBJECT

private slots:
    void corners_data();
    void corners();
    void emptyFirstReplyCreatesNoMarks();
    void unmeasuredPointAndUnsetMark();
    void adcOverflowThreshold_data();
    void adcOverflowThreshold();
    void overflowAndCalibration();
    void traceSpans_data();
    void traceSpans();
    void presetMarks_data();
    void presetMarks();
    void markModes_data();
    void markModes();
    void markByMouse_data();
    void markByMouse();
    void limitVerdict_data();
    void limitVerdict();
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
    QTest::addColumn<bool>("calibrated");
    QTest::addColumn<double>("level");
    QTest::addColumn<double>("top");
    // S21_ATT 1, S12_ATT 2, AMP_OFFSET 3, origins 10 and 20; references 0.5
    // add 6.02 dB. The level axis spans 110 dB below the origin, or -20..90 dB
    // calibrated.
    QTest::newRow("raw S21: origin and the other channel's attenuator") << quint32(ZCommon::UL) << false << -20.0 + 10.0 + 2.0 << 10.0;
    QTest::newRow("raw S12") << quint32(ZCommon::UR) << false << -20.0 + 20.0 + 1.0 << 20.0;
    QTest::newRow("calibrated S21") << quint32(ZCommon::UL) << true << -20.0 - 20.0 * std::log10(0.5) + 3.0 + 3.0 << 90.0;
    QTest::newRow("BR stays inactive") << quint32(ZCommon::BR) << false << 0.0 << 0.0;
}

// The five S21 slices come first and reach only S21's view; each view plots
// its channel's points where the RF values and references put them.
void TstZChartView::corners()
{
    QFETCH(quint32, corner);
    QFETCH(bool, calibrated);
    QFETCH(double, level);
    QFETCH(double, top);
    Bench bench(corner, {},
                {{"S21_ATT", 1.0}, {"S12_ATT", 2.0}, {"AMP_OFFSET", 3.0}, {"S21_AMP_ORIGIN", 10.0}, {"S12_AMP_ORIGIN", 20.0}});
    QVERIFY(bench.loaded);
    ZChartView &view = *bench.view;
    if (calibrated)
        useCalib(bench.fixture, 0.5f);
    QSignalSpy created(&view, &ZChartView::signalCreatedMark);
    SweepFeeder feeder(flatLevel);
    feeder.answerSlices(5);
    const bool s21 = corner == ZCommon::UL;
    const int points = corner == ZCommon::BR ? 0 : 101;
    QCOMPARE(view.plottedPoints().size(), s21 ? points : 0);
    feeder.answerSlice();
    QCOMPARE(view.plottedPoints().size(), s21 ? points : points / 4);
    QCOMPARE(created.count(), points ? ZMarksTable::kMaxMarks : 0);
    feeder.answerSlices(4);
    QCOMPARE(view.plottedPoints().size(), points);
    QVERIFY(!view.limitOverlay()->isBadgeShown());
    if (!points)
        return;
    const double startMHz = s21 ? 100.0 : 300.0;
    QCOMPARE(view.axisX()->max(), startMHz + 100.0 + 101 * ChartPlacement::kIndexShiftMHz);
    QCOMPARE(view.axisY()->min(), top - 110.0);
    QCOMPARE(view.axisY()->max(), top);
    // Calibrated levels are ratios, raw ones powers.
    QCOMPARE(view.axisY()->titleText(), QStringLiteral("S%1 (%2)").arg(s21 ? "21" : "12", calibrated ? "dB" : "dBm"));
    for (int i = 0; i < points; ++i) {
        QVERIFY(qAbs(view.plottedPoints()[i].x() - (startMHz + i + i * ChartPlacement::kIndexShiftMHz)) < 1e-9);
        QVERIFY2(qAbs(view.plottedPoints()[i].y() - level) < 1e-4, qPrintable(QString::number(view.plottedPoints()[i].y())));
    }
}

// A first reply that measured nothing (a corrupt count) plots nothing; the
// marks come with the first reply that does.
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

// A point the device left unmeasured breaks the trace, the points after it
// stay, and a mark on it sits on the point before; an unset mark leaves the
// others their numbers.
void TstZChartView::unmeasuredPointAndUnsetMark()
{
    Bench bench(ZCommon::UL, {150, std::nan(""), 170});
    SweepFeeder([](int, quint64 hz) { return hz == 150000000 ? ZData::TScanPoint::kEmptyReal : 0.1f; })
        .sweepBothChannels();
    const ZChartView &view = *bench.view;
    const QVector<QPointF> &points = view.plottedPoints();
    QCOMPARE(points.size(), 101);
    QVERIFY(std::isnan(points.at(50).y()));
    QCOMPARE(points.at(100).x(), 200.0 + 100 * 1e-9);
    QCOMPARE(view.seriesPointAt(50), points.at(49));
    QCOMPARE(view.seriesPointAt(-4), points.at(0));
    QCOMPARE(view.seriesPointAt(1000), points.at(100));
    const ZMarksTable &table = *view.marksTable();
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

// The display offsets must not count: the check looks at the raw level.
void TstZChartView::adcOverflowThreshold()
{
    QFETCH(float, peak);
    QFETCH(float, reference);
    QFETCH(bool, shown);
    Bench bench(ZCommon::UL, {}, {{"ADC_OVERFLOW_LEVEL", 0.0}, {"S21_AMP_ORIGIN", 30.0}});
    if (reference > 0.0f)
        useCalib(bench.fixture, reference);
    SweepFeeder([peak](int, quint64 hz) { return hz == 170000000 ? peak : 0.01f; }).sweepBothChannels();
    QCOMPARE(bench.view->isAdcOverflowShown(), shown);
}

// The warning follows whole sweeps: a quiet start of the next one leaves it
// while the loud end of the last is still shown. A calibration detaches the
// view, warning and marks, until it ends.
void TstZChartView::overflowAndCalibration()
{
    Bench bench(ZCommon::UL, {150, 160, 170}, {{"ADC_OVERFLOW_LEVEL", 0.0}});
    ZChartView &view = *bench.view;
    SweepFeeder loud(loudLevel), quiet(flatLevel);
    loud.answerSlices(4);
    QVERIFY(!view.isAdcOverflowShown());
    loud.answerSlice();
    QVERIFY(view.isAdcOverflowShown());
    quiet.answerSlices(9);
    QVERIFY(view.isAdcOverflowShown());
    quiet.answerSlice();
    QVERIFY(!view.isAdcOverflowShown());

    quiet.answerSlices(5);
    loud.sweepBothChannels();
    bench.fixture.calibrator().calibrating = true;
    emit bench.fixture.calibrator().signalStartedCalibration();
    QVERIFY(!view.isAdcOverflowShown());
    QVERIFY(!view.marksTable()->isMarkVisible(0));
    SweepFeeder([](int, quint64) { return 0.01f; }).answerSlice();
    QCOMPARE(view.plottedPoints().at(0).y(), 20.0 + double(20.0f * std::log10(2.0f)));
    bench.fixture.calibrator().calibrating = false;
    emit bench.fixture.calibrator().signalFinishedCalibration();
    QVERIFY(view.isActive());
    QVERIFY(view.marksTable()->isMarkVisible(2));
    quiet.answerSlice();
    QCOMPARE(view.plottedPoints().at(25).y(), 20.0 + double(20.0f * std::log10(0.1f)));
}

void TstZChartView::traceSpans_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("slicesBefore");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("compactTable");
    QTest::addColumn<bool>("everyTick");
    // 101 points: slices 0-24, 25-49, 50-74, 75-99 and 100, then S12's five.
    // The shortest is half of the smallest window.
    QTest::newRow("first slice, at the left end") << QSize(500, 245) << 0 << 0 << 24 << true << false;
    QTest::newRow("last slice, at the right end") << QSize(900, 520) << 4 << 100 << 100 << false << true;
    QTest::newRow("next sweep, in the middle") << QSize(640, 330) << 12 << 50 << 74 << false << false;
}

// A slice repaints the segments its points touch, and no more; the trace
// follows the plot area when the view is resized. The level labels fit the
// height whole, and three marks' table leaves most of it to the trace.
void TstZChartView::traceSpans()
{
    QFETCH(QSize, size);
    QFETCH(int, slicesBefore);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(bool, compactTable);
    QFETCH(bool, everyTick);
    Bench bench(ZCommon::UL, {120, 150, 180});
    ZChartView &view = *bench.view;
    QVERIFY(bench.show(500, 300));
    int sweep = 0;
    SweepFeeder feeder([&sweep](int, quint64 hz) { return float(0.01 * (1 + sweep) + double(hz % 7000000) * 1e-9); });
    feeder.answerSlices(qMin(slicesBefore, 10));
    sweep = 1;
    feeder.answerSlices(qMax(slicesBefore - 10, 0));
    view.resize(size);
    ZTraceItem *trace = view.trace();
    // Settled over the chart's several layout passes and idle past a refresh,
    // so that the measured slice is handed over at once and alone.
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
    // Slices right after a paint wait for the next refresh, but get there.
    QTRY_VERIFY(!trace->isRepaintPending());
    feeder.answerSlices(3);
    QTRY_VERIFY(!trace->isRepaintPending());

    const ZMarksTable *table = view.marksTable();
    QCOMPARE(table->isCompact(), compactTable);
    QVERIFY2(table->boundingRect().height() <= ZMarksTable::kCrowdedShare * size.height(),
             qPrintable(QString::number(table->boundingRect().height())));
    QCOMPARE(table->text().count(QLatin1String("MHz")), 3);
    QStringList labels;
    for (QGraphicsItem *item : view.scene()->items()) {
        auto *text = dynamic_cast<QGraphicsTextItem *>(item);
        if (text && text->isVisible() && text->scenePos().x() < plot.left())
            labels << text->toPlainText();
    }
    QVERIFY2(!labels.join(QLatin1Char(' ')).contains(QStringLiteral("...")), qPrintable(labels.join(QLatin1Char('|'))));
    QCOMPARE(view.axisY()->tickType() == QtCharts::QValueAxis::TicksFixed, everyTick);
    QVERIFY(labels.size() >= (everyTick ? view.axisY()->tickCount() : 3));
}

void TstZChartView::presetMarks_data()
{
    QTest::addColumn<QVector<double>>("marksMHz");
    QTest::addColumn<QVector<double>>("snappedMHz");
    QTest::newRow("three marks") << QVector<double>{120, 150, 180} << QVector<double>{120, 150, 180};
    QTest::newRow("no marks") << QVector<double>{} << QVector<double>{};
    QTest::newRow("below the start") << QVector<double>{20} << QVector<double>{100};
    QTest::newRow("above the stop") << QVector<double>{5000} << QVector<double>{200};
    QTest::newRow("rounds up past half") << QVector<double>{150.6} << QVector<double>{151};
}

// Marks land on the range's points (1 MHz apart from 100 MHz), the table lists
// each, and a new range keeps their frequencies.
void TstZChartView::presetMarks()
{
    QFETCH(QVector<double>, marksMHz);
    QFETCH(QVector<double>, snappedMHz);
    Bench bench(ZCommon::UL, marksMHz, {{"S21_AMP_ORIGIN", 10.0}});
    QVERIFY(bench.loaded);
    SweepFeeder(flatLevel).sweepBothChannels();
    ZMarksTable &table = *bench.view->marksTable();
    table.moveMark(table.count(), 190.0);
    table.moveMark(-1, 190.0);
    QVERIFY(!table.createMark(150.0));
    QStringList expected;
    for (int i = 0; i < snappedMHz.size(); ++i)
        expected << QStringLiteral("M%1        %2.00 MHz\nLMg:      -10.00 dBm").arg(i + 1).arg(snappedMHz[i]);
    QCOMPARE(table.text().split(QStringLiteral("\n\n"), Qt::SkipEmptyParts), expected);
    // 50-250 MHz in 201 points.
    ZData::DS::RangeSliced &range = ZData::DataScanManager::instance().channelRange(0);
    range.setStart(ZCore::TFrequency(50e6), false);
    range.setStop(ZCore::TFrequency(250e6), false);
    range.setPoints(201, true);
    for (int i = 0; i < snappedMHz.size(); ++i) {
        QCOMPARE(table.marksData().at(i).index, quint32(snappedMHz[i] - 50));
        QCOMPARE(table.marksData().at(i).frequency.MHz(), snappedMHz[i]);
    }
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
}

void TstZChartView::markByMouse_data()
{
    QTest::addColumn<QVector<double>>("presetMarks");
    QTest::addColumn<double>("toMHz");
    QTest::addColumn<int>("markIndex");
    QTest::newRow("Ctrl+click places the first unset mark") << QVector<double>{qQNaN(), 120} << 170.0 << 0;
    QTest::newRow("drag moves a preset mark") << QVector<double>{130} << 170.0 << 0;
    QTest::newRow("drag to the range's start") << QVector<double>{150, 130} << 100.0 << 1;
    // A press on a mark's row in the table drags the table, not the mark.
    QTest::newRow("drag the table off the trace") << QVector<double>{130} << 130.0 << -1;
    QTest::newRow("drag the readout panel") << QVector<double>{130} << 130.0 << -2;
}

void TstZChartView::markByMouse()
{
    QFETCH(QVector<double>, presetMarks);
    QFETCH(double, toMHz);
    QFETCH(int, markIndex);
    Bench bench(ZCommon::UL, presetMarks);
    ZChartView &view = *bench.view;
    QVERIFY(bench.show(600, 300));
    SweepFeeder(flatLevel).sweepBothChannels();
    QWidget *port = view.viewport();
    if (markIndex < 0) {
        // Dragged while sweeps go on, a panel stays where it was dropped and
        // keeps its share of the room: further right in a wider view, wholly
        // inside a much smaller one.
        QGraphicsItem *item = view.marksTable();
        if (markIndex == -2) {
            view.markInteraction()->setBandwidthShown(true);
            for (QGraphicsItem *panel : view.scene()->items())
                item = panel->zValue() == MarkInteraction::kPanelZValue && panel->isVisible() ? panel : item;
            QVERIFY(item != view.marksTable());
        }
        const QPoint grip = view.mapFromScene(item->sceneBoundingRect().center());
        const QPoint by = markIndex == -2 ? QPoint(60, -40) : QPoint(-200, 100);
        const QPointF dropped = item->pos() + by;
        QTest::mousePress(port, Qt::LeftButton, Qt::NoModifier, grip);
        QTest::mouseMove(port, grip + by / 2);
        SweepFeeder(flatLevel).sweepBothChannels();
        QTest::mouseMove(port, grip + by);
        QTest::mouseRelease(port, Qt::LeftButton, Qt::NoModifier, grip + by);
        SweepFeeder(flatLevel).sweepBothChannels();
        QCOMPARE(item->pos(), dropped);
        view.resize(700, 300);
        QVERIFY(item->pos().x() > dropped.x());
        QCOMPARE(item->pos().y(), dropped.y());
        view.resize(markIndex == -2 ? QSize(500, 200) : QSize(300, 150));
        QVERIFY(view.rect().contains(view.mapFromScene(item->sceneBoundingRect()).boundingRect()));
        QCOMPARE(view.marksTable()->mark(0)->data().frequency.MHz(), toMHz);
        return;
    }
    const ZMark *mark = view.marksTable()->mark(markIndex);
    const QPoint target = view.mapFromScene(view.chart()->mapToScene(view.chartPosition(QPointF(toMHz, mark->value().y()))));
    if (std::isnan(presetMarks.at(markIndex))) {
        QVERIFY(!mark->isVisible());
        QTest::mouseClick(port, Qt::LeftButton, Qt::ControlModifier, target);
    } else {
        const QPoint tip = view.mapFromScene(mark->valueScenePos()) + QPoint(0, -10);
        QTest::mousePress(port, Qt::LeftButton, Qt::NoModifier, tip);
        QTest::mouseMove(port, (tip + target) / 2);
        QTest::mouseRelease(port, Qt::LeftButton, Qt::NoModifier, target);
    }
    // A sweep must not take the mark back to where the preset has it.
    SweepFeeder(flatLevel).sweepBothChannels();
    QVERIFY(mark->isVisible());
    QVERIFY2(qAbs(mark->data().frequency.MHz() - toMHz) <= 1.0, qPrintable(QString::number(mark->data().frequency.MHz())));
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

// A flat sweep (at 0 dBm) passes an upper bound 3 dB above it; the next sweep
// with one point 20 dB up fails where that point is judged. Only a change of
// the verdict is logged, and it is judged once per complete sweep.
void TstZChartView::limitVerdict()
{
    QFETCH(quint64, spikeHz);
    QFETCH(QString, verdict);
    QFETCH(int, failing);
    ZData::TR::TLimitSegment segment;
    segment.startHz = 140e6;
    segment.stopHz = 160e6;
    segment.upperDb = 3.0;
    Bench bench(ZCommon::UL, {}, {}, {segment});
    const LimitMaskOverlay &overlay = *bench.view->limitOverlay();
    QVERIFY(bench.show(600, 300));
    SweepFeeder(flatLevel).sweepBothChannels();
    QCOMPARE(overlay.badgeText(), QStringLiteral("PASS"));
    SweepFeeder spiked([spikeHz](int, quint64 hz) { return hz == spikeHz ? 1.0f : 0.1f; });
    spiked.answerSlices(4);
    QCOMPARE(overlay.badgeText(), QStringLiteral("PASS"));
    spiked.answerSlice();
    QCOMPARE(overlay.badgeText(), verdict);
    QCOMPARE(overlay.verdict().failingIndices.size(), failing);
    QCOMPARE(bench.view->trace()->points(bench.view->trace()->traceCount() - 1).isEmpty(), failing == 0);
    SweepFeeder(flatLevel).sweepBothChannels();
    const QStringList logged = bench.fixture.log().lines().filter(QStringLiteral("limit mask S21"));
    QCOMPARE(logged.size(), failing ? 3 : 1);
    QVERIFY2(logged.first().contains(QStringLiteral("NONE => PASS")), qPrintable(logged.join('\n')));
    if (failing)
        QVERIFY(logged.at(1).contains(QStringLiteral("PASS => FAIL (1 of 21 points outside)")));
}

void TstZChartView::referenceTraces_data()
{
    QTest::addColumn<float>("live");
    QTest::addColumn<bool>("calibratedLive");
    QTest::addColumn<double>("halfSpan");
    // Linear magnitudes against a reference of 0.05 (-6 dB as plotted). The
    // difference axis opens on five divisions either side of 0 of the
    // smallest 1-2-5 step that holds the difference with a tenth to spare.
    QTest::newRow("12 dB up") << 0.2f << false << 25.0;
    QTest::newRow("equal") << 0.05f << false << 0.5;
    QTest::newRow("raw reference, calibrated live") << 0.2f << true << 0.0;
}

// Half a sweep is no reference. A stored one is drawn, the difference is live
// minus it on a level axis around 0, and it comes back for the same device
// and preset.
void TstZChartView::referenceTraces()
{
    QFETCH(float, live);
    QFETCH(bool, calibratedLive);
    QFETCH(double, halfSpan);
    Bench bench;
    ZChartView &view = *bench.view;
    view.setDeviceId(QStringLiteral("MERO-7"));
    SweepFeeder stored([](int, quint64) { return 0.05f; });
    stored.answerSlices(3);
    QVERIFY(!view.storeReference());
    view.setDifferenceShown(true);
    QVERIFY(!view.isDifferenceShown());
    QVERIFY(view.trace()->points(view.referenceTrace()).isEmpty());
    stored.answerSlices(7);
    QVERIFY(view.storeReference());
    QCOMPARE(view.trace()->points(view.referenceTrace()).size(), 101);
    if (calibratedLive) {
        // dB against dBm is no difference: the reference waits for its units.
        useCalib(bench.fixture, 0.5f);
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
    QCOMPARE(view.plottedPoints().size(), 101);
    for (const QPointF &point : view.plottedPoints())
        QVERIFY2(qAbs(point.y() - expected) < 1e-4, qPrintable(QString::number(point.y())));
    QVERIFY(view.trace()->points(view.referenceTrace()).isEmpty());
    QCOMPARE(view.axisY()->min(), -halfSpan);
    QCOMPARE(view.axisY()->max(), halfSpan);
    ZChartView restarted;
    restarted.setCorner(ZCommon::UL);
    restarted.setDeviceId(QStringLiteral("MERO-7"));
    QVERIFY(restarted.traces()->hasReference());
}

void TstZChartView::referenceFromFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("taken");
    // The fixture's channels sweep different bands: two Touchstone files.
    QTest::newRow("exported trace file") << QStringLiteral("sweep.csv") << true;
    QTest::newRow("exported Touchstone file") << QStringLiteral("sweep_S21.s2p") << true;
    QTest::newRow("Touchstone file of the other channel") << QStringLiteral("sweep_S12.s2p") << false;
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

// Max and min hold keep each point's extreme over sweeps that cross; reset,
// they start over from the sweep shown now.
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
    const double loud = view.plottedPoints().last().y();
    const double quiet = view.plottedPoints().first().y();
    QVERIFY(loud > quiet && high.size() == 101 && low.size() == 101);
    for (int i = 0; i < high.size(); ++i)
        QVERIFY(high.at(i).y() == loud && low.at(i).y() == quiet);
    view.resetHolds();
    QCOMPARE(view.trace()->points(view.maxHoldTrace()).first().y(), quiet);
}

void TstZChartView::scale_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<double>("top");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("zoomed");
    // The one-band profile's S21 origin is 20: the designed axis is -90..20,
    // and the flat trace lies at 0. The wheel turns a quarter down the plot,
    // at -7.5 dB.
    QTest::newRow("untouched") << QString() << -90.0 << 20.0 << "%i" << false;
    QTest::newRow("set, tenths") << "set" << -8.0 << -2.5 << "%.1f" << false;
    QTest::newRow("autoscale a flat trace") << "autoscale" << -1.6 << 0.6 << "%.1f" << false;
    QTest::newRow("reset after set") << "set,reset" << -90.0 << 20.0 << "%i" << false;
    QTest::newRow("finer step") << "finer" << -35.0 << 20.0 << "%i" << false;
    QTest::newRow("page up") << "up" << -80.0 << 30.0 << "%i" << false;
    QTest::newRow("wheel on frequency") << "wheel" << -90.0 << 20.0 << "%i" << true;
    QTest::newRow("shift and wheel on level") << "shiftwheel" << -50.0 << 5.0 << "%i" << false;
    // Typed, any step within reach, not only 1-2-5.
    QTest::newRow("typed") << "typed" << -11.0 << -3.3 << "%.1f" << false;
}

// What the user sets is what the axes show, and it survives the profile.
void TstZChartView::scale()
{
    QFETCH(QString, action);
    QFETCH(double, bottom);
    QFETCH(double, top);
    QFETCH(QString, format);
    QFETCH(bool, zoomed);
    Bench bench(ZCommon::UL, {130});
    ZChartView &view = *bench.view;
    QVERIFY(bench.show(600, 400));
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
        else if (step == QLatin1String("finer") || step == QLatin1String("up"))
            QTest::keyClick(&view, step == QLatin1String("up") ? Qt::Key_PageUp : Qt::Key_Plus);
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
        QCOMPARE(shown.axisY()->min(), bottom);
        QCOMPARE(shown.axisY()->max(), top);
        QCOMPARE(shown.axisY()->tickCount(), 12);
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
           "BANDWIDTH_DROP_DB=0;DELTA_SHOWN=true;MARKS_TABLE_X=1.5;MARKS_TABLE_Y=0;LEVEL_REFERENCE=loud"
        << "FIXED,FIXED,MINIMUM,FIXED,FIXED" << 0 << qQNaN() << 3.0 << true << false
        << "ignored MARK1_MODE=BOGUS|ignored LEVEL_REFERENCE=loud";
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
    for (const QString &line : logged.split(QLatin1Char('|'), Qt::SkipEmptyParts))
        QVERIFY2(bench.fixture.log().contains(line), qPrintable(line));
}

QTEST_MAIN(TstZChartView)
#include "tst_zchartview.moc"
