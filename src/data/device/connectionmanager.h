#pragma once

#include "core/isinitializable.h"
#include "core/tsingleton.h"

#include <QObject>
#include <QTimer>

namespace ZData {

// Reopens the serial port when the device drops off the link (a pulled
// cable, a reboot into or out of the bootloader), a bounded number of times.
class ConnectionManager : public QObject, public ZCore::TSingleton<ConnectionManager>, public ZCore::ISInitializable
{
    Q_OBJECT
    friend class ZCore::TSingleton<ConnectionManager>;

public:
    static constexpr qint16 kMaxTries = 30;
    static constexpr int kReconnectIntervalMs = 2000;

    static bool init();
    static QString tag();

    void setAutoReconnect(bool on);
    bool autoReconnect() const { return m_autoReconnect; }
    qint16 triesLeft() const { return m_triesLeft; }
    bool isWaitingToReconnect() const { return m_timer.isActive(); }

signals:
    void signalReconnecting();
    void signalFailedToReconnect();

private slots:
    void slotPortOpened();
    void slotPortLost();
    void slotReconnect();

private:
    ConnectionManager() = default;

    void tryReconnect();

    qint16 m_triesLeft = kMaxTries;
    bool m_autoReconnect = true;
    QTimer m_timer;
};

} // namespace ZData
