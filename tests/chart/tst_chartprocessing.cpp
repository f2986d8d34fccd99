// From the device's points to what a chart plots and its marks table reads.
#include "chart/chartplacement.h"
#include "chart/datamarkprocessor.h"
#include "chart/datascanprocessor.h"
#include "chart/zchartview.h"
#include "chart/zmark.h"
#include "chart/zmarkstable.h"
#include "data/scan/datascanmanager.h"

#include "chartfixture.h"
#include "sweepfeeder.h"

#include <QChart>
#include <QValueAxis>
#include <QtTest>

#include <limits>

using namespace ZChart;
using ZData::TScanPoint;
using TestSupport::ChartFixture;
using TestSupport::SweepFeeder;

Q_DECLARE_METATYPE(QVector<ZData::TScanPoint>)

namespace {

// A view in the corner over the one-band profile with the given RF values
// and S21 marks, every reference 0.5, swept once at 0.1 (-20 dB raw).
struct Bench
{
    Bench(int corner, bool useCalib, const QVariantMap &rf, const QVector<double> &marksMHz = {})
    {
        loaded = fixture.load({ChartFixture::preset(QStringLiteral("Band"), marksMHz)}, rf);
        fixture.calibrator().setReference(0.5f);
        SweepFeeder::start();
        ZData::DataScanManager::instance().setUseCalib(useCalib);
        view = std::make_unique<ZChartView>();
        view->setCorner(quint32(corner));
        SweepFeeder([](int, quint64) { return 0.1f; }).sweepBothChannels();
    }

    ZMarksTable &table() { return *view->marksTable(); }

    ChartFixture fixture;
    bool loaded = false;
    std::unique_ptr<ZChartView> view;
};

QVector<QPointF> processed(const QVector<TScanPoint> &points)
{
    DataScanProcessor processor(nullptr);
    processor.registerMethods();
    QVector<QPointF> output(points.size());
    processor.processPoints(points, output, EChartType::LOG_MAG);
    return output;
}

} // namespace

class TstChartProcessing : public QObject
{
    Q_OBJECT

private slots:
    void logMagPoint_data();
    void logMagPoint();
    void validPointCut_data();
    void validPointCut();
    void equalFrequenciesStayIncreasing();
    void chartTitle_data();
    void chartTitle();
    void plottedSeriesFollowsPlacement_data();
    void plottedSeriesFollowsPlacement();
    void markValueLine_data();
    void markValueLine();
    void presetMarks_data();
    void presetMarks();
};

void TstChartProcessing::logMagPoint_data()
{
    QTest::addColumn<TScanPoint>("input");
    QTest::addColumn<double>("y");
    QTest::newRow("-20 dB") << TScanPoint{1000000000, 0.1f} << -20.0;
    QTest::newRow("+6 dB from both parts") << TScanPoint{5, 1.5f, 1.5f} << double(20.0f * std::log10(std::hypot(1.5f, 1.5f)));
    QTest::newRow("zero magnitude is 0, not -inf") << TScanPoint{1000000000, 0.0f} << 0.0;
    QTest::newRow("not a number is 0") << TScanPoint{1, std::numeric_limits<float>::quiet_NaN()} << 0.0;
}

void TstChartProcessing::logMagPoint()
{
    QFETCH(TScanPoint, input);
    QFETCH(double, y);
    const QPointF output = processed({input}).first();
    QCOMPARE(output.x(), double(input.frequency));
    // Single precision: a few ulp of a float around the expected level.
    QVERIFY2(qAbs(output.y() - y) < 1e-5, qPrintable(QString::number(output.y())));
}

