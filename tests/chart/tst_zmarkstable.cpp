#include "chart/datamarkprocessor.h"
#include "chart/zchartview.h"
#include "chart/zmark.h"
#include "chart/zmarkstable.h"
#include "data/scan/datascanmanager.h"

#include "chartfixture.h"
#include "sweepfeeder.h"

#include <QtTest>

#include <memory>

using namespace ZChart;
using TestSupport::ChartFixture;
using TestSupport::SweepFeeder;

namespace {

// An S21 view over the one-band profile with the given marks, swept once
// at -20 dB everywhere (-10 dBm with S21_AMP_ORIGIN 10).
struct Bench
{
    explicit Bench(const QVector<double> &marksMHz)
    {
        loaded = fixture.load({ChartFixture::preset(QStringLiteral("Band"), marksMHz)}, {{"S21_AMP_ORIGIN", 10.0}});
        SweepFeeder::start();
        view = std::make_unique<ZChartView>();
        view->setCorner(ZCommon::UL);
        SweepFeeder([](int, quint64) { return 0.1f; }).sweepBothChannels();
    }

    ZMarksTable &table() { return *view->marksTable(); }

    ChartFixture fixture;
    bool loaded = false;
    std::unique_ptr<ZChartView> view;
};

} // namespace

class TstZMarksTable : public QObject
{
    Q_OBJECT

private slots:
    void valueLine_data();
    void valueLine();
    void presetMarksText_data();
    void presetMarksText();
    void marksSnapToRange_data();
    void marksSnapToRange();
    void badIndexesIgnored();
    void rangeChangeKeepsFrequency();
};

void TstZMarksTable::valueLine_data()
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

void TstZMarksTable::valueLine()
{
    QFETCH(double, level);
    QFETCH(bool, calibrated);
    QFETCH(bool, showSign);
    QFETCH(quint64, frequency);
    QFETCH(QString, line);
    ChartFixture fixture;
    QVERIFY(fixture.load({ChartFixture::preset(QStringLiteral("Band"))}));
    fixture.calibrator().setReference(1.0f);
    SweepFeeder::start();
    ZData::DataScanManager::instance().setUseCalib(calibrated);
    DataMarkProcessor processor(nullptr);
    processor.registerMethods();
    const ZData::TScanPoint measured{frequency, 0.5f, 0.0f};
    const QVector<float> values = processor.markValues(measured, EMarkType::LMAG);
    QCOMPARE(processor.markText(values, measured, QPointF(150.0, level), showSign, EMarkType::LMAG), line);
}

// One entry per visible mark: frequency and level lines, a blank line between entries.
void TstZMarksTable::presetMarksText_data()
{
    QTest::addColumn<QVector<double>>("marksMHz");
    QTest::newRow("three marks") << QVector<double>{120, 150, 180};
    QTest::newRow("no marks") << QVector<double>{};
}

void TstZMarksTable::presetMarksText()
{
    QFETCH(QVector<double>, marksMHz);
    Bench bench(marksMHz);
    QVERIFY(bench.loaded);
    QStringList expected;
    for (int i = 0; i < marksMHz.size(); ++i)
        expected << QStringLiteral("M%1        %2.00 MHz\nLMg:      -10.00 dBm").arg(i + 1).arg(marksMHz[i]);
    QCOMPARE(bench.table().text().split(QStringLiteral("\n\n"), Qt::SkipEmptyParts), expected);
}

void TstZMarksTable::marksSnapToRange_data()
{
    QTest::addColumn<double>("markMHz");
    QTest::addColumn<quint32>("index");
    QTest::addColumn<double>("snappedMHz");
    QTest::newRow("below the start") << 20.0 << 0u << 100.0;
    QTest::newRow("above the stop") << 5000.0 << 100u << 200.0;
    QTest::newRow("rounds up past half") << 150.6 << 51u << 151.0;
}

void TstZMarksTable::marksSnapToRange()
{
    QFETCH(double, markMHz);
    QFETCH(quint32, index);
    QFETCH(double, snappedMHz);
    Bench bench({markMHz});
    const TMarkData data = bench.table().marksData().first();
    QCOMPARE(data.index, index);
    QCOMPARE(data.frequency.MHz(), snappedMHz);
}

void TstZMarksTable::badIndexesIgnored()
{
    Bench bench({120, 130, 140, 150, 160});
    bench.table().moveMark(5, 190.0);
    bench.table().moveMark(-1, 190.0);
    QCOMPARE(bench.table().marksData().last().index, 60u);
    QVERIFY(!bench.table().createMark(150.0));

    ZChartView empty;
    empty.marksTable()->setMarkVisible(0, true);
    QVERIFY(!empty.marksTable()->isMarkVisible(0));
}

void TstZMarksTable::rangeChangeKeepsFrequency()
{
    Bench bench({150});
    // 50-250 MHz in 201 points: 150 MHz becomes point 100.
    ZData::DS::RangeSliced &range = ZData::DataScanManager::instance().channelRange(0);
    range.setStart(ZCore::TFrequency(50e6), false);
    range.setStop(ZCore::TFrequency(250e6), false);
    range.setPoints(201, true);
    QCOMPARE(bench.table().marksData().first().index, 100u);
    QCOMPARE(bench.table().marksData().first().frequency.MHz(), 150.0);
}

QTEST_MAIN(TstZMarksTable)
#include "tst_zmarkstable.moc"
