#include "core/enumtext.h"
#include "data/device/commandqueue.h"
#include "data/device/devicecommands.h"
#include "data/device/devicemessagemanager.h"

#include "handframes.h"
#include "logcapture.h"

#include <QSignalSpy>
#include <QtTest>

using namespace ZData;
using DMM::EStates;
using ZData::DM::CommandQueue;
using Cmd = ZData::EDeviceCommands;
namespace HF = TestSupport::HandFrames;

namespace {

constexpr quint16 kIdCommand = quint16(EDeviceCommands::D_GET_DEVICE_ID);
constexpr quint16 kResend = quint16(EDeviceCommands::O_RESEND_PACKET_FROM_DEVICE);

DeviceMessageManager &dmm() { return DeviceMessageManager::instance(); }
CommandQueue &queue() { return CommandQueue::instance(); }

// What sendRequest does for a request that waits for a reply.
void waitForReplyTo(quint16 command, int timeoutMs = DeviceMessageManager::kReplyTimeoutMs)
{
    TCommandHeader header;
    header.command = command;
    dmm().enterState({EStates::SEND_BUSY, {}});
    dmm().buildFrame(header, QByteArray(), true);
    dmm().enterState({EStates::RECEIVE_REPLY, {timeoutMs}});
}

QByteArray flipped(QByteArray frame, int at)
{
    at = (at + frame.size()) % frame.size();
    frame[at] = char(frame.at(at) ^ 0x10);
    return frame;
}

} // namespace

class TstDeviceMessageManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void headerChecksum_data();
    void headerChecksum();
    void resendBudget();
    void stalledOrUnexpectedBytes();
    void queueOrder();
    void texts_data();
    void texts();

private:
    QList<quint16> m_delivered;
};

void TstDeviceMessageManager::initTestCase()
{
    QVERIFY(DeviceMessageManager::init() && CommandQueue::init());
    connect(&queue(), &CommandQueue::signalGotCommand, this, [this](const TCommandHeader &header) { m_delivered << header.command; });
}

void TstDeviceMessageManager::init()
{
    dmm().reset();
    dmm().resetFrameCounter();
    queue().clearQueue();
    m_delivered.clear();
}

void TstDeviceMessageManager::headerChecksum_data()
{
    QTest::addColumn<QList<quint16>>("words"); // command, options, length, checksum
    QTest::newRow("example, wrong sum") << QList<quint16>{0xD008, 0, 0, 0xAEF6};
    // 0xFFFF + 0x80FF + 0xFFFF + 0x7F02 = 0x2FFFF carries out of the single
    // fold; the dropped carry makes such a header fail on both sides.
    QTest::newRow("carry out of the fold") << QList<quint16>{0xFFFF, 0xFFFF, 0x7F02, 0xFFFE};
}

void TstDeviceMessageManager::headerChecksum()
{
    QFETCH(QList<quint16>, words);
    TCommandHeader header;
    header.command = words[0];
    header.deviceTypeState = 0x80FF;
    header.options = words[1];
    header.dataLength = words[2];
    header.checksum = words[3];
    QVERIFY(!header.isValid());
    QVERIFY(!TCommandHeader::fromWire(header.toWire()).isValid());
}

// Two failures leave one try; a good reply gives the budget back, and the
// third failure in a row gives up on the device.
void TstDeviceMessageManager::resendBudget()
{
    TestSupport::LogCapture log;
    QList<quint16> fabricated;
    connect(&dmm(), &DeviceMessageManager::signalGotReply, this, [&] { fabricated << dmm().reply().header.command; });
    for (int timeout = 0; timeout < 2; ++timeout) {
        waitForReplyTo(kIdCommand);
        dmm().slotTimerReply();
    }
    waitForReplyTo(kIdCommand);
    dmm().receiveData(HF::frame(kIdCommand));
    for (int attempt = 0; attempt < 4; ++attempt) {
        waitForReplyTo(kIdCommand);
        dmm().receiveData(flipped(HF::frame(kIdCommand), HF::kOptionsOffset));
    }
    disconnect(&dmm(), &DeviceMessageManager::signalGotReply, this, nullptr);
    QCOMPARE(fabricated, (QList<quint16>{kResend, kResend, kIdCommand, kResend, kResend, quint16(EDeviceCommands::DISCONNECT), kResend}));
}

