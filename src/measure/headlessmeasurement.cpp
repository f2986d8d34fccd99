#include "measure/headlessmeasurement.h"

#include "core/log.h"
#include "core/logger.h"
#include "core/settingsmanager.h"
#include "core/simulatorlauncher.h"
#include "data/calibration/calibrationmanager.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "data/traces/limitmask.h"
#include "data/traces/measurementsummary.h"
#include "data/traces/sweepexport.h"
#include "measure/chartspicture.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace ZMeasure {

namespace {

constexpr int kMsPerSecond = 1000;

using ZData::DataScanManager;

DataScanManager &scanManager()
{
    return DataScanManager::instance();
}

} // namespace

bool TMeasurementRequest::needsWidgets() const
{
    using ZData::TR::SweepExport::EFormat;
    return std::any_of(exports.cbegin(), exports.cend(), [](const QString &path) {
        return ZData::TR::SweepExport::formatOf(path) == EFormat::PICTURE;
    });
}

HeadlessMeasurement::HeadlessMeasurement(TMeasurementRequest request, std::FILE *out, std::FILE *err,
                                         QObject *parent)
    : QObject(parent), m_request(std::move(request)), m_out(out), m_err(err)
{
    m_showProgress = isatty(fileno(m_err)) != 0;
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("no complete measurement within %1 s").arg(m_request.timeoutSeconds));
    });
}

HeadlessMeasurement::~HeadlessMeasurement()
{
    for (const QMetaObject::Connection &link : qAsConst(m_links))
        disconnect(link);
    // The device is let go before the application object; and the port
    // goes before a simulator at its far end, so that the loss is not
    // mistaken for a pulled cable.
    ZData::DM::SerialPort::instance().close(true);
    m_simulator.reset();
}

QString HeadlessMeasurement::tag()
{
    static const QString tagText = QStringLiteral("HeadlessMeasurement");
    return tagText;
}

void HeadlessMeasurement::start()
{
    ZCore::Log::info(tag(), QStringLiteral(">> measuring preset %1, %2 power, %3, %4 sweep(s)")
                                .arg(m_request.preset + 1)
                                .arg(m_request.highPower ? QStringLiteral("high") : QStringLiteral("low"),
                                     m_request.calibrated ? QStringLiteral("calibrated") : QStringLiteral("raw"))
                                .arg(m_request.sweeps));
    if (!selectPreset())
        return;
    // Before any sweep starts: the views must see it from its first slice.
    if (m_request.needsWidgets())
        m_picture = std::make_unique<ChartsPicture>();
    connectManagers();
    if (m_request.timeoutSeconds > 0)
        m_timeout.start(m_request.timeoutSeconds * kMsPerSecond);
    openLink();
}

bool HeadlessMeasurement::selectPreset()
{
    DataScanManager &scan = scanManager();
    if (m_request.preset < 0 || m_request.preset >= scan.presetCount()) {
        fail(QStringLiteral("there is no preset %1: the user profile %2 has %3")
                 .arg(m_request.preset + 1)
                 .arg(ZCore::SettingsManager::userProfilePath())
                 .arg(scan.presetCount()));
        return false;
    }
    // Chosen while the sweep is paused, before the device is there; the
    // window's choice in the current profile stays as it is.
    scan.setActivePreset(m_request.preset, true);
    scan.setPowerIndex(m_request.highPower ? DataScanManager::kPowerHigh : DataScanManager::kPowerLow, true);
    return true;
}

void HeadlessMeasurement::connectManagers()
{
    DataScanManager &scan = scanManager();
    ZData::CalibrationManager &calibration = ZData::CalibrationManager::instance();
    m_links << connect(&ZData::DeviceManager::instance(), &ZData::DeviceManager::signalStartupFinished, this,
                       &HeadlessMeasurement::handleStartupFinished);
    // After the scan manager's own handlers, which restart the sweep.
    m_links << connect(&calibration, &ZData::CalibrationManager::signalFinishedCalibration, this,
                       &HeadlessMeasurement::handleCalibrationLoaded);
    m_links << connect(&calibration, &ZData::CalibrationManager::signalFailedReadCalibration, this,
                       &HeadlessMeasurement::handleCalibrationMissing);
    m_links << connect(&scan, &DataScanManager::signalActiveScanPresetReachedEnd, this,
                       &HeadlessMeasurement::handleSweepEnd);
    m_links << connect(&scan, &DataScanManager::signalReportScanProcess, this, &HeadlessMeasurement::showProgress);
    m_links << connect(&scan, &DataScanManager::signalRFOverload, this, &HeadlessMeasurement::noteOverload);
    m_links << connect(&ZData::ConnectionManager::instance(), &ZData::ConnectionManager::signalFailedToReconnect,
                       this, [this] { fail(QStringLiteral("the device was lost and did not come back")); });
}

void HeadlessMeasurement::openLink()
{
    if (!m_request.simulate) {
        if (!ZData::DM::SerialPort::instance().openPort(m_request.portName))
            fail(QStringLiteral("cannot open the port %1: %2")
                     .arg(m_request.portName, ZData::DM::SerialPort::instance().lastErrorText()));
        return;
    }
    m_simulator = std::make_unique<ZCore::SimulatorLauncher>();
    connect(m_simulator.get(), &ZCore::SimulatorLauncher::signalLinkReady, this, [this](const QString &link) {
        if (!ZData::DM::SerialPort::instance().openPort(link))
            fail(QStringLiteral("cannot open the simulator's link %1").arg(link));
    });
    connect(m_simulator.get(), &ZCore::SimulatorLauncher::signalFailed, this,
            [this](const QString &reason) { fail(QStringLiteral("cannot simulate the device: %1").arg(reason)); });
    m_simulator->startBundled();
}

