// The host's performance against the device simulator in instant mode, every
// figure measured in one run so that their ratios hold on a busy machine:
//
//   1. round trips per second with the device link alone (no charts);
//   2. the same with the main window and both chart views on screen, and the
//      process CPU time each received slice costs (median, 95th percentile);
//   3. the floor of that cost: replacing a 1024-point line series in a bare
//      chart view of the same size and letting the view repaint;
//   4. launch of the real program with --simulate: time to the main window
//      and to the first complete sweep (median of a few launches);
//   5. peak resident memory of the real program after sweeping a
//      1024-point preset for --soak seconds, and how much it grew;
//   6. slice to screen: from a reply stored to the first paint of its view
//      whose region covers the slice's points, at full rate and with the
//      simulator at the device's own pace;
//   7. the process CPU of the real program sweeping at the device's pace.
//
//   merobench [--seconds N] [--soak N] [--launches N]
//
// Run with QT_QPA_PLATFORM=offscreen; scripts/bench.sh builds and runs it.

#include "chart/zchartview.h"
#include "core/entrypoint.h"
#include "core/settingsmanager.h"
#include "core/simulatorlauncher.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "ui/mainwindow.h"

#include "benchcommon.h"
#include "recordingdialogs.h"
#include "repeatermodel.h"
#include "tempappdir.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QPaintEvent>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineSeries>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <time.h>
#include <unistd.h>

namespace {

constexpr quint32 kPoints = Bench::kPresetPoints;
constexpr int kDefaultPhaseSeconds = 10;
constexpr int kDefaultSoakSeconds = 40;
constexpr int kDefaultLaunches = 3;
constexpr int kLaunchGuardMs = 30000;
constexpr int kLinkWaitMs = 10000;
constexpr int kSampleIntervalMs = 500;
constexpr int kHeartbeatMs = 20;
constexpr quint64 kNoiseSeed = 7;
constexpr double kMsPerNs = 1e-6;
constexpr double kKbPerMb = 1024.0;
constexpr int kRealisticSeconds = 30;
// Start-up and the first slices are not what the program spends its life in.
constexpr int kRealisticWarmUpMs = 5000;
constexpr double kPercent = 100.0;

const char *const kShownLine = ">> main window shown";
const char *const kSweptLine = ">> first sweep drawn";

// Goals the program is held to.
constexpr double kGoalSlicesPerSecond = 3000;
constexpr double kGoalCpuRatio = 0.15;
constexpr double kGoalPeakRssMb = 60;
constexpr double kGoalShownMs = 1000;
constexpr double kGoalSweptMs = 1500;
constexpr double kGoalRealisticCpuPercent = 2;
constexpr double kGoalScreenFullMs = 20;
constexpr double kGoalScreenRealisticMs = 5;

qint64 processCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Makes the 1024-point preset the only one, and the selected one, of the
// profiles in settings/user (the program's "profiles" directory layout).
void writeBenchProfile(QSettings &user, QSettings &current)
{
    user.remove(QStringLiteral("Range_Presets"));
    ZData::PresetSettings::writeScanPresets(user, { Bench::largestPreset() });
    user.sync();
    current.setValue(QStringLiteral("Default/selected_scan_preset"), 0);
    current.sync();
}

// Runs the event loop as the program's own would, asleep while nothing
// happens, so that no busy wait counts as CPU time of a slice.
bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QTimer heartbeat;
    heartbeat.start(kHeartbeatMs);
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Counts received slices and the process CPU time between one and the next.
class SliceMeter : public QObject
{
public:
    SliceMeter()
    {
        connect(&ZData::DataScanManager::instance(), &ZData::DataScanManager::signalProcessedScanData, this,
                [this] {
                    const qint64 now = processCpuNs();
                    if (m_recording && m_lastCpu >= 0)
                        m_cpuNs.append(now - m_lastCpu);
                    m_lastCpu = now;
                    ++m_slices;
                });
    }

    struct Result
    {
        double slicesPerSecond = 0;
        Bench::Spread cpu;
    };

