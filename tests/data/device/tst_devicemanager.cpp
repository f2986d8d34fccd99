// The device manager with its frame layer and command queue, driven by
// replies handed straight to the frame layer.
#include "core/enumtext.h"
#include "data/device/commandqueue.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/iupdateserverclient.h"
#include "data/device/serialport.h"

#include "handframes.h"
#include "logcapture.h"
#include "ptypair.h"

#include <QSignalSpy>
#include <QtTest>

using namespace ZData;
using namespace ZData::DM;
using TestSupport::PtyPair;
using DMM::EStates;
using Cmd = ZData::EDeviceCommands;
namespace HF = TestSupport::HandFrames;

namespace {

// Answers every request at once as a reachable server would; tests set
// what it answers with.
struct FakeServer : DM::IUpdateServerClient
{
    bool requestActualVersion() override { return call(QStringLiteral("requestActualVersion")); }
    bool requestUpdate() override { return call(QStringLiteral("requestUpdate")); }
    bool sendActualVersion(const ZCore::TVersion &version) override { return call("sendActualVersion " + version.toString()); }
    void clearUpdateCache() override { call(QStringLiteral("clearUpdateCache")); }
    void abandonRequest() override {}
    EServerCommands lastResult() const override { return result; }
    QString replyText() const override { return QStringLiteral("3.1.4"); }
    QByteArray replyData() const override { return data; }
    QString clientTag() const override { return QStringLiteral("ServerManager"); }
    bool call(const QString &name) { calls << name; return accept; }

    QStringList calls;
    bool accept = true;
    EServerCommands result = EServerCommands::SEND_ACTUAL_VERSION;
    QByteArray data;
};

DeviceManager &manager() { return DeviceManager::instance(); }
CommandQueue &queue() { return CommandQueue::instance(); }
constexpr quint16 kIdCommand = quint16(EDeviceCommands::D_GET_DEVICE_ID);
constexpr quint16 kResend = quint16(EDeviceCommands::O_RESEND_PACKET_FROM_DEVICE);

DeviceMessageManager &dmm() { return DeviceMessageManager::instance(); }

// What sendRequest does for a request that waits for a reply.
void waitForReplyTo(quint16 command, int timeoutMs = DeviceMessageManager::kReplyTimeoutMs)
{
    TCommandHeader header;
    header.command = command;
    dmm().enterState({EStates::SEND_BUSY, {}});
    dmm().buildFrame(header, QByteArray(), true);
    dmm().enterState({EStates::RECEIVE_REPLY, {timeoutMs}});
}

// A reply delivered straight to the frame layer, as if read from the port.
void injectReply(Cmd expected, const QByteArray &payload = {}, quint16 typeState = 0x0016, quint16 options = 0)
{
    dmm().reset();
    waitForReplyTo(quint16(expected));
    dmm().receiveData(HF::frame(quint16(expected), payload, typeState, options));
}

QByteArray flipped(QByteArray frame, int at)
{
    at = (at + frame.size()) % frame.size();
    frame[at] = char(frame.at(at) ^ 0x10);
    return frame;
}

} // namespace

class TstDeviceManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void shortIdentityPayloads();
    void options_data();
    void options();
    void queueGoesOnOrStops_data();
    void queueGoesOnOrStops();
    void updatePendingRules_data();
    void updatePendingRules();
    void transfer();
    void serverReplies_data();
    void serverReplies();
    void headerChecksumCarry();
    void resendBudget();
    void stalledOrUnexpectedBytes();
    void queueOrder();

private:
    FakeServer m_server;
    QList<quint16> m_delivered;
};

void TstDeviceManager::initTestCase()
{
    QVERIFY(DeviceMessageManager::init() && SerialPort::init() && DeviceManager::init());
    manager().setUpdateServer(&m_server);
    connect(&queue(), &CommandQueue::signalGotCommand, this, [this](const TCommandHeader &header) { m_delivered << header.command; });
}

