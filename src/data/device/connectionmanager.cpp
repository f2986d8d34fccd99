#include "data/device/connectionmanager.h"

#include "core/log.h"
#include "data/device/serialport.h"

namespace ZData {

using DM::SerialPort;

bool ConnectionManager::init()
{
    ConnectionManager &self = instance();
    ZCore::Log::traceDebug(tag(), QStringLiteral("ZData::ConnectionManager::init"));
    self.m_timer.setSingleShot(true);
    self.m_timer.setInterval(kReconnectIntervalMs);
    const auto type = Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection);
    connect(&self.m_timer, &QTimer::timeout, &self, &ConnectionManager::slotReconnect, type);
    connect(&SerialPort::instance(), &SerialPort::signalOpened, &self, &ConnectionManager::slotPortOpened, type);
    connect(&SerialPort::instance(), &SerialPort::signalLost, &self, &ConnectionManager::slotPortLost, type);
    return true;
}

QString ConnectionManager::tag()
{
    static const QString tagText = QStringLiteral("ConnectionManager");
    return tagText;
}

void ConnectionManager::setAutoReconnect(bool on)
{
    m_autoReconnect = on;
    m_triesLeft = kMaxTries;
    // Off means nothing reopens the port, a retry already waiting included.
    if (!on)
        m_timer.stop();
}

void ConnectionManager::slotPortOpened()
{
    m_triesLeft = kMaxTries;
    m_autoReconnect = true;
    // Opened by other means (the user) while a retry was pending: the retry
    // would only close the fresh link and identify the device again.
    m_timer.stop();
}

void ConnectionManager::slotPortLost()
{
    if (m_autoReconnect)
        tryReconnect();
}

void ConnectionManager::slotReconnect()
{
    SerialPort::instance().open(false);
}

void ConnectionManager::tryReconnect()
{
    ZCore::Log::info(tag(), QStringLiteral(">> reconnect try #%1").arg(kMaxTries - m_triesLeft));
    --m_triesLeft;
    if (m_triesLeft > 0) {
        m_timer.start();
        emit signalReconnecting();
        return;
    }
    emit signalFailedToReconnect();
    ZCore::Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_autoreconnect_failed"));
}

} // namespace ZData
