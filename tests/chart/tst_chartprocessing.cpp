#include "chart/chartaxestransformer.h"
#include "chart/chartplacement.h"
#include "chart/datascanprocessor.h"
#include "chart/zchartview.h"
#include "data/scan/datascanmanager.h"
#include "data/scan/trfparameters.h"

#include "chartfixture.h"
#include "sweepfeeder.h"

#include <QChart>
#include <QLineSeries>
#include <QValueAxis>
#include <QtTest>

#include <limits>

using namespace ZChart;
using ZData::TScanPoint;
using TestSupport::ChartFixture;

Q_DECLARE_METATYPE(QVector<ZData::TScanPoint>)

namespace {

TScanPoint point(quint64 frequency, float real, float imag = 0.0f)
{
    TScanPoint p;
    p.frequency = frequency;
    p.real = real;
    p.imag = imag;
    return p;
}

TScanPoint emptyPoint()
{
    return TScanPoint();
}

} // namespace

class TstChartProcessing : public QObject
{
    Q_OBJECT

private slots:
    void logMagPoint_data();
    void logMagPoint();
    void processPointsKeepsOutputForUnknownType();
    void validPointCut_data();
    void validPointCut();
    void placementShiftsAndOffsets_data();
    void placementShiftsAndOffsets();
    void axes_data();
    void axes();
    void titlesFollowCalibration();
    void chartTitle_data();
    void chartTitle();
    void plottedSeriesFollowsPlacement_data();
    void plottedSeriesFollowsPlacement();
};

void TstChartProcessing::logMagPoint_data()
{
    QTest::addColumn<TScanPoint>("input");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");

    QTest::newRow("0 dB") << point(1000000000, 1.0f) << 1e9 << 0.0;
    QTest::newRow("-20 dB") << point(1000000000, 0.1f) << 1e9 << -20.0;
    QTest::newRow("+6 dB from both parts") << point(5, 1.5f, 1.5f) << 5.0 << double(20.0f * std::log10(std::hypot(1.5f, 1.5f)));
    QTest::newRow("negative real is a magnitude") << point(7, -10.0f) << 7.0 << 20.0;
    QTest::newRow("zero magnitude is 0, not -inf") << point(1000000000, 0.0f, 0.0f) << 1e9 << 0.0;
    QTest::newRow("not a number is 0") << point(1, std::numeric_limits<float>::quiet_NaN()) << 1.0 << 0.0;
    QTest::newRow("top of the band exactly") << point(6200000000ull, 1.0f) << 6.2e9 << 0.0;
    QTest::newRow("largest frequency as unsigned") << point(std::numeric_limits<quint64>::max(), 1.0f)
                                                   << double(std::numeric_limits<quint64>::max()) << 0.0;
}

void TstChartProcessing::logMagPoint()
{
    QFETCH(TScanPoint, input);
    QFETCH(double, x);
    QFETCH(double, y);
    DataScanProcessor processor(nullptr);
    processor.registerMethods();
    QVector<QPointF> output(1);
    processor.processPoints({ input }, output, EChartType::LOG_MAG);
    QCOMPARE(output.first().x(), x);
    QVERIFY(std::isfinite(output.first().y()));
    // Single precision: a few ulp of a float around the expected level.
    QVERIFY2(qAbs(output.first().y() - y) < 1e-5, qPrintable(QString::number(output.first().y())));
}

void TstChartProcessing::processPointsKeepsOutputForUnknownType()
{
    DataScanProcessor processor(nullptr);
    processor.registerMethods();
    QVector<QPointF> output{ QPointF(1, 2), QPointF(3, 4) };
    processor.processPoints({ point(1, 1.0f), point(2, 1.0f) }, output, 1);
    QCOMPARE(output, (QVector<QPointF>{ QPointF(1, 2), QPointF(3, 4) }));

    DataScanProcessor unregistered(nullptr);
    unregistered.processPoints({ point(1, 1.0f), point(2, 1.0f) }, output, EChartType::LOG_MAG);
    QCOMPARE(output, (QVector<QPointF>{ QPointF(1, 2), QPointF(3, 4) }));
}

void TstChartProcessing::validPointCut_data()
{
    QTest::addColumn<QVector<TScanPoint>>("points");
    QTest::addColumn<QVector<quint64>>("kept");

    const TScanPoint a = point(10, 1.0f), b = point(20, 1.0f), c = point(30, 1.0f), d = point(40, 1.0f);
    QTest::newRow("all measured") << QVector<TScanPoint>{ a, b, c, d, point(50, 1.0f) }
                                  << QVector<quint64>{ 10, 20, 30, 40, 50 };
    QTest::newRow("fifth empty") << QVector<TScanPoint>{ a, b, c, d, emptyPoint() }
                                 << QVector<quint64>{ 10, 20, 30, 40 };
    QTest::newRow("fourth without frequency counts, not filters")
        << QVector<TScanPoint>{ a, b, c, point(0, 1.0f), point(50, 1.0f) } << QVector<quint64>{ 10, 20, 30, 0 };
    QTest::newRow("real at the empty threshold") << QVector<TScanPoint>{ a, point(20, 99999.0f) }
                                                 << QVector<quint64>{ 10 };
    QTest::newRow("real just below it") << QVector<TScanPoint>{ a, point(20, 99998.99f) }
                                        << QVector<quint64>{ 10, 20 };
    QTest::newRow("nothing measured") << QVector<TScanPoint>{ emptyPoint(), emptyPoint() } << QVector<quint64>{};
    QTest::newRow("no points") << QVector<TScanPoint>{} << QVector<quint64>{};
}

