#include "data/device/crc32.h"
#include "data/device/devicecommands.h"
#include "data/device/devicemessagemanager.h"

#include "handframes.h"
#include "logcapture.h"

#include <QSignalSpy>
#include <QtTest>

using namespace ZData;
using DMM::EStates;
namespace HF = TestSupport::HandFrames;

namespace {

constexpr quint16 kIdCommand = quint16(EDeviceCommands::D_GET_DEVICE_ID);
constexpr quint16 kResend = quint16(EDeviceCommands::O_RESEND_PACKET_FROM_DEVICE);
constexpr quint16 kDisconnect = quint16(EDeviceCommands::DISCONNECT);

DeviceMessageManager &dmm()
{
    return DeviceMessageManager::instance();
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

void feedInChunks(const QByteArray &bytes, int chunkSize)
{
    for (int pos = 0; pos < bytes.size(); pos += chunkSize)
        dmm().receiveData(bytes.mid(pos, chunkSize));
}

} // namespace

class TstDeviceMessageManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void crc32_data();
    void crc32();
    void exampleFrame();
    void counterAdvancesTwicePerRequest();
    void headerChecksum_data();
    void headerChecksum();
    void checksumSetByCallerIsKept();

    void chunkedReply_data();
    void chunkedReply();
    void incompleteFrameWaits_data();
    void incompleteFrameWaits();
    void badReply_data();
    void badReply();
    void threeFailuresDisconnect();
    void successRestoresBudget();
    void replyTimeout();
    void stalledFrameTimesOut();
    void deviceResendReportAccepted();
    void dataWhileNotReceiving();
    void chunkWithoutFrameStart();
    void chunkDumpLimit_data();
    void chunkDumpLimit();
    void texts();
    void resetStopsWaiting();
};

void TstDeviceMessageManager::initTestCase()
{
    QVERIFY(DeviceMessageManager::init());
}

void TstDeviceMessageManager::init()
{
    dmm().reset();
    dmm().resetFrameCounter();
}

void TstDeviceMessageManager::crc32_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<quint32>("expected");
    QTest::newRow("empty") << QByteArray() << quint32(0);
    QTest::newRow("check digits") << QByteArray("123456789") << quint32(0xCBF43926);
    QTest::newRow("one zero byte") << QByteArray(1, '\0') << quint32(0xD202EF8D);
    QByteArray ramp;
    for (int i = 0; i < 1000; ++i)
        ramp.append(char(i * 7));
    QTest::newRow("1000-byte ramp") << ramp << HF::crc32(ramp);
}

void TstDeviceMessageManager::crc32()
{
    QFETCH(QByteArray, bytes);
    QFETCH(quint32, expected);
    QCOMPARE(DM::crc32(bytes), expected);
}

void TstDeviceMessageManager::exampleFrame()
{
    TCommandHeader header;
    header.command = kIdCommand;
    const QByteArray frame = dmm().buildFrame(header, QByteArray(), true);
    QCOMPARE(frame, QByteArray::fromHex("aa08d00000ff8000000000f7aeab4d48b6"));
    QCOMPARE(header.checksum, quint16(0xAEF7));
    QCOMPARE(dmm().expectedReplyCommand(), kIdCommand);
    QCOMPARE(frame, HF::frame(kIdCommand, QByteArray(), 0x80FF));
}

void TstDeviceMessageManager::counterAdvancesTwicePerRequest()
{
    waitForReplyTo(kIdCommand);
    QCOMPARE(dmm().frameCounter(), quint16(1));
    TCommandHeader header;
    header.command = kIdCommand;
    const QByteArray frame = dmm().buildFrame(header, QByteArray("ab"), false);
    QCOMPARE(HF::word(frame, HF::kFrameCountOffset), quint16(2));
    QCOMPARE(dmm().expectedReplyCommand(), kIdCommand);
}

