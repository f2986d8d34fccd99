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
using ZData::DM::CommandQueue;
using ZData::DM::SerialPort;
using Cmd = ZData::EDeviceCommands;
namespace HF = TestSupport::HandFrames;

namespace {

class FakeServer : public DM::IUpdateServerClient
{
public:
    void requestUpdate() override { calls << QStringLiteral("requestUpdate"); }
    void sendActualVersion(const ZCore::TVersion &version) override
    {
        calls << QStringLiteral("sendActualVersion ") + version.toString();
    }
    void clearUpdateCache() override { calls << QStringLiteral("clearUpdateCache"); }
    EServerCommands lastResult() const override { return result; }
    QString replyText() const override { return text; }
    QByteArray replyData() const override { return data; }
    QString clientTag() const override { return QStringLiteral("ServerManager"); }

    QStringList calls;
    EServerCommands result = EServerCommands::UNDEFINED;
    QString text;
    QByteArray data;
};

DeviceManager &manager()
{
    return DeviceManager::instance();
}

// The device side of the pseudo-terminal: reads the host's frames one at a
// time and answers with frames built by hand.
class Device
{
public:
    explicit Device(TestSupport::PtyPair &pty)
        : m_pty(pty)
    {
    }

    QByteArray nextRequest(int timeoutMs = 2000)
    {
        if (m_pending.size() < HF::kPayloadOffset)
            m_pending += m_pty.readAtLeast(HF::kPayloadOffset - m_pending.size(), timeoutMs);
        if (m_pending.size() < HF::kPayloadOffset)
            return QByteArray();
        const int total = HF::kOverhead + HF::word(m_pending, HF::kLengthOffset);
        if (m_pending.size() < total)
            m_pending += m_pty.readAtLeast(total - m_pending.size(), timeoutMs);
        const QByteArray frame = m_pending.left(total);
        m_pending.remove(0, total);
        return frame;
    }

    bool reply(quint16 command, const QByteArray &payload = QByteArray(), quint16 typeState = 0x0016,
               quint16 options = 0)
    {
        return m_pty.write(HF::frame(command, payload, typeState, options));
    }

    // Answers the three identification requests as a MERO in its main
    // application with identifier 1-2-3 and firmware 2.3.4.
    bool identify()
    {
        if (HF::word(nextRequest(), HF::kCommandOffset) != quint16(Cmd::D_GET_DEVICE_ID))
            return false;
        reply(quint16(Cmd::D_GET_DEVICE_ID), HF::threeWords(1, 2, 3));
        if (HF::word(nextRequest(), HF::kCommandOffset) != quint16(Cmd::D_GET_DEVICE_FULL_TYPE))
            return false;
        reply(quint16(Cmd::D_GET_DEVICE_FULL_TYPE));
        if (HF::word(nextRequest(), HF::kCommandOffset) != quint16(Cmd::D_GET_FIRMWARE_VERSION))
            return false;
        return reply(quint16(Cmd::D_GET_FIRMWARE_VERSION), HF::threeWords(2, 3, 4));
    }

private:
    TestSupport::PtyPair &m_pty;
    QByteArray m_pending;
};

quint16 commandOf(const QByteArray &frame)
{
    return frame.size() >= HF::kOverhead ? HF::word(frame, HF::kCommandOffset) : 0;
}

// "command options payload-hex" of a host frame.
QString requestText(const QByteArray &frame)
{
    if (frame.size() < HF::kOverhead)
        return QString();
    const QByteArray payload = frame.mid(HF::kPayloadOffset, HF::word(frame, HF::kLengthOffset));
    return QStringLiteral("%1 %2 ").arg(commandOf(frame)).arg(HF::word(frame, HF::kOptionsOffset))
           + QString::fromLatin1(payload.toHex(' '));
}

// A reply delivered straight to the frame layer, as if read from the port.
void injectReply(Cmd expected, const QByteArray &frame)
{
    DeviceMessageManager &dmm = DeviceMessageManager::instance();
    dmm.reset();
    TCommandHeader header;
    header.command = quint16(expected);
    dmm.buildFrame(header, QByteArray(), true);
    dmm.enterState({DMM::EStates::RECEIVE_REPLY, {}});
    dmm.receiveData(frame);
}

} // namespace

Q_DECLARE_METATYPE(QList<quint32>)

class TstDeviceManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void identificationOrder();
    void typeCheck_data();
    void typeCheck();
    void shortIdentityPayloads_data();
    void shortIdentityPayloads();
    void deviceInfoText();
    void options_data();
    void options();
    void resendFromDeviceAfterTimeout();
    void badFrameReportAfterResendRequest();
    void resendToDeviceOnBadFrameReport_data();
    void resendToDeviceOnBadFrameReport();
    void threeFailuresDisconnect();
    void nothingToResendAdvances();
    void requestWhileClosed();
    void appOnlyCommandsInBootloader_data();
    void appOnlyCommandsInBootloader();
    void unknownItemStopsQueue();
    void updatePendingRules_data();
    void updatePendingRules();
    void serverReply_data();
    void serverReply();
    void chunkCountAndInitPayload_data();
    void chunkCountAndInitPayload();
    void progressIsTruncated_data();
    void progressIsTruncated();
    void transferOnTheWire();
    void unsendableImagesAreRefused_data();
    void unsendableImagesAreRefused();

private:
    FakeServer m_server;
};

void TstDeviceManager::initTestCase()
{
    QVERIFY(DeviceMessageManager::init());
    QVERIFY(SerialPort::init());
    QVERIFY(DeviceManager::init());
}

void TstDeviceManager::init()
{
    m_server = FakeServer();
    manager().setUpdateServer(&m_server);
    manager().setDeviceInfo(DeviceInfo());
}

void TstDeviceManager::cleanup()
{
    SerialPort::instance().close(true);
    CommandQueue::instance().clearQueue();
    DeviceMessageManager::instance().reset();
    manager().disconnect(this);
}

void TstDeviceManager::identificationOrder()
{
    TestSupport::PtyPair pty;
    Device device(pty);
    TestSupport::LogCapture log;
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));

    const QByteArray first = device.nextRequest();
    QCOMPARE(first, HF::frame(quint16(Cmd::D_GET_DEVICE_ID), QByteArray(), 0x80FF));
    // Nothing more goes out before the reply.
    QVERIFY(device.nextRequest(100).isEmpty());
    device.reply(quint16(Cmd::D_GET_DEVICE_ID), HF::threeWords(1, 2, 3));

    const QByteArray second = device.nextRequest();
    QCOMPARE(commandOf(second), quint16(Cmd::D_GET_DEVICE_FULL_TYPE));
    QCOMPARE(HF::word(second, HF::kFrameCountOffset), quint16(2));
    device.reply(quint16(Cmd::D_GET_DEVICE_FULL_TYPE), QByteArray(), 0x0016);

    const QByteArray third = device.nextRequest();
    QCOMPARE(commandOf(third), quint16(Cmd::D_GET_FIRMWARE_VERSION));
    // Once the device has told its type-state word, requests carry it.
    QCOMPARE(HF::word(third, HF::kTypeStateOffset), quint16(0x0016));
    device.reply(quint16(Cmd::D_GET_FIRMWARE_VERSION), HF::threeWords(2, 3, 4));

    QTRY_COMPARE(m_server.calls, QStringList{"sendActualVersion 2.3.4"});
    QCOMPARE(finished.count(), 0);
    m_server.result = EServerCommands::SEND_ACTUAL_VERSION;
    manager().slotProcessServerReply();
    QCOMPARE(finished.count(), 1);

    const DeviceInfo &info = manager().deviceInfo();
    QCOMPARE(info.id, QStringLiteral("1-2-3"));
    QCOMPARE(info.firmwareVersion.toString(), QStringLiteral("2.3.4"));
    QCOMPARE(info.deviceType, quint8(EDeviceTypes::OSKIRO_MERO));
    QCOMPARE(info.deviceState, quint8(EDeviceStates::MAINAPP));
    QVERIFY(log.contains(QStringLiteral("DeviceManager >> device info:\nID:      1-2-3\n"
                                        "Type:    EDeviceTypes::OSKIRO_MERO\nState:   EDeviceStates::MAINAPP\n"
                                        "Version: 2.3.4\n")));
    QVERIFY(CommandQueue::instance().isEmpty());
}

void TstDeviceManager::typeCheck_data()
{
    QTest::addColumn<quint16>("typeState");
    QTest::addColumn<EDeviceTypes>("type");
    QTest::addColumn<EDeviceStates>("state");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("MERO application") << quint16(0x0016) << EDeviceTypes::OSKIRO_MERO << EDeviceStates::MAINAPP << true;
    QTest::newRow("MERO bootloader") << quint16(0x8016) << EDeviceTypes::OSKIRO_MERO << EDeviceStates::BOOTLOADER << true;
    QTest::newRow("TAVEL") << quint16(0x0008) << EDeviceTypes::OSKIRO_TAVEL << EDeviceStates::MAINAPP << false;
}