void TstDeviceManager::cleanup()
{
    SerialPort::instance().close(true);
    queue().clearQueue();
    dmm().reset();
    dmm().resetFrameCounter();
    m_delivered.clear();
    manager().disconnect(this);
    m_server = FakeServer();
    manager().setDeviceInfo(DeviceInfo());
    ConnectionManager::instance().setAutoReconnect(true);
}

// Short replies keep what is known and do not stall the link.
void TstDeviceManager::shortIdentityPayloads()
{
    DeviceInfo before;
    before.id = QStringLiteral("5-5-5");
    before.firmwareVersion = ZCore::TVersion(1, 1, 1);
    manager().setDeviceInfo(before);
    for (const Cmd command : {Cmd::D_GET_DEVICE_ID, Cmd::D_GET_FIRMWARE_VERSION, Cmd::DA_SET_GAIN_VALUE})
        queue().enqueue(command, [](const TCommandHeader &) {});
    injectReply(Cmd::D_GET_DEVICE_ID, HF::threeWords(1, 2, 3).left(8));
    injectReply(Cmd::D_GET_FIRMWARE_VERSION, HF::threeWords(4, 5, 6).left(11));
    QCOMPARE(manager().deviceInfo().id, QStringLiteral("5-5-5"));
    QCOMPARE(manager().deviceInfo().firmwareVersion.toString(), QStringLiteral("1.1.1"));
    QCOMPARE(queue().commands().first(), quint16(Cmd::DA_SET_GAIN_VALUE));
}

void TstDeviceManager::options_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<quint32>>("bandwidths");
    QTest::addColumn<quint32>("presets");
    QTest::addColumn<QList<int>>("emitted");
    const QList<quint32> kept{5, 6};
    QTest::newRow("full") << QByteArray("SR=1,8;BW=10,x,1000;PR=8") << QList<quint32>{10, 1000} << 8u << QList<int>{0, 1, 2};
    QTest::newRow("keys by containment, empty parts") << QByteArray(";;xSRy=1,2;;") << kept << 3u << QList<int>{0};
    // A bad part is skipped; the good ones still count.
    QTest::newRow("sr with one value") << QByteArray("SR=5;PR=4") << kept << 4u << QList<int>{2};
    QTest::newRow("sr low above high") << QByteArray("SR=8,1;PR=4") << kept << 4u << QList<int>{2};
    QTest::newRow("bw non-numeric, unknown key") << QByteArray("BW=a,b;XY=1\0", 12) << kept << 3u << QList<int>{};
}

void TstDeviceManager::options()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<quint32>, bandwidths);
    QFETCH(quint32, presets);
    QFETCH(QList<int>, emitted);
    DeviceInfo before;
    before.bandwidths = {5, 6};
    before.presetsCount = 3;
    manager().setDeviceInfo(before);
    QList<int> seen;
    connect(&manager(), &DeviceManager::signalGotDeviceParams, this, [&](EDeviceOptions option) { seen << int(option); });
    injectReply(Cmd::D_GET_OPTIONS, text);

    QCOMPARE(manager().deviceInfo().bandwidths, bandwidths);
    QCOMPARE(manager().deviceInfo().presetsCount, presets);
    QCOMPARE(seen, emitted);
}

// Items the manager cannot act on, here in the bootloader, must not stall the queue, except one it
// does not know at all.
void TstDeviceManager::queueGoesOnOrStops_data()
{
    QTest::addColumn<Cmd>("command");
    QTest::addColumn<int>("finished");
    QTest::newRow("nothing to resend") << Cmd::E_RESEND_PACKET_TO_DEVICE << 1;
    QTest::newRow("options in bootloader") << Cmd::D_GET_OPTIONS << 1;
    QTest::newRow("unknown item") << Cmd::TEST << 0;
}

void TstDeviceManager::queueGoesOnOrStops()
{
    QFETCH(Cmd, command);
    QFETCH(int, finished);
    // A fresh opening forgets the last request; the port is gone again before
    // anything is sent.
    emit SerialPort::instance().signalOpened();
    queue().clearQueue();
    DeviceInfo info;
    info.deviceState = quint8(EDeviceStates::BOOTLOADER);
    manager().setDeviceInfo(info);
    QSignalSpy spy(&manager(), &DeviceManager::signalStartupFinished);
    queue().enqueue(command);
    queue().enqueue(Cmd::STARTUP_FINISHED);
    QCOMPARE(spy.count(), finished);
}

