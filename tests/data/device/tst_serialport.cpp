#include "data/device/connectionmanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"

#include "logcapture.h"
#include "ptypair.h"

#include <QSignalSpy>
#include <QtTest>

using namespace ZData;
using ZData::DM::SerialPort;

class TstSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void openAndReopenSequence();
    void openMissingPortIsLost_data();
    void openMissingPortIsLost();
    void errorsThatMeanLoss_data();
    void errorsThatMeanLoss();
    void reconnectTries();
    void timerReopensPort();

private:
    ConnectionManager &manager() { return ConnectionManager::instance(); }
    void recordSignals();
    QStringList m_events;
    TestSupport::LogCapture m_quiet;
};

void TstSerialPort::initTestCase()
{
    QVERIFY(DeviceMessageManager::init() && SerialPort::init() && ConnectionManager::init());
}

void TstSerialPort::cleanup()
{
    SerialPort::instance().disconnect(this);
    // An opening ends any pending retry.
    emit SerialPort::instance().signalOpened();
    SerialPort::instance().close(false);
    m_events.clear();
    manager().setAutoReconnect(true);
}

void TstSerialPort::recordSignals()
{
    SerialPort &port = SerialPort::instance();
    connect(&port, &SerialPort::signalOpening, this, [this] { m_events << QStringLiteral("opening"); });
    connect(&port, &SerialPort::signalOpened, this, [this] { m_events << QStringLiteral("opened"); });
    connect(&port, &SerialPort::signalClosing, this, [this] { m_events << QStringLiteral("closing"); });
    connect(&port, &SerialPort::signalClosed, this, [this] { m_events << QStringLiteral("closed"); });
    connect(&port, &SerialPort::signalLost, this, [this] { m_events << QStringLiteral("lost"); });
}

void TstSerialPort::openAndReopenSequence()
{
    TestSupport::PtyPair pty;
    recordSignals();
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    QCOMPARE(m_events, (QStringList{"closing", "opening", "opened"}));
    m_events.clear();
    QVERIFY(SerialPort::instance().open(false));
    QCOMPARE(m_events, (QStringList{"closing", "closed", "opening", "opened"}));
}

void TstSerialPort::openMissingPortIsLost_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "/dev/mero-no-such-port";
    QTest::newRow("placeholder in name") << "/dev/mero-%2-no-such-port";
}

// The configuration line names the port exactly as given.
void TstSerialPort::openMissingPortIsLost()
{
    QFETCH(QString, name);
    recordSignals();
    TestSupport::LogCapture log;
    QVERIFY(!SerialPort::instance().openPort(name));
    QVERIFY2(log.contains(QStringLiteral(">> updated config: \nPort name: %1\nBaud rate: 115200\n").arg(name)),
             qPrintable(log.lines().join('\n')));
    QCOMPARE(m_events.count(QStringLiteral("lost")), 1);
    QVERIFY(!SerialPort::instance().isOpen());
}

void TstSerialPort::errorsThatMeanLoss_data()
{
    QTest::addColumn<QSerialPort::SerialPortError>("error"); // NoError: the cable pulled
    QTest::addColumn<bool>("lost");
    QTest::newRow("resource") << QSerialPort::ResourceError << true;
    QTest::newRow("write") << QSerialPort::WriteError << false;
    QTest::newRow("timeout") << QSerialPort::TimeoutError << false;
    QTest::newRow("unplugged") << QSerialPort::NoError << true;
}

void TstSerialPort::errorsThatMeanLoss()
{
    QFETCH(QSerialPort::SerialPortError, error);
    QFETCH(bool, lost);
    TestSupport::PtyPair pty;
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    recordSignals();
    if (error == QSerialPort::NoError) {
        pty.closeMaster();
        QTRY_VERIFY(!SerialPort::instance().isOpen());
        // Whatever else the port reports on the way, the loss counts once.
        QTest::qWait(50);
    } else {
        SerialPort::instance().slotErrorOccurred(error);
    }
    QVERIFY(!SerialPort::instance().isOpen());
    QCOMPARE(m_events.join(QLatin1Char(' ')), lost ? QStringLiteral("closing closed lost") : QStringLiteral("closing closed"));
}

// Thirty tries, then the user is told; turned off, a loss starts none, and
// turned on again the count starts afresh.
void TstSerialPort::reconnectTries()
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

    log.clear();
    manager().setAutoReconnect(true);
    emit SerialPort::instance().signalLost();
    manager().setAutoReconnect(false);
    QVERIFY(!manager().isWaitingToReconnect());
    QCOMPARE(manager().triesLeft(), qint16(30));
    emit SerialPort::instance().signalLost();
    manager().setAutoReconnect(true);
    emit SerialPort::instance().signalLost();
    QCOMPARE(log.lines(QtInfoMsg), QStringList({"ConnectionManager >> reconnect try #0", "ConnectionManager >> reconnect try #0"}));
}

void TstSerialPort::timerReopensPort()
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

QTEST_GUILESS_MAIN(TstSerialPort)
#include "tst_serialport.moc"