void TstDeviceManager::typeCheck()
{
    QFETCH(quint16, typeState);
    QFETCH(EDeviceTypes, type);
    QFETCH(EDeviceStates, state);
    QFETCH(bool, accepted);
    TestSupport::PtyPair pty;
    Device device(pty);
    TestSupport::LogCapture log;
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    QCOMPARE(commandOf(device.nextRequest()), quint16(Cmd::D_GET_DEVICE_ID));
    device.reply(quint16(Cmd::D_GET_DEVICE_ID), HF::threeWords(7, 8, 9));
    QCOMPARE(commandOf(device.nextRequest()), quint16(Cmd::D_GET_DEVICE_FULL_TYPE));
    device.reply(quint16(Cmd::D_GET_DEVICE_FULL_TYPE), QByteArray(), typeState);
    QCOMPARE(commandOf(device.nextRequest()), quint16(Cmd::D_GET_FIRMWARE_VERSION));

    QCOMPARE(manager().deviceInfo().deviceType, quint8(type));
    QCOMPARE(manager().deviceInfo().deviceState, quint8(state));
    QCOMPARE(manager().deviceInfo().typeStateWord, typeState);
    const QString critical = QStringLiteral("DeviceManager >> dw_err_connected_not_mero_device") + ZData::typeText(quint8(type));
    QCOMPARE(log.contains(critical), !accepted);

    device.reply(quint16(Cmd::D_GET_FIRMWARE_VERSION), HF::threeWords(1, 0, 0));
    QTest::qWait(50);
    QCOMPARE(SerialPort::instance().isOpen(), accepted);
    QCOMPARE(log.contains(QStringLiteral("limit of resends is exceeded")), !accepted);
}

void TstDeviceManager::shortIdentityPayloads_data()
{
    QTest::addColumn<Cmd>("command");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("warning");
    QTest::newRow("id, 8 bytes") << Cmd::D_GET_DEVICE_ID << HF::threeWords(1, 2, 3).left(8) << "device id reply is too short: 8 of 12";
    QTest::newRow("id, empty") << Cmd::D_GET_DEVICE_ID << QByteArray() << "device id reply is too short: 0 of 12";
    QTest::newRow("version, 11 bytes") << Cmd::D_GET_FIRMWARE_VERSION << HF::threeWords(4, 5, 6).left(11)
                                       << "firmware version reply is too short: 11 of 12";
}

void TstDeviceManager::shortIdentityPayloads()
{
    QFETCH(Cmd, command);
    QFETCH(QByteArray, payload);
    QFETCH(QString, warning);
    DeviceInfo before;
    before.id = QStringLiteral("5-5-5");
    before.firmwareVersion = ZCore::TVersion(1, 1, 1);
    manager().setDeviceInfo(before);
    TestSupport::LogCapture log;
    CommandQueue::instance().enqueue(command, [](const TCommandHeader &) {});
    CommandQueue::instance().enqueue(Cmd::DA_SET_GAIN_VALUE, [](const TCommandHeader &) {});
    injectReply(command, HF::frame(quint16(command), payload));

    QVERIFY(log.contains(warning));
    QCOMPARE(manager().deviceInfo().id, QStringLiteral("5-5-5"));
    QCOMPARE(manager().deviceInfo().firmwareVersion.toString(), QStringLiteral("1.1.1"));
    // The link goes on: the waiting item is next.
    QCOMPARE(CommandQueue::instance().commands().first(), quint16(Cmd::DA_SET_GAIN_VALUE));
}

void TstDeviceManager::deviceInfoText()
{
    TestSupport::LogCapture log;
    DeviceInfo info;
    QCOMPARE(info.text(), QStringLiteral("\nID:      \nType:    255\nState:   EDeviceStates::UNDEFINED\nVersion: 0.0.0\n"));
    QVERIFY(log.contains(QStringLiteral("EnumPrinter >> got unknown value of [ EDeviceTypes ]: 255")));
    info.id = QStringLiteral("a");
    info.updatePending = true;
    info.scanRangeHigh = 9;
    info.bandwidths = {1};
    info.typeStateWord = 0x16;
    info.reset();
    QCOMPARE(info.id, QStringLiteral("a"));
    QVERIFY(info.updatePending);
    QCOMPARE(info.scanRangeHigh, quint64(0));
    QVERIFY(info.bandwidths.isEmpty());
    QCOMPARE(info.typeStateWord, quint16(0x80FF));
}

