#include "data/device/commandqueue.h"

#include "logcapture.h"

#include <QSignalSpy>
#include <QtTest>

using namespace ZData;
using ZData::DM::CommandQueue;
using Cmd = ZData::EDeviceCommands;

class TstCommandQueue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void deliversOneAtATime();
    void toFrontGoesBehindHead_data();
    void toFrontGoesBehindHead();
    void actionReplacesSignal();
    void itemHeaderDefaults();
    void quietCommands_data();
    void quietCommands();
    void clearBusyQueue();
    void handlerMayEnqueue();

private:
    CommandQueue &queue() { return CommandQueue::instance(); }
    QList<quint16> m_delivered;
    TCommandHeader m_lastHeader;
};

void TstCommandQueue::initTestCase()
{
    QVERIFY(CommandQueue::init());
    connect(&queue(), &CommandQueue::signalGotCommand, this,
            [this](const TCommandHeader &header) {
                m_delivered << header.command;
                m_lastHeader = header;
            });
}

void TstCommandQueue::init()
{
    m_delivered.clear();
}

void TstCommandQueue::cleanup()
{
    queue().clearQueue();
}

void TstCommandQueue::deliversOneAtATime()
{
    TestSupport::LogCapture log;
    QSignalSpy empty(&queue(), &CommandQueue::signalBecameEmpty);
    queue().enqueue(Cmd::D_GET_DEVICE_ID);
    queue().enqueue(Cmd::D_GET_DEVICE_FULL_TYPE);
    queue().enqueue(Cmd::D_GET_FIRMWARE_VERSION);
    QCOMPARE(m_delivered, QList<quint16>{quint16(Cmd::D_GET_DEVICE_ID)});
    queue().processNext(true);
    queue().processNext(true);
    QCOMPARE(m_delivered, (QList<quint16>{quint16(Cmd::D_GET_DEVICE_ID), quint16(Cmd::D_GET_DEVICE_FULL_TYPE),
                                          quint16(Cmd::D_GET_FIRMWARE_VERSION)}));
    QCOMPARE(empty.count(), 0);
    queue().processNext(true);
    QCOMPARE(empty.count(), 1);
    QVERIFY(queue().isEmpty());
    QCOMPARE(log.lines(QtDebugMsg),
             (QStringList{"CommandQueue << EDeviceCommands::D_GET_DEVICE_ID",
                          "CommandQueue >> process: EDeviceCommands::D_GET_DEVICE_ID",
                          "CommandQueue << EDeviceCommands::D_GET_DEVICE_FULL_TYPE",
                          "CommandQueue << EDeviceCommands::D_GET_FIRMWARE_VERSION",
                          "CommandQueue >> finished: EDeviceCommands::D_GET_DEVICE_ID",
                          "CommandQueue >> process: EDeviceCommands::D_GET_DEVICE_FULL_TYPE",
                          "CommandQueue >> finished: EDeviceCommands::D_GET_DEVICE_FULL_TYPE",
                          "CommandQueue >> process: EDeviceCommands::D_GET_FIRMWARE_VERSION",
                          "CommandQueue >> finished: EDeviceCommands::D_GET_FIRMWARE_VERSION",
                          "CommandQueue >> empty"}));
}

void TstCommandQueue::toFrontGoesBehindHead_data()
{
    QTest::addColumn<QList<quint16>>("before");
    QTest::addColumn<QList<quint16>>("after");
    const quint16 a = quint16(Cmd::DA_GET_SCAN_DATA_S21);
    const quint16 b = quint16(Cmd::DA_GET_ADC_VALUE);
    const quint16 c = quint16(Cmd::DA_GET_SCAN_DATA_S12);
    const quint16 r = quint16(Cmd::O_RESEND_PACKET_FROM_DEVICE);
    QTest::newRow("empty queue") << QList<quint16>{} << QList<quint16>{r};
    QTest::newRow("head only") << QList<quint16>{a} << QList<quint16>{a, r};
    QTest::newRow("head and two waiting") << QList<quint16>{a, b, c} << QList<quint16>{a, r, b, c};
}