void TstChartProcessing::validPointCut()
{
    QFETCH(QVector<TScanPoint>, points);
    QFETCH(QVector<quint64>, kept);
    ChartPlacement::cutToValid(points);
    QVector<quint64> frequencies;
    for (const TScanPoint &p : points)
        frequencies.append(p.frequency);
    QCOMPARE(frequencies, kept);
}

void TstChartProcessing::placementShiftsAndOffsets_data()
{
    QTest::addColumn<bool>("useCalib");
    QTest::addColumn<int>("channel");
    QTest::addColumn<double>("offset");

    // S21_ATT 1, S12_ATT 2, AMP_OFFSET 4, S21_AMP_ORIGIN 8, S12_AMP_ORIGIN 16.
    QTest::newRow("calibrated S21") << true << 0 << 4.0 + 2.0 + 1.0;
    QTest::newRow("calibrated S12") << true << 1 << 4.0 + 2.0 + 1.0;
    QTest::newRow("raw S21: origin and the other channel's attenuator") << false << 0 << 8.0 + 2.0;
    QTest::newRow("raw S12") << false << 1 << 16.0 + 1.0;
    QTest::newRow("raw, no channel") << false << 7 << 0.0;
}

void TstChartProcessing::placementShiftsAndOffsets()
{
    QFETCH(bool, useCalib);
    QFETCH(int, channel);
    QFETCH(double, offset);
    ZData::TRFParameters rf;
    rf.s21Att = 1;
    rf.s12Att = 2;
    rf.ampOffset = 4;
    rf.s21AmpOrigin = 8;
    rf.s12AmpOrigin = 16;

    // Two equal frequencies must still be strictly increasing on the axis.
    QVector<QPointF> points{ QPointF(100e6, -1.0), QPointF(100e6, -2.0), QPointF(250e6, 0.5) };
    ChartPlacement::place(points, ChartPlacement::levelOffset(rf, useCalib, channel));
    QCOMPARE(points[0], QPointF(100.0, -1.0 + offset));
    QCOMPARE(points[1].x(), 100.0 + 1e-9);
    QVERIFY(points[1].x() > points[0].x());
    QCOMPARE(points[1].y(), -2.0 + offset);
    QCOMPARE(points[2].x(), 250.0 + 2e-9);
    QCOMPARE(points[2].y(), 0.5 + offset);
}

void TstChartProcessing::axes_data()
{
    QTest::addColumn<int>("corner");
    QTest::addColumn<bool>("useCalib");
    QTest::addColumn<double>("xMin");
    QTest::addColumn<double>("xMax");
    QTest::addColumn<double>("yMin");
    QTest::addColumn<double>("yMax");

    // S21 100-200 MHz with 1000 points, S12 300-400 MHz with 101 points;
    // S21_AMP_ORIGIN 20, S12_AMP_ORIGIN 10.
    QTest::newRow("raw S21") << 0 << false << 100.0 << 200.000001 << -90.0 << 20.0;
    QTest::newRow("raw S12") << 1 << false << 300.0 << 400.000000101 << -100.0 << 10.0;
    QTest::newRow("calibrated S21") << 0 << true << 100.0 << 200.000001 << -20.0 << 90.0;
    QTest::newRow("calibrated S12") << 1 << true << 300.0 << 400.000000101 << -20.0 << 90.0;
}

void TstChartProcessing::axes()
{
    QFETCH(int, corner);
    QFETCH(bool, useCalib);
    QFETCH(double, xMin);
    QFETCH(double, xMax);
    QFETCH(double, yMin);
    QFETCH(double, yMax);

    ChartFixture fixture;
    ZData::TScanPreset preset = ChartFixture::preset(QStringLiteral("Band"));
    preset.channels[0].points = 1000;
    QVERIFY(fixture.load({ preset }, { { "S21_AMP_ORIGIN", 20.0 }, { "S12_AMP_ORIGIN", 10.0 } }));
    fixture.calibrator().setReference(1.0f);
    TestSupport::SweepFeeder::start();
    ZData::DataScanManager::instance().setUseCalib(useCalib);
    QCOMPARE(ZData::DataScanManager::instance().useCalib(), useCalib);

    ZChartView view;
    view.setCorner(quint32(corner));
    QCOMPARE(view.axisX()->labelFormat(), QStringLiteral("%.2f"));
    QCOMPARE(view.axisY()->labelFormat(), QStringLiteral("%i"));
    QCOMPARE(view.axisX()->tickCount(), 5);
    QCOMPARE(view.axisY()->tickCount(), 12);
    QCOMPARE(view.axisX()->min(), xMin);
    QCOMPARE(view.axisX()->max(), xMax);
    QCOMPARE(view.axisY()->min(), yMin);
    QCOMPARE(view.axisY()->max(), yMax);
}