void TstDeviceManager::options_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<quint64>("low");
    QTest::addColumn<quint64>("high");
    QTest::addColumn<QList<quint32>>("bandwidths");
    QTest::addColumn<quint32>("presets");
    QTest::addColumn<QList<int>>("emitted");
    QTest::addColumn<QString>("warning");
    const QList<quint32> previous{5, 6};
    QTest::newRow("full") << QByteArray("SR=1000,8000;BW=10,100,x,1000;PR=8") << quint64(1000) << quint64(8000)
                          << QList<quint32>{10, 100, 1000} << quint32(8) << QList<int>{0, 1, 2} << QString();
    QTest::newRow("keys by containment, empty parts") << QByteArray(";;xSRy=1,2;;") << quint64(1) << quint64(2)
                                                      << previous << quint32(3) << QList<int>{0} << QString();
    QTest::newRow("bw all non-numeric") << QByteArray("BW=a,b") << quint64(11) << quint64(22) << previous
                                        << quint32(3) << QList<int>{} << "failed to parse bw values from device options";
    QTest::newRow("sr with one value") << QByteArray("SR=5;PR=4") << quint64(11) << quint64(22) << previous
                                       << quint32(4) << QList<int>{2} << "failed to parse sr values";
    QTest::newRow("sr without values") << QByteArray("SR") << quint64(11) << quint64(22) << previous
                                       << quint32(3) << QList<int>{} << "failed to parse sr values";
    QTest::newRow("pr not a number") << QByteArray("PR=many") << quint64(11) << quint64(22) << previous
                                     << quint32(3) << QList<int>{} << "failed to parse pr value";
    QTest::newRow("unexpected key") << QByteArray("XY=1,,2\0", 8) << quint64(11) << quint64(22) << previous
                                    << quint32(3) << QList<int>{} << "got unexpected device param: [ XY ] = { 1, , 2 }";
}

void TstDeviceManager::options()
{
    QFETCH(QByteArray, text);
    QFETCH(quint64, low);
    QFETCH(quint64, high);
    QFETCH(QList<quint32>, bandwidths);
    QFETCH(quint32, presets);
    QFETCH(QList<int>, emitted);
    QFETCH(QString, warning);
    DeviceInfo before;
    before.scanRangeLow = 11;
    before.scanRangeHigh = 22;
    before.bandwidths = {5, 6};
    before.presetsCount = 3;
    manager().setDeviceInfo(before);
    QList<int> seen;
    connect(&manager(), &DeviceManager::signalGotDeviceParams, this,
            [&](EDeviceOptions option) { seen << int(option); });
    TestSupport::LogCapture log;
    injectReply(Cmd::D_GET_OPTIONS, HF::frame(quint16(Cmd::D_GET_OPTIONS), text));

    const DeviceInfo &info = manager().deviceInfo();
    QCOMPARE(info.scanRangeLow, low);
    QCOMPARE(info.scanRangeHigh, high);
    QCOMPARE(info.bandwidths, bandwidths);
    QCOMPARE(info.presetsCount, presets);
    QCOMPARE(seen, emitted);
    if (warning.isEmpty())
        QVERIFY(log.lines(QtWarningMsg).isEmpty());
    else
        QVERIFY2(log.contains(warning), qPrintable(log.lines().join('\n')));
}

void TstDeviceManager::resendFromDeviceAfterTimeout()
{
    TestSupport::PtyPair pty;
    Device device(pty);
    TestSupport::LogCapture log;
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    QCOMPARE(commandOf(device.nextRequest()), quint16(Cmd::D_GET_DEVICE_ID));

    // The reply never came: stand in for the reply timer.
    DeviceMessageManager::instance().slotTimerReply();
    const QByteArray resend = device.nextRequest();
    QCOMPARE(commandOf(resend), quint16(Cmd::O_RESEND_PACKET_FROM_DEVICE));
    QCOMPARE(HF::word(resend, HF::kOptionsOffset), quint16(DMM::EStates::E_REPLY_TIMEOUT));
    QVERIFY(log.contains(QStringLiteral("DeviceManager >> error in received packet: DMM::EStates::E_REPLY_TIMEOUT")));

    // The device repeats its reply to the identifier request; it is taken as
    // that reply and identification carries on.
    device.reply(quint16(Cmd::D_GET_DEVICE_ID), HF::threeWords(4, 5, 6));
    QCOMPARE(commandOf(device.nextRequest()), quint16(Cmd::D_GET_DEVICE_FULL_TYPE));
    QCOMPARE(manager().deviceInfo().id, QStringLiteral("4-5-6"));
    QCOMPARE(DeviceMessageManager::instance().resendBudget(), qint16(3));
}