void HeadlessMeasurement::handleStartupFinished()
{
    if (!ZData::DeviceManager::instance().deviceInfo().isMainApp())
        fail(QStringLiteral("the device is in its bootloader; finish its firmware update in the window"));
}

void HeadlessMeasurement::handleCalibrationLoaded()
{
    if (!m_request.calibrated)
        return;
    DataScanManager &scan = scanManager();
    scan.setUseCalib(true);
    if (!scan.useCalib())
        fail(QStringLiteral("the device's calibration does not cover preset %1").arg(m_request.preset + 1));
}

void HeadlessMeasurement::handleCalibrationMissing()
{
    if (m_request.calibrated)
        fail(QStringLiteral("the device has no calibration; calibrate it in the window first"));
}

void HeadlessMeasurement::handleSweepEnd()
{
    if (m_finished)
        return;
    ++m_sweepsDone;
    if (m_sweepsDone < m_request.sweeps) {
        m_overloadInSweep = false;
        return;
    }
    // Taken at once: the next slice's reply would overwrite the first points.
    scanManager().setScanPause(true, true);
    report();
}

void HeadlessMeasurement::showProgress(int percent)
{
    if (!m_showProgress || m_finished)
        return;
    std::fprintf(m_err, "\rsweep %d of %d: %3d %%", m_sweepsDone + 1, m_request.sweeps, qBound(0, percent, 100));
    std::fflush(m_err);
    m_progressShown = true;
}

void HeadlessMeasurement::noteOverload(bool overloaded)
{
    m_overloadInSweep = m_overloadInSweep || overloaded;
}

void HeadlessMeasurement::report()
{
    const DataScanManager &scan = scanManager();
    const ZData::TScanPreset &preset = scan.presetAt(scan.activePreset());
    std::array<ZData::TR::TTrace, ZData::kScanChannelCount> traces;
    QStringList lines;
    bool failed = false;
    for (int channel = 0; channel < ZData::kScanChannelCount; ++channel) {
        traces[size_t(channel)] = ZData::TR::channelTrace(scan, channel);
        const ZData::TR::TLimitVerdict verdict =
            ZData::TR::LimitMask::judge(traces[size_t(channel)], preset.channel(channel).limits);
        failed = failed || verdict.result == ZData::TR::ELimitResult::FAIL;
        lines << ZData::TR::MeasurementSummary::line(channel, traces[size_t(channel)], verdict);
        ZCore::Log::info(tag(), QStringLiteral(">> ") + lines.constLast());
    }
    if (m_progressShown)
        std::fputs("\n", m_err);
    m_progressShown = false;
    // The window veils its charts with "RF OVERLOAD"; a script gets told too.
    if (m_overloadInSweep)
        printError(QStringLiteral("warning: the device reported RF overload during the last sweep; its levels may "
                                  "be wrong"));
    const bool written = writeExports(traces);
    for (const QString &line : qAsConst(lines))
        std::fprintf(m_out, "%s\n", qPrintable(line));
    std::fflush(m_out);
    if (!written)
        finish(kExitNoMeasurement);
    else
        finish(failed ? kExitLimitFailed : kExitPass);
}

bool HeadlessMeasurement::writeExports(const std::array<ZData::TR::TTrace, ZData::kScanChannelCount> &traces)
{
    using namespace ZData::TR;
    const TTraceInfo info =
        TTraceInfo::ofSweep(ZData::DeviceManager::instance().deviceInfo(), scanManager(), QDateTime::currentDateTimeUtc());
    bool allWritten = true;
    for (const QString &path : qAsConst(m_request.exports)) {
        QString error;
        const bool written = SweepExport::formatOf(path) == SweepExport::EFormat::PICTURE && m_picture
                                 ? m_picture->save(path, &error)
                                 : SweepExport::writeTraces(path, info, traces, {}, &error);
        if (!written) {
            printError(error);
            allWritten = false;
        }
    }
    return allWritten;
}

void HeadlessMeasurement::fail(const QString &reason)
{
    if (m_finished)
        return;
    ZCore::Log::warning(tag(), QStringLiteral(">> measurement failed: ") + reason);
    if (m_progressShown)
        std::fputs("\n", m_err);
    m_progressShown = false;
    printError(reason);
    finish(kExitNoMeasurement);
}

void HeadlessMeasurement::printError(const QString &text)
{
    QString line = QStringLiteral("%1: %2").arg(QCoreApplication::applicationName(), text);
    if (ZCore::Logger::isInstalled())
        line += QStringLiteral(" (log: %1)").arg(ZCore::Logger::logFilePath());
    std::fprintf(m_err, "%s\n", qPrintable(line));
    std::fflush(m_err);
}

void HeadlessMeasurement::finish(int exitCode)
{
    if (m_finished)
        return;
    m_finished = true;
    m_timeout.stop();
    scanManager().setScanPause(true, true);
    ZCore::Log::info(tag(), QStringLiteral(">> finished with exit status %1").arg(exitCode));
    QMetaObject::invokeMethod(this, [this, exitCode] { emit signalFinished(exitCode); }, Qt::QueuedConnection);
}

} // namespace ZMeasure
