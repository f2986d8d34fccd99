#include "data/device/serialport.h"

#include "core/enumtext.h"
#include "core/log.h"
#include "core/logger.h"
#include "data/device/devicemessagemanager.h"

#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

namespace ZData::DM {

using ZCore::Log::info;
using ZCore::Log::warning;

bool SerialPort::init()
{
    SerialPort &self = instance();
    ZCore::Log::traceDebug(tag(), QStringLiteral("ZData::DM::SerialPort::init"));
    connect(&self.m_port, &QSerialPort::readyRead, &self, &SerialPort::slotReadData, Qt::UniqueConnection);
    connect(&self.m_port, &QSerialPort::errorOccurred, &self, &SerialPort::slotErrorOccurred,
            Qt::UniqueConnection);
    return true;
}

QString SerialPort::tag()
{
    static const QString tagText = QStringLiteral("SerialPort");
    return tagText;
}

bool SerialPort::isLossError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
    case QSerialPort::UnknownError:
        return true;
    default:
        return false;
    }
}

void SerialPort::close(bool announce)
{
    if (announce)
        emit signalClosing();
    if (!m_port.isOpen())
        return;
    m_port.close();
    // Nothing may time out or complete on a link that is gone.
    DeviceMessageManager::instance().reset();
    info(tag(), QStringLiteral(">> closed"));
    emit signalClosed();
}

void SerialPort::closeLost()
{
    close(true);
    emit signalLost();
}

bool SerialPort::open(bool applySettings)
{
    close(true);
    emit signalOpening();
    if (applySettings) {
        info(tag(), QStringLiteral(">> updated config: ") + m_settings.text());
        applySettingsToPort();
    }
    if (!m_port.open(QIODevice::ReadWrite))
        return false;

    info(tag(), QStringLiteral(">> opened"));
    m_port.clear(QSerialPort::AllDirections);
    DeviceMessageManager::instance().resetFrameCounter();
    ZCore::Logger::printSessionBanner();
    emit signalOpened();
    return true;
}

bool SerialPort::openPort(const QString &portName)
{
    PortSettings settings;
    settings.portName = portName;
    setSettings(settings);
    return open(true);
}

void SerialPort::applySettingsToPort()
{
    m_port.setPortName(m_settings.portName);
    m_port.setBaudRate(m_settings.baudRate, QSerialPort::AllDirections);
    m_port.setDataBits(m_settings.dataBits);
    m_port.setParity(m_settings.parity);
    m_port.setStopBits(m_settings.stopBits);
    m_port.setFlowControl(m_settings.flowControl);
}

void SerialPort::slotReadData()
{
    auto *source = qobject_cast<QSerialPort *>(sender());
    if (!source)
        return;
    DeviceMessageManager::instance().receiveData(source->readAll());
}

void SerialPort::slotErrorOccurred(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    // Closing resets the port's error text, so it is taken first.
    const QString details = m_port.errorString();
    m_lastErrorText = details;
    close(true);
    warning(tag(), QStringLiteral(">> error: ") + ZCore::enumKey(error) + QStringLiteral("\nDetails: ") + details);
    if (error == QSerialPort::PermissionError)
        explainPermissionError();
    if (isLossError(error))
        emit signalLost();
}

// On Linux the usual cause is a user outside the group that owns the
// device node; say so, since the port's own text does not.
void SerialPort::explainPermissionError()
{
#ifdef Q_OS_LINUX
    // The port keeps names below /dev without the prefix.
    const QString name = m_port.portName();
    const QString node = name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    const QFileInfo nodeInfo(node);
    if (!nodeInfo.exists())
        return;
    const QByteArray path = QFile::encodeName(node);
    if (::access(path.constData(), R_OK | W_OK) == 0) {
        warning(tag(), QStringLiteral(">> hint: %1 is accessible; another program may hold the port").arg(node));
        return;
    }
    const QString group = nodeInfo.group().isEmpty() ? QStringLiteral("dialout") : nodeInfo.group();
    warning(tag(), QStringLiteral(">> hint: no permission to use %1. Add the user to the group \"%2\" that owns "
                                  "it (usually \"dialout\"), e.g. sudo usermod -aG %2 $USER, then log in again")
                       .arg(node, group));
#endif
}

} // namespace ZData::DM
