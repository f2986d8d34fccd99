#include "data/traces/limitmask.h"
#include "data/traces/measurementsummary.h"
#include "data/traces/tracehold.h"
#include "data/traces/tracereadouts.h"
#include "data/traces/tracescale.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace ZData::TR;
using ZData::TScanPoint;

using Levels = QVector<double>;
Q_DECLARE_METATYPE(Levels)
Q_DECLARE_METATYPE(TTrace)
Q_DECLARE_METATYPE(QVector<TTrace>)
Q_DECLARE_METATYPE(TLimitMask)

namespace {

constexpr double kHzPerMHz = 1e6;
const double kGap = std::numeric_limits<double>::quiet_NaN();
// Edges are interpolated; frequencies compared to the Hz.
constexpr double kHzTolerance = 1.0;

// Points every stepMHz from startMHz; NaN levels are gaps.
TTrace trace(const Levels &levels, double startMHz = 100.0, double stepMHz = 1.0)
{
    QVector<double> frequencies;
    for (int i = 0; i < levels.size(); ++i)
        frequencies << (startMHz + stepMHz * i) * kHzPerMHz;
    return TTrace(frequencies, levels);
}

// NaN expected means "nothing": an invalid reading, a missing edge.
void compareHz(double actualHz, bool present, double expectedMHz)
{
    QCOMPARE(present, !std::isnan(expectedMHz));
    if (present)
        QVERIFY2(std::fabs(actualHz - expectedMHz * kHzPerMHz) < kHzTolerance,
                 qPrintable(QStringLiteral("%1 Hz, expected %2 MHz").arg(actualHz, 0, 'f', 1).arg(expectedMHz)));
}

void compareDb(double actual, double expected)
{
    QVERIFY2(std::fabs(actual - expected) < 1e-6, qPrintable(QStringLiteral("%1 dB, expected %2 dB").arg(actual).arg(expected)));
}

// A band-pass response peaking at 105 MHz.
const Levels kPassband{-20, -15, -10, -6, -4, -3, -4, -7, -12, -18, -25};

// 880, 885, ... 920 MHz.
TTrace bandTrace(const Levels &levels) { return trace(levels, 880.0, 5.0); }

} // namespace

class TestTraceReadouts : public QObject
{
    Q_OBJECT

private slots:
    void fromScanPoints();
    void readouts_data();
    void readouts();
    void valueAt_data();
    void valueAt();
    void difference();
    void hold_data();
    void hold();
    void autoscale_data();
    void autoscale();
    void judge_data();
    void judge();
    void summaryLine();
};

// The offsets themselves are the chart's (the plotted series checks them);
// here: not measured, never asked for, and an infinite sample are gaps, and
// a zero magnitude reads 0 dB, as the chart draws it.
void TestTraceReadouts::fromScanPoints()
{
    const QVector<TScanPoint> points{{100000000, 0.1f, 0.0f},
                                     {101000000, TScanPoint::kEmptyReal, 0.0f},
                                     {0, 1.0f, 0.0f},
                                     {103000000, 0.0f, 0.0f},
                                     {104000000, -std::numeric_limits<float>::infinity(), 0.0f}};
    const TTrace converted = TTrace::fromScanPoints(points, TDisplayOffset{1.5, 2.0});
    QCOMPARE(converted.size(), points.size());
    QCOMPARE(converted.frequencyHz(0), 1e8);
    QVERIFY(std::fabs(converted.levelDb(0) - (-20.0 + 3.5)) < 1e-5);
    QVERIFY(!converted.isMeasured(1) && !converted.isMeasured(2) && !converted.isMeasured(4));
    QCOMPARE(converted.levelDb(3), 3.5);
}

