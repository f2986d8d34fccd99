#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"

#include "handframes.h"
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
    void chunksReachFrameLayer();

private:
    void recordSignals();
    QStringList m_events;
    TestSupport::LogCapture m_quiet;
};

void TstSerialPort::initTestCase()
{
    QVERIFY(DeviceMessageManager::init() && SerialPort::init());
}

void TstSerialPort::cleanup()
{
    SerialPort::instance().disconnect(this);
    SerialPort::instance().close(false);
    m_events.clear();
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
    // The device talks 115200 8N1 with hardware flow control.
    const QSerialPort &port = SerialPort::instance().port();
    QCOMPARE(QList<int>({port.baudRate(), port.dataBits(), port.parity(), port.stopBits(), port.flowControl()}), QList<int>({115200, 8, 0, 1, 1}));
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

void TstSerialPort::chunksReachFrameLayer()
{
    TestSupport::PtyPair pty;
    TCommandHeader header;
    DeviceMessageManager::instance().buildFrame(header, QByteArray(), false);
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    // A new session starts counting frames afresh.
    const QByteArray frame = DeviceMessageManager::instance().buildFrame(header, QByteArray(), false);
    QCOMPARE(TestSupport::HandFrames::word(frame, TestSupport::HandFrames::kFrameCountOffset), quint16(0));
    DeviceMessageManager::instance().enterState({DMM::EStates::RECEIVE_REPLY, {}});
    QSignalSpy replies(&DeviceMessageManager::instance(), &DeviceMessageManager::signalGotReply);
    // No reply is expected after a plain frame, so an identifier reply
    // arriving now is a mismatch: proof enough that the bytes got there.
    QVERIFY(pty.write(TestSupport::HandFrames::frame(0xD008)));
    QTRY_COMPARE(replies.count(), 1);
    QCOMPARE(DeviceMessageManager::instance().state(), DMM::EStates::E_COMMAND_MISMATCH);
}

QTEST_GUILESS_MAIN(TstSerialPort)
#include "tst_serialport.moc"