void TstDeviceManager::badFrameReportAfterResendRequest()
{
    TestSupport::PtyPair pty;
    Device device(pty);
    TestSupport::LogCapture log;
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    QCOMPARE(commandOf(device.nextRequest()), quint16(Cmd::D_GET_DEVICE_ID));
    DeviceMessageManager::instance().slotTimerReply();
    QCOMPARE(commandOf(device.nextRequest()), quint16(Cmd::O_RESEND_PACKET_FROM_DEVICE));

    // The device could not read the resend request: what the host repeats is
    // the request that failed, not the resend request.
    device.reply(quint16(Cmd::O_RESEND_PACKET_FROM_DEVICE), QByteArray(), 0x0016, 0);
    QCOMPARE(device.nextRequest().mid(HF::kCommandOffset, 2), HF::frame(quint16(Cmd::D_GET_DEVICE_ID)).mid(HF::kCommandOffset, 2));
    device.reply(quint16(Cmd::D_GET_DEVICE_ID), HF::threeWords(1, 1, 1));
    QCOMPARE(commandOf(device.nextRequest()), quint16(Cmd::D_GET_DEVICE_FULL_TYPE));
    QCOMPARE(manager().deviceInfo().id, QStringLiteral("1-1-1"));
}

void TstDeviceManager::resendToDeviceOnBadFrameReport_data()
{
    QTest::addColumn<Cmd>("command");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<quint16>("options");
    QTest::newRow("without payload") << Cmd::D_GET_OPTIONS << QByteArray() << quint16(0);
    QTest::newRow("with payload") << Cmd::DA_SET_GAIN_VALUE << QByteArray::fromHex("0a0b0c") << quint16(7);
}

void TstDeviceManager::resendToDeviceOnBadFrameReport()
{
    QFETCH(Cmd, command);
    QFETCH(QByteArray, payload);
    QFETCH(quint16, options);
    TestSupport::PtyPair pty;
    Device device(pty);
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    QVERIFY(device.identify());
    QTRY_VERIFY(!m_server.calls.isEmpty());
    m_server.result = EServerCommands::SEND_ACTUAL_VERSION;
    manager().slotProcessServerReply();
    QVERIFY(CommandQueue::instance().isEmpty());

    TestSupport::LogCapture log;
    CommandQueue::instance().enqueue(command, [=](const TCommandHeader &header) {
        manager().sendRequest(command, payload, header.options);
    }, options);
    CommandQueue::instance().enqueue(Cmd::DA_GET_ADC_VALUE,
                                     [](const TCommandHeader &) { manager().sendRequest(Cmd::DA_GET_ADC_VALUE); });
    const QByteArray original = device.nextRequest();
    QCOMPARE(commandOf(original), quint16(command));

    device.reply(quint16(Cmd::O_RESEND_PACKET_FROM_DEVICE), QByteArray(), 0x0016, 0);
    const QByteArray again = device.nextRequest();
    QVERIFY(log.contains(QStringLiteral("DeviceManager >> error in sent packet. Resending..")));
    QCOMPARE(commandOf(again), quint16(command));
    QCOMPARE(HF::word(again, HF::kOptionsOffset), options);
    QCOMPARE(again.mid(HF::kPayloadOffset, payload.size()), payload);
    QCOMPARE(HF::word(again, HF::kLengthOffset), quint16(payload.size()));

    device.reply(quint16(command));
    QCOMPARE(commandOf(device.nextRequest()), quint16(Cmd::DA_GET_ADC_VALUE));
}

void TstDeviceManager::threeFailuresDisconnect()
{
    TestSupport::PtyPair pty;
    Device device(pty);
    TestSupport::LogCapture log;
    QSignalSpy lost(&SerialPort::instance(), &SerialPort::signalLost);
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    QCOMPARE(commandOf(device.nextRequest()), quint16(Cmd::D_GET_DEVICE_ID));
    for (int attempt = 0; attempt < 2; ++attempt) {
        // A reply with a broken CRC.
        QByteArray broken = HF::frame(quint16(Cmd::D_GET_DEVICE_ID), HF::threeWords(1, 2, 3));
        broken[broken.size() - 1] = char(broken.at(broken.size() - 1) ^ 1);
        QVERIFY(pty.write(broken));
        const QByteArray resend = device.nextRequest();
        QCOMPARE(commandOf(resend), quint16(Cmd::O_RESEND_PACKET_FROM_DEVICE));
        QCOMPARE(HF::word(resend, HF::kOptionsOffset), quint16(DMM::EStates::E_PACKET_FAILED));
    }
    DeviceMessageManager::instance().slotTimerReply();
    QVERIFY(!SerialPort::instance().isOpen());
    QVERIFY(log.contains(QStringLiteral("DeviceManager >> limit of resends is exceeded. Disconnecting..")));
    QCOMPARE(lost.count(), 0);
    QVERIFY(CommandQueue::instance().isEmpty());
}