void TestTraceReadouts::readouts_data()
{
    QTest::addColumn<Levels>("levels"); // 100, 101, ... MHz
    QTest::addColumn<double>("fromMHz");
    QTest::addColumn<double>("toMHz");
    QTest::addColumn<double>("drop");
    QTest::addColumn<double>("peakMHz");
    QTest::addColumn<double>("minMHz");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("lowerMHz");
    QTest::addColumn<double>("upperMHz");
    const double whole = std::numeric_limits<double>::infinity();
    const double nan = kGap;

    QTest::newRow("pass band, whole trace") << kPassband << -whole << whole << 3.0 << 105.0 << 110.0 << -124.0 / 11 << 103.0 << 106.0 + 2.0 / 3;
    QTest::newRow("drop of 6 dB") << kPassband << -whole << whole << 6.0 << 105.0 << 110.0 << -124.0 / 11 << 102.25 << 107.4;
    QTest::newRow("peak at the low end") << Levels{0, -1, -2, -4, -8} << -whole << whole << 3.0 << 100.0 << 104.0 << -3.0 << nan << 102.5;
    QTest::newRow("span given high to low") << kPassband << 106.0 << 103.0 << 3.0 << 105.0 << 103.0 << -4.25 << 103.0 << nan;
    QTest::newRow("flat band") << Levels{-5, -5, -5, -5} << -whole << whole << 3.0 << 100.0 << 100.0 << -5.0 << nan << nan;
    QTest::newRow("gaps skipped") << Levels{-20, -15, -10, -6, -4, nan, -4, nan, -12, -18, -25} << -whole << whole << 3.0
                                  << 104.0 << 110.0 << -114.0 / 9 << 102.75 << 106.75;
    QTest::newRow("noise: nearest crossing") << Levels{-30, -29.5, -30.2, -10, -9.6, -9.9, -9.5, -10.1, -30, -29.8, -30.1}
                                             << -whole << whole << 3.0 << 106.0 << 102.0 << -228.7 / 11
                                             << 103.0 - 2.5 / 20.2 << 107.0 + 2.4 / 19.9;
    QTest::newRow("band narrower than a step") << kPassband << 104.4 << 104.45 << 3.0 << 104.0 << 104.0 << -4.0 << nan << nan;
    QTest::newRow("no measured point") << Levels{nan, nan} << -whole << whole << 3.0 << nan << nan << 0.0 << nan << nan;
    QTest::newRow("drop not positive") << kPassband << -whole << whole << 0.0 << 105.0 << 110.0 << -124.0 / 11 << nan << nan;
}

void TestTraceReadouts::readouts()
{
    QFETCH(Levels, levels);
    QFETCH(double, fromMHz);
    QFETCH(double, toMHz);
    QFETCH(double, drop);
    QFETCH(double, peakMHz);
    QFETCH(double, minMHz);
    QFETCH(double, mean);
    QFETCH(double, lowerMHz);
    QFETCH(double, upperMHz);
    const TTrace measured = trace(levels);
    const double from = fromMHz * kHzPerMHz;
    const double to = toMHz * kHzPerMHz;

    const TPointReading peak = TraceReadouts::peak(measured, from, to);
    const TPointReading minimum = TraceReadouts::minimum(measured, from, to);
    compareHz(peak.frequencyHz, peak.isValid(), peakMHz);
    compareHz(minimum.frequencyHz, minimum.isValid(), minMHz);
    const TBandReadout band = TraceReadouts::band(measured, from, to);
    QCOMPARE(band.isValid(), peak.isValid());
    if (band.isValid()) {
        QCOMPARE(peak.levelDb, levels.at(peak.index));
        QCOMPARE(band.maximum.index, peak.index);
        QCOMPARE(band.minimum.index, minimum.index);
        compareDb(band.flatnessDb, peak.levelDb - minimum.levelDb);
        compareDb(band.meanDb, mean);
    }
    const TBandwidthReadout bandwidth = TraceReadouts::bandwidth(measured, drop, from, to);
    QCOMPARE(bandwidth.peak.index, peak.index);
    compareHz(bandwidth.lowerHz.value_or(0.0), bandwidth.lowerHz.has_value(), lowerMHz);
    compareHz(bandwidth.upperHz.value_or(0.0), bandwidth.upperHz.has_value(), upperMHz);
}

