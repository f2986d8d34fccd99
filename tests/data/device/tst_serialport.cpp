#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"

#include "handframes.h"
#include "logcapture.h"
#include "ptypair.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

using namespace ZData;
using ZData::DM::SerialPort;

class TstSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void openAndReopenSequence();
    void openMissingPortIsLost();
    void errorsThatMeanLoss_data();
    void errorsThatMeanLoss();
    void unpluggedWhileOpen();
    void chunksReachFrameLayer();
    void firstFrameAfterOpeningCountsZero();
    void closeWhenNotOpenOnlyAnnounces();
    void permissionErrorHint();

private:
    QStringList recordSignals();
    QStringList m_events;
};

void TstSerialPort::initTestCase()
{
    QVERIFY(DeviceMessageManager::init());
    QVERIFY(SerialPort::init());
}

void TstSerialPort::cleanup()
{
    SerialPort::instance().disconnect(this);
    SerialPort::instance().close(false);
    m_events.clear();
}

QStringList TstSerialPort::recordSignals()
{
    SerialPort &port = SerialPort::instance();
    connect(&port, &SerialPort::signalOpening, this, [this] { m_events << QStringLiteral("opening"); });
    connect(&port, &SerialPort::signalOpened, this, [this] { m_events << QStringLiteral("opened"); });
    connect(&port, &SerialPort::signalClosing, this, [this] { m_events << QStringLiteral("closing"); });
    connect(&port, &SerialPort::signalClosed, this, [this] { m_events << QStringLiteral("closed"); });
    connect(&port, &SerialPort::signalLost, this, [this] { m_events << QStringLiteral("lost"); });
    return m_events;
}

void TstSerialPort::openAndReopenSequence()
{
    TestSupport::PtyPair pty;
    QVERIFY(pty.isValid());
    recordSignals();
    TestSupport::LogCapture log;

    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    QCOMPARE(m_events, (QStringList{"closing", "opening", "opened"}));
    QVERIFY(log.contains(QStringLiteral("SerialPort >> updated config: \nPort name: %1\nBaud rate: 115200\n"
                                        "Data bits: 8\nParity:    0\nStop bits: 1\nFlow:      1\n")
                             .arg(pty.slaveName())));
    QVERIFY(log.contains(QStringLiteral("Started new session")));

    m_events.clear();
    log.clear();
    QVERIFY(SerialPort::instance().open(false));
    QCOMPARE(m_events, (QStringList{"closing", "closed", "opening", "opened"}));
    QCOMPARE(log.count(QStringLiteral("SerialPort >> closed")), 1);
    QCOMPARE(log.count(QStringLiteral("SerialPort >> opened")), 1);
    QVERIFY(!log.contains(QStringLiteral("updated config")));
}

void TstSerialPort::openMissingPortIsLost()
{
    recordSignals();
    TestSupport::LogCapture log;
    QVERIFY(!SerialPort::instance().openPort(QStringLiteral("/dev/mero-no-such-port")));
    QCOMPARE(m_events.count(QStringLiteral("lost")), 1);
    QCOMPARE(m_events.last(), QStringLiteral("lost"));
    QVERIFY(!m_events.contains(QStringLiteral("opened")));
    QVERIFY(log.contains(QStringLiteral("SerialPort >> error: DeviceNotFoundError\nDetails: ")));
    QVERIFY(!SerialPort::instance().isOpen());
}

void TstSerialPort::errorsThatMeanLoss_data()
{
    QTest::addColumn<QSerialPort::SerialPortError>("error");
    QTest::addColumn<bool>("lost");
    QTest::newRow("device not found") << QSerialPort::DeviceNotFoundError << true;
    QTest::newRow("permission") << QSerialPort::PermissionError << true;
    QTest::newRow("read") << QSerialPort::ReadError << true;
    QTest::newRow("resource") << QSerialPort::ResourceError << true;
    QTest::newRow("unknown") << QSerialPort::UnknownError << true;
    QTest::newRow("open") << QSerialPort::OpenError << false;
    QTest::newRow("write") << QSerialPort::WriteError << false;
    QTest::newRow("timeout") << QSerialPort::TimeoutError << false;
    QTest::newRow("unsupported") << QSerialPort::UnsupportedOperationError << false;
}

