#include "core/enumtext.h"
#include "data/device/commandqueue.h"
#include "data/device/devicecommands.h"
#include "data/device/devicemessagemanager.h"
#include "data/server/eservercommands.h"

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

QString textOf(const QString &kind, qint64 value)
{
    if (kind == QLatin1String("command"))
        return commandText(quint16(value));
    if (kind == QLatin1String("state"))
        return stateText(quint8(value));
    if (kind == QLatin1String("type"))
        return typeText(quint8(value));
    if (kind == QLatin1String("option"))
        return optionText(static_cast<EDeviceOptions>(value));
    if (kind == QLatin1String("frame state"))
        return DMM::stateText(static_cast<DMM::EStates>(value));
    return ZCore::enumText(static_cast<EServerCommands>(value));
}

// What sendRequest does for a request that waits for a reply.
void waitForReplyTo(quint16 command, int timeoutMs = DeviceMessageManager::kReplyTimeoutMs)
{
    TCommandHeader header;
    header.command = command;
    dmm().enterState({EStates::SEND_BUSY, {}});
    dmm().buildFrame(header, QByteArray(), true);
    dmm().enterState({EStates::RECEIVE_REPLY, {timeoutMs}});
}

} // namespace

class TstDeviceMessageManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void exampleFrame();
    void headerChecksum_data();
    void headerChecksum();
    void chunkedReply_data();
    void chunkedReply();
    void badReply_data();
    void badReply();
    void resendBudget();
    void stalledFrameTimesOut();
    void deviceResendReportAccepted();
    void ignoredOutsideAWait();
    void deliversOneAtATime();
    void toFrontGoesBehindHead();
    void clearBusyQueue();
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

void TstDeviceMessageManager::exampleFrame()
{
    TCommandHeader header;
    header.command = kIdCommand;
    QCOMPARE(dmm().buildFrame(header, QByteArray(), true), QByteArray::fromHex("aa08d00000ff8000000000f7aeab4d48b6"));
    QCOMPARE(dmm().expectedReplyCommand(), kIdCommand);
    // The counter advances for the request and again for its reply.
    dmm().enterState({EStates::RECEIVE_REPLY, {}});
    QCOMPARE(HF::word(dmm().buildFrame(header, QByteArray("ab"), false), HF::kFrameCountOffset), quint16(2));
}

void TstDeviceMessageManager::headerChecksum_data()
{
    QTest::addColumn<quint16>("command");
    QTest::addColumn<quint16>("options");
    QTest::addColumn<quint16>("length");
    QTest::addColumn<quint16>("checksum");
    QTest::addColumn<bool>("valid");
    QTest::newRow("example") << quint16(0xD008) << quint16(0) << quint16(0) << quint16(0xAEF7) << true;
    QTest::newRow("example, wrong sum") << quint16(0xD008) << quint16(0) << quint16(0) << quint16(0xAEF6) << false;
    // 0xFFFF + 0x80FF + 0xFFFF + 0x7F02 = 0x2FFFF carries out of the single
    // fold; the dropped carry makes such a header fail on both sides.
    QTest::newRow("carry out of the fold") << quint16(0xFFFF) << quint16(0xFFFF) << quint16(0x7F02) << quint16(0xFFFE) << false;
}

void TstDeviceMessageManager::headerChecksum()
{
    QFETCH(quint16, command);
    QFETCH(quint16, options);
    QFETCH(quint16, length);
    QFETCH(quint16, checksum);
    QFETCH(bool, valid);
    TCommandHeader header;
    header.command = command;
    header.deviceTypeState = 0x80FF;
    header.options = options;
    header.dataLength = length;
    header.checksum = checksum;
    QCOMPARE(header.isValid(), valid);
    QCOMPARE(TCommandHeader::fromWire(header.toWire()).isValid(), valid);
}

void TstDeviceMessageManager::chunkedReply_data()
{
    QTest::addColumn<QByteArray>("garbage");
    QTest::addColumn<int>("payloadSize");
    QTest::addColumn<int>("chunkSize");
    QTest::newRow("whole, empty payload") << QByteArray() << 0 << 1000;
    QTest::newRow("header-sized chunks") << QByteArray() << 30 << 13;
    QTest::newRow("garbage in front, single bytes") << QByteArray::fromHex("0102") << 5 << 1;
    QTest::newRow("large payload, odd chunks") << QByteArray() << 3000 << 97;
}

void TstDeviceMessageManager::chunkedReply()
{
    QFETCH(QByteArray, garbage);
    QFETCH(int, payloadSize);
    QFETCH(int, chunkSize);
    const QByteArray payload = QByteArray("\xAA\x01\x02\x03\x04\x05\x06").repeated(500).left(payloadSize);
    const QByteArray frame = HF::frame(kIdCommand, payload, 0x0016, 7);
    waitForReplyTo(kIdCommand);
    TestSupport::LogCapture log;
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    for (int pos = 0; pos < garbage.size() + frame.size(); pos += chunkSize)
        dmm().receiveData((garbage + frame).mid(pos, chunkSize));
    QCOMPARE(replies.count(), 1);
    QCOMPARE(dmm().reply().header.options, quint16(7));
    QCOMPARE(dmm().reply().data, payload);
}

void TstDeviceMessageManager::badReply_data()
{
    QTest::addColumn<int>("flipAt"); // negative: from the end
    QTest::addColumn<EStates>("state");
    QTest::newRow("header bit flipped") << int(HF::kOptionsOffset) << EStates::E_HEADER_FAILED;
    QTest::newRow("payload bit flipped") << int(HF::kPayloadOffset) + 2 << EStates::E_PACKET_FAILED;
    QTest::newRow("crc bit flipped") << -1 << EStates::E_PACKET_FAILED;
    QTest::newRow("reply to another command") << 0 << EStates::E_COMMAND_MISMATCH;
}

