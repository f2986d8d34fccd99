#include "chart/datamarkprocessor.h"
#include "chart/zchartview.h"
#include "chart/zmark.h"
#include "chart/zmarkstable.h"
#include "data/scan/datascanmanager.h"

#include "chartfixture.h"
#include "sweepfeeder.h"

#include <QChart>
#include <QLineSeries>
#include <QValueAxis>
#include <QSignalSpy>
#include <QtTest>

using namespace ZChart;
using TestSupport::ChartFixture;
using TestSupport::SweepFeeder;

namespace {

// -20 dB everywhere; with S21_AMP_ORIGIN 10 the curve sits at -10 dBm.
float flatLevel(int, quint64)
{
    return 0.1f;
}

QStringList visibleMarkNumbers(const ZMarksTable &table)
{
    QStringList numbers;
    for (int i = 0; i < table.count(); ++i) {
        if (table.isMarkVisible(i))
            numbers << QString::number(table.mark(i)->data().number);
    }
    return numbers;
}

} // namespace

class TstZMarksTable : public QObject
{
    Q_OBJECT

private slots:
    void valueLine_data();
    void valueLine();
    void frequencyLine_data();
    void frequencyLine();
    void notMeasuredShowsNoData();
    void presetMarksShowAndHide_data();
    void presetMarksShowAndHide();
    void marksSnapToRangeEnds_data();
    void marksSnapToRangeEnds();
    void markFollowsCurve();
    void moveMarkInvalidIndex_data();
    void moveMarkInvalidIndex();
    void sixthMarkRefused();
    void rangeChangeKeepsFrequency();
    void emptyTableIgnoresVisibility();
};

void TstZMarksTable::valueLine_data()
{
    QTest::addColumn<double>("level");
    QTest::addColumn<bool>("calibrated");
    QTest::addColumn<bool>("showSign");
    QTest::addColumn<QString>("line");

    QTest::newRow("raw level") << -12.34 << false << false << QStringLiteral("LMg:      -12.34 dBm");
    QTest::newRow("calibrated gain") << 31.5 << true << false << QStringLiteral("LMg:        31.50 dB");
    QTest::newRow("forced sign") << 5.0 << false << true << QStringLiteral("LMg:       +5.00 dBm");
    QTest::newRow("rounded half away") << -0.004 << false << false << QStringLiteral("LMg:       -0.00 dBm");
    QTest::newRow("too long for the width") << -123456789012.5 << false << false
                                            << QStringLiteral("LMg:-123456789012.50 dBm");
}

void TstZMarksTable::valueLine()
{
    QFETCH(double, level);
    QFETCH(bool, calibrated);
    QFETCH(bool, showSign);
    QFETCH(QString, line);
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band")) }));
    fixture.calibrator().setReference(1.0f);
    SweepFeeder::start();
    ZData::DataScanManager::instance().setUseCalib(calibrated);

    DataMarkProcessor processor(nullptr);
    processor.registerMethods();
    ZData::TScanPoint measured;
    measured.frequency = 150000000;
    measured.real = 0.5f;
    const QVector<float> values = processor.markValues(measured, EMarkType::LMAG);
    QCOMPARE(values.size(), 2);
    const QString text = processor.markText(values, measured, QPointF(150.0, level), showSign, EMarkType::LMAG);
    QCOMPARE(text, line);
    if (line.size() <= DataMarkProcessor::kLineWidth)
        QCOMPARE(text.size(), DataMarkProcessor::kLineWidth);
}

void TstZMarksTable::frequencyLine_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<double>("mhz");
    QTest::addColumn<QString>("line");

    QTest::newRow("M2") << 2 << 1234.5 << QStringLiteral("M2       1234.50 MHz");
    QTest::newRow("bottom of the band") << 1 << 1.0 << QStringLiteral("M1          1.00 MHz");
    QTest::newRow("top of the band") << 5 << 6200.0 << QStringLiteral("M5       6200.00 MHz");
}