    // Sweeps for seconds after one full sweep of warm-up. Never inlined, so
    // that a profiler can collect this phase alone.
    Q_NEVER_INLINE Result run(int seconds)
    {
        ZData::DataScanManager &scan = ZData::DataScanManager::instance();
        int sweeps = 0;
        const QMetaObject::Connection link = connect(&scan, &ZData::DataScanManager::signalActiveScanPresetReachedEnd,
                                                     this, [&sweeps] { ++sweeps; });
        waitFor([&sweeps] { return sweeps > 0; }, kLinkWaitMs);
        disconnect(link);
        m_cpuNs.clear();
        m_lastCpu = -1;
        m_recording = true;
        const qint64 firstSlice = m_slices;
        QElapsedTimer wall;
        wall.start();
        waitFor([&wall, seconds] { return wall.elapsed() >= seconds * 1000; }, seconds * 1000 + kLinkWaitMs);
        m_recording = false;
        Result result;
        result.slicesPerSecond = double(m_slices - firstSlice) * 1000.0 / double(qMax<qint64>(1, wall.elapsed()));
        result.cpu = Bench::spreadOf(m_cpuNs);
        return result;
    }

private:
    QVector<qint64> m_cpuNs;
    qint64 m_lastCpu = -1;
    qint64 m_slices = 0;
    bool m_recording = false;
};

// The least a chart view can do per slice: new points into its one series,
// then the repaint the event loop brings.
class PaintCounter : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

// Times from a slice stored to the first paint of its view's viewport that
// covers the slice's points; asks the chart only for its plot area and axis,
// so that it measures any way of drawing the trace.
class ScreenMeter : public QObject
{
public:
    explicit ScreenMeter(const QVector<const ZChart::ZChartView *> &views) : m_views(views)
    {
        for (const ZChart::ZChartView *view : views)
            view->viewport()->installEventFilter(this);
        connect(&ZData::DataScanManager::instance(), &ZData::DataScanManager::signalProcessedScanData, this,
                [this](ZData::EScanChannel channel) { stored(int(channel)); });
    }

    void setRecording(bool recording)
    {
        m_recording = recording;
        m_pending.clear();
        if (recording)
            m_ns.clear();
    }
    Bench::Spread spread() const { return Bench::spreadOf(m_ns); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint || m_pending.isEmpty())
            return false;
        const QRegion region = static_cast<QPaintEvent *>(event)->region();
        const qint64 now = m_clock.nsecsElapsed();
        for (int i = m_pending.size() - 1; i >= 0; --i) {
            if (m_pending[i].viewport == watched && region.intersects(m_pending[i].span)) {
                m_ns.append(now - m_pending[i].storedNs);
                m_pending.removeAt(i);
            }
        }
        return false;
    }

private:
    struct Pending
    {
        const QObject *viewport;
        QRect span;
        qint64 storedNs;
    };

    void stored(int channel)
    {
        if (!m_recording)
            return;
        if (!m_clock.isValid())
            m_clock.start();
        const ZData::DataScanManager &scan = ZData::DataScanManager::instance();
        ZData::DS::RangeSliced &range = ZData::DataScanManager::instance().channelRange(channel);
        for (const ZChart::ZChartView *view : m_views) {
            if (view->channel() != channel || range.sliceCount() == 0)
                continue;
            const QRectF plot = view->chart()->plotArea();
            const auto *axis = view->axisX();
            const auto toX = [&](quint32 index) {
                const double mhz = double(scan.pointAt(channel, index).frequency) / 1e6;
                return plot.left() + (mhz - axis->min()) / (axis->max() - axis->min()) * plot.width();
            };
            const qreal left = toX(range.sliceStart());
            const qreal right = toX(range.sliceStart() + range.sliceCount() - 1);
            const QRect span = view->mapFromScene(QRectF(left, plot.top(), qMax<qreal>(1, right - left), plot.height()))
                                   .boundingRect();
            m_pending.append({ view->viewport(), span, m_clock.nsecsElapsed() });
        }
    }

    QVector<const ZChart::ZChartView *> m_views;
    QVector<Pending> m_pending;
    QVector<qint64> m_ns;
    QElapsedTimer m_clock;
    bool m_recording = false;
};

