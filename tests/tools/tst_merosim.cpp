#include "commandline.h"
#include "faultinjector.h"
#include "frameparser.h"
#include "handframes.h"
#include "repeatermodel.h"
#include "simulator.h"
#include "wireframe.h"

#include <QDataStream>
#include <QFileInfo>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace MeroSim;
namespace HF = TestSupport::HandFrames;

namespace {

constexpr quint16 kHostTypeState = 0x80FF;
constexpr quint16 kMeroTypeState = 0x0016;
constexpr quint16 kGetDeviceId = 0xD008;
constexpr quint16 kGetFullType = 0xD001;
constexpr quint16 kGetVersion = 0xD002;
constexpr quint16 kGetOptions = 0xD003;
constexpr quint16 kScanS21 = 0xDA01;
constexpr quint16 kScanS12 = 0xDA02;
constexpr quint16 kGetAdc = 0xDA03;
constexpr quint16 kSetGain = 0xDA04;
constexpr quint16 kSetSampleSize = 0xDA05;
constexpr quint16 kResend = 0xC350;
constexpr quint16 kReboot = 0xA001;
constexpr quint16 kInitUpdate = 0xB004;
constexpr quint16 kSendChunk = 0xB005;
constexpr quint16 kUndefinedCommand = 0xEA63;
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

using HF::scanPayload;

QVector<float> scanValues(const QByteArray &frame)
{
    QDataStream in(frame.mid(HF::kPayloadOffset, HF::word(frame, HF::kLengthOffset)));
    in.setByteOrder(QDataStream::LittleEndian);
    in.setFloatingPointPrecision(QDataStream::SinglePrecision);
    QVector<float> values;
    while (!in.atEnd()) {
        float v = 0;
        in >> v;
        values << v;
    }
    return values;
}

double toDb(float value)
{
    return 20.0 * std::log10(double(value));
}

// Number of differing bits; byteIndex gets the last byte that differs.
int differingBits(const QByteArray &a, const QByteArray &b, int *byteIndex)
{
    int bits = 0;
    for (int i = 0; i < qMin(a.size(), b.size()); ++i) {
        const int diff = qPopulationCount(quint32(quint8(a[i]) ^ quint8(b[i])));
        if (diff)
            *byteIndex = i;
        bits += diff;
    }
    return bits;
}

} // namespace

class tst_MeroSim : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void wireFormat();
    void headerChecksumRule_data();
    void headerChecksumRule();
    void parserWaitsAndResynchronises_data();
    void parserWaitsAndResynchronises();
    void commandReplies_data();
    void commandReplies();
    void receivedFramesAreRecorded();
    void corruptedHostFrameIsReported_data();
    void corruptedHostFrameIsReported();
    void scanReply_data();
    void scanReply();
    void presetsStayPlausible_data();
    void presetsStayPlausible();
    void adcFollowsTheLastSliceAndGain();
    void faultBytes_data();
    void faultBytes();
    void splitRepliesArriveWhole();
    void droppedReplyCanBeResent();
    void faultSchedules_data();
    void faultSchedules();
    void randomFaultsRepeatWithTheSeed();
    void unplugRemovesAndRestoresTheLink();
    void unplugFaultTakesTheDeviceAway();
    void firmwareUpdateThroughTheBootloader();
    void commandLine_data();
    void commandLine();

private:
    bool startSimulator(Options options = {});
    bool openHost();
    QByteArray readBytes(int count);
    QByteArray exchange(const QByteArray &request);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Simulator> m_sim;
    std::unique_ptr<QSerialPort> m_host;
    QByteArray m_received;
};

void tst_MeroSim::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_received.clear();
}

void tst_MeroSim::cleanup()
{
    m_host.reset();
    m_sim.reset();
    m_dir.reset();
}

bool tst_MeroSim::startSimulator(Options options)
{
    options.linkPath = m_dir->filePath(QStringLiteral("ttyMERO"));
    options.quiet = true;
    m_sim = std::make_unique<Simulator>(options);
    return m_sim->start() && openHost();
}