void TstZMarksTable::frequencyLine()
{
    QFETCH(int, number);
    QFETCH(double, mhz);
    QFETCH(QString, line);
    ChartFixture fixture;
    QCOMPARE(ZMarksTable::frequencyLine(number, mhz), line);
    QCOMPARE(line.size(), DataMarkProcessor::kLineWidth);
}

void TstZMarksTable::notMeasuredShowsNoData()
{
    ChartFixture fixture;
    DataMarkProcessor processor(nullptr);
    processor.registerMethods();
    const ZData::TScanPoint notMeasured;
    QVERIFY(processor.markValues(notMeasured, EMarkType::LMAG).isEmpty());
    QCOMPARE(processor.markText({}, notMeasured, QPointF(), false, EMarkType::LMAG), QStringLiteral("No data."));
    ZData::TScanPoint measured;
    measured.frequency = 1;
    measured.real = 1.0f;
    QVERIFY(processor.markValues(measured, 9).isEmpty());
    QCOMPARE(processor.markText({ 0.0f }, measured, QPointF(), false, 9), QStringLiteral("No data."));
}

void TstZMarksTable::presetMarksShowAndHide_data()
{
    QTest::addColumn<QVector<double>>("marksMHz");
    QTest::addColumn<QStringList>("visible");

    QTest::newRow("three marks") << QVector<double>{ 120, 150, 180 } << QStringList{ "1", "2", "3" };
    QTest::newRow("five marks") << QVector<double>{ 110, 120, 130, 140, 150 }
                                << QStringList{ "1", "2", "3", "4", "5" };
    QTest::newRow("no marks") << QVector<double>{} << QStringList{};
}

void TstZMarksTable::presetMarksShowAndHide()
{
    QFETCH(QVector<double>, marksMHz);
    QFETCH(QStringList, visible);
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band"), marksMHz) }, { { "S21_AMP_ORIGIN", 10.0 } }));
    SweepFeeder::start();
    ZChartView view;
    view.resize(800, 500);
    view.setCorner(ZCommon::UL);
    QSignalSpy created(&view, &ZChartView::signalCreatedMark);
    QSignalSpy retrieved(&view, &ZChartView::signalRetrievedMarksData);

    SweepFeeder feeder(flatLevel);
    feeder.sweepBothChannels();

    QCOMPARE(created.count(), ZMarksTable::kMaxMarks);
    for (int i = 0; i < created.count(); ++i)
        QCOMPARE(created.at(i).at(0).toInt(), i);
    QVERIFY(!retrieved.isEmpty());
    ZMarksTable *table = view.marksTable();
    QCOMPARE(table->count(), ZMarksTable::kMaxMarks);
    QCOMPARE(visibleMarkNumbers(*table), visible);

    // One entry per visible mark, two lines of 20 characters each, a blank
    // line between entries.
    const QStringList entries = table->text().split(QStringLiteral("\n\n"), Qt::SkipEmptyParts);
    QCOMPARE(entries.size(), visible.size());
    for (int i = 0; i < entries.size(); ++i) {
        const QStringList lines = entries[i].split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], ZMarksTable::frequencyLine(i + 1, marksMHz[i]));
        QCOMPARE(lines[1], QStringLiteral("LMg:      -10.00 dBm"));
    }
}

void TstZMarksTable::marksSnapToRangeEnds_data()
{
    QTest::addColumn<double>("markMHz");
    QTest::addColumn<quint32>("index");
    QTest::addColumn<double>("snappedMHz");

    QTest::newRow("below the start") << 20.0 << 0u << 100.0;
    QTest::newRow("above the stop") << 5000.0 << 100u << 200.0;
    QTest::newRow("between two points") << 150.4 << 50u << 150.0;
    QTest::newRow("rounds up past half") << 150.6 << 51u << 151.0;
}

void TstZMarksTable::marksSnapToRangeEnds()
{
    QFETCH(double, markMHz);
    QFETCH(quint32, index);
    QFETCH(double, snappedMHz);
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band"), { markMHz }) }));
    SweepFeeder::start();
    ZChartView view;
    view.setCorner(ZCommon::UL);
    SweepFeeder(flatLevel).sweepBothChannels();

    const TMarkData data = view.marksTable()->marksData().first();
    QCOMPARE(data.index, index);
    QCOMPARE(data.frequency.MHz(), snappedMHz);
    QCOMPARE(view.marksTable()->mark(0)->value(), view.seriesPointAt(int(index)));
}

