#include "faultinjector.h"
#include "firmwareimage.h"
#include "handframes.h"
#include "repeatermodel.h"
#include "simulator.h"
#include "wireframe.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSignalSpy>
#include <QtEndian>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <cmath>
#include <memory>

using namespace MeroSim;
namespace HF = TestSupport::HandFrames;

namespace {

// Written out here, not taken from the simulator, so that a wrong code there fails.
enum : quint16 {
    kHostTypeState = 0x80FF, kMeroTypeState = 0x0016, kGetFullType = 0xD001, kGetDeviceId = 0xD008,
    kScanS21 = 0xDA01, kScanS12 = 0xDA02, kGetAdc = 0xDA03, kSetSampleSize = 0xDA05, kResend = 0xC350,
    kInitUpdate = 0xB004, kSendChunk = 0xB005, kUndefinedCommand = 0xEA63
};
constexpr int kWaitMs = 5000;

QByteArray host(quint16 command, const QByteArray &payload = {}, quint16 options = 0, quint16 count = 0)
{
    return HF::frame(command, payload, kHostTypeState, options, count);
}

QByteArray reply(quint16 command, const QByteArray &payload = {}, quint16 count = 0, quint16 options = 0,
                 quint16 typeState = kMeroTypeState)
{
    return HF::frame(command, payload, typeState, options, count);
}

} // namespace

class tst_MeroSim : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { m_host.reset(); m_sim.reset(); }
    void headerSumEdge();
    void commandReplies_data();
    void commandReplies();
    void scanReply_data();
    void scanReply();
    void faultBytes_data();
    void faultBytes();
    void unplugRestartsTheDevice();
    void bootloaderTakesEachChunkOnce();

private:
    bool startSimulator(Options options = {});
    bool openHost();
    QByteArray exchange(const QByteArray &request);

    QTemporaryDir m_dir;
    std::unique_ptr<Simulator> m_sim;
    std::unique_ptr<QSerialPort> m_host;
    QByteArray m_received;
};

bool tst_MeroSim::startSimulator(Options options)
{
    options.linkPath = m_dir.filePath(QStringLiteral("ttyMERO"));
    options.quiet = true;
    m_sim = std::make_unique<Simulator>(options);
    return m_sim->start() && openHost();
}

// (Re)opens the host side, as the application does on every reconnect.
bool tst_MeroSim::openHost()
{
    m_host = std::make_unique<QSerialPort>(m_sim->linkPath());
    m_host->setFlowControl(QSerialPort::HardwareControl);
    m_received.clear();
    connect(m_host.get(), &QSerialPort::readyRead, this, [this] { m_received += m_host->readAll(); });
    return m_host->open(QIODevice::ReadWrite);
}

QByteArray tst_MeroSim::exchange(const QByteArray &request)
{
    m_host->write(request);
    const auto frameSize = [this] {
        return m_received.size() < HF::kPayloadOffset ? INT_MAX : HF::kOverhead + HF::word(m_received, HF::kLengthOffset);
    };
    if (!QTest::qWaitFor([&] { return m_received.size() >= frameSize(); }, kWaitMs))
        return {};
    const QByteArray frame = m_received.left(frameSize());
    m_received.remove(0, frame.size());
    return frame;
}

// Every reply is checked against a frame built by hand; what is left of the
// header rule is its one edge. Words summing to 0x1FFFF: the single fold
// carries out and the rule rejects the header.
void tst_MeroSim::headerSumEdge()
{
    WireHeader header;
    header.command = header.options = 0xFFFF;
    header.dataLength = 1;
    header.checksum = header.computeChecksum();
    QVERIFY(!header.hasValidChecksum());
}