bool tst_MeroSim::openHost()
{
    m_host = std::make_unique<QSerialPort>(m_sim->linkPath());
    m_host->setBaudRate(QSerialPort::Baud115200);
    m_host->setFlowControl(QSerialPort::HardwareControl);
    m_received.clear();
    connect(m_host.get(), &QSerialPort::readyRead, this, [this] { m_received += m_host->readAll(); });
    return m_host->open(QIODevice::ReadWrite);
}

QByteArray tst_MeroSim::readBytes(int count)
{
    if (!QTest::qWaitFor([&] { return m_received.size() >= count; }, kWaitMs))
        return {};
    const QByteArray bytes = m_received.left(count);
    m_received.remove(0, count);
    return bytes;
}

QByteArray tst_MeroSim::exchange(const QByteArray &request)
{
    m_host->write(request);
    if (!QTest::qWaitFor([&] { return m_received.size() >= HF::kPayloadOffset; }, kWaitMs))
        return {};
    return readBytes(HF::kOverhead + HF::word(m_received, HF::kLengthOffset));
}

void tst_MeroSim::wireFormat()
{
    QCOMPARE(WireFrame::crc32(QByteArrayLiteral("123456789")), 0xCBF43926u);
    QCOMPARE(WireFrame::crc32(QByteArray()), 0u);

    const QByteArray example = QByteArray::fromHex("aa08d00000ff8000000000f7aeab4d48b6");
    WireHeader header;
    header.command = kGetDeviceId;
    header.typeState = kHostTypeState;
    QCOMPARE(WireFrame::build(header, {}), example);
    QCOMPARE(host(kGetDeviceId), example);

    FrameParser parser(Simulator::kMaxHostPayload);
    const QVector<ParsedItem> items = parser.feed(example);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0].kind, ParsedItem::Kind::Frame);
    QCOMPARE(items[0].header.command, kGetDeviceId);
    QCOMPARE(items[0].header.typeState, kHostTypeState);
    QCOMPARE(items[0].header.checksum, quint16(0xAEF7));
    QCOMPARE(items[0].raw, example);
}

void tst_MeroSim::headerChecksumRule_data()
{
    QTest::addColumn<QVector<quint16>>("words"); // command, count, type-state, options, length
    QTest::addColumn<bool>("valid");
    QTest::newRow("scan request") << QVector<quint16>{kScanS12, 513, kMeroTypeState, 1, 203} << true;
    // The five words sum to 0x1FFFF: the single fold carries out and the
    // literal rule rejects the header even though the sender computed it.
    QTest::newRow("carry out of the fold") << QVector<quint16>{0xFFFF, 0, 0, 0xFFFF, 1} << false;
}

void tst_MeroSim::headerChecksumRule()
{
    QFETCH(QVector<quint16>, words);
    QFETCH(bool, valid);
    WireHeader header;
    header.command = words[0];
    header.frameCount = words[1];
    header.typeState = words[2];
    header.options = words[3];
    header.dataLength = words[4];
    header.checksum = header.computeChecksum();
    QCOMPARE(header.hasValidChecksum(), valid);
    QCOMPARE(HF::word(HF::frame(words[0], QByteArray(words[4], 'x'), words[2], words[3], words[1]), HF::kChecksumOffset),
             header.checksum);
    for (int bit = 0; valid && bit < 16; ++bit) {
        WireHeader flipped = header;
        flipped.options ^= quint16(1u << bit);
        QVERIFY2(!flipped.hasValidChecksum(), qPrintable(QString::number(bit)));
    }
}

void tst_MeroSim::parserWaitsAndResynchronises_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<int>("pieceSize");
    QTest::addColumn<QVector<int>>("kinds");
    const int frame = int(ParsedItem::Kind::Frame);
    const int garbage = int(ParsedItem::Kind::Garbage);
    QTest::newRow("byte by byte") << QByteArray() << 1 << QVector<int>{frame};
    QTest::newRow("two garbage bytes") << QByteArray::fromHex("0102") << 1000 << QVector<int>{garbage, frame};
    // A stray start byte followed by junk fails its header check; the parser
    // gives up only that byte and still finds the real frame behind it.
    QTest::newRow("stray start byte") << QByteArray::fromHex("aa0102030405060708090a0b0c") << 5
                                      << QVector<int>{int(ParsedItem::Kind::BadHeader), garbage, frame};
}