void TstDeviceMessageManager::headerChecksum_data()
{
    QTest::addColumn<quint16>("command");
    QTest::addColumn<quint16>("typeState");
    QTest::addColumn<quint16>("options");
    QTest::addColumn<quint16>("length");
    QTest::addColumn<quint16>("checksum");
    QTest::addColumn<bool>("valid");
    QTest::newRow("example") << quint16(0xD008) << quint16(0x80FF) << quint16(0) << quint16(0) << quint16(0xAEF7) << true;
    QTest::newRow("example, wrong sum") << quint16(0xD008) << quint16(0x80FF) << quint16(0) << quint16(0) << quint16(0xAEF6) << false;
    // 0xFFFF + 0xFFFF + 0xFFFE = 0x2FFFC; a second non-overflowing case.
    QTest::newRow("large words") << quint16(0xFFFF) << quint16(0xFFFF) << quint16(0xFFFE) << quint16(0) << quint16(0xFFFF - 0xFFFE) << true;
    // 0xFFFF + 0xFFFF + 0xFFFF + 0x0002 = 0x2FFFF -> 2 + 0xFFFF carries out of
    // the single fold; the dropped carry makes such a header fail on both sides.
    QTest::newRow("carry out of the fold") << quint16(0xFFFF) << quint16(0xFFFF) << quint16(0xFFFF) << quint16(2) << quint16(0xFFFE) << false;
}

void TstDeviceMessageManager::headerChecksum()
{
    QFETCH(quint16, command);
    QFETCH(quint16, typeState);
    QFETCH(quint16, options);
    QFETCH(quint16, length);
    QFETCH(quint16, checksum);
    QFETCH(bool, valid);
    TCommandHeader header;
    header.command = command;
    header.deviceTypeState = typeState;
    header.options = options;
    header.dataLength = length;
    // Either the host's own sum (which the carry row shows it may produce),
    // or a foreign one that must not match it.
    QCOMPARE(header.computeChecksum() == checksum, valid || QByteArray(QTest::currentDataTag()).contains("carry"));
    header.checksum = checksum;
    QCOMPARE(header.isValid(), valid);
    QCOMPARE(TCommandHeader::fromWire(header.toWire()).isValid(), valid);
}

void TstDeviceMessageManager::checksumSetByCallerIsKept()
{
    TCommandHeader header;
    header.command = kIdCommand;
    header.checksum = 0x1234;
    const QByteArray frame = dmm().buildFrame(header, QByteArray(), false);
    QCOMPARE(HF::word(frame, HF::kChecksumOffset), quint16(0x1234));
}

void TstDeviceMessageManager::chunkedReply_data()
{
    QTest::addColumn<QByteArray>("garbage");
    QTest::addColumn<int>("payloadSize");
    QTest::addColumn<int>("chunkSize");
    QTest::newRow("whole, empty payload") << QByteArray() << 0 << 1000;
    QTest::newRow("whole, 12 bytes") << QByteArray() << 12 << 1000;
    QTest::newRow("single bytes") << QByteArray() << 12 << 1;
    QTest::newRow("pairs") << QByteArray() << 7 << 2;
    QTest::newRow("header-sized chunks") << QByteArray() << 30 << 13;
    QTest::newRow("garbage in front") << QByteArray::fromHex("0102") << 12 << 1000;
    QTest::newRow("garbage in front, single bytes") << QByteArray::fromHex("0102") << 5 << 1;
    QTest::newRow("large payload, odd chunks") << QByteArray() << 3000 << 97;
}

void TstDeviceMessageManager::chunkedReply()
{
    QFETCH(QByteArray, garbage);
    QFETCH(int, payloadSize);
    QFETCH(int, chunkSize);
    QByteArray payload;
    for (int i = 0; i < payloadSize; ++i)
        payload.append(char(0xAA ^ i));
    const QByteArray frame = HF::frame(kIdCommand, payload, 0x0016, 7);

    waitForReplyTo(kIdCommand);
    TestSupport::LogCapture log;
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    feedInChunks(garbage + frame, chunkSize);

    QCOMPARE(replies.count(), 1);
    QCOMPARE(dmm().state(), EStates::FREE);
    QCOMPARE(dmm().reply().header.command, kIdCommand);
    QCOMPARE(dmm().reply().header.options, quint16(7));
    QCOMPARE(dmm().reply().header.deviceTypeState, quint16(0x0016));
    QCOMPARE(dmm().reply().data, payload);
    QCOMPARE(dmm().reply().crc, frame.right(4));
    QCOMPARE(dmm().resendBudget(), DeviceMessageManager::kResendBudget);
}

void TstDeviceMessageManager::incompleteFrameWaits_data()
{
    QTest::addColumn<int>("cut");
    const QByteArray frame = HF::frame(kIdCommand, QByteArray(5, 'x'));
    QTest::newRow("start byte only") << 1;
    QTest::newRow("12 header bytes after the start byte") << 13 - 1;
    QTest::newRow("header, no payload") << 13;
    QTest::newRow("all but the last CRC byte") << frame.size() - 1;
}