void TstDeviceManager::updatePendingRules_data()
{
    QTest::addColumn<quint32>("newId");
    QTest::addColumn<EDeviceStates>("oldState");
    QTest::addColumn<quint16>("typeState");
    QTest::addColumn<bool>("requested");
    QTest::newRow("same device back in bootloader") << 3u << EDeviceStates::MAINAPP << quint16(0x8016) << true;
    QTest::newRow("another device") << 9u << EDeviceStates::MAINAPP << quint16(0x8016) << false;
    QTest::newRow("back in application") << 3u << EDeviceStates::MAINAPP << quint16(0x0016) << false;
    QTest::newRow("was in bootloader already") << 3u << EDeviceStates::BOOTLOADER << quint16(0x8016) << false;
}

void TstDeviceManager::updatePendingRules()
{
    QFETCH(quint32, newId);
    QFETCH(EDeviceStates, oldState);
    QFETCH(quint16, typeState);
    QFETCH(bool, requested);
    DeviceInfo info;
    info.id = QStringLiteral("1-2-3");
    info.deviceState = quint8(oldState);
    info.updatePending = true;
    manager().setDeviceInfo(info);

    injectReply(Cmd::D_GET_DEVICE_ID, HF::threeWords(1, 2, newId));
    injectReply(Cmd::D_GET_DEVICE_FULL_TYPE, QByteArray(), typeState);
    // The version reply queues the rest of the start-up into the idle queue,
    // so it runs at once up to the first item that waits.
    injectReply(Cmd::D_GET_FIRMWARE_VERSION, HF::threeWords(1, 0, 0), typeState);
    // In the application the rest waits for the version report.
    manager().slotProcessServerReply();
    QCOMPARE(m_server.calls.contains(QStringLiteral("requestUpdate")), requested);
    QVERIFY(!manager().deviceInfo().updatePending);
}

// The course of a transfer between the frames; the image reaching the
// device runs in the update page's suite.
void TstDeviceManager::transfer()
{
    PtyPair pty;
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    queue().clearQueue(); // the start-up's requests stay unanswered
    dmm().reset();
    m_server.result = EServerCommands::GET_UPDATE;
    m_server.data = QByteArray(1025, 'u');
    QSignalSpy replies(&dmm(), &DeviceMessageManager::signalGotReply);
    QSignalSpy progress(&manager(), &DeviceManager::signalUpdateProgress);
    manager().queueUpdateDownload();
    manager().slotProcessServerReply();
    QVERIFY(!ConnectionManager::instance().autoReconnect());
    // Flashing is slow: past the usual reply time the host still waits
    // instead of asking for a resend.
    QTest::qWait(DeviceMessageManager::kReplyTimeoutMs + 500);
    QCOMPARE(replies.count(), 0);
    injectReply(Cmd::B_INIT_UPDATE, {}, 0x0016, 2);
    injectReply(Cmd::B_SEND_MAINAPP_CHUNK);
    injectReply(Cmd::B_SEND_MAINAPP_CHUNK, {}, 0x0016, 1);
    QCOMPARE(m_server.calls.last(), QStringLiteral("clearUpdateCache"));
    QCOMPARE(progress.count(), 2);
    QCOMPARE(progress.at(1).at(0).toInt(), 100);
    // The device leaves the link by itself; nothing is asked after the cache clear.
    QCOMPARE(queue().commands(), (QList<quint16>{quint16(Cmd::S_CLEAR_UPDATE_CACHE), quint16(Cmd::DISCONNECT)}));
    // 65536 chunks would wrap to 0 in the 16-bit options word.
    QCOMPARE(DeviceManager::chunkCountFor(DeviceManager::kMaxUpdateBytes), quint16(65535));
    // (29 / 100.0) * 100 is 28.999…: a quotient in floating point misses it.
    QCOMPARE(DeviceManager::progressFor(28, 100), 29);
}