void TstSerialPort::errorsThatMeanLoss()
{
    QFETCH(QSerialPort::SerialPortError, error);
    QFETCH(bool, lost);
    TestSupport::PtyPair pty;
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    recordSignals();
    TestSupport::LogCapture log;
    SerialPort::instance().slotErrorOccurred(error);
    QVERIFY(!SerialPort::instance().isOpen());
    QCOMPARE(m_events.mid(0, 2), (QStringList{"closing", "closed"}));
    QCOMPARE(m_events.contains(QStringLiteral("lost")), lost);
    QVERIFY(log.contains(QStringLiteral("SerialPort >> error: ")));

    m_events.clear();
    SerialPort::instance().slotErrorOccurred(QSerialPort::NoError);
    QVERIFY(m_events.isEmpty());
}

void TstSerialPort::unpluggedWhileOpen()
{
    TestSupport::PtyPair pty;
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    recordSignals();
    TestSupport::LogCapture log;
    pty.closeMaster();
    QTRY_VERIFY(!SerialPort::instance().isOpen());
    QTest::qWait(50);
    QCOMPARE(m_events.count(QStringLiteral("lost")), 1);
    QCOMPARE(m_events.count(QStringLiteral("closed")), 1);
}

void TstSerialPort::chunksReachFrameLayer()
{
    TestSupport::PtyPair pty;
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    DeviceMessageManager::instance().enterState({DMM::EStates::RECEIVE_REPLY, {}});
    QSignalSpy replies(&DeviceMessageManager::instance(), &DeviceMessageManager::signalGotReply);
    TestSupport::LogCapture log;
    // The expected reply was reset with the port, so an identifier reply
    // arriving now is a mismatch: proof enough that the bytes got there.
    QVERIFY(pty.write(TestSupport::HandFrames::frame(0xD008)));
    QTRY_COMPARE(replies.count(), 1);
    QCOMPARE(DeviceMessageManager::instance().state(), DMM::EStates::E_COMMAND_MISMATCH);
}

void TstSerialPort::firstFrameAfterOpeningCountsZero()
{
    TestSupport::PtyPair pty;
    TCommandHeader before;
    DeviceMessageManager::instance().buildFrame(before, QByteArray(), false);
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    TCommandHeader header;
    const QByteArray frame = DeviceMessageManager::instance().buildFrame(header, QByteArray(), false);
    QCOMPARE(TestSupport::HandFrames::word(frame, TestSupport::HandFrames::kFrameCountOffset), quint16(0));
}

void TstSerialPort::closeWhenNotOpenOnlyAnnounces()
{
    recordSignals();
    TestSupport::LogCapture log;
    SerialPort::instance().close(true);
    QCOMPARE(m_events, QStringList{"closing"});
    QVERIFY(!log.contains(QStringLiteral(">> closed")));
}

void TstSerialPort::permissionErrorHint()
{
    TestSupport::PtyPair pty;
    QFile node(pty.slaveName());
    QVERIFY(node.setPermissions(QFileDevice::Permissions()));
    SerialPort::instance().port().setPortName(pty.slaveName());
    recordSignals();
    TestSupport::LogCapture log;
    SerialPort::instance().slotErrorOccurred(QSerialPort::PermissionError);
    QCOMPARE(m_events.count(QStringLiteral("lost")), 1);
    // The superuser may use any node, so for it the likelier cause is a
    // port held by another program.
    const QString hint = ::geteuid() == 0
        ? QStringLiteral("SerialPort >> hint: %1 is accessible; another program may hold the port").arg(pty.slaveName())
        : QStringLiteral("SerialPort >> hint: no permission to use %1. Add the user to the group \"%2\"")
              .arg(pty.slaveName(), QFileInfo(pty.slaveName()).group());
    QVERIFY2(log.contains(hint), qPrintable(log.lines().join('\n')));
}

QTEST_GUILESS_MAIN(TstSerialPort)
#include "tst_serialport.moc"