void tst_MeroSim::parserWaitsAndResynchronises()
{
    QFETCH(QByteArray, prefix);
    QFETCH(int, pieceSize);
    QFETCH(QVector<int>, kinds);
    const QByteArray frame = host(kScanS21, scanPayload({900000000}), 0, 1);
    const QByteArray stream = prefix + frame;

    FrameParser parser(Simulator::kMaxHostPayload);
    QVector<int> seen;
    for (int offset = 0; offset < stream.size(); offset += pieceSize) {
        for (const ParsedItem &item : parser.feed(stream.mid(offset, pieceSize))) {
            seen << int(item.kind);
            if (item.kind == ParsedItem::Kind::Frame) {
                QVERIFY2(offset + pieceSize >= stream.size(), "a frame completed before its last byte");
                QCOMPARE(item.raw, frame);
            }
        }
    }
    QCOMPARE(seen, kinds);
    QCOMPARE(parser.pendingSize(), 0);
}

void tst_MeroSim::commandReplies_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<quint16>("typeState");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("device id") << host(kGetDeviceId) << kMeroTypeState
                               << reply(kGetDeviceId, HF::threeWords(1, 2, 3));
    QTest::newRow("full type, other device") << host(kGetFullType) << quint16(0x0008)
                                             << reply(kGetFullType, {}, 0, 0, 0x0008);
    QTest::newRow("firmware version") << host(kGetVersion) << kMeroTypeState
                                      << reply(kGetVersion, HF::threeWords(2, 3, 4));
    QTest::newRow("options") << host(kGetOptions) << kMeroTypeState
                             << reply(kGetOptions, "SR=1000,8000;BW=10,100,1000;PR=8");
    QTest::newRow("sample size") << host(kSetSampleSize, QByteArray::fromHex("0001")) << kMeroTypeState
                                 << reply(kSetSampleSize);
    QTest::newRow("gain") << host(kSetGain, QByteArray::fromHex("00000000 00c03f")) << kMeroTypeState << reply(kSetGain);
    QTest::newRow("unknown command") << host(0xFCA0, {}, 0, 7) << kMeroTypeState
                                     << reply(kUndefinedCommand, {}, 0, 0xFCA0);
    // Firmware chunks belong to the bootloader; the application refuses them.
    QTest::newRow("chunk outside the bootloader") << host(kSendChunk, "x") << kMeroTypeState
                                                  << reply(kUndefinedCommand, {}, 0, kSendChunk);
}

void tst_MeroSim::commandReplies()
{
    QFETCH(QByteArray, request);
    QFETCH(quint16, typeState);
    QFETCH(QByteArray, expected);

    Options options;
    options.deviceId = {{1, 2, 3}};
    options.firmwareVersion = {{2, 3, 4}};
    options.typeState = typeState;
    options.optionsText = QStringLiteral("SR=1000,8000;BW=10,100,1000;PR=8");
    QVERIFY(startSimulator(options));
    QCOMPARE(QFileInfo(m_sim->linkPath()).symLinkTarget(), m_sim->slavePath());

    QCOMPARE(exchange(request), expected);
    QCOMPARE(m_sim->sampleSize(), quint16(QTest::currentDataTag() == QLatin1String("sample size") ? 256 : RepeaterModel::kDefaultSampleSize));
    QCOMPARE(m_sim->gainDb(), QTest::currentDataTag() == QLatin1String("gain") ? 1.5f : 0.0f);
    // The host may close and open the port again, as on every reconnect.
    m_host->close();
    QVERIFY(m_host->open(QIODevice::ReadWrite));
    QCOMPARE(exchange(host(kGetFullType, {}, 0, 2)), reply(kGetFullType, {}, 1, 0, typeState));
}

