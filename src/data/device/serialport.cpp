#include "data/device/serialport.h"

#include "core/enumtext.h"
#include "core/log.h"
#include "core/logger.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/portaccessadvice.h"

#include <QScopedValueRollback>

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
    {
        // Only the user's own choice of port earns a box; the reconnection
        // steps that follow a refusal must not raise one every two seconds.
        const QScopedValueRollback<bool> asked(m_openAskedByUser, applySettings);
        if (!m_port.open(QIODevice::ReadWrite))
            return false;
    }

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

// The usual cause is a user outside the group that owns the device node,
// or another program holding the port; the port's own text says neither.
void SerialPort::explainPermissionError()
{
    const PortAccessAdvice advice = PortAccessAdvice::inspect(m_port.portName());
    warning(tag(), QStringLiteral(">> hint: ") + advice.logText());
    if (m_openAskedByUser)
        emit signalAccessDenied(advice.userText());
}

} // namespace ZData::DM