void TstDeviceMessageManager::incompleteFrameWaits()
{
    QFETCH(int, cut);
    const QByteArray frame = HF::frame(kIdCommand, QByteArray(5, 'x'));
    waitForReplyTo(kIdCommand);
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    dmm().receiveData(frame.left(cut));
    QCOMPARE(replies.count(), 0);
    QVERIFY(dmm().isReceiving());
    dmm().receiveData(frame.mid(cut));
    QCOMPARE(replies.count(), 1);
    QCOMPARE(dmm().state(), EStates::FREE);
}

void TstDeviceMessageManager::badReply_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<EStates>("state");
    const QByteArray good = HF::frame(kIdCommand, QByteArray::fromHex("0102030405"));

    QByteArray header = good;
    header[HF::kOptionsOffset] = char(header.at(HF::kOptionsOffset) ^ 0x10);
    QTest::newRow("header bit flipped") << header << EStates::E_HEADER_FAILED;

    QByteArray payload = good;
    payload[HF::kPayloadOffset + 2] = char(payload.at(HF::kPayloadOffset + 2) ^ 0x01);
    QTest::newRow("payload bit flipped") << payload << EStates::E_PACKET_FAILED;

    QByteArray crc = good;
    crc[crc.size() - 1] = char(crc.at(crc.size() - 1) ^ 0x80);
    QTest::newRow("crc bit flipped") << crc << EStates::E_PACKET_FAILED;

    QTest::newRow("reply to another command")
        << HF::frame(quint16(EDeviceCommands::D_GET_FIRMWARE_VERSION), QByteArray(12, '\0'))
        << EStates::E_COMMAND_MISMATCH;
}

void TstDeviceMessageManager::badReply()
{
    QFETCH(QByteArray, frame);
    QFETCH(EStates, state);
    waitForReplyTo(kIdCommand);
    TestSupport::LogCapture log;
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    dmm().receiveData(frame);

    QCOMPARE(replies.count(), 1);
    QCOMPARE(dmm().state(), state);
    QCOMPARE(dmm().resendBudget(), qint16(2));
    const TCommandHeader &fabricated = dmm().reply().header;
    QCOMPARE(fabricated.command, kResend);
    QCOMPARE(fabricated.options, quint16(state));
    QCOMPARE(fabricated.deviceTypeState, quint16(0x80FF));
    QCOMPARE(fabricated.dataLength, quint16(0));
    QCOMPARE(fabricated.frameCount, quint16(0));
    QCOMPARE(fabricated.checksum, quint16(0));
    QVERIFY(log.contains(QStringLiteral("DeviceMessageManager [ 1 ] >> ") + DMM::stateText(state)));
    QVERIFY(!dmm().isReceiving());
}

void TstDeviceMessageManager::threeFailuresDisconnect()
{
    TestSupport::LogCapture log;
    QList<quint16> fabricated;
    connect(&dmm(), &DeviceMessageManager::signalGotReply, this,
            [&] { fabricated << dmm().reply().header.command; });
    const QByteArray broken = HF::frame(kIdCommand).replace(HF::kOptionsOffset, 1, "\x01");
    for (int attempt = 0; attempt < 4; ++attempt) {
        waitForReplyTo(kIdCommand);
        dmm().receiveData(broken);
    }
    disconnect(&dmm(), &DeviceMessageManager::signalGotReply, this, nullptr);
    QCOMPARE(fabricated, (QList<quint16>{kResend, kResend, kDisconnect, kResend}));
    QCOMPARE(dmm().resendBudget(), qint16(2));
}

void TstDeviceMessageManager::successRestoresBudget()
{
    TestSupport::LogCapture log;
    waitForReplyTo(kIdCommand);
    dmm().slotTimerReply();
    waitForReplyTo(kIdCommand);
    dmm().slotTimerReply();
    QCOMPARE(dmm().resendBudget(), qint16(1));
    waitForReplyTo(kIdCommand);
    dmm().receiveData(HF::frame(kIdCommand));
    QCOMPARE(dmm().state(), EStates::FREE);
    QCOMPARE(dmm().resendBudget(), qint16(3));
}

void TstDeviceMessageManager::replyTimeout()
{
    TestSupport::LogCapture log;
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    waitForReplyTo(kIdCommand, 20);
    QTRY_COMPARE(replies.count(), 1);
    QCOMPARE(dmm().state(), EStates::E_REPLY_TIMEOUT);
    QCOMPARE(dmm().reply().header.command, kResend);
    QCOMPARE(dmm().reply().header.options, quint16(EStates::E_REPLY_TIMEOUT));
}

