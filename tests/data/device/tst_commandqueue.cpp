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
    void deliversOneAtATime();
    void toFrontGoesBehindHead();
    void clearBusyQueue();

private:
    CommandQueue &queue() { return CommandQueue::instance(); }
    QList<quint16> m_delivered;
    TestSupport::LogCapture m_quiet;
};

void TstCommandQueue::initTestCase()
{
    QVERIFY(CommandQueue::init());
    connect(&queue(), &CommandQueue::signalGotCommand, this, [this](const TCommandHeader &header) { m_delivered << header.command; });
}

void TstCommandQueue::init()
{
    queue().clearQueue();
    m_delivered.clear();
}

void TstCommandQueue::deliversOneAtATime()
{
    QSignalSpy empty(&queue(), &CommandQueue::signalBecameEmpty);
    queue().enqueue(Cmd::D_GET_DEVICE_ID);
    queue().enqueue(Cmd::D_GET_FIRMWARE_VERSION);
    QCOMPARE(m_delivered, QList<quint16>{quint16(Cmd::D_GET_DEVICE_ID)});
    queue().processNext(true);
    QCOMPARE(m_delivered, (QList<quint16>{quint16(Cmd::D_GET_DEVICE_ID), quint16(Cmd::D_GET_FIRMWARE_VERSION)}));
    queue().processNext(true);
    QCOMPARE(empty.count(), 1);
}

void TstCommandQueue::toFrontGoesBehindHead()
{
    const quint16 resend = quint16(Cmd::O_RESEND_PACKET_FROM_DEVICE);
    queue().enqueue(Cmd::DA_GET_SCAN_DATA_S21);
    queue().enqueue(Cmd::DA_GET_ADC_VALUE);
    m_delivered.clear();
    queue().enqueue(Cmd::O_RESEND_PACKET_FROM_DEVICE, {}, 6, true);
    QCOMPARE(queue().commands(), (QList<quint16>{quint16(Cmd::DA_GET_SCAN_DATA_S21), resend, quint16(Cmd::DA_GET_ADC_VALUE)}));
    // The item under way is never interrupted.
    QVERIFY(m_delivered.isEmpty());
    queue().processNext(true);
    QCOMPARE(m_delivered, QList<quint16>{resend});
}

void TstCommandQueue::clearBusyQueue()
{
    int ran = 0;
    queue().enqueue(Cmd::D_GET_DEVICE_ID);
    queue().enqueue(Cmd::DA_SET_GAIN_VALUE, [&](const TCommandHeader &) { ++ran; });
    QSignalSpy empty(&queue(), &CommandQueue::signalBecameEmpty);
    queue().clearQueue();
    QCOMPARE(empty.count(), 1);
    QCOMPARE(ran, 0);
    // A cleared queue starts the next item at once, not after a lost finish.
    queue().enqueue(Cmd::D_GET_OPTIONS);
    QCOMPARE(m_delivered.last(), quint16(Cmd::D_GET_OPTIONS));
}

QTEST_GUILESS_MAIN(TstCommandQueue)
#include "tst_commandqueue.moc"
