#include "data/scan/rangesliced.h"

#include <QSignalSpy>
#include <QtTest>

#include <limits>

using ZCore::TFrequency;
using ZData::DS::RangeSliced;

namespace {

TFrequency mhz(double value) { return TFrequency(value, TFrequency::kMultiplierMHz); }

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
    void moveEdge_data();
    void moveEdge();
    void updateRestartsSweep_data();
    void updateRestartsSweep();
};

void TestRangeSliced::slicing_data()
{
    QTest::addColumn<double>("startMHz");
    QTest::addColumn<double>("stopMHz");
    QTest::addColumn<quint32>("count");
    QTest::addColumn<quint32>("points");
    QTest::addColumn<quint32>("slicesTotal");
    QTest::addColumn<int>("lastCount");
    QTest::addColumn<QVector<quint64>>("firstHz"); // the first slice begins so
    QTest::newRow("0 is raised") << 100.0 << 200.0 << 0U << 2U << 1U << 2 << QVector<quint64>{100000000, 200000000};
    QTest::newRow("largest count is cut") << 100.0 << 200.0 << std::numeric_limits<quint32>::max() << 1024U << 41U << 24 << QVector<quint64>{};
    QTest::newRow("fractional step truncates") << 1.0 << 2.0 << 4U << 4U << 1U << 4 << QVector<quint64>{1000000, 1333333, 1666666, 2000000};
    QTest::newRow("start = stop") << 1000.0 << 1000.0 << 3U << 3U << 1U << 3 << QVector<quint64>{1000000000, 1000000000, 1000000000};
}

void TestRangeSliced::slicing()
{
    QFETCH(double, startMHz);
    QFETCH(double, stopMHz);
    QFETCH(quint32, count);
    QFETCH(quint32, points);
    QFETCH(quint32, slicesTotal);
    QFETCH(int, lastCount);
    QFETCH(QVector<quint64>, firstHz);
    RangeSliced range;
    load(range, startMHz, stopMHz, count);
    QCOMPARE(range.points(), points);
    QSignalSpy reachedEnd(&range, &RangeSliced::signalReachedEnd);
    // A sweep hands out every point once, in slices of 25, and announces its
    // end with the last slice; then it starts over.
    for (quint32 call = 0; call < slicesTotal; ++call) {
        const bool last = call + 1 == slicesTotal;
        const QVector<quint64> slice = range.nextSlice();
        QCOMPARE(slice.size(), last ? lastCount : 25);
        QVERIFY(call > 0 || slice.mid(0, firstHz.size()) == firstHz);
        QCOMPARE(range.sliceStart(), call * RangeSliced::kSliceSize);
        QCOMPARE(reachedEnd.count(), last ? 1 : 0);
    }
    range.nextSlice();
    QCOMPARE(range.sliceStart(), 0U);
}

void TestRangeSliced::moveEdge_data()
{
    QTest::addColumn<bool>("moveStop");
    // The device's limits, start, stop, the new edge, then the start and stop after, in MHz.
    QTest::addColumn<QVector<double>>("mhzs");
    QTest::newRow("start NaN goes to the lower limit") << false << QVector<double>{700, 6200, 1000, 2000, std::numeric_limits<double>::quiet_NaN(), 700, 2000};
    QTest::newRow("start past the stop, span cut at the limit") << false << QVector<double>{1, 3000, 1000, 2000, 2500, 2500, 3000};
    QTest::newRow("stop below the start, span cut at the limit") << true << QVector<double>{1, 6200, 1000, 2000, 500, 1, 500};
}

void TestRangeSliced::moveEdge()
{
    QFETCH(bool, moveStop);
    QFETCH(QVector<double>, mhzs);
    RangeSliced range;
    load(range, mhzs.at(2), mhzs.at(3), 11);
    range.setLimits(mhz(mhzs.at(0)), mhz(mhzs.at(1)));
    if (moveStop)
        range.setStop(mhz(mhzs.at(4)), true);
    else
        range.setStart(mhz(mhzs.at(4)), false);
    QCOMPARE(range.start(), mhz(mhzs.at(5)));
    QCOMPARE(range.stop(), mhz(mhzs.at(6)));
}

void TestRangeSliced::updateRestartsSweep_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("notified");
    QTest::addColumn<quint32>("nextStart");
    QTest::newRow("setStart, notified") << 0 << true << 0U;
    QTest::newRow("setStop, silent") << 1 << false << 50U;
    // Cut to exactly where the sweep stood: it starts over instead of
    // reading past the last point.
    QTest::newRow("points cut to where the sweep stood") << 2 << false << 0U;
    QTest::newRow("full reset") << 3 << true << 0U;
}

void TestRangeSliced::updateRestartsSweep()
{
    QFETCH(int, action);
    QFETCH(bool, notified);
    QFETCH(quint32, nextStart);
    RangeSliced range;
    load(range, 100, 200, 100);
    range.nextSlice();
    range.nextSlice();
    QSignalSpy updated(&range, &RangeSliced::signalUpdated);
    if (action == 0)
        range.setStart(mhz(110), true);
    else if (action == 1)
        range.setStop(mhz(190), false);
    else if (action == 2)
        range.setPoints(50, false);
    else
        range.reset(true);
    QCOMPARE(updated.count(), notified ? 1 : 0);
    // The slice start is kept until the next slice is asked for.
    QCOMPARE(range.sliceStart(), action == 3 ? 0U : 25U);
    const QVector<quint64> slice = range.nextSlice();
    QCOMPARE(range.sliceStart(), nextStart);
    QVERIFY(nextStart > 0 || slice.first() == quint64(range.start().hz()));
}

QTEST_GUILESS_MAIN(TestRangeSliced)
#include "tst_rangesliced.moc"