void TstDeviceManager::nothingToResendAdvances()
{
    TestSupport::LogCapture log;
    // A fresh opening forgets the last request; the port is gone again before
    // anything is sent.
    emit SerialPort::instance().signalOpened();
    CommandQueue::instance().clearQueue();
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    CommandQueue::instance().enqueue(Cmd::E_RESEND_PACKET_TO_DEVICE);
    CommandQueue::instance().enqueue(Cmd::STARTUP_FINISHED);
    QVERIFY(log.contains(QStringLiteral("DeviceManager >> nothing to resend from master")));
    QCOMPARE(finished.count(), 1);
}

void TstDeviceManager::requestWhileClosed()
{
    TestSupport::LogCapture log;
    const quint16 counter = DeviceMessageManager::instance().frameCounter();
    manager().sendRequest(Cmd::D_GET_OPTIONS);
    QCOMPARE(log.lines(QtWarningMsg),
             (QStringList{QStringLiteral("DeviceManager [ %1 ] >> tried to sendRequest: EDeviceCommands::D_GET_OPTIONS").arg(counter),
                          QStringLiteral("DeviceManager >> serial port is closed. Open it first")}));
    QCOMPARE(DeviceMessageManager::instance().frameCounter(), counter);
}

void TstDeviceManager::appOnlyCommandsInBootloader_data()
{
    QTest::addColumn<Cmd>("command");
    QTest::newRow("options") << Cmd::D_GET_OPTIONS;
    QTest::newRow("report version") << Cmd::S_UPDATE_ACTUAL_VERSION;
}

void TstDeviceManager::appOnlyCommandsInBootloader()
{
    QFETCH(Cmd, command);
    DeviceInfo info;
    info.deviceState = quint8(EDeviceStates::BOOTLOADER);
    manager().setDeviceInfo(info);
    TestSupport::LogCapture log;
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    CommandQueue::instance().enqueue(command);
    CommandQueue::instance().enqueue(Cmd::STARTUP_FINISHED);
    QVERIFY(log.contains(QStringLiteral("DeviceManager >> device is NOT in 'app' state => nothing to do with command: ")
                         + ZData::commandText(command)));
    QCOMPARE(finished.count(), 1);
    QVERIFY(m_server.calls.isEmpty());
}

void TstDeviceManager::unknownItemStopsQueue()
{
    TestSupport::LogCapture log;
    QSignalSpy finished(&manager(), &DeviceManager::signalStartupFinished);
    CommandQueue::instance().enqueue(Cmd::TEST);
    CommandQueue::instance().enqueue(Cmd::STARTUP_FINISHED);
    QVERIFY(log.contains(QStringLiteral("DeviceManager <== CommandQueue >> nothing to do with command: EDeviceCommands::TEST")));
    QCOMPARE(finished.count(), 0);
    QCOMPARE(CommandQueue::instance().size(), 2);
}

void TstDeviceManager::updatePendingRules_data()
{
    QTest::addColumn<QString>("newId");
    QTest::addColumn<quint8>("oldState");
    QTest::addColumn<quint16>("typeState");
    QTest::addColumn<bool>("requested");
    const quint8 app = quint8(EDeviceStates::MAINAPP);
    const quint8 boot = quint8(EDeviceStates::BOOTLOADER);
    QTest::newRow("same device back in bootloader") << "1-2-3" << app << quint16(0x8016) << true;
    QTest::newRow("another device") << "9-9-9" << app << quint16(0x8016) << false;
    QTest::newRow("back in application") << "1-2-3" << app << quint16(0x0016) << false;
    QTest::newRow("was in bootloader already") << "1-2-3" << boot << quint16(0x8016) << false;
}

