// From the device's points to what a chart plots and its marks table reads.
#include "chart/chartplacement.h"
#include "chart/datamarkprocessor.h"
#include "chart/datascanprocessor.h"
#include "chart/zchartview.h"
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
    void markValueLine_data();
    void markValueLine();
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
    ChartFixture fixture;
    QVERIFY(fixture.load({ChartFixture::preset(QStringLiteral("Band"))}));
    SweepFeeder::start();
    if (calibrated)
        fixture.calibrator().setReference(0.5f);
    ZData::DataScanManager::instance().setUseCalib(calibrated);
    QCOMPARE(ZData::DataScanManager::instance().useCalib(), calibrated);
    ZChartView view;
    DataMarkProcessor processor(&view);
    processor.registerMethods();
    const ZData::TScanPoint measured{frequency, 0.5f, 0.0f};
    const QVector<float> values = processor.markValues(measured, EMarkType::LMAG);
    QCOMPARE(processor.markText(values, measured, QPointF(150.0, level), showSign, EMarkType::LMAG), line);
}

// One entry per visible mark: frequency and level lines, a blank line between entries.
QTEST_MAIN(TstChartProcessing)
#include "tst_chartprocessing.moc"