void TestTraceReadouts::valueAt_data()
{
    QTest::addColumn<double>("atMHz");
    QTest::addColumn<int>("index"); // of the pass band with a gap at 105 MHz
    QTest::newRow("nearer the upper point") << 103.6 << 4;
    QTest::newRow("half way: the lower") << 103.5 << 3;
    QTest::newRow("below the range") << 50.0 << 0;
    QTest::newRow("above the range") << 500.0 << 10;
    QTest::newRow("on a gap: a neighbour") << 105.0 << 4;
}

void TestTraceReadouts::valueAt()
{
    QFETCH(double, atMHz);
    QFETCH(int, index);
    Levels levels = kPassband;
    levels[5] = kGap;
    const TPointReading reading = TraceReadouts::valueAt(trace(levels), atMHz * kHzPerMHz);
    QCOMPARE(reading.index, index);
    QCOMPARE(reading.levelDb, levels.at(index));
}

void TestTraceReadouts::difference()
{
    // The reference is on a coarser grid from 101 MHz: the live point at 100
    // MHz lies outside it, the gap at 103 MHz stays a gap.
    const TTrace live = trace({-10, -11, -12, kGap, -14, -15});
    const TTrace reference = trace({-20, kGap, -22, kGap, -30}, 101.0);
    const TTrace delta = TraceReadouts::difference(live, reference);
    QCOMPARE(delta.frequencies(), live.frequencies());
    QVERIFY(!delta.isMeasured(0) && !delta.isMeasured(3));
    // 102 MHz: half way between -20 (101) and -22 (103) is -21; live -11 + 21.
    QCOMPARE(delta.levelDb(1), -11.0 - -20.0);
    QCOMPARE(delta.levelDb(2), -12.0 - -21.0);
    QCOMPARE(delta.levelDb(4), -14.0 - -26.0);
    QCOMPARE(delta.levelDb(5), -15.0 - -30.0);
}

void TestTraceReadouts::hold_data()
{
    QTest::addColumn<bool>("max");
    QTest::addColumn<QVector<TTrace>>("sweeps");
    QTest::addColumn<TTrace>("held");
    const double nan = kGap;
    const QVector<TTrace> slices{trace({-10, nan, nan}), trace({-15, -5, nan}), trace({nan, nan, nan}), trace({-12, -12, -40})};
    QTest::newRow("min, slice by slice, gaps leave the hold") << false << slices << trace({-15, -12, -40});
    QTest::newRow("max, slice by slice, gaps leave the hold") << true << slices << trace({-10, -5, -40});
    QTest::newRow("point count changes: start over") << true << QVector<TTrace>{trace({-1, -1, -1}), trace({-10, -20})} << trace({-10, -20});
    QTest::newRow("range moves: start over") << true << QVector<TTrace>{trace({-1, -1, -1}), trace({-30, -20, -30}, 200.0)} << trace({-30, -20, -30}, 200.0);
}

void TestTraceReadouts::hold()
{
    QFETCH(bool, max);
    QFETCH(QVector<TTrace>, sweeps);
    QFETCH(TTrace, held);
    TraceHold hold(max ? TraceHold::EMode::MAX : TraceHold::EMode::MIN);
    for (const TTrace &sweep : sweeps)
        hold.update(sweep);
    QCOMPARE(hold.trace(), held);
    hold.reset();
    QVERIFY(hold.trace().isEmpty());
}

void TestTraceReadouts::autoscale_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<int>("divisions");
    QTest::addColumn<double>("margin");
    QTest::addColumn<double>("reference"); // NaN: no scale
    QTest::addColumn<double>("perDivision");
    QTest::addColumn<int>("usedDivisions");
    QTest::newRow("gain with ripple") << -13.02 << -9.55 << 10 << 0.1 << -9.0 << 0.5 << 10;
    QTest::newRow("flat trace: tenths") << -5.0 << -5.0 << 10 << 0.1 << -4.4 << 0.2 << 10;
    QTest::newRow("low and high swapped, too few divisions") << 10.0 << -100.0 << 0 << 0.0 << 100.0 << 100.0 << 2;
    QTest::newRow("not a number") << std::nan("") << 10.0 << 10 << 0.1 << std::nan("") << 0.0 << 0;
    QTest::newRow("span overflows") << -1e308 << 1e308 << 10 << 0.1 << std::nan("") << 0.0 << 0;
}

