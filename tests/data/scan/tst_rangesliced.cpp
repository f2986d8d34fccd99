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
    void slicing_data();
    void slicing();
    void sliceFrequencies_data();
    void sliceFrequencies();
    void moveEdge_data();
    void moveEdge();
    void notifiedUpdateRestartsSweep_data();
    void notifiedUpdateRestartsSweep();
    void reset_data();
    void reset();
    void shrunkRangeNeverSlicesBeyondIt();
};

void TestRangeSliced::slicing_data()
{
    QTest::addColumn<quint32>("count");
    QTest::addColumn<quint32>("points");
    QTest::addColumn<quint32>("slicesTotal");
    QTest::addColumn<int>("lastCount");

    QTest::newRow("0 is raised") << 0U << 2U << 1U << 2;
    QTest::newRow("25") << 25U << 25U << 1U << 25;
    QTest::newRow("26") << 26U << 26U << 2U << 1;
    QTest::newRow("60") << 60U << 60U << 3U << 10;
    QTest::newRow("1024") << 1024U << 1024U << 41U << 24;
    QTest::newRow("1025 is cut") << 1025U << 1024U << 41U << 24;
    QTest::newRow("largest count is cut") << std::numeric_limits<quint32>::max() << 1024U << 41U << 24;
}

void TestRangeSliced::slicing()
{
    QFETCH(quint32, count);
    QFETCH(quint32, points);
    QFETCH(quint32, slicesTotal);
    QFETCH(int, lastCount);

    RangeSliced range;
    load(range, 100, 200, count);
    QCOMPARE(range.points(), points);
    QCOMPARE(range.slicesTotal(), slicesTotal);
    QCOMPARE(range.step(), TFrequency(mhz(100).hz() / double(points - 1)));
    QSignalSpy reachedEnd(&range, &RangeSliced::signalReachedEnd);

    // A sweep hands out every point once, in slices of 25, and announces its
    // end with the last slice; then it starts over.
    for (quint32 call = 0; call < slicesTotal; ++call) {
        const bool last = call + 1 == slicesTotal;
        const QVector<quint64> slice = range.nextSlice();
        QCOMPARE(range.sliceStart(), call * RangeSliced::kSliceSize);
        QCOMPARE(slice.size(), last ? lastCount : 25);
        QCOMPARE(int(range.sliceCount()), slice.size());
        QCOMPARE(reachedEnd.count(), last ? 1 : 0);
    }
    QCOMPARE(range.nextIndex(), 0U);
    range.nextSlice();
    QCOMPARE(range.sliceStart(), 0U);
}

void TestRangeSliced::sliceFrequencies_data()
{
    QTest::addColumn<double>("startMHz");
    QTest::addColumn<double>("stopMHz");
    QTest::addColumn<quint32>("points");
    QTest::addColumn<int>("sliceIndex");
    QTest::addColumn<QVector<quint64>>("expected");

    QVector<quint64> second;
    for (quint64 hz = 125000000; hz <= 149000000; hz += 1000000)
        second << hz;
    QTest::newRow("101 points, second slice") << 100.0 << 200.0 << 101U << 1 << second;
    QTest::newRow("101 points, last slice") << 100.0 << 200.0 << 101U << 4 << QVector<quint64>{200000000};
    QTest::newRow("start = stop, 3 points") << 1000.0 << 1000.0 << 3U << 0
                                            << QVector<quint64>{1000000000, 1000000000, 1000000000};
    QTest::newRow("fractional step truncates") << 1.0 << 2.0 << 4U << 0
                                               << QVector<quint64>{1000000, 1333333, 1666666, 2000000};
}

void TestRangeSliced::sliceFrequencies()
{
    QFETCH(double, startMHz);
    QFETCH(double, stopMHz);
    QFETCH(quint32, points);
    QFETCH(int, sliceIndex);
    QFETCH(QVector<quint64>, expected);

    RangeSliced range;
    load(range, startMHz, stopMHz, points);
    QVector<quint64> slice;
    for (int i = 0; i <= sliceIndex; ++i)
        slice = range.nextSlice();
    QCOMPARE(slice, expected);
    if (startMHz == stopMHz)
        QCOMPARE(range.step(), TFrequency(RangeSliced::kMinStepHz));
}

