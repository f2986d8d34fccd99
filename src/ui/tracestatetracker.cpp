#include "ui/tracestatetracker.h"

#include "core/enumtext.h"
#include "core/log.h"
#include "data/calibration/calibrationmanager.h"
#include "data/device/commandqueue.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"

// The calibration manager keeps its table in one.
#include <QSettings>

using ZCommon::ETraceState;
using ZData::DM::SerialPort;

TraceStateTracker::TraceStateTracker(QObject *parent)
    : QObject(parent)
    , m_linkUp(SerialPort::instance().isOpen())
{
    m_state = currentState();
    connectLink();
    connectSweep();
}

QString TraceStateTracker::tag()
{
    static const QString tagText = QStringLiteral("TraceStateTracker");
    return tagText;
}

void TraceStateTracker::connectLink()
{
    auto &port = SerialPort::instance();
    connect(&port, &SerialPort::signalOpened, this, &TraceStateTracker::handleLinkUp);
    connect(&port, &SerialPort::signalClosed, this, &TraceStateTracker::handleLinkDown);
    auto &connection = ZData::ConnectionManager::instance();
    connect(&connection, &ZData::ConnectionManager::signalReconnecting, this, &TraceStateTracker::evaluate);
    connect(&connection, &ZData::ConnectionManager::signalFailedToReconnect, this, &TraceStateTracker::evaluate);
    auto &device = ZData::DeviceManager::instance();
    connect(&device, &ZData::DeviceManager::signalStartupFinished, this, &TraceStateTracker::handleStartupFinished);
    connect(&device, &ZData::DeviceManager::signalUpdateStarted, this, &TraceStateTracker::handleUpdateStarted);
}

void TraceStateTracker::connectSweep()
{
    auto &scan = ZData::DataScanManager::instance();
    connect(&scan, &ZData::DataScanManager::signalScanPause, this, &TraceStateTracker::handleScanPause);
    connect(&scan, &ZData::DataScanManager::signalUserScanPause, this, &TraceStateTracker::handleScanPause);
    using ZData::CalibrationManager;
    auto &calibration = CalibrationManager::instance();
    // Its end resumes the sweep, which says the rest.
    connect(&calibration, &CalibrationManager::signalStartedCalibration, this, &TraceStateTracker::evaluate);
}

void TraceStateTracker::handleLinkUp()
{
    m_linkUp = true;
    m_sweepStarted = false;
    m_updating = false;
    evaluate();
}

void TraceStateTracker::handleLinkDown()
{
    m_linkUp = false;
    m_sweepStarted = false;
    m_updating = false;
    evaluate();
}

void TraceStateTracker::handleStartupFinished()
{
    // A device that rebooted into its bootloader for an update fetches the
    // image on its own; one found there otherwise waits for the user.
    const QList<quint16> queued = ZData::DM::CommandQueue::instance().commands();
    if (queued.contains(quint16(ZData::EDeviceCommands::S_GET_UPDATE)))
        m_updating = true;
    evaluate();
}

void TraceStateTracker::handleUpdateStarted()
{
    m_updating = true;
    evaluate();
}

void TraceStateTracker::handleScanPause(bool paused)
{
    m_paused = paused;
    if (!paused && m_linkUp && ZData::DeviceManager::instance().deviceInfo().isMainApp())
        m_sweepStarted = true;
    evaluate();
}

// From the first retry after a loss until one of them opens the port or the
// last one fails; the retry timer alone would say no while an attempt runs.
bool TraceStateTracker::isReconnecting()
{
    const auto &connection = ZData::ConnectionManager::instance();
    return connection.autoReconnect() && connection.triesLeft() > 0
        && connection.triesLeft() < ZData::ConnectionManager::kMaxTries;
}

ETraceState TraceStateTracker::currentState() const
{
    if (!m_linkUp)
        return isReconnecting() ? ETraceState::RECONNECTING : ETraceState::DISCONNECTED;
    const ZData::DeviceInfo &device = ZData::DeviceManager::instance().deviceInfo();
    if (device.isBootloader())
        return m_updating ? ETraceState::UPDATING : ETraceState::BOOTLOADER;
    if (!device.isMainApp() || !m_sweepStarted)
        return ETraceState::CONNECTING;
    if (ZData::CalibrationManager::instance().isCalibrating())
        return ETraceState::CALIBRATING;
    return m_paused ? ETraceState::PAUSED : ETraceState::LIVE;
}

void TraceStateTracker::evaluate()
{
    const ETraceState state = currentState();
    if (state == m_state)
        return;
    m_state = state;
    ZCore::Log::info(tag(), QStringLiteral(">> traces: ") + ZCore::enumText(state));
    emit signalStateChanged(state);
}