void TstDeviceManager::updatePendingRules()
{
    QFETCH(QString, newId);
    QFETCH(quint8, oldState);
    QFETCH(quint16, typeState);
    QFETCH(bool, requested);
    DeviceInfo info;
    info.id = QStringLiteral("1-2-3");
    info.deviceState = oldState;
    info.updatePending = true;
    manager().setDeviceInfo(info);
    TestSupport::LogCapture log;

    const QStringList parts = newId.split('-');
    injectReply(Cmd::D_GET_DEVICE_ID, HF::frame(quint16(Cmd::D_GET_DEVICE_ID),
                                                HF::threeWords(parts[0].toUInt(), parts[1].toUInt(), parts[2].toUInt())));
    injectReply(Cmd::D_GET_DEVICE_FULL_TYPE, HF::frame(quint16(Cmd::D_GET_DEVICE_FULL_TYPE), QByteArray(), typeState));
    // The version reply queues the rest of the start-up into the idle queue,
    // so it runs at once up to the first item that waits.
    injectReply(Cmd::D_GET_FIRMWARE_VERSION, HF::frame(quint16(Cmd::D_GET_FIRMWARE_VERSION), HF::threeWords(1, 0, 0), typeState));
    if (typeState & 0x8000) {
        QCOMPARE(m_server.calls.contains(QStringLiteral("requestUpdate")), requested);
    } else {
        QCOMPARE(m_server.calls, QStringList{"sendActualVersion 1.0.0"});
        m_server.result = EServerCommands::SEND_ACTUAL_VERSION;
        manager().slotProcessServerReply();
        QVERIFY(!m_server.calls.contains(QStringLiteral("requestUpdate")));
    }
    QVERIFY(!manager().deviceInfo().updatePending);
}

void TstDeviceManager::serverReply_data()
{
    QTest::addColumn<EServerCommands>("result");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("updateReplies");
    QTest::newRow("actual version") << EServerCommands::GET_ACTUAL_VERSION
                                    << "DeviceManager <== ServerManager >> actual version: 3.1.4" << 1;
    QTest::newRow("lost connection") << EServerCommands::E_LOST_INTERNET_CONNECTION
                                     << "DeviceManager <== ServerManager >> nothing to do with command: EServerCommands::E_LOST_INTERNET_CONNECTION" << 0;
}

void TstDeviceManager::serverReply()
{
    QFETCH(EServerCommands, result);
    QFETCH(QString, line);
    QFETCH(int, updateReplies);
    m_server.result = result;
    m_server.text = QStringLiteral("3.1.4");
    QSignalSpy replies(&manager(), &DeviceManager::signalUpdateReply);
    TestSupport::LogCapture log;
    CommandQueue::instance().enqueue(Cmd::S_GET_ACTUAL_VERSION, [](const TCommandHeader &) {});
    CommandQueue::instance().enqueue(Cmd::TEST);
    manager().slotProcessServerReply();
    QVERIFY(log.contains(line));
    QCOMPARE(replies.count(), updateReplies);
    if (updateReplies)
        QCOMPARE(replies.first().first().toString(), QStringLiteral("3.1.4"));
    QCOMPARE(CommandQueue::instance().commands(), QList<quint16>{quint16(Cmd::TEST)});
}

void TstDeviceManager::chunkCountAndInitPayload_data()
{
    QTest::addColumn<qint64>("length");
    QTest::addColumn<int>("chunks");
    QTest::newRow("one byte") << qint64(1) << 1;
    QTest::newRow("one full chunk") << qint64(1024) << 1;
    QTest::newRow("one byte over") << qint64(1025) << 2;
    QTest::newRow("largest announceable") << DeviceManager::kMaxUpdateBytes << 65535;
    // 65536 chunks would wrap to 0 in the 16-bit options word.
    QTest::newRow("one byte too many") << DeviceManager::kMaxUpdateBytes + 1 << 0;
    QTest::newRow("empty") << qint64(0) << 0;
}

void TstDeviceManager::chunkCountAndInitPayload()
{
    QFETCH(qint64, length);
    QFETCH(int, chunks);
    QCOMPARE(int(DeviceManager::chunkCountFor(length)), chunks);
    if (length == 1025)
        QCOMPARE(DeviceManager::initUpdatePayload(qint32(length)).toHex(' '), QByteArray("01 04 00 00"));
}

void TstDeviceManager::progressIsTruncated_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("three chunks") << 3 << QList<int>{33, 66, 100};
    QTest::newRow("one chunk") << 1 << QList<int>{100};
}

void TstDeviceManager::progressIsTruncated()
{
    QFETCH(int, count);
    QFETCH(QList<int>, expected);
    QList<int> progress;
    for (int index = 0; index < count; ++index)
        progress << DeviceManager::progressFor(index, count);
    QCOMPARE(progress, expected);
    // (29 / 100.0) * 100 is 28.999…: a quotient in floating point misses it.
    QCOMPARE(DeviceManager::progressFor(28, 100), 29);
}