void TstChartProcessing::titlesFollowCalibration()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band")) }));
    TestSupport::SweepFeeder::start();
    ZData::DataScanManager &scan = ZData::DataScanManager::instance();

    ZChartView s21;
    s21.setCorner(ZCommon::UL);
    ZChartView s12;
    s12.setCorner(ZCommon::UR);
    QCOMPARE(s21.axisX()->titleText(), QStringLiteral("Frequency (MHz)"));
    QCOMPARE(s21.axisY()->titleText(), QStringLiteral("S21 (dBm)"));
    QCOMPARE(s12.axisY()->titleText(), QStringLiteral("S12 (dBm)"));

    fixture.calibrator().setReference(1.0f);
    scan.setUseCalib(true);
    QCOMPARE(s21.axisY()->titleText(), QStringLiteral("S21 (dB)"));
    QCOMPARE(s12.axisY()->titleText(), QStringLiteral("S12 (dB)"));
    QCOMPARE(s21.axisY()->min(), -20.0);

    scan.setUseCalib(false);
    QCOMPARE(s21.axisY()->titleText(), QStringLiteral("S21 (dBm)"));
}

void TstChartProcessing::chartTitle_data()
{
    QTest::addColumn<int>("corner");
    QTest::addColumn<bool>("withPreset");
    QTest::addColumn<QString>("title");

    QTest::newRow("uplink") << 0 << true << QStringLiteral("UPLINK S21 Band 3");
    QTest::newRow("downlink") << 1 << true << QStringLiteral("DOWNLINK S12 Band 3");
    QTest::newRow("no preset loaded") << 0 << false << QStringLiteral("UPLINK S21 ");
}

void TstChartProcessing::chartTitle()
{
    QFETCH(int, corner);
    QFETCH(bool, withPreset);
    QFETCH(QString, title);
    ChartFixture fixture;
    QList<ZData::TScanPreset> presets;
    if (withPreset)
        presets = { ChartFixture::preset(QStringLiteral("Band 1")), ChartFixture::preset(QStringLiteral("Band 3")) };
    QVERIFY(fixture.load(presets));
    if (withPreset)
        ZData::DataScanManager::instance().setActivePreset(1, true);

    ZChartView view;
    view.setCorner(quint32(corner));
    QCOMPARE(view.chart()->title(), title);
}

void TstChartProcessing::plottedSeriesFollowsPlacement_data()
{
    QTest::addColumn<int>("corner");
    QTest::addColumn<bool>("useCalib");
    QTest::addColumn<double>("offset");

    // Every point is measured at 0.1 (-20 dB raw). S21_ATT 1, S12_ATT 2,
    // AMP_OFFSET 3, origins 10 and 20; references 0.5 add 6.02 dB.
    const double reference = -20.0 * std::log10(0.5);
    QTest::newRow("raw S21") << 0 << false << -20.0 + 10.0 + 2.0;
    QTest::newRow("raw S12") << 1 << false << -20.0 + 20.0 + 1.0;
    QTest::newRow("calibrated S21") << 0 << true << -20.0 + reference + 3.0 + 3.0;
    QTest::newRow("calibrated S12") << 1 << true << -20.0 + reference + 3.0 + 3.0;
}

void TstChartProcessing::plottedSeriesFollowsPlacement()
{
    QFETCH(int, corner);
    QFETCH(bool, useCalib);
    QFETCH(double, offset);
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band")) },
                         { { "S21_ATT", 1.0 }, { "S12_ATT", 2.0 }, { "AMP_OFFSET", 3.0 },
                           { "S21_AMP_ORIGIN", 10.0 }, { "S12_AMP_ORIGIN", 20.0 } }));
    fixture.calibrator().setReference(0.5f);
    TestSupport::SweepFeeder::start();
    ZData::DataScanManager::instance().setUseCalib(useCalib);
    ZChartView view;
    view.setCorner(quint32(corner));

    TestSupport::SweepFeeder feeder([](int, quint64) { return 0.1f; });
    // S21 has 5 slices of 101 points; after three of them 75 are measured.
    feeder.answerSlices(3);
    const int expectedPoints = corner == 0 ? 75 : 0;
    QCOMPARE(view.series()->count(), expectedPoints);
    feeder.sweepBothChannels();
    QCOMPARE(view.series()->count(), 101);

    const double startMHz = corner == 0 ? 100.0 : 300.0;
    const QVector<QPointF> points = view.series()->pointsVector();
    for (int i = 0; i < points.size(); ++i) {
        QVERIFY2(qAbs(points[i].x() - (startMHz + i + i * 1e-9)) < 1e-9, qPrintable(QString::number(i)));
        QVERIFY2(qAbs(points[i].y() - offset) < 1e-4, qPrintable(QString::number(points[i].y())));
    }
}

QTEST_MAIN(TstChartProcessing)
#include "tst_chartprocessing.moc"