void tst_MeroSim::receivedFramesAreRecorded()
{
    QVERIFY(startSimulator());
    QSignalSpy spy(m_sim.get(), &Simulator::frameReceived);
    const QByteArray scan = scanPayload({900000000, 910000000});
    QVERIFY(!exchange(host(kGetDeviceId)).isEmpty());
    QVERIFY(!exchange(HF::frame(kScanS12, scan, kMeroTypeState, 1, 2)).isEmpty());

    const QVector<ReceivedFrame> &frames = m_sim->receivedFrames();
    QCOMPARE(frames.size(), 2);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(frames[0].command, kGetDeviceId);
    QCOMPARE(frames[0].typeState, kHostTypeState);
    QCOMPARE(frames[1].command, kScanS12);
    QCOMPARE(frames[1].frameCount, quint16(2));
    QCOMPARE(frames[1].options, quint16(1));
    QCOMPARE(spy.at(1).at(0).value<ReceivedFrame>().payload, scan);
}

void tst_MeroSim::corruptedHostFrameIsReported_data()
{
    QTest::addColumn<int>("byteToFlip");
    QTest::addColumn<QString>("reason");
    QTest::newRow("header bit") << 4 << QStringLiteral("header checksum mismatch");
    QTest::newRow("crc bit") << -1 << QStringLiteral("CRC-32 mismatch");
}

void tst_MeroSim::corruptedHostFrameIsReported()
{
    QFETCH(int, byteToFlip);
    QFETCH(QString, reason);
    QVERIFY(startSimulator());
    QSignalSpy bad(m_sim.get(), &Simulator::badHostFrame);

    QByteArray request = host(kScanS21, scanPayload({880000000, 890000000}));
    const int index = byteToFlip < 0 ? request.size() + byteToFlip : byteToFlip;
    request[index] = char(request[index] ^ 0x10);

    QCOMPARE(exchange(request), reply(kResend));
    QCOMPARE(bad.count(), 1);
    QCOMPARE(bad.at(0).at(0).toString(), reason);
    QVERIFY(m_sim->receivedFrames().isEmpty());
    // The receiver is back in step: the next good frame is answered.
    QCOMPARE(exchange(host(kGetFullType)), reply(kGetFullType, {}, 1));
}

void tst_MeroSim::scanReply_data()
{
    QTest::addColumn<quint16>("command");
    QTest::addColumn<quint16>("power");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("announced");
    QTest::addColumn<Timing>("timing");
    QTest::newRow("S21 low, 1 point") << kScanS21 << quint16(0) << 1 << 1 << Timing::Instant;
    QTest::newRow("S12 high, 25 points, realistic") << kScanS12 << quint16(1) << 25 << 25 << Timing::Realistic;
    // The device measures the frequencies that are there, not the count.
    QTest::newRow("25 announced, 2 sent") << kScanS21 << quint16(0) << 2 << 25 << Timing::Instant;
    QTest::newRow("no frequencies") << kScanS21 << quint16(0) << 0 << 0 << Timing::Instant;
}

void tst_MeroSim::scanReply()
{
    QFETCH(quint16, command);
    QFETCH(quint16, power);
    QFETCH(int, points);
    QFETCH(int, announced);
    QFETCH(Timing, timing);
    Options options;
    options.timing = timing;
    QVERIFY(startSimulator(options));

    QVector<qint64> frequencies;
    for (int i = 0; i < points; ++i)
        frequencies << 870000000 + qint64(i) * 4000000;
    QByteArray payload = points ? scanPayload(frequencies) : QByteArray(1, '\0');
    if (points)
        payload[1] = char(announced);
    const QByteArray frame = exchange(host(command, payload, power));
    QCOMPARE(HF::word(frame, HF::kCommandOffset), command);
    QCOMPARE(HF::word(frame, HF::kOptionsOffset), power);
    // Rebuilt by hand, the frame checks its own header sum and CRC.
    const QVector<float> values = scanValues(frame);
    QCOMPARE(frame, reply(command, frame.mid(HF::kPayloadOffset, 4 * values.size()), 0, power));
    QCOMPARE(values.size(), points + 1);
    QCOMPARE(values[0], float(points));
    for (int i = 1; i < values.size(); ++i)
        QVERIFY2(std::isfinite(values[i]) && values[i] > 0.0f, qPrintable(QString::number(values[i])));
}