void TstDeviceMessageManager::stalledFrameTimesOut()
{
    TestSupport::LogCapture log;
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    waitForReplyTo(kIdCommand, 20);
    const QByteArray frame = HF::frame(kIdCommand, QByteArray(40, 'p'));
    dmm().receiveData(frame.left(20));
    QCOMPARE(dmm().state(), EStates::RECEIVE_HEADER);
    QTRY_COMPARE(replies.count(), 1);
    QCOMPARE(dmm().state(), EStates::E_REPLY_TIMEOUT);
    QCOMPARE(dmm().reply().header.command, kResend);
    // Whatever the device sends after giving up on it is not taken as a reply.
    dmm().receiveData(frame.mid(20));
    QCOMPARE(replies.count(), 1);
}

void TstDeviceMessageManager::deviceResendReportAccepted()
{
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    waitForReplyTo(kIdCommand);
    dmm().receiveData(HF::frame(kResend));
    QCOMPARE(replies.count(), 1);
    QCOMPARE(dmm().state(), EStates::FREE);
    QCOMPARE(dmm().reply().header.command, kResend);
    QCOMPARE(dmm().reply().header.options, quint16(0));
}

void TstDeviceMessageManager::dataWhileNotReceiving()
{
    TestSupport::LogCapture log;
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    dmm().receiveData(HF::frame(kIdCommand));
    QCOMPARE(replies.count(), 0);
    QCOMPARE(dmm().state(), EStates::FREE);
    QVERIFY(log.contains(QStringLiteral("DeviceMessageManager >> got data while NOT receiving")));
}

void TstDeviceMessageManager::chunkWithoutFrameStart()
{
    TestSupport::LogCapture log;
    waitForReplyTo(kIdCommand);
    dmm().receiveData(QByteArray::fromHex("0102030405"));
    QVERIFY(log.contains(QStringLiteral("DeviceMessageManager >> message doesn't contain FRAME_START")));
    QCOMPARE(dmm().state(), EStates::RECEIVE_REPLY);
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    dmm().receiveData(HF::frame(kIdCommand));
    QCOMPARE(replies.count(), 1);
    QCOMPARE(dmm().state(), EStates::FREE);
}

void TstDeviceMessageManager::chunkDumpLimit_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("dumped");
    QTest::newRow("99 bytes") << 99 << true;
    QTest::newRow("100 bytes") << 100 << false;
}

void TstDeviceMessageManager::chunkDumpLimit()
{
    QFETCH(int, size);
    QFETCH(bool, dumped);
    TestSupport::LogCapture log;
    dmm().receiveData(QByteArray(size, '\x0f'));
    const QString dump = QStringLiteral("DeviceMessageManager [ 65535 ] << 0f 0f");
    QCOMPARE(log.contains(dump), dumped);
}

void TstDeviceMessageManager::texts()
{
    TCommandHeader header;
    header.command = quint16(EDeviceCommands::D_GET_OPTIONS);
    header.frameCount = 4;
    header.deviceTypeState = 0x8016;
    header.options = 2;
    header.dataLength = 9;
    header.checksum = 77;
    QCOMPARE(DeviceMessageManager::headerText(header),
             QStringLiteral("\nCommand:      EDeviceCommands::D_GET_OPTIONS\nFrame count:  4\n"
                            "Device type:  EDeviceTypes::OSKIRO_MERO\nDevice state: EDeviceStates::BOOTLOADER\n"
                            "Options:      2\nData length:  9\nChecksum:     77\n"));
    TDeviceReply reply;
    QCOMPARE(dmm().replyDataText(reply), QString());
    reply.data = QByteArray::fromHex("0aff10");
    QCOMPARE(dmm().replyDataText(reply), QStringLiteral("[ 65535 ] Data: 0a ff 10"));
}

void TstDeviceMessageManager::resetStopsWaiting()
{
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    waitForReplyTo(kIdCommand, 10);
    dmm().receiveData(HF::frame(kIdCommand).left(5));
    dmm().reset();
    QTest::qWait(40);
    QCOMPARE(replies.count(), 0);
    QCOMPARE(dmm().state(), EStates::FREE);
    QCOMPARE(dmm().expectedReplyCommand(), quint16(EDeviceCommands::UNDEFINED));
}

QTEST_GUILESS_MAIN(TstDeviceMessageManager)
#include "tst_devicemessagemanager.moc"