Q_NEVER_INLINE Bench::Spread chartFloor(const QSize &size, int seconds)
{
    QtCharts::QChartView view;
    auto *chart = new QtCharts::QChart();
    chart->setTheme(QtCharts::QChart::ChartThemeDark);
    chart->setAnimationOptions(QtCharts::QChart::NoAnimation);
    chart->legend()->hide();
    auto *series = new QtCharts::QLineSeries();
    chart->addSeries(series);
    auto *x = new QtCharts::QValueAxis();
    auto *y = new QtCharts::QValueAxis();
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    x->setRange(860, 940);
    y->setRange(-90, 20);
    y->setTickCount(12);
    view.setChart(chart);
    view.resize(size);
    view.show();
    PaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    QCoreApplication::processEvents();

    // Two curves in turn, so that every replacement moves every point.
    MeroSim::RepeaterModel model(kNoiseSeed);
    QVector<QPointF> curves[2];
    for (int c = 0; c < 2; ++c)
        for (quint32 i = 0; i < kPoints; ++i) {
            const double mhz = 860.0 + 80.0 * double(i) / double(kPoints - 1);
            const float level = model.measure(MeroSim::RepeaterModel::Channel::S21, quint64(mhz * 1e6),
                                              MeroSim::RepeaterModel::Power::Low);
            curves[c].append(QPointF(mhz, 20.0 * std::log10(qMax(1e-9, double(level)))));
        }

    QVector<qint64> ns;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; wall.elapsed() < seconds * 1000; ++i) {
        const int before = counter.paints;
        const qint64 start = processCpuNs();
        series->replace(curves[i % 2]);
        waitFor([&counter, before] { return counter.paints > before; }, kLinkWaitMs);
        ns.append(processCpuNs() - start);
    }
    return Bench::spreadOf(ns);
}

struct LaunchResult
{
    double shownMs = -1;
    double sweptMs = -1;
    double peakRssMb = -1;
    double growthMb = 0;
    QString failure;
};

double statusFieldMb(qint64 pid, const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toDouble() / kKbPerMb;
    return -1;
}

// Runs the real program with the instant simulator. With a screenshot path
// it ends by itself after the first sweep; otherwise after soakSeconds.
LaunchResult launch(const QString &app, const QString &dataDir, const QString &screenshot, int soakSeconds)
{
    LaunchResult result;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QLatin1String(ZCore::SimulatorLauncher::kTimingEnvVar), QStringLiteral("instant"));
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    QStringList arguments{ QStringLiteral("--data-dir"), dataDir, QStringLiteral("--simulate"),
                           QStringLiteral("--unattended") };
    if (!screenshot.isEmpty())
        arguments << QStringLiteral("--screenshot") << screenshot;
    else
        arguments << QStringLiteral("--quit-after") << QString::number(soakSeconds * 1000);

    QElapsedTimer clock;
    QByteArray pending;
    double quarterRssMb = -1;
    QObject::connect(&process, &QProcess::readyReadStandardError, [&] {
        pending += process.readAllStandardError();
        int end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            if (result.shownMs < 0 && line.contains(kShownLine))
                result.shownMs = double(clock.nsecsElapsed()) * kMsPerNs;
            if (result.sweptMs < 0 && line.contains(kSweptLine))
                result.sweptMs = double(clock.nsecsElapsed()) * kMsPerNs;
        }
    });
    clock.start();
    process.start(app, arguments);
    if (!process.waitForStarted()) {
        result.failure = process.errorString();
        return result;
    }
    const qint64 pid = process.processId();
    const int guardMs = kLaunchGuardMs + soakSeconds * 1000;
    while (process.state() != QProcess::NotRunning && clock.elapsed() < guardMs) {
        process.waitForFinished(kSampleIntervalMs);
        const double peak = statusFieldMb(pid, "VmHWM:");
        if (peak > 0)
            result.peakRssMb = peak;
        if (quarterRssMb < 0 && soakSeconds > 0 && clock.elapsed() >= soakSeconds * 1000 / 4)
            quarterRssMb = statusFieldMb(pid, "VmRSS:");
        const double rss = statusFieldMb(pid, "VmRSS:");
        if (quarterRssMb > 0 && rss > 0)
            result.growthMb = rss - quarterRssMb;
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        result.failure = QStringLiteral("did not end by itself");
    }
    QCoreApplication::processEvents();
    return result;
}

