#include "data/traces/limitmask.h"
#include "data/traces/measurementsummary.h"

#include <QtTest>

#include <cmath>

using namespace ZData::TR;

using Levels = QVector<double>;
Q_DECLARE_METATYPE(Levels)
Q_DECLARE_METATYPE(TLimitMask)

namespace {

constexpr double kHzPerMHz = 1e6;
constexpr double kNoBound = 1e9; // in a row: this bound is not set

// 880, 885, ... 920 MHz.
TTrace trace(const Levels &levels)
{
    QVector<double> frequencies;
    for (int i = 0; i < levels.size(); ++i)
        frequencies << (880.0 + 5.0 * i) * kHzPerMHz;
    return TTrace(frequencies, levels);
}

TLimitSegment segment(double startMHz, double stopMHz, double lower, double upper)
{
    TLimitSegment result{startMHz * kHzPerMHz, stopMHz * kHzPerMHz, {}, {}};
    if (lower != kNoBound)
        result.lowerDb = lower;
    if (upper != kNoBound)
        result.upperDb = upper;
    return result;
}

} // namespace

class TestLimitMask : public QObject
{
    Q_OBJECT

private slots:
    void judge_data();
    void judge();
    void summaryLine_data();
    void summaryLine();
};

void TestLimitMask::judge_data()
{
    QTest::addColumn<Levels>("levels");
    QTest::addColumn<TLimitMask>("mask");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QVector<int>>("failing");
    const Levels flat(9, -10.0);
    const double gap = std::nan("");
    Levels dip = flat;
    dip[1] = -15.0;
    Levels below = flat;
    below[1] = -15.01;
    Levels edge = Levels(9, -15.0);
    edge[4] = -10.0;

    QTest::newRow("no segment") << flat << TLimitMask{} << "NONE" << QVector<int>{};
    QTest::newRow("level on the bound passes") << dip << TLimitMask{segment(880, 915, -15, kNoBound)} << "PASS" << QVector<int>{};
    QTest::newRow("just below the bound fails") << below << TLimitMask{segment(880, 915, -15, kNoBound)} << "FAIL" << QVector<int>{1};
    QTest::newRow("both ends included") << flat << TLimitMask{segment(885, 900, kNoBound, -20)} << "FAIL" << QVector<int>{1, 2, 3, 4};
    // 900 MHz passes the first segment and fails the second.
    QTest::newRow("shared edge judged by both") << edge << TLimitMask{segment(880, 900, kNoBound, -5), segment(900, 920, kNoBound, -12)}
                                                << "FAIL" << QVector<int>{4};
    QTest::newRow("above and below, each once") << Levels{-10, -30, -10, -10, 0, -10, -10, -10, -10}
                                                << TLimitMask{segment(880, 920, -20, -5), segment(880, 920, -25, kNoBound)}
                                                << "FAIL" << QVector<int>{1, 4};
    QTest::newRow("gaps not judged") << Levels{-10, gap, -10, -10, -10, -10, -10, -10, -10}
                                     << TLimitMask{segment(880, 890, -12, kNoBound)} << "PASS" << QVector<int>{};
    QTest::newRow("mask beside the sweep judges nothing") << flat << TLimitMask{segment(1000, 1100, -12, kNoBound)} << "NONE" << QVector<int>{};
}

void TestLimitMask::judge()
{
    QFETCH(Levels, levels);
    QFETCH(TLimitMask, mask);
    QFETCH(QString, result);
    QFETCH(QVector<int>, failing);
    const TLimitVerdict verdict = LimitMask::judge(trace(levels), mask);
    QCOMPARE(LimitMask::resultText(verdict.result), result);
    QCOMPARE(verdict.failingIndices, failing);
}

void TestLimitMask::summaryLine_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<Levels>("levels");
    QTest::addColumn<QString>("line");
    QTest::newRow("judged over the mask") << 0 << Levels{-13.02, -9.55, std::nan(""), -11.0}
                                          << "S21 points=3 min=-13.02 max=-9.55 flatness=3.47 limits=FAIL";
    QTest::newRow("nothing measured") << 1 << Levels{std::nan("")} << "S12 points=0 min=none max=none flatness=none limits=NONE";
}

void TestLimitMask::summaryLine()
{
    QFETCH(int, channel);
    QFETCH(Levels, levels);
    QFETCH(QString, line);
    const TTrace measured = trace(levels);
    const TLimitVerdict verdict = LimitMask::judge(measured, {segment(880, 920, -13, kNoBound)});
    QCOMPARE(MeasurementSummary::line(channel, measured, verdict), line);
}

QTEST_GUILESS_MAIN(TestLimitMask)
#include "tst_limitmask.moc"