void tst_MeroSim::commandReplies_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expected");
    const auto flipped = [](QByteArray frame, int index) { frame[index] = char(frame[index] ^ 0x10); return frame; };
    const QByteArray scan = host(kScanS21, HF::scanPayload({880000000, 890000000}));
    // A corrupted frame asks for a resend; the receiver is back in step after it.
    QTest::newRow("header bit flipped") << flipped(scan, 4) << reply(kResend);
    QTest::newRow("crc bit flipped") << flipped(scan, scan.size() - 1) << reply(kResend);
    QTest::newRow("device id") << host(kGetDeviceId) << reply(kGetDeviceId, HF::threeWords(1, 2, 3));
    QTest::newRow("unknown command") << host(0xFCA0, {}, 0, 7) << reply(kUndefinedCommand, {}, 0, 0xFCA0);
    // Firmware chunks belong to the bootloader; the application refuses them.
    QTest::newRow("chunk outside the bootloader") << host(kSendChunk, "x") << reply(kUndefinedCommand, {}, 0, kSendChunk);
}

// The reply of another device type is checked where the link refuses it.
void tst_MeroSim::commandReplies()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, expected);
    Options options;
    options.deviceId = {{1, 2, 3}};
    QVERIFY(startSimulator(options));
    QCOMPARE(exchange(request), expected);
    QVERIFY(openHost());
    QCOMPARE(exchange(host(kGetFullType, {}, 0, 2)), reply(kGetFullType, {}, 1));
}

void tst_MeroSim::scanReply_data()
{
    QTest::addColumn<quint16>("command");
    QTest::addColumn<QVector<qint64>>("frequencies");
    QTest::addColumn<int>("announced");
    // Pass band and the other direction's band: a duplexer keeps them far apart.
    // The device measures the frequencies that are there, not the count.
    QTest::newRow("GSM900 downlink, 25 announced") << quint16(kScanS12) << QVector<qint64>{942000000, 897000000} << 25;
    QTest::newRow("GSM900 uplink") << quint16(kScanS21) << QVector<qint64>{897000000, 942000000} << 2;
    QTest::newRow("GSM1800 downlink") << quint16(kScanS12) << QVector<qint64>{1842000000, 1747000000} << 2;
}

void tst_MeroSim::scanReply()
{
    QFETCH(quint16, command);
    QFETCH(QVector<qint64>, frequencies);
    QFETCH(int, announced);
    QVERIFY(startSimulator());
    QByteArray payload = HF::scanPayload(frequencies);
    payload[1] = char(announced);
    QVector<double> passband; // dB in the first slice, ADC after the scan, for both power options
    for (quint16 power : {0, 1}) {
        const QByteArray frame = exchange(host(command, payload, power, power));
        QVector<float> values(HF::word(frame, HF::kLengthOffset) / int(sizeof(float)));
        qFromLittleEndian<float>(frame.constData() + HF::kPayloadOffset, values.size(), values.data());
        // Rebuilt by hand, the frame checks its command, options, header sum and CRC.
        QCOMPARE(frame, reply(command, frame.mid(HF::kPayloadOffset, 4 * values.size()), 2 * power, power));
        QCOMPARE(values.size(), frequencies.size() + 1);
        QCOMPARE(values[0], float(frequencies.size()));
        const double db[] = {20.0 * std::log10(double(values[1])), 20.0 * std::log10(double(values[2]))};
        QVERIFY2(db[0] < 0.0 && db[1] > -110.0 && db[0] - db[1] > 30.0,
                 qPrintable(QStringLiteral("%1 vs %2 dB").arg(db[0]).arg(db[1])));
        passband << db[0] << HF::word(exchange(host(kGetAdc, {}, 0, 2)), HF::kPayloadOffset);
    }
    // The high power option raises the level and what the ADC reads.
    QVERIFY2(passband[2] - passband[0] > 10.0 && passband[3] > passband[1], qPrintable(QString::number(passband[2])));
}

void tst_MeroSim::faultBytes_data()
{
    QTest::addColumn<FaultKind>("kind");
    // Each kind the soak mixes in must do to the bytes what it says, or the
    // soak passes without testing. The device link suite meets the damaged
    // header, length and payload, the dropped reply, the lost request and
    // the reported host frame by the answer each must draw from the host.
    for (FaultKind kind : {FaultKind::GarbageBeforeStart, FaultKind::WrongCommand, FaultKind::SplitChunks, FaultKind::ShortPayload})
        QTest::newRow(qPrintable(FaultRule::once(kind).toString())) << kind;
}