void TstCommandQueue::toFrontGoesBehindHead()
{
    QFETCH(QList<quint16>, before);
    QFETCH(QList<quint16>, after);
    for (quint16 command : before)
        queue().enqueue(static_cast<Cmd>(command));
    m_delivered.clear();
    queue().enqueue(Cmd::O_RESEND_PACKET_FROM_DEVICE, {}, 6, true);
    QCOMPARE(queue().commands(), after);
    if (before.isEmpty()) {
        QCOMPARE(m_delivered, QList<quint16>{quint16(Cmd::O_RESEND_PACKET_FROM_DEVICE)});
    } else {
        QVERIFY(m_delivered.isEmpty());
        queue().processNext(true);
        QCOMPARE(m_delivered, QList<quint16>{quint16(Cmd::O_RESEND_PACKET_FROM_DEVICE)});
    }
}

void TstCommandQueue::actionReplacesSignal()
{
    QList<TCommandHeader> ran;
    queue().enqueue(Cmd::DA_SET_GAIN_VALUE, [&](const TCommandHeader &header) { ran << header; }, 42);
    QCOMPARE(ran.size(), 1);
    QCOMPARE(ran.first().options, quint16(42));
    QVERIFY(m_delivered.isEmpty());
    QCOMPARE(queue().size(), 1);
}

void TstCommandQueue::itemHeaderDefaults()
{
    queue().enqueue(Cmd::D_GET_OPTIONS, {}, 9);
    QCOMPARE(m_delivered.size(), 1);
    QCOMPARE(m_lastHeader.command, quint16(Cmd::D_GET_OPTIONS));
    QCOMPARE(m_lastHeader.options, quint16(9));
    QCOMPARE(m_lastHeader.deviceTypeState, quint16(0x80FF));
    QCOMPARE(m_lastHeader.dataLength, quint16(0));
    QCOMPARE(m_lastHeader.frameCount, quint16(0));
    QCOMPARE(m_lastHeader.checksum, quint16(0));
}

void TstCommandQueue::quietCommands_data()
{
    QTest::addColumn<Cmd>("command");
    QTest::addColumn<bool>("logged");
    QTest::newRow("scan data") << Cmd::DA_GET_SCAN_DATA << false;
    QTest::newRow("firmware chunk") << Cmd::B_SEND_MAINAPP_CHUNK << false;
    QTest::newRow("calibration data") << Cmd::F_READ_CALIB_DATA << false;
    QTest::newRow("scan S21") << Cmd::DA_GET_SCAN_DATA_S21 << true;
    QTest::newRow("scan S12") << Cmd::DA_GET_SCAN_DATA_S12 << true;
}

void TstCommandQueue::quietCommands()
{
    QFETCH(Cmd, command);
    QFETCH(bool, logged);
    TestSupport::LogCapture log;
    queue().enqueue(command);
    queue().processNext(true);
    QCOMPARE(log.count(QStringLiteral("EDeviceCommands::")), logged ? 3 : 0);
    QVERIFY(log.contains(QStringLiteral("CommandQueue >> empty")));
}

void TstCommandQueue::clearBusyQueue()
{
    int ran = 0;
    queue().enqueue(Cmd::D_GET_DEVICE_ID);
    queue().enqueue(Cmd::DA_SET_GAIN_VALUE, [&](const TCommandHeader &) { ++ran; });
    QSignalSpy empty(&queue(), &CommandQueue::signalBecameEmpty);
    queue().clearQueue();
    QCOMPARE(empty.count(), 1);
    QVERIFY(queue().isEmpty());
    QCOMPARE(ran, 0);
    queue().enqueue(Cmd::D_GET_OPTIONS);
    QCOMPARE(m_delivered.last(), quint16(Cmd::D_GET_OPTIONS));
}

void TstCommandQueue::handlerMayEnqueue()
{
    // A handler that queues follow-up work and finishes at once, as the
    // device manager does for host-only items.
    queue().enqueue(Cmd::STARTUP_FINISHED, [this](const TCommandHeader &) {
        queue().enqueue(Cmd::D_GET_OPTIONS, {}, 0, true);
        queue().processNext(true);
    });
    QCOMPARE(m_delivered, QList<quint16>{quint16(Cmd::D_GET_OPTIONS)});
    QCOMPARE(queue().commands(), QList<quint16>{quint16(Cmd::D_GET_OPTIONS)});
}

QTEST_GUILESS_MAIN(TstCommandQueue)
#include "tst_commandqueue.moc"
