#include "data/scan/rangesliced.h"

#include <QSignalSpy>
#include <QtTest>

#include <limits>

using ZCore::TFrequency;
using ZData::DS::RangeSliced;

Q_DECLARE_METATYPE(QVector<quint64>)

namespace {

TFrequency mhz(double value)
{
    return TFrequency(value, TFrequency::kMultiplierMHz);
}

// A range of [startMHz, stopMHz] with points, loaded the way the scan
// manager loads a preset channel.
void load(RangeSliced &range, double startMHz, double stopMHz, quint32 points)
{
    range.setStart(mhz(startMHz), false);
    range.setStop(mhz(stopMHz), false);
    range.setPoints(points, true);
}

} // namespace

class TestRangeSliced : public QObject
{
    Q_OBJECT

private slots:
    void defaultRange();

    void slicing_data();
    void slicing();

    void sliceFrequencies_data();
    void sliceFrequencies();

    void setStart_data();
    void setStart();

    void setStop_data();
    void setStop();

    void setPoints_data();
    void setPoints();

    void notifiedUpdateRestartsSweep_data();
    void notifiedUpdateRestartsSweep();

    void reset_data();
    void reset();

    void shrunkRangeNeverSlicesBeyondIt();
};

void TestRangeSliced::defaultRange()
{
    RangeSliced range;
    QCOMPARE(range.limitMin(), ZCore::kFrequencyMin);
    QCOMPARE(range.limitMax(), ZCore::kFrequencyMax);
    QCOMPARE(range.maxSpan(), mhz(6199));
    QCOMPARE(range.start(), TFrequency(0.0));
    QCOMPARE(range.stop(), TFrequency(0.0));
    QCOMPARE(range.points(), 0U);
    QCOMPARE(range.slicesTotal(), 0U);
    QVERIFY(!range.received());
    range.markReceived();
    QVERIFY(range.received());
    QVERIFY(range.parent() == nullptr);
}

void TestRangeSliced::slicing_data()
{
    QTest::addColumn<quint32>("points");
    QTest::addColumn<QList<int>>("starts");
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<int>("endCall");
    QTest::addColumn<quint32>("slicesTotal");

    QTest::newRow("60 points") << 60U << QList<int>{0, 25, 50} << QList<int>{25, 25, 10} << 3 << 3U;
    QTest::newRow("50 points") << 50U << QList<int>{0, 25} << QList<int>{25, 25} << 2 << 2U;
    QTest::newRow("25 points") << 25U << QList<int>{0} << QList<int>{25} << 1 << 1U;
    QTest::newRow("26 points") << 26U << QList<int>{0, 25} << QList<int>{25, 1} << 2 << 2U;
    QTest::newRow("2 points") << 2U << QList<int>{0} << QList<int>{2} << 1 << 1U;
    QList<int> starts;
    QList<int> counts;
    for (int i = 0; i < 40; ++i) {
        starts << i * 25;
        counts << 25;
    }
    starts << 1000;
    counts << 24;
    QTest::newRow("1024 points") << 1024U << starts << counts << 41 << 41U;
}

void TestRangeSliced::slicing()
{
    QFETCH(quint32, points);
    QFETCH(QList<int>, starts);
    QFETCH(QList<int>, counts);
    QFETCH(int, endCall);
    QFETCH(quint32, slicesTotal);

    RangeSliced range;
    load(range, 100, 200, points);
    QCOMPARE(range.slicesTotal(), slicesTotal);
    QSignalSpy reachedEnd(&range, &RangeSliced::signalReachedEnd);

    for (int call = 1; call <= starts.size(); ++call) {
        const QVector<quint64> slice = range.nextSlice();
        QCOMPARE(int(range.sliceStart()), starts.at(call - 1));
        QCOMPARE(int(range.sliceCount()), counts.at(call - 1));
        QCOMPARE(slice.size(), counts.at(call - 1));
        QCOMPARE(reachedEnd.count(), call >= endCall ? 1 : 0);
    }
    // The sweep starts over after the end.
    range.nextSlice();
    QCOMPARE(range.sliceStart(), 0U);
    QCOMPARE(int(range.sliceCount()), counts.first());
    QCOMPARE(reachedEnd.count(), starts.size() == 1 ? 2 : 1);
}

