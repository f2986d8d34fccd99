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
    void sliceFrequencies();
    void moveEdge_data();
    void moveEdge();
    void updateRestartsSweep_data();
    void updateRestartsSweep();
    void shrunkRangeNeverSlicesBeyondIt();
};

void TestRangeSliced::slicing_data()
{
    QTest::addColumn<quint32>("count");
    QTest::addColumn<quint32>("points");
    QTest::addColumn<quint32>("slicesTotal");
    QTest::addColumn<int>("lastCount");
    QTest::newRow("0 is raised") << 0U << 2U << 1U << 2;
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
    QSignalSpy reachedEnd(&range, &RangeSliced::signalReachedEnd);
    // A sweep hands out every point once, in slices of 25, and announces its
    // end with the last slice; then it starts over.
    for (quint32 call = 0; call < slicesTotal; ++call) {
        const bool last = call + 1 == slicesTotal;
        const QVector<quint64> slice = range.nextSlice();
        QCOMPARE(slice.size(), last ? lastCount : 25);
        QCOMPARE(range.sliceStart(), call * RangeSliced::kSliceSize);
        QCOMPARE(reachedEnd.count(), last ? 1 : 0);
    }
    range.nextSlice();
    QCOMPARE(range.sliceStart(), 0U);
}

void TestRangeSliced::sliceFrequencies()
{
    // A fractional step truncates to whole hertz.
    RangeSliced fractional;
    load(fractional, 1, 2, 4);
    QCOMPARE(fractional.nextSlice(), (QVector<quint64>{1000000, 1333333, 1666666, 2000000}));
    // Start = stop: every point on the one frequency.
    RangeSliced single;
    load(single, 1000, 1000, 3);
    QCOMPARE(single.nextSlice(), (QVector<quint64>{1000000000, 1000000000, 1000000000}));
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
    QTest::newRow("setStart, notified") << 0 << true;
    QTest::newRow("setStop, silent") << 1 << false;
    QTest::newRow("full reset") << 3 << true;
}

void TestRangeSliced::updateRestartsSweep()
{
    QFETCH(int, action);
    QFETCH(bool, notified);
    RangeSliced range;
    load(range, 100, 200, 100);
    range.nextSlice();
    range.nextSlice();
    QSignalSpy updated(&range, &RangeSliced::signalUpdated);
    if (action == 0)
        range.setStart(mhz(110), true);
    else if (action == 1)
        range.setStop(mhz(190), false);
    else
        range.reset(action == 3);
    QCOMPARE(updated.count(), notified ? 1 : 0);
    // The slice start is kept until the next slice is asked for.
    QCOMPARE(range.sliceStart(), action == 3 ? 0U : 25U);
    range.nextSlice();
    QCOMPARE(range.sliceStart(), notified ? 0U : 50U);
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
    QCOMPARE(slice.first(), quint64(100000000));
}

QTEST_GUILESS_MAIN(TestRangeSliced)
#include "tst_rangesliced.moc"
