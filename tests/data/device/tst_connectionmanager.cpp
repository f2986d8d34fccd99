#include "data/device/connectionmanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"

#include "logcapture.h"

#include <QSignalSpy>
#include <QtTest>

using namespace ZData;
using ZData::DM::SerialPort;

class TstConnectionManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void deviceNeverReturns();
    void autoReconnectOff();
    void timerReopensPort();

private:
    ConnectionManager &manager() { return ConnectionManager::instance(); }
};

void TstConnectionManager::initTestCase()
{
    QVERIFY(DeviceMessageManager::init());
    QVERIFY(SerialPort::init());
    QVERIFY(ConnectionManager::init());
}

void TstConnectionManager::init()
{
    manager().setAutoReconnect(true);
}

void TstConnectionManager::cleanup()
{
    // An opening ends any pending retry.
    emit SerialPort::instance().signalOpened();
    SerialPort::instance().close(false);
}

void TstConnectionManager::deviceNeverReturns()
{
    TestSupport::LogCapture log;
    QSignalSpy reconnecting(&manager(), &ConnectionManager::signalReconnecting);
    QSignalSpy failed(&manager(), &ConnectionManager::signalFailedToReconnect);
    for (int loss = 0; loss < 30; ++loss)
        emit SerialPort::instance().signalLost();
    QStringList expected;
    for (int attempt = 0; attempt < 30; ++attempt)
        expected << QStringLiteral("ConnectionManager >> reconnect try #%1").arg(attempt);
    QCOMPARE(log.lines(QtInfoMsg), expected);
    QCOMPARE(reconnecting.count(), 29);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(log.lines(QtCriticalMsg), QStringList{"ConnectionManager >> dw_err_autoreconnect_failed"});
}

void TstConnectionManager::autoReconnectOff()
{
    TestSupport::LogCapture log;
    QSignalSpy reconnecting(&manager(), &ConnectionManager::signalReconnecting);
    emit SerialPort::instance().signalLost();
    manager().setAutoReconnect(false);
    QVERIFY(!manager().isWaitingToReconnect());
    QCOMPARE(manager().triesLeft(), qint16(30));
    emit SerialPort::instance().signalLost();
    QCOMPARE(reconnecting.count(), 1);
    QCOMPARE(log.count(QStringLiteral("reconnect try")), 1);
    manager().setAutoReconnect(true);
    emit SerialPort::instance().signalLost();
    QCOMPARE(log.lines(QtInfoMsg).last(), QStringLiteral("ConnectionManager >> reconnect try #0"));
}

void TstConnectionManager::timerReopensPort()
{
    // The one test that waits for the real interval: the retry must reopen
    // with the settings already in force, and a port still missing must lead
    // to the next try.
    DM::PortSettings settings;
    settings.portName = QStringLiteral("/dev/mero-no-such-port");
    SerialPort::instance().setSettings(settings);
    SerialPort::instance().port().setPortName(settings.portName);
    TestSupport::LogCapture log;
    emit SerialPort::instance().signalLost();
    QTRY_VERIFY_WITH_TIMEOUT(log.contains(QStringLiteral("ConnectionManager >> reconnect try #1")),
                             ConnectionManager::kReconnectIntervalMs * 2);
    QVERIFY(log.contains(QStringLiteral("SerialPort >> error: DeviceNotFoundError")));
    QVERIFY(!log.contains(QStringLiteral("updated config")));
}

QTEST_GUILESS_MAIN(TstConnectionManager)
#include "tst_connectionmanager.moc"