void TestRangeSliced::moveEdge_data()
{
    QTest::addColumn<bool>("moveStop");
    QTest::addColumn<double>("limitMaxMHz");
    QTest::addColumn<double>("startMHz");
    QTest::addColumn<double>("stopMHz");
    QTest::addColumn<double>("newMHz");
    QTest::addColumn<double>("expectedStartMHz");
    QTest::addColumn<double>("expectedStopMHz");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("start above the limit") << false << 6200.0 << 0.0 << 0.0 << 7000.0 << 6200.0 << 6200.0;
    QTest::newRow("start NaN goes to the lower limit") << false << 6200.0 << 1000.0 << 2000.0 << nan << 1.0 << 2000.0;
    QTest::newRow("start past the stop keeps the span") << false << 6200.0 << 1000.0 << 2000.0 << 2500.0 << 2500.0 << 3500.0;
    QTest::newRow("start past the stop, span cut at the limit") << false << 3000.0 << 1000.0 << 2000.0 << 2500.0 << 2500.0 << 3000.0;
    QTest::newRow("span bounded by narrowed limits") << false << 3000.0 << 1000.0 << 6000.0 << 500.0 << 500.0 << 3499.0;
    QTest::newRow("stop above the limit") << true << 6200.0 << 1000.0 << 2000.0 << 7000.0 << 1000.0 << 6200.0;
    QTest::newRow("stop zero on an empty range") << true << 6200.0 << 0.0 << 0.0 << 0.0 << 0.0 << 1.0;
    QTest::newRow("stop below the start keeps the span") << true << 6200.0 << 2000.0 << 2500.0 << 1800.0 << 1300.0 << 1800.0;
    QTest::newRow("stop below the start, span cut at the limit") << true << 6200.0 << 1000.0 << 2000.0 << 500.0 << 1.0 << 500.0;
}

void TestRangeSliced::moveEdge()
{
    QFETCH(bool, moveStop);
    QFETCH(double, limitMaxMHz);
    QFETCH(double, startMHz);
    QFETCH(double, stopMHz);
    QFETCH(double, newMHz);
    QFETCH(double, expectedStartMHz);
    QFETCH(double, expectedStopMHz);

    RangeSliced range;
    if (startMHz > 0.0 || stopMHz > 0.0)
        load(range, startMHz, stopMHz, 11);
    range.setLimits(mhz(1), mhz(limitMaxMHz));
    QSignalSpy updated(&range, &RangeSliced::signalUpdated);
    if (moveStop)
        range.setStop(mhz(newMHz), true);
    else
        range.setStart(mhz(newMHz), false);

    QCOMPARE(range.start(), mhz(expectedStartMHz));
    QCOMPARE(range.stop(), mhz(expectedStopMHz));
    QCOMPARE(range.center(), mhz((expectedStartMHz + expectedStopMHz) / 2));
    QCOMPARE(range.span(), mhz(expectedStopMHz - expectedStartMHz));
    QCOMPARE(updated.count(), moveStop ? 1 : 0);
}

void TestRangeSliced::notifiedUpdateRestartsSweep_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("notify");

    QTest::newRow("setStart, notified") << 0 << true;
    QTest::newRow("setStop, silent") << 1 << false;
    QTest::newRow("setPoints, notified") << 2 << true;
}

void TestRangeSliced::notifiedUpdateRestartsSweep()
{
    QFETCH(int, action);
    QFETCH(bool, notify);

    RangeSliced range;
    load(range, 100, 200, 100);
    range.nextSlice();
    range.nextSlice();
    QSignalSpy updated(&range, &RangeSliced::signalUpdated);
    if (action == 0)
        range.setStart(mhz(110), notify);
    else if (action == 1)
        range.setStop(mhz(190), notify);
    else
        range.setPoints(90, notify);

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
    range.nextSlice();
    QCOMPARE(range.sliceStart(), 0U);
}

void TestRangeSliced::shrunkRangeNeverSlicesBeyondIt()
{
    // Cut to exactly where the sweep stood: the next slice starts over
    // instead of reading past the last point.
    RangeSliced range;
    load(range, 100, 200, 60);
    range.nextSlice();
    range.nextSlice();
    range.setPoints(50, false);

    const QVector<quint64> slice = range.nextSlice();
    QCOMPARE(range.sliceStart(), 0U);
    QCOMPARE(slice.size(), 25);
    QCOMPARE(slice.first(), quint64(100000000));
}

QTEST_GUILESS_MAIN(TestRangeSliced)
#include "tst_rangesliced.moc"