void tst_MeroSim::faultBytes()
{
    QFETCH(FaultKind, kind);
    QVERIFY(startSimulator());
    QSignalSpy sent(m_sim.get(), &Simulator::replySent);
    QSignalSpy written(m_sim.get(), &Simulator::bytesWritten);
    m_sim->addFault(FaultRule::once(kind));
    m_host->write(host(kScanS21, HF::scanPayload({900000000, 905000000, 910000000})));
    QVERIFY(sent.wait(kWaitMs));
    const QByteArray clean = sent.at(0).at(0).value<SentReply>().clean;
    const QByteArray wire = sent.at(0).at(0).value<SentReply>().wire;
    QTRY_COMPARE_WITH_TIMEOUT(m_received, wire, kWaitMs);
    m_received.clear();
    const QByteArray payload = clean.mid(HF::kPayloadOffset, clean.size() - HF::kOverhead);
    const QByteArray garbage = wire.left(qMax(0, wire.size() - clean.size()));
    if (kind == FaultKind::ShortPayload) {
        QCOMPARE(wire, reply(kScanS21, payload.left(payload.size() / 2)));
    } else if (kind == FaultKind::GarbageBeforeStart) {
        QVERIFY(wire.endsWith(clean) && !garbage.isEmpty() && garbage.size() <= Options().garbageMax);
        QVERIFY(!garbage.contains(char(0xAA)));
    } else if (kind == FaultKind::WrongCommand) {
        QVERIFY(HF::word(wire, HF::kCommandOffset) != kScanS21);
        QCOMPARE(wire, reply(HF::word(wire, HF::kCommandOffset), payload));
    } else {
        QCOMPARE(wire, clean);
        QVERIFY(written.size() > 1);
        for (const QList<QVariant> &call : qAsConst(written))
            QVERIFY(call.at(0).toByteArray().size() <= Options().chunkMax);
    }
    // Faults are on the wire only: a resend brings the reply as built, whatever
    // error state the host names in its options.
    QCOMPARE(exchange(host(kResend, {}, 5, 1)), clean);
}

// A power cycle: the host's reopening finds counter and settings afresh.
void tst_MeroSim::unplugRestartsTheDevice()
{
    QVERIFY(startSimulator());
    QSignalSpy pluggedIn(m_sim.get(), &Simulator::pluggedIn);
    QVERIFY(!exchange(host(kSetSampleSize, QByteArray::fromHex("8000"))).isEmpty());
    m_sim->unplug(200);
    QVERIFY(pluggedIn.wait(kWaitMs));
    QVERIFY(openHost());
    QCOMPARE(exchange(host(kGetFullType)), reply(kGetFullType));
    QCOMPARE(m_sim->sampleSize(), RepeaterModel::kDefaultSampleSize);
}

// The refusals and the retry of the bootloader; the whole course, with the
// update server, runs in the update page's suite.
void tst_MeroSim::bootloaderTakesEachChunkOnce()
{
    Options options;
    options.startInBootloader = true;
    QVERIFY(startSimulator(options));
    QSignalSpy firmware(m_sim.get(), &Simulator::firmwareReceived);
    const QByteArray image = FirmwareImage::build({{2u, 0u, 7u}}, 1025, 7);
    const auto answered = [this](const QByteArray &request) { return HF::word(exchange(request), HF::kCommandOffset); };
    QCOMPARE(answered(host(kInitUpdate, QByteArray::fromHex("01040000"), 2)), quint16(kInitUpdate));
    // A chunk of the wrong size or past the announced end is refused.
    QCOMPARE(answered(host(kSendChunk, image.left(1000))), quint16(kUndefinedCommand));
    QCOMPARE(answered(host(kSendChunk, image.mid(1024), 2)), quint16(kUndefinedCommand));
    // A chunk sent again after a lost reply is taken once more, not appended.
    for (int chunk : {0, 0, 1})
        QCOMPARE(answered(host(kSendChunk, image.mid(chunk * 1024, 1024), chunk)), quint16(kSendChunk));
    QVERIFY(firmware.count() == 1 && firmware.at(0).at(0).toByteArray() == image);
}

QTEST_GUILESS_MAIN(tst_MeroSim)
#include "tst_merosim.moc"