void TestRangeSliced::sliceFrequencies_data()
{
    QTest::addColumn<double>("startMHz");
    QTest::addColumn<double>("stopMHz");
    QTest::addColumn<quint32>("points");
    QTest::addColumn<int>("sliceIndex");
    QTest::addColumn<double>("stepHz");
    QTest::addColumn<QVector<quint64>>("expected");

    QVector<quint64> second;
    for (quint64 hz = 125000000; hz <= 149000000; hz += 1000000)
        second << hz;
    QTest::newRow("101 points, second slice") << 100.0 << 200.0 << 101U << 1 << 1e6 << second;
    QTest::newRow("101 points, last slice") << 100.0 << 200.0 << 101U << 4 << 1e6
                                            << QVector<quint64>{200000000};
    QTest::newRow("start = stop, 3 points") << 1000.0 << 1000.0 << 3U << 0 << RangeSliced::kMinStepHz
                                            << QVector<quint64>{1000000000, 1000000000, 1000000000};
    QTest::newRow("fractional step truncates") << 1.0 << 2.0 << 4U << 0 << 1e6 / 3.0
                                               << QVector<quint64>{1000000, 1333333, 1666666, 2000000};
}

void TestRangeSliced::sliceFrequencies()
{
    QFETCH(double, startMHz);
    QFETCH(double, stopMHz);
    QFETCH(quint32, points);
    QFETCH(int, sliceIndex);
    QFETCH(double, stepHz);
    QFETCH(QVector<quint64>, expected);

    RangeSliced range;
    load(range, startMHz, stopMHz, points);
    QCOMPARE(range.step(), TFrequency(stepHz));
    QVector<quint64> slice;
    for (int i = 0; i <= sliceIndex; ++i)
        slice = range.nextSlice();
    QCOMPARE(slice, expected);
}

void TestRangeSliced::setStart_data()
{
    QTest::addColumn<double>("limitMinMHz");
    QTest::addColumn<double>("limitMaxMHz");
    QTest::addColumn<double>("startMHz");
    QTest::addColumn<double>("stopMHz");
    QTest::addColumn<double>("newStartMHz");
    QTest::addColumn<double>("expectedStartMHz");
    QTest::addColumn<double>("expectedStopMHz");
    QTest::addColumn<double>("expectedCenterMHz");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("above the limit") << 1.0 << 6200.0 << 0.0 << 0.0 << 7000.0 << 6200.0 << 6200.0 << 6200.0;
    QTest::newRow("below the limit") << 1.0 << 6200.0 << 1000.0 << 2000.0 << 0.0 << 1.0 << 2000.0 << 1000.5;
    QTest::newRow("NaN goes to the lower limit") << 1.0 << 6200.0 << 1000.0 << 2000.0 << nan << 1.0 << 2000.0
                                                 << 1000.5;
    QTest::newRow("inside the range") << 1.0 << 6200.0 << 1000.0 << 2000.0 << 1500.0 << 1500.0 << 2000.0 << 1750.0;
    QTest::newRow("past the stop keeps the span") << 1.0 << 6200.0 << 1000.0 << 2000.0 << 2500.0 << 2500.0
                                                  << 3500.0 << 3000.0;
    QTest::newRow("past the stop, span cut at the limit") << 1.0 << 3000.0 << 1000.0 << 2000.0 << 2500.0 << 2500.0
                                                          << 3000.0 << 2750.0;
    QTest::newRow("span bounded by narrowed limits") << 1.0 << 3000.0 << 1000.0 << 6000.0 << 500.0 << 500.0
                                                     << 3499.0 << 1999.5;
}