void TstChartProcessing::validPointCut_data()
{
    QTest::addColumn<QVector<TScanPoint>>("points");
    QTest::addColumn<QVector<quint64>>("kept");
    const TScanPoint a{10000000, 1.0f}, b{20000000, 1.0f}, empty;
    // 0 stands for a gap.
    QTest::newRow("third empty") << QVector<TScanPoint>{a, b, empty} << QVector<quint64>{10, 20};
    QTest::newRow("without frequency, a gap") << QVector<TScanPoint>{a, TScanPoint{0, 1.0f}, b} << QVector<quint64>{10, 0, 20};
    QTest::newRow("empty in between, a gap") << QVector<TScanPoint>{a, empty, b, empty} << QVector<quint64>{10, 0, 20};
    QTest::newRow("real at the empty threshold") << QVector<TScanPoint>{a, TScanPoint{20000000, 99999.0f}} << QVector<quint64>{10};
    QTest::newRow("nothing measured") << QVector<TScanPoint>{empty, empty} << QVector<quint64>{};
}

void TstChartProcessing::validPointCut()
{
    QFETCH(QVector<TScanPoint>, points);
    QFETCH(QVector<quint64>, kept);
    QVector<bool> valid;
    for (const TScanPoint &p : points)
        valid.append(ZData::TR::isMeasured(p));
    QVector<quint64> shown;
    for (const QPointF &p : ChartPlacement::plotted(processed(points), valid, {}))
        shown.append(std::isnan(p.y()) ? 0 : qRound64(p.x()));
    QCOMPARE(shown, kept);
}

// The chart's axis needs strictly increasing x.
void TstChartProcessing::equalFrequenciesStayIncreasing()
{
    QVector<QPointF> points{QPointF(100e6, -1.0), QPointF(100e6, -2.0), QPointF(250e6, 0.5)};
    ChartPlacement::place(points, {1.0, 2.0});
    QCOMPARE(points, (QVector<QPointF>{QPointF(100.0, 2.0), QPointF(100.0 + 1e-9, 1.0), QPointF(250.0 + 2e-9, 3.5)}));
}

void TstChartProcessing::chartTitle_data()
{
    QTest::addColumn<bool>("withPreset");
    QTest::addColumn<QString>("title");
    QTest::newRow("downlink") << true << QStringLiteral("DOWNLINK S12 Band 3");
    QTest::newRow("no preset loaded") << false << QStringLiteral("DOWNLINK S12 ");
}

// The title names the preset; marks wait for frequencies to show, and a
// range collapsed to one frequency maps every frequency to its first point.
void TstChartProcessing::chartTitle()
{
    QFETCH(bool, withPreset);
    QFETCH(QString, title);
    ChartFixture fixture;
    QList<ZData::TScanPreset> presets;
    if (withPreset) {
        presets = {ChartFixture::preset(QStringLiteral("Band 1")), ChartFixture::preset(QStringLiteral("Band 3"))};
        presets[1].channels[1] = ZData::TChannelPreset(ZData::TScanRange(ZCore::TFrequency(300e6), ZCore::TFrequency(300e6), 101));
    }
    QVERIFY(fixture.load(presets));
    ZData::DataScanManager::instance().setActivePreset(1, true);
    ZChartView view;
    view.setCorner(ZCommon::UR);
    QCOMPARE(view.chart()->title(), title);
    ZMarksTable &marks = *view.marksTable();
    marks.setMarkVisible(0, true);
    QVERIFY(!marks.isMarkVisible(0));
    QVERIFY(marks.createMark(0.0));
    view.slotActiveScanPresetUpdated();
    view.applyMarksPreset();
    QVERIFY(!marks.isMarkVisible(0));
    if (withPreset)
        QCOMPARE(view.indexFromFrequency(350.0), 0);
}

void TstChartProcessing::plottedSeriesFollowsPlacement_data()
{
    QTest::addColumn<int>("corner");
    QTest::addColumn<bool>("useCalib");
    QTest::addColumn<double>("level");
    QTest::addColumn<double>("yMax");
    // S21_ATT 1, S12_ATT 2, AMP_OFFSET 3, origins 10 and 20; references
    // 0.5 add 6.02 dB. The level axis spans 110 dB below the origin, or
    // -20..90 dB calibrated.
    QTest::newRow("raw S21: origin and the other channel's attenuator") << 0 << false << -20.0 + 10.0 + 2.0 << 10.0;
    QTest::newRow("raw S12") << 1 << false << -20.0 + 20.0 + 1.0 << 20.0;
    QTest::newRow("calibrated S21") << 0 << true << -20.0 - 20.0 * std::log10(0.5) + 3.0 + 3.0 << 90.0;
}