void TstDeviceMessageManager::badReply()
{
    QFETCH(int, flipAt);
    QFETCH(EStates, state);
    QByteArray frame = HF::frame(flipAt ? kIdCommand : quint16(EDeviceCommands::D_GET_FIRMWARE_VERSION), QByteArray::fromHex("0102030405"));
    const int at = (flipAt + frame.size()) % frame.size();
    if (flipAt)
        frame[at] = char(frame.at(at) ^ 0x10);
    waitForReplyTo(kIdCommand);
    TestSupport::LogCapture log;
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    dmm().receiveData(frame);
    // The failure reaches the queue as a resend request naming the fault.
    QCOMPARE(replies.count(), 1);
    QCOMPARE(dmm().state(), state);
    QCOMPARE(dmm().reply().header.command, kResend);
    QCOMPARE(dmm().reply().header.options, quint16(state));
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
    const QByteArray broken = HF::frame(kIdCommand).replace(HF::kOptionsOffset, 1, "\x01");
    for (int attempt = 0; attempt < 4; ++attempt) {
        waitForReplyTo(kIdCommand);
        dmm().receiveData(broken);
    }
    disconnect(&dmm(), &DeviceMessageManager::signalGotReply, this, nullptr);
    QCOMPARE(fabricated, (QList<quint16>{kResend, kResend, kIdCommand, kResend, kResend, quint16(EDeviceCommands::DISCONNECT), kResend}));
}

void TstDeviceMessageManager::stalledFrameTimesOut()
{
    TestSupport::LogCapture log;
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    waitForReplyTo(kIdCommand, 20);
    const QByteArray frame = HF::frame(kIdCommand, QByteArray(40, 'p'));
    dmm().receiveData(frame.left(20));
    QTRY_COMPARE(replies.count(), 1);
    QCOMPARE(dmm().state(), EStates::E_REPLY_TIMEOUT);
    // Whatever the device sends after giving up on it is not taken as a reply.
    dmm().receiveData(frame.mid(20));
    QCOMPARE(replies.count(), 1);
}

void TstDeviceMessageManager::deviceResendReportAccepted()
{
    waitForReplyTo(kIdCommand);
    dmm().receiveData(HF::frame(kResend));
    QCOMPARE(dmm().state(), EStates::FREE);
    QCOMPARE(dmm().reply().header.command, kResend);
}

// Bytes outside a wait for a reply, or after a reset, are nobody's reply.
void TstDeviceMessageManager::ignoredOutsideAWait()
{
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    dmm().receiveData(HF::frame(kIdCommand));
    waitForReplyTo(kIdCommand, 10);
    dmm().receiveData(HF::frame(kIdCommand).left(5));
    dmm().reset();
    QTest::qWait(40);
    QCOMPARE(replies.count(), 0);
    QCOMPARE(dmm().state(), EStates::FREE);
}

void TstDeviceMessageManager::deliversOneAtATime()
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

void TstDeviceMessageManager::toFrontGoesBehindHead()
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

void TstDeviceMessageManager::clearBusyQueue()
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

void TstDeviceMessageManager::texts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("warning");
    QTest::newRow("command") << "command" << qint64(0xD003) << "EDeviceCommands::D_GET_OPTIONS" << QString();
    QTest::newRow("highest command") << "command" << qint64(0xFFF4) << "EDeviceCommands::S_UPDATE_ACTUAL_VERSION" << QString();
    QTest::newRow("unknown command") << "command" << qint64(0x1234) << "4660"
                                     << "EnumPrinter >> got unknown value of [ EDeviceCommands ]: 4660";
    QTest::newRow("state") << "state" << qint64(1) << "EDeviceStates::BOOTLOADER" << QString();
    QTest::newRow("undefined state") << "state" << qint64(0xFF) << "EDeviceStates::UNDEFINED" << QString();
    QTest::newRow("unknown state") << "state" << qint64(2) << "2"
                                   << "EnumPrinter >> got unknown value of [ EDeviceStates ]: 2";
    QTest::newRow("type") << "type" << qint64(22) << "EDeviceTypes::OSKIRO_MERO" << QString();
    QTest::newRow("option") << "option" << qint64(1) << "EDeviceOptions::BANDWIDTH" << QString();
    QTest::newRow("frame state") << "frame state" << qint64(0) << "DMM::EStates::FREE" << QString();
    QTest::newRow("frame state 15") << "frame state" << qint64(15) << "DMM::EStates::SEND_BUSY" << QString();
    QTest::newRow("unknown frame state") << "frame state" << qint64(16) << "16"
                                         << "EnumPrinter >> got unknown value of [ DMM::EStates ]: 16";
    QTest::newRow("server result") << "server" << qint64(-1) << "EServerCommands::UNDEFINED" << QString();
}

void TstDeviceMessageManager::texts()
{
    QFETCH(QString, kind);
    QFETCH(qint64, value);
    QFETCH(QString, expected);
    QFETCH(QString, warning);
    TestSupport::LogCapture log;
    QCOMPARE(textOf(kind, value), expected);
    const QStringList expectedWarnings = warning.isEmpty() ? QStringList() : QStringList{warning};
    QCOMPARE(log.lines(QtWarningMsg), expectedWarnings);
}

QTEST_GUILESS_MAIN(TstDeviceMessageManager)
#include "tst_devicemessagemanager.moc"