qint64 processCpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The fields after the command, whose name may hold blanks.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    constexpr int kUtime = 11;
    constexpr int kStime = 12;
    return fields.size() > kStime ? fields[kUtime].toLongLong() + fields[kStime].toLongLong() : -1;
}

// The real program with the simulator at the device's own pace: its CPU over
// seconds, after the warm-up, as a share of one core.
double realisticCpuPercent(const QString &app, const QString &dataDir, int seconds)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QLatin1String(ZCore::SimulatorLauncher::kTimingEnvVar));
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const int runMs = kRealisticWarmUpMs + seconds * 1000;
    process.start(app, { QStringLiteral("--data-dir"), dataDir, QStringLiteral("--simulate"),
                         QStringLiteral("--unattended"), QStringLiteral("--quit-after"),
                         QString::number(runMs + kRealisticWarmUpMs) });
    if (!process.waitForStarted())
        return -1;
    const qint64 pid = process.processId();
    QElapsedTimer clock;
    clock.start();
    waitFor([&clock] { return clock.elapsed() >= kRealisticWarmUpMs; }, runMs);
    const qint64 startTicks = processCpuTicks(pid);
    const qint64 startNs = clock.nsecsElapsed();
    waitFor([&clock, runMs] { return clock.elapsed() >= runMs; }, runMs + kLinkWaitMs);
    const qint64 endTicks = processCpuTicks(pid);
    const double wallS = double(clock.nsecsElapsed() - startNs) * 1e-9;
    process.waitForFinished(kLaunchGuardMs);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    if (startTicks < 0 || endTicks < 0 || wallS <= 0)
        return -1;
    return double(endTicks - startTicks) / double(sysconf(_SC_CLK_TCK)) / wallS * kPercent;
}