// A frame stalled past the reply time is given up, and what follows is not
// taken for a reply; nor are bytes outside a wait, or after a reset.
void TstDeviceMessageManager::stalledOrUnexpectedBytes()
{
    TestSupport::LogCapture log;
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    dmm().receiveData(HF::frame(kIdCommand));
    waitForReplyTo(kIdCommand, 10);
    dmm().receiveData(HF::frame(kIdCommand).left(5));
    dmm().reset();
    QTest::qWait(40);
    QCOMPARE(replies.count(), 0);
    QCOMPARE(dmm().state(), EStates::FREE);

    waitForReplyTo(kIdCommand, 20);
    const QByteArray frame = HF::frame(kIdCommand, QByteArray(40, 'p'));
    dmm().receiveData(frame.left(20));
    QTRY_COMPARE(replies.count(), 1);
    QCOMPARE(dmm().state(), EStates::E_REPLY_TIMEOUT);
    dmm().receiveData(frame.mid(20));
    QCOMPARE(replies.count(), 1);
}

// One item at a time; a resend goes behind the item under way without
// interrupting it; a cleared queue drops its handlers and starts the next
// item at once.
void TstDeviceMessageManager::queueOrder()
{
    const auto commands = [](std::initializer_list<Cmd> list) {
        QList<quint16> out;
        for (Cmd command : list)
            out << quint16(command);
        return out;
    };
    QSignalSpy empty(&queue(), &CommandQueue::signalBecameEmpty);
    int ran = 0;
    queue().enqueue(Cmd::DA_GET_SCAN_DATA_S21);
    queue().enqueue(Cmd::DA_GET_ADC_VALUE, [&](const TCommandHeader &) { ++ran; });
    queue().enqueue(Cmd::O_RESEND_PACKET_FROM_DEVICE, {}, 6, true);
    QCOMPARE(queue().commands(), commands({Cmd::DA_GET_SCAN_DATA_S21, Cmd::O_RESEND_PACKET_FROM_DEVICE, Cmd::DA_GET_ADC_VALUE}));
    QCOMPARE(m_delivered, commands({Cmd::DA_GET_SCAN_DATA_S21}));
    queue().processNext(true);
    QCOMPARE(m_delivered, commands({Cmd::DA_GET_SCAN_DATA_S21, Cmd::O_RESEND_PACKET_FROM_DEVICE}));
    queue().clearQueue();
    QCOMPARE(empty.count(), 1);
    QCOMPARE(ran, 0);
    queue().enqueue(Cmd::D_GET_OPTIONS);
    QCOMPARE(m_delivered.last(), quint16(Cmd::D_GET_OPTIONS));
    queue().processNext(true);
    QCOMPARE(empty.count(), 2);
}

void TstDeviceMessageManager::texts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("unknownOf"); // the enum an unknown value is logged for
    QTest::newRow("highest command") << "command" << 0xFFF4 << "EDeviceCommands::S_UPDATE_ACTUAL_VERSION" << QString();
    QTest::newRow("unknown command") << "command" << 0x1234 << "4660" << "EDeviceCommands";
    QTest::newRow("undefined state") << "state" << 0xFF << "EDeviceStates::UNDEFINED" << QString();
    QTest::newRow("unknown state") << "state" << 2 << "2" << "EDeviceStates";
    QTest::newRow("type") << "type" << 22 << "EDeviceTypes::OSKIRO_MERO" << QString();
    QTest::newRow("highest frame state") << "frame" << 15 << "DMM::EStates::SEND_BUSY" << QString();
    QTest::newRow("unknown frame state") << "frame" << 16 << "16" << "DMM::EStates";
}

void TstDeviceMessageManager::texts()
{
    QFETCH(QString, kind);
    QFETCH(int, value);
    QFETCH(QString, expected);
    QFETCH(QString, unknownOf);
    TestSupport::LogCapture log;
    const QString text = kind == "command" ? commandText(quint16(value))
                         : kind == "state" ? stateText(quint8(value))
                         : kind == "type"  ? typeText(quint8(value))
                                           : DMM::stateText(static_cast<EStates>(value));
    QCOMPARE(text, expected);
    QCOMPARE(log.lines(QtWarningMsg), unknownOf.isEmpty() ? QStringList() : QStringList{
        QStringLiteral("EnumPrinter >> got unknown value of [ %1 ]: %2").arg(unknownOf).arg(value)});
}

QTEST_GUILESS_MAIN(TstDeviceMessageManager)
#include "tst_devicemessagemanager.moc"