// Whatever the server answered, nothing unsendable is announced and the
// queue goes on to the next item, once; a request the client refused is
// never answered, so the queue goes on at once.
void TstDeviceManager::serverReplies_data()
{
    QTest::addColumn<EServerCommands>("result");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("actual version") << EServerCommands::GET_ACTUAL_VERSION << qint64(0) << true;
    QTest::newRow("empty image") << EServerCommands::GET_UPDATE << qint64(0) << true;
    QTest::newRow("more than 65535 chunks") << EServerCommands::GET_UPDATE << DeviceManager::kMaxUpdateBytes + 1 << true;
    QTest::newRow("request refused") << EServerCommands::GET_UPDATE << qint64(0) << false;
}

void TstDeviceManager::serverReplies()
{
    QFETCH(EServerCommands, result);
    QFETCH(qint64, size);
    QFETCH(bool, accepted);
    m_server.result = result;
    m_server.data = QByteArray(int(size), '\x5a');
    m_server.accept = accepted;
    QSignalSpy replies(&manager(), &DeviceManager::signalUpdateReply);
    manager().queueUpdateDownload();
    queue().enqueue(Cmd::TEST);
    // The second answer, doubled or late, finds no item waiting for it.
    for (int answer = accepted ? 0 : 1; answer < 2; ++answer)
        manager().slotProcessServerReply();
    QCOMPARE(replies.count(), int(result == EServerCommands::GET_ACTUAL_VERSION));
    if (result == EServerCommands::GET_UPDATE)
        QVERIFY(manager().updateData().isEmpty());
    QCOMPARE(queue().commands(), QList<quint16>{quint16(Cmd::TEST)});
}

// 0xFFFF + 0x80FF + 0xFFFF + 0x7F02 = 0x2FFFF carries out of the single
// fold; the dropped carry makes such a header fail on both sides. A plainly
// wrong sum is met on the wire by the link suite.
void TstDeviceManager::headerChecksumCarry()
{
    TCommandHeader header;
    header.command = header.options = 0xFFFF;
    header.deviceTypeState = 0x80FF;
    header.dataLength = 0x7F02;
    header.checksum = 0xFFFE;
    QVERIFY(!header.isValid());
    QVERIFY(!TCommandHeader::fromWire(header.toWire()).isValid());
}

// Two failures leave one try; a good reply gives the budget back, and the
// third failure in a row gives up on the device.
void TstDeviceManager::resendBudget()
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
void TstDeviceManager::stalledOrUnexpectedBytes()
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
void TstDeviceManager::queueOrder()
{
    const quint16 scan = quint16(Cmd::DA_GET_SCAN_DATA_S21);
    QSignalSpy empty(&queue(), &CommandQueue::signalBecameEmpty);
    int ran = 0;
    queue().enqueue(Cmd::DA_GET_SCAN_DATA_S21);
    queue().enqueue(Cmd::DA_GET_ADC_VALUE, [&](const TCommandHeader &) { ++ran; });
    queue().enqueue(Cmd::O_RESEND_PACKET_FROM_DEVICE, {}, 6, true);
    QCOMPARE(queue().commands(), (QList<quint16>{scan, kResend, quint16(Cmd::DA_GET_ADC_VALUE)}));
    QCOMPARE(m_delivered, QList<quint16>{scan});
    queue().processNext(true);
    QCOMPARE(m_delivered, (QList<quint16>{scan, kResend}));
    queue().clearQueue();
    QCOMPARE(empty.count(), 1);
    QCOMPARE(ran, 0);
    queue().enqueue(Cmd::TEST);
    QCOMPARE(m_delivered.last(), quint16(Cmd::TEST));
    queue().processNext(true);
    QCOMPARE(empty.count(), 2);
}

QTEST_GUILESS_MAIN(TstDeviceManager)
#include "tst_devicemanager.moc"