// From the image's arrival to the cache clear: what goes on the wire, what
// the update procedure hears, and what is left queued.
void TstDeviceManager::transferOnTheWire()
{
    TestSupport::PtyPair pty;
    Device device(pty);
    QVERIFY(SerialPort::instance().openPort(pty.slaveName()));
    QVERIFY(device.identify());
    QTRY_COMPARE(m_server.calls, QStringList{"sendActualVersion 2.3.4"});
    m_server.result = EServerCommands::SEND_ACTUAL_VERSION;
    manager().slotProcessServerReply();
    QVERIFY(CommandQueue::instance().isEmpty());

    QByteArray image(1025, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i % 251);
    m_server.result = EServerCommands::GET_UPDATE;
    m_server.data = image;
    QSignalSpy started(&manager(), &DeviceManager::signalUpdateStarted);
    QSignalSpy progress(&manager(), &DeviceManager::signalUpdateProgress);
    TestSupport::LogCapture log;
    ConnectionManager::instance().setAutoReconnect(true);
    manager().queueUpdateDownload();
    QCOMPARE(m_server.calls.last(), QStringLiteral("requestUpdate"));
    manager().slotProcessServerReply();
    QCOMPARE(started.count(), 1);
    QVERIFY(log.contains(QStringLiteral("DeviceManager <== ServerManager >> got update")));

    const QByteArray init = device.nextRequest();
    QCOMPARE(requestText(init), QStringLiteral("%1 2 01 04 00 00").arg(quint16(Cmd::B_INIT_UPDATE)));
    QVERIFY(!ConnectionManager::instance().autoReconnect());
    // Flashing is slow: past the usual 2000 ms the host still waits instead
    // of asking for a resend.
    QVERIFY(device.nextRequest(DeviceMessageManager::kReplyTimeoutMs + 500).isEmpty());
    device.reply(quint16(Cmd::B_INIT_UPDATE), QByteArray(), 0x0016, 2);

    const QList<QByteArray> chunks{image.left(1024), image.mid(1024)};
    for (int index = 0; index < chunks.size(); ++index) {
        const QByteArray frame = device.nextRequest();
        QCOMPARE(requestText(frame), QStringLiteral("%1 %2 ").arg(quint16(Cmd::B_SEND_MAINAPP_CHUNK)).arg(index)
                                         + QString::fromLatin1(chunks[index].toHex(' ')));
        QCOMPARE(progress.count(), index + 1);
        device.reply(quint16(Cmd::B_SEND_MAINAPP_CHUNK), QByteArray(), 0x0016, quint16(index));
    }
    QTRY_COMPARE(m_server.calls.last(), QStringLiteral("clearUpdateCache"));
    QCOMPARE(progress.at(0).at(0).toInt(), 50);
    QCOMPARE(progress.at(1).at(0).toInt(), 100);
    QVERIFY(log.contains(QStringLiteral("DeviceManager << sending update of [ 2 ] chunks..")));
    QVERIFY(manager().updateData().isEmpty());
    // The device leaves the link by itself; nothing goes out after the cache clear.
    QCOMPARE(CommandQueue::instance().commands(),
             (QList<quint16>{quint16(Cmd::S_CLEAR_UPDATE_CACHE), quint16(Cmd::DISCONNECT)}));
    QVERIFY(device.nextRequest(100).isEmpty());
    ConnectionManager::instance().setAutoReconnect(true);
}

void TstDeviceManager::unsendableImagesAreRefused_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("warning");
    QTest::newRow("empty") << qint64(0) << "DeviceManager >> tried to init update without update data";
    QTest::newRow("more than 65535 chunks")
        << DeviceManager::kMaxUpdateBytes + 1
        << "DeviceManager >> firmware image of 67107841 bytes is larger than the 67107840 bytes one update can announce";
}

void TstDeviceManager::unsendableImagesAreRefused()
{
    QFETCH(qint64, size);
    QFETCH(QString, warning);
    m_server.result = EServerCommands::GET_UPDATE;
    m_server.data = QByteArray(int(size), '\x5a');
    QSignalSpy started(&manager(), &DeviceManager::signalUpdateStarted);
    TestSupport::LogCapture log;
    manager().queueUpdateDownload();
    CommandQueue::instance().enqueue(Cmd::TEST);
    manager().slotProcessServerReply();
    QVERIFY2(log.contains(warning), qPrintable(log.lines().join('\n')));
    QCOMPARE(started.count(), 0);
    QVERIFY(manager().updateData().isEmpty());
    // Nothing announced; the queue went on to the next item.
    QCOMPARE(CommandQueue::instance().commands(), QList<quint16>{quint16(Cmd::TEST)});
}

QTEST_GUILESS_MAIN(TstDeviceManager)
#include "tst_devicemanager.moc"