void tst_MeroSim::presetsStayPlausible_data()
{
    QTest::addColumn<qint64>("startHz");
    QTest::addColumn<qint64>("stopHz");
    QTest::addColumn<quint16>("command");
    QTest::addColumn<qint64>("passbandHz");
    QTest::addColumn<qint64>("stopbandHz");
    // Pass band of the channel, and the other direction's band in the same preset.
    QTest::newRow("GSM900 uplink") << qint64(870e6) << qint64(970e6) << kScanS21 << qint64(897e6) << qint64(942e6);
    QTest::newRow("GSM1800 downlink") << qint64(1685e6) << qint64(1905e6) << kScanS12 << qint64(1842e6) << qint64(1747e6);
    QTest::newRow("LTE800 downlink") << qint64(780e6) << qint64(900e6) << kScanS12 << qint64(806e6) << qint64(847e6);
}

void tst_MeroSim::presetsStayPlausible()
{
    QFETCH(qint64, startHz);
    QFETCH(qint64, stopHz);
    QFETCH(quint16, command);
    QFETCH(qint64, passbandHz);
    QFETCH(qint64, stopbandHz);
    QVERIFY(startSimulator());

    quint16 count = 0;
    QVector<float> passband;
    for (quint16 power : {quint16(0), quint16(1)}) {
        QVector<qint64> sweep;
        for (int i = 0; i < 25; ++i)
            sweep << startHz + i * ((stopHz - startHz) / 24);
        const QVector<float> values = scanValues(exchange(host(command, scanPayload(sweep), power, count++)));
        QCOMPARE(values.size(), 26);
        // The host shows raw levels from 110 dB below full scale up to full scale.
        for (int i = 1; i < values.size(); ++i) {
            QVERIFY2(toDb(values[i]) > -110.0 && toDb(values[i]) < 0.0,
                     qPrintable(QStringLiteral("%1 dB at %2 Hz").arg(toDb(values[i])).arg(sweep[i - 1])));
        }
        const QVector<float> bands = scanValues(exchange(host(command, scanPayload({passbandHz, stopbandHz}), power, count++)));
        // A duplexer separates the two directions by far more than 30 dB.
        QVERIFY2(toDb(bands[1]) - toDb(bands[2]) > 30.0, qPrintable(QStringLiteral("%1 dB vs %2 dB").arg(toDb(bands[1])).arg(toDb(bands[2]))));
        passband << bands[1];
    }
    // The high power option raises the level in the pass band.
    QVERIFY2(toDb(passband[1]) - toDb(passband[0]) > 10.0, qPrintable(QStringLiteral("%1 vs %2").arg(passband[1]).arg(passband[0])));
}

void tst_MeroSim::adcFollowsTheLastSliceAndGain()
{
    QVERIFY(startSimulator());
    quint16 count = 0;
    const auto adcAfterScan = [&](quint16 power) {
        exchange(host(kScanS12, scanPayload({942000000}), power, count++));
        return HF::word(exchange(host(kGetAdc, {}, 0, count++)), HF::kPayloadOffset);
    };
    const quint16 weak = adcAfterScan(0);
    const quint16 strong = adcAfterScan(1);
    QVERIFY2(strong > weak, qPrintable(QStringLiteral("%1 vs %2").arg(strong).arg(weak)));
    QVERIFY(!exchange(host(kSetGain, QByteArray::fromHex("000000000040c1"), 0, count++)).isEmpty()); // -12 dB
    QVERIFY(adcAfterScan(1) < strong);

    RepeaterModel model(1);
    QCOMPARE(model.setSampleSize(64), RepeaterModel::kMinSampleSize);
    const int fast = model.measurementMs(25);
    QCOMPARE(model.setSampleSize(5000), RepeaterModel::kMaxSampleSize);
    QVERIFY(model.measurementMs(25) > fast);
}

void tst_MeroSim::faultBytes_data()
{
    QTest::addColumn<FaultKind>("kind");
    QTest::newRow("header bit") << FaultKind::FlipHeaderBit;
    QTest::newRow("payload bit") << FaultKind::FlipPayloadBit;
    QTest::newRow("garbage") << FaultKind::GarbageBeforeStart;
    QTest::newRow("wrong command") << FaultKind::WrongCommand;
    QTest::newRow("report bad host frame") << FaultKind::ReportBadHostFrame;
}