void TstChartProcessing::plottedSeriesFollowsPlacement()
{
    QFETCH(int, corner);
    QFETCH(bool, useCalib);
    QFETCH(double, level);
    QFETCH(double, yMax);
    Bench bench(corner, useCalib,
                {{"S21_ATT", 1.0}, {"S12_ATT", 2.0}, {"AMP_OFFSET", 3.0}, {"S21_AMP_ORIGIN", 10.0}, {"S12_AMP_ORIGIN", 20.0}});
    QVERIFY(bench.loaded);
    const double startMHz = corner == 0 ? 100.0 : 300.0;
    QCOMPARE(bench.view->axisX()->max(), startMHz + 100.0 + 101 * ChartPlacement::kIndexShiftMHz);
    QCOMPARE(bench.view->axisY()->min(), yMax - 110.0);
    QCOMPARE(bench.view->axisY()->max(), yMax);
    // Calibrated levels are ratios, raw ones powers.
    QCOMPARE(bench.view->axisY()->titleText(), QStringLiteral("S%1 (%2)").arg(corner ? "12" : "21", useCalib ? "dB" : "dBm"));
    const QVector<QPointF> points = bench.view->plottedPoints();
    QCOMPARE(points.size(), 101);
    for (int i = 0; i < points.size(); ++i) {
        QVERIFY(qAbs(points[i].x() - (startMHz + i + i * ChartPlacement::kIndexShiftMHz)) < 1e-9);
        QVERIFY2(qAbs(points[i].y() - level) < 1e-4, qPrintable(QString::number(points[i].y())));
    }
}

void TstChartProcessing::markValueLine_data()
{
    QTest::addColumn<double>("level");
    QTest::addColumn<bool>("calibrated");
    QTest::addColumn<bool>("showSign");
    QTest::addColumn<quint64>("frequency");
    QTest::addColumn<QString>("line");
    QTest::newRow("raw level") << -12.34 << false << false << quint64(150000000) << QStringLiteral("LMg:      -12.34 dBm");
    QTest::newRow("calibrated gain, forced sign") << 31.5 << true << true << quint64(150000000) << QStringLiteral("LMg:       +31.50 dB");
    QTest::newRow("too long for the width") << -123456789012.5 << false << false << quint64(150000000) << QStringLiteral("LMg:-123456789012.50 dBm");
    QTest::newRow("not measured") << 0.0 << false << false << quint64(0) << QStringLiteral("No data.");
}

void TstChartProcessing::markValueLine()
{
    QFETCH(double, level);
    QFETCH(bool, calibrated);
    QFETCH(bool, showSign);
    QFETCH(quint64, frequency);
    QFETCH(QString, line);
    Bench bench(0, calibrated, {});
    DataMarkProcessor processor(nullptr);
    processor.registerMethods();
    const ZData::TScanPoint measured{frequency, 0.5f, 0.0f};
    const QVector<float> values = processor.markValues(measured, EMarkType::LMAG);
    QCOMPARE(processor.markText(values, measured, QPointF(150.0, level), showSign, EMarkType::LMAG), line);
}

// One entry per visible mark: frequency and level lines, a blank line between entries.
void TstChartProcessing::presetMarks_data()
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
void TstChartProcessing::presetMarks()
{
    QFETCH(QVector<double>, marksMHz);
    QFETCH(QVector<double>, snappedMHz);
    Bench bench(0, false, {{"S21_AMP_ORIGIN", 10.0}}, marksMHz);
    QVERIFY(bench.loaded);
    ZMarksTable &table = bench.table();
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

QTEST_MAIN(TstChartProcessing)
#include "tst_chartprocessing.moc"