void TestTraceReadouts::autoscale()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(int, divisions);
    QFETCH(double, margin);
    QFETCH(double, reference);
    QFETCH(double, perDivision);
    QFETCH(int, usedDivisions);
    const std::optional<TLevelScale> scale = TraceScale::autoscale(low, high, divisions, margin);
    QCOMPARE(scale.has_value(), !std::isnan(reference));
    if (!scale)
        return;
    compareDb(scale->referenceDb, reference);
    compareDb(scale->dbPerDivision, perDivision);
    QCOMPARE(scale->divisions, usedDivisions);
    QVERIFY(scale->bottomDb() <= std::min(low, high) && scale->referenceDb >= std::max(low, high));
}

void TestTraceReadouts::judge_data()
{
    QTest::addColumn<Levels>("levels");
    QTest::addColumn<TLimitMask>("mask");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QVector<int>>("failing");
    const Levels flat(9, -10.0);
    const double gap = std::nan("");
    QTest::newRow("no segment") << flat << TLimitMask{} << "NONE" << QVector<int>{};
    QTest::newRow("on the bound passes, just below fails") << Levels{-10, -15, -15.01, -10, -10, -10, -10, -10, -10}
                                                           << TLimitMask{{880e6, 915e6, -15.0, {}}} << "FAIL" << QVector<int>{2};
    QTest::newRow("both ends included") << flat << TLimitMask{{885e6, 900e6, {}, -20.0}} << "FAIL" << QVector<int>{1, 2, 3, 4};
    // 900 MHz passes the first segment and fails the second.
    QTest::newRow("shared edge judged by both") << Levels{-15, -15, -15, -15, -10, -15, -15, -15, -15} << TLimitMask{{880e6, 900e6, {}, -5.0}, {900e6, 920e6, {}, -12.0}}
                                                << "FAIL" << QVector<int>{4};
    QTest::newRow("above and below, each once") << Levels{-10, -30, -10, -10, 0, -10, -10, -10, -10}
                                                << TLimitMask{{880e6, 920e6, -20.0, -5.0}, {880e6, 920e6, -25.0, {}}}
                                                << "FAIL" << QVector<int>{1, 4};
    QTest::newRow("gaps not judged") << Levels{-10, gap, -10, -10, -10, -10, -10, -10, -10}
                                     << TLimitMask{{880e6, 890e6, -12.0, {}}} << "PASS" << QVector<int>{};
    QTest::newRow("mask beside the sweep judges nothing") << flat << TLimitMask{{1000e6, 1100e6, -12.0, {}}} << "NONE" << QVector<int>{};
}

void TestTraceReadouts::judge()
{
    QFETCH(Levels, levels);
    QFETCH(TLimitMask, mask);
    QFETCH(QString, result);
    QFETCH(QVector<int>, failing);
    const TLimitVerdict verdict = LimitMask::judge(bandTrace(levels), mask);
    QCOMPARE(LimitMask::resultText(verdict.result), result);
    QCOMPARE(verdict.failingIndices, failing);
}

// Gaps are not counted; with nothing measured the readouts say so.
void TestTraceReadouts::summaryLine()
{
    const TLimitMask mask{{880e6, 920e6, -13.0, {}}};
    const TTrace gapped = bandTrace({-13.02, -9.55, kGap, -11.0});
    QCOMPARE(MeasurementSummary::line(0, gapped, LimitMask::judge(gapped, mask)),
             QStringLiteral("S21 points=3 min=-13.02 max=-9.55 flatness=3.47 limits=FAIL"));
    const TTrace empty = bandTrace({kGap});
    QCOMPARE(MeasurementSummary::line(1, empty, LimitMask::judge(empty, mask)),
             QStringLiteral("S12 points=0 min=none max=none flatness=none limits=NONE"));
}

QTEST_GUILESS_MAIN(TestTraceReadouts)
#include "tst_tracereadouts.moc"