void TstZMarksTable::markFollowsCurve()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band"), { 150 }) }));
    SweepFeeder::start();
    ZChartView view;
    view.resize(800, 500);
    view.setCorner(ZCommon::UL);
    // A peak at 150 MHz: 0 dB there, -40 dB elsewhere.
    SweepFeeder([](int, quint64 hz) { return hz == 150000000 ? 1.0f : 0.01f; }).sweepBothChannels();

    ZMark *mark = view.marksTable()->mark(0);
    QCOMPARE(mark->value().y(), 20.0); // S21_AMP_ORIGIN of the default profile
    QCOMPARE(mark->valueText(), QStringLiteral("LMg:       20.00 dBm"));
    // The tip of the triangle is where the chart draws that point.
    const QPointF onChart = view.chart()->mapToPosition(mark->value(), view.series());
    QCOMPARE(mark->pos(), onChart);
    QVERIFY(mark->boundingRect().contains(QPointF(0, 0)));
}

void TstZMarksTable::moveMarkInvalidIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("one past the last") << 5;
    QTest::newRow("negative") << -1;
}

void TstZMarksTable::moveMarkInvalidIndex()
{
    QFETCH(int, index);
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band"), { 120, 130, 140, 150, 160 }) }));
    SweepFeeder::start();
    ZChartView view;
    view.setCorner(ZCommon::UL);
    SweepFeeder(flatLevel).sweepBothChannels();
    const QList<TMarkData> before = view.marksTable()->marksData();

    fixture.log().clear();
    view.marksTable()->moveMark(index, 190.0);
    QVERIFY(fixture.log().contains(
        QStringLiteral("ZMarksTable >> tried to move mark by invalid index: %1").arg(index)));
    const QList<TMarkData> after = view.marksTable()->marksData();
    for (int i = 0; i < before.size(); ++i)
        QCOMPARE(after[i].index, before[i].index);
}

void TstZMarksTable::sixthMarkRefused()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band"), { 120 }) }));
    SweepFeeder::start();
    ZChartView view;
    view.setCorner(ZCommon::UL);
    SweepFeeder(flatLevel).answerSlice();
    ZMarksTable *table = view.marksTable();
    QVERIFY(table->isFull());
    QSignalSpy created(&view, &ZChartView::signalCreatedMark);
    QVERIFY(!table->createMark(150.0));
    QCOMPARE(table->count(), ZMarksTable::kMaxMarks);
    // Later data create no further marks.
    SweepFeeder(flatLevel).answerSlice();
    QCOMPARE(created.count(), 0);
}

void TstZMarksTable::rangeChangeKeepsFrequency()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band"), { 150 }) }));
    SweepFeeder::start();
    ZChartView view;
    view.setCorner(ZCommon::UL);
    SweepFeeder(flatLevel).sweepBothChannels();
    QCOMPARE(view.marksTable()->marksData().first().index, 50u);

    // 50-250 MHz in 201 points: 150 MHz becomes point 100.
    ZData::DS::RangeSliced &range = ZData::DataScanManager::instance().channelRange(0);
    range.setStart(ZCore::TFrequency(50e6), false);
    range.setStop(ZCore::TFrequency(250e6), false);
    range.setPoints(201, true);
    const TMarkData data = view.marksTable()->marksData().first();
    QCOMPARE(data.index, 100u);
    QCOMPARE(data.frequency.MHz(), 150.0);
    QCOMPARE(view.axisX()->min(), 50.0);
}

void TstZMarksTable::emptyTableIgnoresVisibility()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band"), { 150 }) }));
    ZChartView view;
    ZMarksTable *table = view.marksTable();
    table->setMarkVisible(0, true);
    QVERIFY(!table->isMarkVisible(0));
    table->rebuildText();
    QVERIFY(table->text().isEmpty());
}

QTEST_MAIN(TstZMarksTable)
#include "tst_zmarkstable.moc"
