// How long a chart view takes per slice of a 1024-point sweep: the scan
// manager stores a 25-point reply, the view brings its trace and, where the
// slice touched them, its marks up to date. Optionally paints the view to a PNG (first argument) after a
// full sweep of the simulated repeater, to look at what an engineer sees.
//
//   chartbench [out.png] [sweeps]

#include "chart/zchartview.h"
#include "data/scan/datascanmanager.h"

#include "chartfixture.h"
#include "benchcommon.h"
#include "repeatermodel.h"
#include "sweepfeeder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>
#include <QTextStream>

#include <algorithm>

namespace {

constexpr quint32 kPoints = Bench::kPresetPoints;
constexpr int kDefaultSweeps = 20;
constexpr int kViewWidth = 960;
constexpr int kViewHeight = 600;
constexpr quint64 kNoiseSeed = 7;

void report(QTextStream &out, const QString &what, const Bench::Spread &timing)
{
    out << what << QStringLiteral(": mean %1 us, median %2 us, worst %3 us\n")
                       .arg(timing.meanUs, 0, 'f', 1)
                       .arg(timing.medianUs, 0, 'f', 1)
                       .arg(timing.worstUs, 0, 'f', 1);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString pngPath = args.value(1);
    const int sweeps = qMax(1, args.value(2, QString::number(kDefaultSweeps)).toInt());
    QTextStream out(stdout);

    TestSupport::ChartFixture fixture;
    if (!fixture.load({ Bench::largestPreset() })) {
        out << "cannot set up the profiles\n";
        return 1;
    }
    TestSupport::SweepFeeder::start();

    ZChart::ZChartView s21;
    s21.resize(kViewWidth, kViewHeight);
    s21.setCorner(ZCommon::UL);
    ZChart::ZChartView s12;
    s12.resize(kViewWidth, kViewHeight);
    s12.setCorner(ZCommon::UR);
    s21.show();
    s12.show();
    QCoreApplication::processEvents();

    MeroSim::RepeaterModel model(kNoiseSeed);
    TestSupport::SweepFeeder feeder([&model](int channel, quint64 hz) {
        return model.measure(channel == 0 ? MeroSim::RepeaterModel::Channel::S21
                                          : MeroSim::RepeaterModel::Channel::S12,
                             hz, MeroSim::RepeaterModel::Power::Low);
    });
    // The first sweep fills the lists; from then on every slice replaces
    // points of a full trace, which is the state the program spends its
    // life in.
    feeder.sweepBothChannels();

    QVector<qint64> sliceNs;
    QVector<qint64> paintNs;
    QElapsedTimer timer;
    ZData::DataScanManager &scan = ZData::DataScanManager::instance();
    const int slicesPerSweep = int(scan.channelRange(0).slicesTotal() + scan.channelRange(1).slicesTotal());
    for (int sweep = 0; sweep < sweeps; ++sweep) {
        for (int slice = 0; slice < slicesPerSweep; ++slice) {
            timer.start();
            feeder.answerSlice();
            sliceNs.append(timer.nsecsElapsed());
            // What the event loop does next: paint the views that changed.
            timer.start();
            s21.viewport()->repaint();
            s12.viewport()->repaint();
            paintNs.append(timer.nsecsElapsed());
        }
    }

    out << QStringLiteral("%1 sweeps of 2 x %2 points, %3 slices\n").arg(sweeps).arg(kPoints).arg(sliceNs.size());
    report(out, QStringLiteral("store slice + update trace and marks"), Bench::spreadOf(sliceNs));
    report(out, QStringLiteral("paint both views"), Bench::spreadOf(paintNs));

    if (!pngPath.isEmpty()) {
        QPixmap both(kViewWidth, kViewHeight * 2);
        QPainter painter(&both);
        painter.drawPixmap(0, 0, s21.grab());
        painter.drawPixmap(0, kViewHeight, s12.grab());
        painter.end();
        out << (both.save(pngPath) ? QStringLiteral("wrote %1\n").arg(pngPath)
                                   : QStringLiteral("cannot write %1\n").arg(pngPath));
    }
    return 0;
}