void tst_MeroSim::faultBytes()
{
    QFETCH(FaultKind, kind);
    Options options;
    options.seed = 7;
    options.garbageMax = 32;
    QVERIFY(startSimulator(options));
    QSignalSpy sent(m_sim.get(), &Simulator::replySent);
    m_sim->addFault(FaultRule::once(kind));

    m_host->write(host(kScanS21, scanPayload({900000000, 905000000, 910000000})));
    QVERIFY(sent.wait(kWaitMs));
    const SentReply sentReply = sent.at(0).at(0).value<SentReply>();
    QCOMPARE(sentReply.faults, QVector<FaultKind>{kind});
    const QByteArray &clean = sentReply.clean;
    const QByteArray &wire = sentReply.wire;
    QCOMPARE(readBytes(wire.size()), wire);

    int byte = -1;
    switch (kind) {
    case FaultKind::FlipHeaderBit:
    case FaultKind::FlipPayloadBit: {
        QCOMPARE(wire.size(), clean.size());
        QCOMPARE(differingBits(clean, wire, &byte), 1);
        const bool inHeader = byte >= 1 && byte < HF::kPayloadOffset;
        const bool inPayload = byte >= HF::kPayloadOffset && byte < clean.size() - 4;
        QVERIFY(kind == FaultKind::FlipHeaderBit ? inHeader : inPayload);
        break;
    }
    case FaultKind::GarbageBeforeStart: {
        QVERIFY(wire.endsWith(clean));
        const QByteArray garbage = wire.left(wire.size() - clean.size());
        QVERIFY(garbage.size() >= 1 && garbage.size() <= options.garbageMax);
        QVERIFY(!garbage.contains(char(0xAA)));
        break;
    }
    case FaultKind::WrongCommand:
        QVERIFY(HF::word(wire, HF::kCommandOffset) != kScanS21);
        QCOMPARE(wire, reply(HF::word(wire, HF::kCommandOffset), clean.mid(HF::kPayloadOffset, clean.size() - HF::kOverhead)));
        break;
    default:
        QCOMPARE(wire, reply(kResend, {}, 1));
    }
    // Faults are on the wire only: a resend brings the reply as built.
    QCOMPARE(exchange(host(kResend, {}, 5, 1)), clean);
}

void tst_MeroSim::splitRepliesArriveWhole()
{
    Options options;
    options.chunkMax = 4;
    options.chunkGapMs = 0;
    QVERIFY(startSimulator(options));
    QSignalSpy written(m_sim.get(), &Simulator::bytesWritten);
    m_sim->addFault(FaultRule::once(FaultKind::SplitChunks));

    const QByteArray expected = reply(kGetVersion, HF::threeWords(1, 4, 12));
    QCOMPARE(exchange(host(kGetVersion)), expected);
    QByteArray joined;
    for (const QList<QVariant> &call : qAsConst(written)) {
        const QByteArray piece = call.at(0).toByteArray();
        QVERIFY(piece.size() >= 1 && piece.size() <= options.chunkMax);
        joined += piece;
    }
    QCOMPARE(joined, expected);
}

void tst_MeroSim::droppedReplyCanBeResent()
{
    QVERIFY(startSimulator());
    QSignalSpy sent(m_sim.get(), &Simulator::replySent);
    m_sim->addFault(FaultRule::once(FaultKind::DropReply));
    m_host->write(host(kGetDeviceId));
    QVERIFY(sent.wait(kWaitMs));
    QVERIFY(sent.at(0).at(0).value<SentReply>().wire.isEmpty());
    QCOMPARE(m_sim->repliesLost(), 1);
    QCOMPARE(m_sim->repliesSent(), 0);

    // The host names its own error state in the options; the answer does not change.
    const QByteArray first = exchange(host(kResend, {}, 2, 1));
    QCOMPARE(first, sent.at(0).at(0).value<SentReply>().clean);
    QCOMPARE(HF::word(first, HF::kCommandOffset), kGetDeviceId);
    QCOMPARE(exchange(host(kResend, {}, 6, 2)), first);
    QCOMPARE(m_received, QByteArray());
}