void TestRangeSliced::setStart()
{
    QFETCH(double, limitMinMHz);
    QFETCH(double, limitMaxMHz);
    QFETCH(double, startMHz);
    QFETCH(double, stopMHz);
    QFETCH(double, newStartMHz);
    QFETCH(double, expectedStartMHz);
    QFETCH(double, expectedStopMHz);
    QFETCH(double, expectedCenterMHz);

    RangeSliced range;
    load(range, startMHz, stopMHz, 11);
    range.setLimits(mhz(limitMinMHz), mhz(limitMaxMHz));
    QSignalSpy updated(&range, &RangeSliced::signalUpdated);
    range.setStart(mhz(newStartMHz), false);

    QCOMPARE(range.start(), mhz(expectedStartMHz));
    QCOMPARE(range.stop(), mhz(expectedStopMHz));
    QCOMPARE(range.center(), mhz(expectedCenterMHz));
    QCOMPARE(range.span(), mhz(expectedStopMHz - expectedStartMHz));
    QCOMPARE(range.step(), TFrequency(std::max(range.span().hz() / 10.0, RangeSliced::kMinStepHz)));
    QCOMPARE(updated.count(), 0);
}

void TestRangeSliced::setStop_data()
{
    QTest::addColumn<double>("startMHz");
    QTest::addColumn<double>("stopMHz");
    QTest::addColumn<double>("newStopMHz");
    QTest::addColumn<double>("expectedStartMHz");
    QTest::addColumn<double>("expectedStopMHz");
    QTest::addColumn<double>("expectedCenterMHz");

    QTest::newRow("above the limit") << 1000.0 << 2000.0 << 7000.0 << 1000.0 << 6200.0 << 3600.0;
    QTest::newRow("zero on an empty range") << 0.0 << 0.0 << 0.0 << 0.0 << 1.0 << 0.5;
    QTest::newRow("below the start keeps the span") << 2000.0 << 2500.0 << 1800.0 << 1300.0 << 1800.0 << 1550.0;
    QTest::newRow("below the start, span cut at the limit") << 1000.0 << 2000.0 << 500.0 << 1.0 << 500.0 << 250.5;
    QTest::newRow("inside the range") << 1000.0 << 2000.0 << 1500.0 << 1000.0 << 1500.0 << 1250.0;
}

void TestRangeSliced::setStop()
{
    QFETCH(double, startMHz);
    QFETCH(double, stopMHz);
    QFETCH(double, newStopMHz);
    QFETCH(double, expectedStartMHz);
    QFETCH(double, expectedStopMHz);
    QFETCH(double, expectedCenterMHz);

    RangeSliced range;
    if (startMHz > 0.0 || stopMHz > 0.0)
        load(range, startMHz, stopMHz, 11);
    QSignalSpy updated(&range, &RangeSliced::signalUpdated);
    range.setStop(mhz(newStopMHz), true);

    QCOMPARE(range.start(), mhz(expectedStartMHz));
    QCOMPARE(range.stop(), mhz(expectedStopMHz));
    QCOMPARE(range.center(), mhz(expectedCenterMHz));
    QCOMPARE(range.span(), mhz(expectedStopMHz - expectedStartMHz));
    QCOMPARE(updated.count(), 1);
}

void TestRangeSliced::setPoints_data()
{
    QTest::addColumn<quint32>("count");
    QTest::addColumn<quint32>("points");
    QTest::addColumn<quint32>("slicesTotal");

    QTest::newRow("0") << 0U << 2U << 1U;
    QTest::newRow("1") << 1U << 2U << 1U;
    QTest::newRow("2") << 2U << 2U << 1U;
    QTest::newRow("25") << 25U << 25U << 1U;
    QTest::newRow("26") << 26U << 26U << 2U;
    QTest::newRow("1024") << 1024U << 1024U << 41U;
    QTest::newRow("1025 is cut") << 1025U << 1024U << 41U;
    QTest::newRow("largest count is cut") << std::numeric_limits<quint32>::max() << 1024U << 41U;
}

