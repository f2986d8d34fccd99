#pragma once

#include "core/isinitializable.h"
#include "core/tsingleton.h"
#include "data/device/portsettings.h"

#include <QObject>
#include <QSerialPort>

namespace ZData::DM {

// The one serial port that reaches the device. Opening and closing always
// announce themselves in the same order, so listeners can reset cleanly;
// errors that mean the device went away end in signalLost.
class SerialPort : public QObject, public ZCore::TSingleton<SerialPort>, public ZCore::ISInitializable
{
    Q_OBJECT
    friend class ZCore::TSingleton<SerialPort>;

public:
    static bool init();
    static QString tag();

    // Closes (announcing it) and opens again; applySettings pushes the
    // stored PortSettings to the port first.
    bool open(bool applySettings);
    void close(bool announce);
    // Lets the device go as a pulled cable does (closing, then signalLost),
    // so that the link is reopened as after an unplug.
    void closeLost();
    // What the connector dialog's Apply and the --port option do: take this
    // port name with the default settings and open with them applied.
    bool openPort(const QString &portName);

    const PortSettings &settings() const { return m_settings; }
    void setSettings(const PortSettings &settings) { m_settings = settings; }
    QSerialPort &port() { return m_port; }
    bool isOpen() const { return m_port.isOpen(); }
    // The details of the last error, kept past the close that follows it.
    QString lastErrorText() const { return m_lastErrorText; }

    // Errors after which the device is presumed gone and worth reopening.
    static bool isLossError(QSerialPort::SerialPortError error);

signals:
    void signalOpening();
    void signalOpened();
    void signalClosing();
    void signalClosed();
    void signalLost();
    // An open the user asked for (Apply, --port) was refused for lack of
    // permission; the text says what to do about it.
    void signalAccessDenied(const QString &advice);

public slots:
    void slotReadData();
    void slotErrorOccurred(QSerialPort::SerialPortError error);

private:
    SerialPort() = default;

    void applySettingsToPort();
    void explainPermissionError();

    PortSettings m_settings;
    QSerialPort m_port;
    bool m_openAskedByUser = false;
    QString m_lastErrorText;
};

} // namespace ZData::DM