void tst_MeroSim::faultSchedules_data()
{
    QTest::addColumn<FaultRule>("rule");
    QTest::addColumn<QString>("pattern"); // one character per reply, x = struck
    QTest::newRow("once") << FaultRule::once(FaultKind::DropReply) << QStringLiteral("x.......");
    QTest::newRow("every 3rd") << FaultRule::everyNth(FaultKind::DropReply, 3) << QStringLiteral("..x..x..");
    QTest::newRow("never") << FaultRule::random(FaultKind::DropReply, 0.0) << QStringLiteral("........");
    QTest::newRow("always") << FaultRule::random(FaultKind::DropReply, 1.0) << QStringLiteral("xxxxxxxx");
}

void tst_MeroSim::faultSchedules()
{
    QFETCH(FaultRule, rule);
    QFETCH(QString, pattern);
    FaultInjector injector(3);
    injector.add(rule);
    QString seen;
    for (int i = 0; i < pattern.size(); ++i)
        seen += injector.nextReply().contains(FaultKind::DropReply) ? QLatin1Char('x') : QLatin1Char('.');
    QCOMPARE(seen, pattern);
}

void tst_MeroSim::randomFaultsRepeatWithTheSeed()
{
    const auto run = [](quint64 seed) {
        FaultInjector injector(seed);
        injector.add(FaultRule::random(FaultKind::FlipPayloadBit, 0.5));
        QString pattern;
        for (int i = 0; i < 64; ++i)
            pattern += injector.nextReply().isEmpty() ? QLatin1Char('.') : QLatin1Char('x');
        return pattern + QString::number(injector.pieces(40, 5).size());
    };
    QCOMPARE(run(11), run(11));
    QVERIFY(run(11) != run(12));
    QVERIFY(run(11).contains(QLatin1Char('x')) && run(11).contains(QLatin1Char('.')));
}

void tst_MeroSim::unplugRemovesAndRestoresTheLink()
{
    qRegisterMetaType<QSerialPort::SerialPortError>();
    QVERIFY(startSimulator());
    QSignalSpy pluggedIn(m_sim.get(), &Simulator::pluggedIn);
    QSignalSpy hostError(m_host.get(), &QSerialPort::errorOccurred);
    QVERIFY(!exchange(host(kSetSampleSize, QByteArray::fromHex("8000"))).isEmpty());
    QCOMPARE(m_sim->sampleSize(), quint16(128));

    m_sim->unplug(200);
    QVERIFY(!m_sim->isPlugged());
    const QFileInfo gone(m_sim->linkPath());
    QVERIFY(!gone.exists() && !gone.isSymLink());
    // The host notices the device is gone the way it notices a pulled cable:
    // an error its serial layer treats as a lost device.
    QTRY_VERIFY_WITH_TIMEOUT(!hostError.isEmpty(), kWaitMs);
    const auto error = hostError.first().first().value<QSerialPort::SerialPortError>();
    QVERIFY2(error == QSerialPort::ReadError || error == QSerialPort::ResourceError,
             qPrintable(QString::number(int(error))));

    QVERIFY(pluggedIn.wait(kWaitMs));
    QCOMPARE(QFileInfo(m_sim->linkPath()).symLinkTarget(), m_sim->slavePath());
    QCOMPARE(m_sim->unplugCount(), 1);
    m_host.reset();
    QVERIFY(openHost());
    // A power cycle: counter and settings start afresh.
    QCOMPARE(exchange(host(kGetFullType)), reply(kGetFullType));
    QCOMPARE(m_sim->sampleSize(), RepeaterModel::kDefaultSampleSize);
}

void tst_MeroSim::unplugFaultTakesTheDeviceAway()
{
    Options options;
    options.unplugDelayMs = -1;
    QVERIFY(startSimulator(options));
    m_sim->addFault(FaultRule::once(FaultKind::Unplug));
    QSignalSpy unplugged(m_sim.get(), &Simulator::unplugged);
    m_host->write(host(kGetDeviceId));
    QVERIFY(unplugged.wait(kWaitMs));
    QVERIFY(!QFileInfo(m_sim->linkPath()).isSymLink());
    QCOMPARE(m_sim->repliesLost(), 1);
    QCOMPARE(m_received, QByteArray());

    QVERIFY(m_sim->plugIn());
    QVERIFY(QFileInfo(m_sim->linkPath()).isSymLink());
}