double median(QVector<double> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

class Table
{
public:
    explicit Table(QTextStream &out) : m_out(out) {}

    void row(const QString &what, double value, const QString &unit, const QString &goal = QString(),
             std::optional<bool> met = std::nullopt)
    {
        m_out << what.leftJustified(52) << QString::number(value, 'f', value >= 100 ? 0 : 2).rightJustified(10) << ' '
              << unit.leftJustified(9) << goal.leftJustified(16)
              << (met ? (*met ? QStringLiteral("met") : QStringLiteral("MISSED")) : QString()) << '\n';
    }

private:
    QTextStream &m_out;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Host performance against the instant device simulator."));
    parser.addHelpOption();
    const QCommandLineOption secondsOption(QStringLiteral("seconds"), QStringLiteral("Seconds per throughput phase."),
                                           QStringLiteral("n"), QString::number(kDefaultPhaseSeconds));
    const QCommandLineOption soakOption(QStringLiteral("soak"),
                                        QStringLiteral("Seconds of sweeping before the memory is read (600: ten minutes)."),
                                        QStringLiteral("n"), QString::number(kDefaultSoakSeconds));
    const QCommandLineOption launchesOption(QStringLiteral("launches"), QStringLiteral("Launches timed."),
                                            QStringLiteral("n"), QString::number(kDefaultLaunches));
    const QCommandLineOption profileOption(QStringLiteral("profile"),
                                           QStringLiteral("Only the phases with charts: the application and the floor."));
    parser.addOptions({ secondsOption, soakOption, launchesOption, profileOption });
    parser.process(app);
    const int seconds = qMax(1, parser.value(secondsOption).toInt());
    const int soakSeconds = qMax(1, parser.value(soakOption).toInt());
    const int launches = qMax(1, parser.value(launchesOption).toInt());
    const QString binDir = QCoreApplication::applicationDirPath();
    const QString appBin = QDir::cleanPath(binDir + QStringLiteral("/../src/oskiro-mero"));
    const QString simBin = ZCore::SimulatorLauncher::findBinary(QDir::cleanPath(binDir + QStringLiteral("/../src")));
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!QFileInfo(appBin).isExecutable() || simBin.isEmpty()) {
        err << "merobench: build oskiro-mero and mero-sim first\n";
        return 1;
    }

    // The managers as start-up builds them, on a private directory, with the
    // 1024-point preset selected.
    TestSupport::TempAppDir dir;
    TestSupport::RecordingDialogs dialogs;
    ZCore::EntryPoint::initManagers();
    writeBenchProfile(*ZCore::SettingsManager::userSettings(), *ZCore::SettingsManager::currentSettings());
    ZData::DataScanManager &scan = ZData::DataScanManager::instance();
    scan.restoreSettings();
    scan.setActivePreset(0, false);
    if (scan.channelPointCount(0) != int(kPoints)) {
        err << "merobench: the 1024-point preset did not load\n";
        return 1;
    }

    QProcess simulator;
    const QString link = dir.filePath(QStringLiteral("ttyMERO"));
    simulator.start(simBin, { QStringLiteral("--link"), link, QStringLiteral("--timing"), QStringLiteral("instant"),
                              QStringLiteral("--quiet") });
    if (!waitFor([&link] { return QFileInfo::exists(link); }, kLinkWaitMs)
        || !ZData::DM::SerialPort::instance().openPort(link)) {
        err << "merobench: the simulator did not come up\n";
        return 1;
    }

    SliceMeter meter;
    const SliceMeter::Result linkOnly = parser.isSet(profileOption) ? SliceMeter::Result() : meter.run(seconds);

    MainWindow window;
    window.show();
    const auto *s21 = window.findChild<ZChart::ZChartView *>(QStringLiteral("chart_view_UL"));
    const auto *s12 = window.findChild<ZChart::ZChartView *>(QStringLiteral("chart_view_UR"));
    if (!s21 || !s12 || !waitFor([s21, s12] { return s21->isVisible() && s12->isVisible(); }, kLinkWaitMs)) {
        err << "merobench: the two chart views are not on screen\n";
        return 1;
    }
    ScreenMeter screen({ s21, s12 });
    screen.setRecording(true);
    const SliceMeter::Result withCharts = meter.run(seconds);
    const Bench::Spread screenFull = screen.spread();
    screen.setRecording(false);
    const QSize viewSize = s21->size();
    ZData::DM::SerialPort::instance().close(true);
    simulator.terminate();
    simulator.waitForFinished();

    // The same window with the simulator at the device's own pace.
    Bench::Spread screenRealistic;
    if (!parser.isSet(profileOption)) {
        QFile::remove(link);
        simulator.start(simBin, { QStringLiteral("--link"), link, QStringLiteral("--timing"),
                                  QStringLiteral("realistic"), QStringLiteral("--quiet") });
        if (waitFor([&link] { return QFileInfo::exists(link); }, kLinkWaitMs)
            && ZData::DM::SerialPort::instance().openPort(link)) {
            screen.setRecording(true);
            meter.run(seconds);
            screenRealistic = screen.spread();
            screen.setRecording(false);
        }
        ZData::DM::SerialPort::instance().close(true);
        simulator.terminate();
        simulator.waitForFinished();
    }
    window.hide();

    const Bench::Spread floor = chartFloor(viewSize, seconds);
    if (parser.isSet(profileOption)) {
        out << QStringLiteral("%1 slices/s, CPU per slice median %2 us, chart floor median %3 us\n")
                   .arg(withCharts.slicesPerSecond, 0, 'f', 0)
                   .arg(withCharts.cpu.medianUs, 0, 'f', 0)
                   .arg(floor.medianUs, 0, 'f', 0);
        return 0;
    }

    QTemporaryDir launchDir;
    QVector<double> shown;
    QVector<double> swept;
    QString launchFailure;
    for (int i = 0; i < launches; ++i) {
        const LaunchResult result = launch(appBin, launchDir.filePath(QStringLiteral("data")),
                                           launchDir.filePath(QStringLiteral("shot.png")), 0);
        launchFailure = result.failure;
        if (result.shownMs >= 0)
            shown.append(result.shownMs);
        if (result.sweptMs >= 0)
            swept.append(result.sweptMs);
    }
    {
        QSettings user(launchDir.filePath(QStringLiteral("data/profiles/user.ini")), QSettings::IniFormat);
        QSettings current(launchDir.filePath(QStringLiteral("data/profiles/current.ini")), QSettings::IniFormat);
        writeBenchProfile(user, current);
    }
    const LaunchResult soak = launch(appBin, launchDir.filePath(QStringLiteral("data")), QString(), soakSeconds);
    const double realisticCpu = realisticCpuPercent(appBin, launchDir.filePath(QStringLiteral("data")), kRealisticSeconds);

    const double ratio = floor.medianUs > 0 ? withCharts.cpu.medianUs / floor.medianUs : 0;
    out << QStringLiteral("merobench: %1-point preset, instant simulator, %2 s per phase, %3 s soak\n")
               .arg(kPoints)
               .arg(seconds)
               .arg(soakSeconds);
    Table table(out);
    table.row(QStringLiteral("round trips, device link only"), linkOnly.slicesPerSecond, QStringLiteral("slices/s"));
    table.row(QStringLiteral("round trips, application with both charts"), withCharts.slicesPerSecond,
              QStringLiteral("slices/s"), QStringLiteral(">= 3000"), withCharts.slicesPerSecond >= kGoalSlicesPerSecond);
    // What the host alone could keep up with, were the device and the
    // scheduler never late: a busy machine lowers the round trips above.
    table.row(QStringLiteral("host capacity, application with both charts"),
              withCharts.cpu.meanUs > 0 ? 1e6 / withCharts.cpu.meanUs : 0, QStringLiteral("slices/s"),
              QStringLiteral(">= 3000"), withCharts.cpu.meanUs > 0 && 1e6 / withCharts.cpu.meanUs >= kGoalSlicesPerSecond);
    table.row(QStringLiteral("CPU per slice, device link only, median"), linkOnly.cpu.medianUs, QStringLiteral("us"));
    table.row(QStringLiteral("CPU per slice, application, median"), withCharts.cpu.medianUs, QStringLiteral("us"));
    table.row(QStringLiteral("CPU per slice, application, 95th percentile"), withCharts.cpu.p95Us, QStringLiteral("us"));
    table.row(QStringLiteral("chart floor (replace 1024 points, repaint), median"), floor.medianUs,
              QStringLiteral("us"));
    table.row(QStringLiteral("chart floor, 95th percentile"), floor.p95Us, QStringLiteral("us"));
    table.row(QStringLiteral("application / chart floor, median"), ratio, QStringLiteral("x"),
              QStringLiteral("<= 0.15"), ratio > 0 && ratio <= kGoalCpuRatio);
    table.row(QStringLiteral("peak RSS, program sweeping %1 s").arg(soakSeconds), soak.peakRssMb, QStringLiteral("MB"),
              QStringLiteral("<= 60"), soak.peakRssMb > 0 && soak.peakRssMb <= kGoalPeakRssMb);
    table.row(QStringLiteral("RSS growth over the last three quarters"), soak.growthMb, QStringLiteral("MB"));
    const double shownMs = median(shown);
    const double sweptMs = median(swept);
    table.row(QStringLiteral("launch to main window, median of %1").arg(launches), shownMs, QStringLiteral("ms"),
              QStringLiteral("<= 1000"), shownMs >= 0 && shownMs <= kGoalShownMs);
    table.row(QStringLiteral("launch to first complete sweep, median of %1").arg(launches), sweptMs,
              QStringLiteral("ms"), QStringLiteral("<= 1500"), sweptMs >= 0 && sweptMs <= kGoalSweptMs);
    table.row(QStringLiteral("CPU at the realistic rate, % of one core"), realisticCpu, QStringLiteral("%"),
              QStringLiteral("<= 2"), realisticCpu >= 0 && realisticCpu <= kGoalRealisticCpuPercent);
    table.row(QStringLiteral("slice to screen, 95th percentile, full rate"), screenFull.p95Us / 1000.0,
              QStringLiteral("ms"), QStringLiteral("<= 20"),
              screenFull.p95Us > 0 && screenFull.p95Us / 1000.0 <= kGoalScreenFullMs);
    table.row(QStringLiteral("slice to screen, 95th percentile, realistic rate"), screenRealistic.p95Us / 1000.0,
              QStringLiteral("ms"), QStringLiteral("<= 5"),
              screenRealistic.p95Us > 0 && screenRealistic.p95Us / 1000.0 <= kGoalScreenRealisticMs);
    if (soak.sweptMs < 0)
        out << "the memory figure is void: the program never finished a sweep\n";
    if (!launchFailure.isEmpty() || !soak.failure.isEmpty())
        out << "launch trouble: " << launchFailure << ' ' << soak.failure << '\n';
    return 0;
}
