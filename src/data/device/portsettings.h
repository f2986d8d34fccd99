#pragma once

#include <QSerialPort>
#include <QString>

namespace ZData::DM {

// How the device's virtual COM port is driven. Only the name changes in
// practice; the rest is what the firmware expects.
struct PortSettings
{
    static constexpr qint32 kDefaultBaudRate = 115200;

    QString portName;
    qint32 baudRate = kDefaultBaudRate;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QSerialPort::FlowControl flowControl = QSerialPort::HardwareControl;

    // The multi-line block the log shows after ">> updated config: ".
    QString text() const;
};

} // namespace ZData::DM