void TestRangeSliced::setPoints()
{
    QFETCH(quint32, count);
    QFETCH(quint32, points);
    QFETCH(quint32, slicesTotal);

    RangeSliced range;
    range.setStart(mhz(100), false);
    range.setStop(mhz(200), false);
    range.setPoints(count, false);
    QCOMPARE(range.points(), points);
    QCOMPARE(range.slicesTotal(), slicesTotal);
    QCOMPARE(range.step(), TFrequency(mhz(100).hz() / double(points - 1)));

    // A full sweep hands out every point once and no more.
    quint32 handedOut = 0;
    for (quint32 i = 0; i < slicesTotal; ++i)
        handedOut += quint32(range.nextSlice().size());
    QCOMPARE(handedOut, points);
    QCOMPARE(range.nextIndex(), 0U);
}

void TestRangeSliced::notifiedUpdateRestartsSweep_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("notify");

    enum { Start, Stop, Points };
    QTest::newRow("setStart, notified") << int(Start) << true;
    QTest::newRow("setStart, silent") << int(Start) << false;
    QTest::newRow("setStop, notified") << int(Stop) << true;
    QTest::newRow("setStop, silent") << int(Stop) << false;
    QTest::newRow("setPoints, notified") << int(Points) << true;
    QTest::newRow("setPoints, silent") << int(Points) << false;
}

void TestRangeSliced::notifiedUpdateRestartsSweep()
{
    QFETCH(int, action);
    QFETCH(bool, notify);

    RangeSliced range;
    load(range, 100, 200, 100);
    range.nextSlice();
    range.nextSlice();
    QCOMPARE(range.sliceStart(), 25U);
    QSignalSpy updated(&range, &RangeSliced::signalUpdated);

    switch (action) {
    case 0:
        range.setStart(mhz(110), notify);
        break;
    case 1:
        range.setStop(mhz(190), notify);
        break;
    default:
        range.setPoints(90, notify);
        break;
    }

    QCOMPARE(updated.count(), notify ? 1 : 0);
    // The slice start is kept until the next slice is asked for.
    QCOMPARE(range.sliceStart(), 25U);
    QCOMPARE(range.sliceCount(), notify ? 0U : 25U);
    range.nextSlice();
    QCOMPARE(range.sliceStart(), notify ? 0U : 50U);
}

void TestRangeSliced::reset_data()
{
    QTest::addColumn<bool>("full");
    QTest::addColumn<quint32>("sliceStart");

    QTest::newRow("partial") << false << 25U;
    QTest::newRow("full") << true << 0U;
}

void TestRangeSliced::reset()
{
    QFETCH(bool, full);
    QFETCH(quint32, sliceStart);

    RangeSliced range;
    load(range, 100, 200, 100);
    range.nextSlice();
    range.nextSlice();
    QSignalSpy updated(&range, &RangeSliced::signalUpdated);
    range.reset(full);
    QCOMPARE(updated.count(), 1);
    QCOMPARE(range.sliceStart(), sliceStart);
    QCOMPARE(range.sliceCount(), 0U);
    QCOMPARE(range.nextIndex(), 0U);
    range.nextSlice();
    QCOMPARE(range.sliceStart(), 0U);
}

void TestRangeSliced::shrunkRangeNeverSlicesBeyondIt()
{
    RangeSliced range;
    load(range, 100, 200, 60);
    range.nextSlice();
    range.nextSlice();
    range.setPoints(10, false);

    QSignalSpy reachedEnd(&range, &RangeSliced::signalReachedEnd);
    const QVector<quint64> slice = range.nextSlice();
    QCOMPARE(range.sliceStart(), 0U);
    QCOMPARE(slice.size(), 10);
    QCOMPARE(slice.last(), quint64(200000000));
    QCOMPARE(reachedEnd.count(), 1);
}

QTEST_GUILESS_MAIN(TestRangeSliced)
#include "tst_rangesliced.moc"