void tst_MeroSim::firmwareUpdateThroughTheBootloader()
{
    Options options;
    options.rebootDelayMs = 0;
    QVERIFY(startSimulator(options));
    QSignalSpy pluggedIn(m_sim.get(), &Simulator::pluggedIn);
    QSignalSpy firmware(m_sim.get(), &Simulator::firmwareReceived);

    QCOMPARE(exchange(host(kReboot)), reply(kReboot));
    QVERIFY(pluggedIn.wait(kWaitMs));
    QCOMPARE(m_sim->mode(), Simulator::Mode::Bootloader);
    m_host.reset();
    QVERIFY(openHost());
    QCOMPARE(exchange(host(kGetFullType)), reply(kGetFullType, {}, 0, 0, kMeroTypeState | 0x8000));
    // The bootloader measures nothing.
    QCOMPARE(HF::word(exchange(host(kScanS21, scanPayload({900000000}))), HF::kCommandOffset), kUndefinedCommand);

    QByteArray image(1025, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i * 7);
    const auto answered = [this](const QByteArray &request) {
        return HF::word(exchange(request), HF::kCommandOffset);
    };
    QCOMPARE(answered(host(kInitUpdate, QByteArray::fromHex("01040000"), 2)), kInitUpdate);
    QCOMPARE(answered(host(kSendChunk, image.left(1024))), kSendChunk);
    // A chunk sent again after a lost reply is taken once more, not appended.
    QCOMPARE(answered(host(kSendChunk, image.left(1024))), kSendChunk);
    QCOMPARE(answered(host(kSendChunk, image.mid(1024), 1)), kSendChunk);

    QCOMPARE(firmware.count(), 1);
    QCOMPARE(firmware.at(0).at(0).toByteArray(), image);
    QVERIFY(pluggedIn.wait(kWaitMs));
    QCOMPARE(m_sim->mode(), Simulator::Mode::MainApp);
}

void tst_MeroSim::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    // "link|id|type|version|timing|faults", or empty for a refused line.
    QTest::addColumn<QString>("expected");

    const QString link = CommandLine::defaultLinkPath();
    QTest::newRow("defaults") << QStringList{} << link + "|4587553-825774358-875575351|22|1.4.12|instant|";
    QTest::newRow("all set") << QStringList{"--link", "/tmp/x", "--id", "7-8-4294967295", "--type", "0x0008",
                                            "--version", "2.3.4", "--timing", "realistic", "--fault", "drop:every=5",
                                            "--fault", "chunks:p=0.25", "--fault", "garbage"}
                             << "/tmp/x|7-8-4294967295|8|2.3.4|realistic|drop:every=5 chunks:p=0.25 garbage:once";
    for (const char *bad : {"--id=1-2", "--id=1-2-4294967296", "--type=0x10000", "--timing=slow", "--fault=explode",
                            "--fault=drop:every=0", "--fault=drop:p=1.5", "--chunk-max=0", "--colour"})
        QTest::newRow(bad) << QStringList{QString::fromLatin1(bad)} << QString();
}

void tst_MeroSim::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    CommandLine commandLine;
    const auto outcome = commandLine.parse(QStringList{QStringLiteral("mero-sim")} + arguments);
    if (expected.isEmpty()) {
        QCOMPARE(outcome, CommandLine::Outcome::Error);
        QVERIFY(!commandLine.error().isEmpty());
        return;
    }
    QCOMPARE(outcome, CommandLine::Outcome::Run);
    const Options &o = commandLine.options();
    QStringList rules;
    for (const FaultRule &rule : o.faults)
        rules << rule.toString();
    QCOMPARE(QStringLiteral("%1|%2-%3-%4|%5|%6.%7.%8|%9|")
                 .arg(o.linkPath).arg(o.deviceId[0]).arg(o.deviceId[1]).arg(o.deviceId[2]).arg(o.typeState)
                 .arg(o.firmwareVersion[0]).arg(o.firmwareVersion[1]).arg(o.firmwareVersion[2])
                 .arg(Options::timingName(o.timing)) + rules.join(QLatin1Char(' ')),
             expected);
}

QTEST_GUILESS_MAIN(tst_MeroSim)
#include "tst_merosim.moc"
