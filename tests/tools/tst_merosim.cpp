#include "commandline.h"
#include "handframes.h"
#include "faultinjector.h"
#include "frameparser.h"
#include "repeatermodel.h"
#include "firmwareimage.h"
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
using TestSupport::HandFrames::scanPayload;

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
constexpr int kHeaderEnd = 13;

// The test's own reading of the wire format: bitwise CRC-32 and header words
// written byte by byte, so it shares no code with the simulator's framing.
quint32 referenceCrc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putWord(QByteArray &bytes, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

QByteArray handFrame(quint16 command, quint16 options, const QByteArray &payload,
                     quint16 count = 0, quint16 typeState = kHostTypeState)
{
    const quint16 length = quint16(payload.size());
    const quint32 sum = quint32(command) + count + typeState + options + length;
    const quint16 checksum = quint16(~(((sum >> 16) + sum) & 0xFFFF));
    QByteArray body;
    for (quint16 word : {command, count, typeState, options, length, checksum})
        putWord(body, word, 2);
    body += payload;
    putWord(body, referenceCrc32(body), 4);
    return char(0xAA) + body;
}

quint16 wordAt(const QByteArray &frame, int offset)
{
    return quint16(quint8(frame[offset]) | (quint8(frame[offset + 1]) << 8));
}

QVector<float> scanValues(const QByteArray &reply)
{
    QDataStream in(reply.mid(kHeaderEnd, wordAt(reply, 9)));
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

    void exampleFrameEncodesAndParses();
    void crcOfKnownInputs();
    void headerChecksumRule_data();
    void headerChecksumRule();
    void parserWaitsAndResynchronises_data();
    void parserWaitsAndResynchronises();
    void serialPortOpensTheLink();
    void commandReplies_data();
    void commandReplies();
    void unknownCommandIsAnsweredAsUndefined();
    void receivedFramesAreRecordedInOrder();
    void corruptedHostFrameIsReported_data();
    void corruptedHostFrameIsReported();
    void scanReplyCarriesOneFloatPerFrequency_data();
    void scanReplyCarriesOneFloatPerFrequency();
    void scanRequestWithMissingFrequencies();
    void presetsStayPlausible_data();
    void presetsStayPlausible();
    void powerOptionRaisesTheLevel();
    void adcFollowsTheLastSliceAndGain();
    void sampleSizeIsClampedAndSetsTiming();
    void resendRepeatsTheLastReplyUnchanged();
    void faultBytes_data();
    void faultBytes();
    void splitRepliesArriveWhole_data();
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
    QByteArray readFrame();
    QByteArray exchange(const QByteArray &request);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Simulator> m_sim;
    std::unique_ptr<QSerialPort> m_host;
    QByteArray m_received;
};

void tst_MeroSim::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
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
    m_host->setDataBits(QSerialPort::Data8);
    m_host->setParity(QSerialPort::NoParity);
    m_host->setStopBits(QSerialPort::OneStop);
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

QByteArray tst_MeroSim::readFrame()
{
    if (!QTest::qWaitFor([&] { return m_received.size() >= kHeaderEnd; }, kWaitMs))
        return {};
    return readBytes(WireFrame::kOverhead + wordAt(m_received, 9));
}

QByteArray tst_MeroSim::exchange(const QByteArray &request)
{
    m_host->write(request);
    return readFrame();
}

void tst_MeroSim::exampleFrameEncodesAndParses()
{
    const QByteArray example = QByteArray::fromHex("aa08d00000ff8000000000f7aeab4d48b6");
    WireHeader header;
    header.command = kGetDeviceId;
    header.typeState = kHostTypeState;
    QCOMPARE(WireFrame::build(header, {}), example);
    QCOMPARE(handFrame(kGetDeviceId, 0, {}), example);

    FrameParser parser(Simulator::kMaxHostPayload);
    const QVector<ParsedItem> items = parser.feed(example);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0].kind, ParsedItem::Kind::Frame);
    QCOMPARE(items[0].header.command, kGetDeviceId);
    QCOMPARE(items[0].header.typeState, kHostTypeState);
    QCOMPARE(items[0].header.checksum, quint16(0xAEF7));
    QCOMPARE(items[0].raw, example);
}

void tst_MeroSim::crcOfKnownInputs()
{
    QCOMPARE(WireFrame::crc32(QByteArrayLiteral("123456789")), 0xCBF43926u);
    QCOMPARE(WireFrame::crc32(QByteArray()), 0u);
    const QByteArray payload = QByteArray::fromHex("00ff10aa55");
    QCOMPARE(WireFrame::crc32(payload), referenceCrc32(payload));
}

void tst_MeroSim::headerChecksumRule_data()
{
    QTest::addColumn<QVector<quint16>>("words"); // command, count, type-state, options, length
    QTest::addColumn<bool>("valid");
    QTest::newRow("example") << QVector<quint16>{kGetDeviceId, 0, kHostTypeState, 0, 0} << true;
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
    QCOMPARE(wordAt(handFrame(words[0], words[3], QByteArray(words[4], 'x'), words[1], words[2]), 11),
             header.checksum);

    for (int bit = 0; bit < 16; ++bit) {
        WireHeader flipped = header;
        flipped.options ^= quint16(1u << bit);
        QVERIFY2(!flipped.hasValidChecksum() || !valid, qPrintable(QString::number(bit)));
    }
}

void tst_MeroSim::parserWaitsAndResynchronises_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<int>("pieceSize");
    QTest::addColumn<QVector<int>>("kinds");
    const int frame = int(ParsedItem::Kind::Frame);
    const int garbage = int(ParsedItem::Kind::Garbage);
    const int badHeader = int(ParsedItem::Kind::BadHeader);
    QTest::newRow("whole") << QByteArray() << 1000 << QVector<int>{frame};
    QTest::newRow("byte by byte") << QByteArray() << 1 << QVector<int>{frame};
    QTest::newRow("two garbage bytes") << QByteArray::fromHex("0102") << 1000 << QVector<int>{garbage, frame};
    // A stray start byte followed by junk fails its header check; the parser
    // gives up only that byte and still finds the real frame behind it.
    QTest::newRow("stray start byte")
        << QByteArray::fromHex("aa0102030405060708090a0b0c") << 5
        << QVector<int>{badHeader, garbage, frame};
}

void tst_MeroSim::parserWaitsAndResynchronises()
{
    QFETCH(QByteArray, prefix);
    QFETCH(int, pieceSize);
    QFETCH(QVector<int>, kinds);
    const QByteArray frame = handFrame(kScanS21, 1, scanPayload({900000000}));
    const QByteArray stream = prefix + frame;

    FrameParser parser(Simulator::kMaxHostPayload);
    QVector<int> seen;
    for (int offset = 0; offset < stream.size(); offset += pieceSize) {
        const bool last = offset + pieceSize >= stream.size();
        for (const ParsedItem &item : parser.feed(stream.mid(offset, pieceSize))) {
            seen << int(item.kind);
            if (item.kind == ParsedItem::Kind::Frame) {
                QVERIFY2(last, "a frame completed before its last byte");
                QCOMPARE(item.raw, frame);
            }
        }
    }
    QCOMPARE(seen, kinds);
    QCOMPARE(parser.pendingSize(), 0);

    FrameParser waiting(Simulator::kMaxHostPayload);
    QVERIFY(waiting.feed(frame.left(kHeaderEnd - 1)).isEmpty());
    QCOMPARE(waiting.pendingSize(), kHeaderEnd - 1);
}

void tst_MeroSim::serialPortOpensTheLink()
{
    QVERIFY(startSimulator());
    QCOMPARE(QFileInfo(m_sim->linkPath()).symLinkTarget(), m_sim->slavePath());
    QCOMPARE(m_host->baudRate(), qint32(QSerialPort::Baud115200));
    QCOMPARE(m_host->flowControl(), QSerialPort::HardwareControl);
    QCOMPARE(exchange(handFrame(kGetFullType, 0, {})), handFrame(kGetFullType, 0, {}, 0, kMeroTypeState));

    // The host may close and open the port again, as on every reconnect.
    m_host->close();
    QVERIFY(m_host->open(QIODevice::ReadWrite));
    QCOMPARE(exchange(handFrame(kGetFullType, 0, {}, 2)), handFrame(kGetFullType, 0, {}, 1, kMeroTypeState));
}

void tst_MeroSim::commandReplies_data()
{
    QTest::addColumn<quint16>("command");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<quint16>("typeState");
    QTest::addColumn<QByteArray>("replyPayload");

    QTest::newRow("device id") << kGetDeviceId << QByteArray() << kMeroTypeState
                               << QByteArray::fromHex("010000000200000003000000");
    QTest::newRow("full type, MERO") << kGetFullType << QByteArray() << kMeroTypeState << QByteArray();
    QTest::newRow("full type, other device") << kGetFullType << QByteArray() << quint16(0x0008) << QByteArray();
    QTest::newRow("firmware version") << kGetVersion << QByteArray() << kMeroTypeState
                                      << QByteArray::fromHex("020000000300000004000000");
    QTest::newRow("options") << kGetOptions << QByteArray() << kMeroTypeState
                             << QByteArrayLiteral("SR=1000,8000;BW=10,100,1000;PR=8");
    QTest::newRow("sample size") << kSetSampleSize << QByteArray::fromHex("0001") << kMeroTypeState << QByteArray();
    QTest::newRow("gain") << kSetGain << QByteArray::fromHex("00000000 00c03f") << kMeroTypeState << QByteArray();
}

void tst_MeroSim::commandReplies()
{
    QFETCH(quint16, command);
    QFETCH(QByteArray, payload);
    QFETCH(quint16, typeState);
    QFETCH(QByteArray, replyPayload);

    Options options;
    options.deviceId = {{1, 2, 3}};
    options.firmwareVersion = {{2, 3, 4}};
    options.typeState = typeState;
    options.optionsText = QStringLiteral("SR=1000,8000;BW=10,100,1000;PR=8");
    QVERIFY(startSimulator(options));

    QCOMPARE(exchange(handFrame(command, 0, payload)), handFrame(command, 0, replyPayload, 0, typeState));
    QCOMPARE(m_sim->repliesSent(), 1);
    if (command == kSetSampleSize)
        QCOMPARE(m_sim->sampleSize(), quint16(256));
    if (command == kSetGain)
        QCOMPARE(m_sim->gainDb(), 1.5f);
}

void tst_MeroSim::unknownCommandIsAnsweredAsUndefined()
{
    QVERIFY(startSimulator());
    const quint16 calibRead = 0xFCA0;
    QCOMPARE(exchange(handFrame(calibRead, 7, {})), handFrame(kUndefinedCommand, calibRead, {}, 0, kMeroTypeState));
    // Firmware chunks belong to the bootloader; the application refuses them.
    QCOMPARE(exchange(handFrame(kSendChunk, 0, "x")), handFrame(kUndefinedCommand, kSendChunk, {}, 1, kMeroTypeState));
}

void tst_MeroSim::receivedFramesAreRecordedInOrder()
{
    QVERIFY(startSimulator());
    QSignalSpy spy(m_sim.get(), &Simulator::frameReceived);
    const QByteArray scan = scanPayload({900000000, 910000000});
    QVERIFY(!exchange(handFrame(kGetDeviceId, 0, {}, 0)).isEmpty());
    QVERIFY(!exchange(handFrame(kScanS12, 1, scan, 2, kMeroTypeState)).isEmpty());

    const QVector<ReceivedFrame> &frames = m_sim->receivedFrames();
    QCOMPARE(frames.size(), 2);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(frames[0].command, kGetDeviceId);
    QCOMPARE(frames[0].typeState, kHostTypeState);
    QCOMPARE(frames[1].command, kScanS12);
    QCOMPARE(frames[1].frameCount, quint16(2));
    QCOMPARE(frames[1].options, quint16(1));
    QCOMPARE(frames[1].payload, scan);
    QCOMPARE(spy.at(1).at(0).value<ReceivedFrame>().payload, scan);
    QCOMPARE(m_sim->repliesSent(), 2);
}

void tst_MeroSim::corruptedHostFrameIsReported_data()
{
    QTest::addColumn<int>("byteToFlip");
    QTest::addColumn<QString>("reason");
    QTest::newRow("header bit") << 4 << QStringLiteral("header checksum mismatch");
    QTest::newRow("payload bit") << kHeaderEnd + 5 << QStringLiteral("CRC-32 mismatch");
    QTest::newRow("crc bit") << -1 << QStringLiteral("CRC-32 mismatch");
}

void tst_MeroSim::corruptedHostFrameIsReported()
{
    QFETCH(int, byteToFlip);
    QFETCH(QString, reason);
    QVERIFY(startSimulator());
    QSignalSpy bad(m_sim.get(), &Simulator::badHostFrame);

    QByteArray request = handFrame(kScanS21, 0, scanPayload({880000000, 890000000}));
    const int index = byteToFlip < 0 ? request.size() + byteToFlip : byteToFlip;
    request[index] = char(request[index] ^ 0x10);

    QCOMPARE(exchange(request), handFrame(kResend, 0, {}, 0, kMeroTypeState));
    QCOMPARE(bad.count(), 1);
    QCOMPARE(bad.at(0).at(0).toString(), reason);
    QCOMPARE(m_sim->badHostFrames(), 1);
    QVERIFY(m_sim->receivedFrames().isEmpty());

    // The receiver is back in step: the next good frame is answered.
    QCOMPARE(exchange(handFrame(kGetFullType, 0, {})), handFrame(kGetFullType, 0, {}, 1, kMeroTypeState));
}

void tst_MeroSim::scanReplyCarriesOneFloatPerFrequency_data()
{
    QTest::addColumn<quint16>("command");
    QTest::addColumn<quint16>("power");
    QTest::addColumn<int>("points");
    QTest::addColumn<Timing>("timing");
    QTest::newRow("S21 low, 1 point") << kScanS21 << quint16(0) << 1 << Timing::Instant;
    QTest::newRow("S21 high, 25 points") << kScanS21 << quint16(1) << 25 << Timing::Instant;
    QTest::newRow("S12 low, 25 points") << kScanS12 << quint16(0) << 25 << Timing::Instant;
    QTest::newRow("S12 high, 10 points") << kScanS12 << quint16(1) << 10 << Timing::Instant;
    QTest::newRow("S12 low, 25 points, realistic") << kScanS12 << quint16(0) << 25 << Timing::Realistic;
}

void tst_MeroSim::scanReplyCarriesOneFloatPerFrequency()
{
    QFETCH(quint16, command);
    QFETCH(quint16, power);
    QFETCH(int, points);
    QFETCH(Timing, timing);
    Options options;
    options.timing = timing;
    QVERIFY(startSimulator(options));

    QVector<qint64> frequencies;
    for (int i = 0; i < points; ++i)
        frequencies << 870000000 + qint64(i) * 4000000;
    const QByteArray reply = exchange(handFrame(command, power, scanPayload(frequencies)));
    QCOMPARE(wordAt(reply, 1), command);
    QCOMPARE(wordAt(reply, 7), power);
    QCOMPARE(int(wordAt(reply, 9)), 4 * (points + 1));
    QCOMPARE(referenceCrc32(reply.mid(1, reply.size() - 5)),
             quint32(wordAt(reply, reply.size() - 4) | (quint32(wordAt(reply, reply.size() - 2)) << 16)));

    const QVector<float> values = scanValues(reply);
    QCOMPARE(values.size(), points + 1);
    QCOMPARE(values[0], float(points));
    for (int i = 1; i < values.size(); ++i)
        QVERIFY2(std::isfinite(values[i]) && values[i] > 0.0f, qPrintable(QString::number(values[i])));
}

void tst_MeroSim::scanRequestWithMissingFrequencies()
{
    QVERIFY(startSimulator());
    // Announces 25 points but carries 2: the device measures what is there.
    QByteArray payload = scanPayload({900000000, 901000000});
    payload[1] = char(25);
    const QVector<float> values = scanValues(exchange(handFrame(kScanS21, 0, payload)));
    QCOMPARE(values.size(), 3);
    QCOMPARE(values[0], 2.0f);

    const QVector<float> empty = scanValues(exchange(handFrame(kScanS21, 0, QByteArray(1, '\0'), 1)));
    QCOMPARE(empty, QVector<float>{0.0f});
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
    QTest::newRow("GSM900 downlink") << qint64(870e6) << qint64(970e6) << kScanS12 << qint64(942e6) << qint64(897e6);
    QTest::newRow("GSM1800 uplink") << qint64(1685e6) << qint64(1905e6) << kScanS21 << qint64(1747e6) << qint64(1842e6);
    QTest::newRow("GSM1800 downlink") << qint64(1685e6) << qint64(1905e6) << kScanS12 << qint64(1842e6) << qint64(1747e6);
    QTest::newRow("UMTS2100 uplink") << qint64(1885e6) << qint64(2220e6) << kScanS21 << qint64(1950e6) << qint64(2140e6);
    QTest::newRow("UMTS2100 downlink") << qint64(1885e6) << qint64(2220e6) << kScanS12 << qint64(2140e6) << qint64(1950e6);
    QTest::newRow("LTE800 uplink") << qint64(780e6) << qint64(900e6) << kScanS21 << qint64(847e6) << qint64(806e6);
    QTest::newRow("LTE800 downlink") << qint64(780e6) << qint64(900e6) << kScanS12 << qint64(806e6) << qint64(847e6);
    QTest::newRow("LTE2600 uplink") << qint64(2450e6) << qint64(2720e6) << kScanS21 << qint64(2535e6) << qint64(2655e6);
    QTest::newRow("LTE2600 downlink") << qint64(2450e6) << qint64(2720e6) << kScanS12 << qint64(2655e6) << qint64(2535e6);
}

void tst_MeroSim::presetsStayPlausible()
{
    QFETCH(qint64, startHz);
    QFETCH(qint64, stopHz);
    QFETCH(quint16, command);
    QFETCH(qint64, passbandHz);
    QFETCH(qint64, stopbandHz);
    QVERIFY(startSimulator());

    // The host shows raw levels from 110 dB below full scale up to full scale.
    const double lowestDb = -110.0;
    const double fullScaleDb = 0.0;
    quint16 count = 0;
    for (quint16 power : {quint16(0), quint16(1)}) {
        const qint64 step = (stopHz - startHz) / 24;
        QVector<qint64> sweep;
        for (int i = 0; i < 25; ++i)
            sweep << startHz + i * step;
        const QVector<float> values = scanValues(exchange(handFrame(command, power, scanPayload(sweep), count++)));
        QCOMPARE(values.size(), 26);
        for (int i = 1; i < values.size(); ++i) {
            QVERIFY2(toDb(values[i]) > lowestDb && toDb(values[i]) < fullScaleDb,
                     qPrintable(QStringLiteral("%1 dB at %2 Hz").arg(toDb(values[i])).arg(sweep[i - 1])));
        }

        const QVector<float> bands = scanValues(
            exchange(handFrame(command, power, scanPayload({passbandHz, stopbandHz}), count++)));
        // A duplexer separates the two directions by far more than 30 dB.
        QVERIFY2(toDb(bands[1]) - toDb(bands[2]) > 30.0,
                 qPrintable(QStringLiteral("%1 dB vs %2 dB").arg(toDb(bands[1])).arg(toDb(bands[2]))));
    }
}

void tst_MeroSim::powerOptionRaisesTheLevel()
{
    QVERIFY(startSimulator());
    const QByteArray payload = scanPayload({897000000, 1300000000});
    const QVector<float> low = scanValues(exchange(handFrame(kScanS21, 0, payload)));
    const QVector<float> high = scanValues(exchange(handFrame(kScanS21, 1, payload, 1)));
    QVERIFY2(toDb(high[1]) - toDb(low[1]) > 10.0, qPrintable(QStringLiteral("%1 vs %2").arg(high[1]).arg(low[1])));
    // Far outside the band both readings sit near the same noise floor.
    QVERIFY(std::abs(toDb(high[2]) - toDb(low[2])) < 10.0);
}

void tst_MeroSim::adcFollowsTheLastSliceAndGain()
{
    QVERIFY(startSimulator());
    const auto adc = [this](quint16 count) {
        return wordAt(exchange(handFrame(kGetAdc, 0, {}, count)), kHeaderEnd);
    };
    QVERIFY(!exchange(handFrame(kScanS12, 0, scanPayload({942000000}))).isEmpty());
    const quint16 weak = adc(1);
    QVERIFY(!exchange(handFrame(kScanS12, 1, scanPayload({942000000}), 2)).isEmpty());
    const quint16 strong = adc(3);
    QVERIFY2(strong > weak, qPrintable(QStringLiteral("%1 vs %2").arg(strong).arg(weak)));

    QVERIFY(!exchange(handFrame(kSetGain, 0, QByteArray::fromHex("000000000040c1"), 4)).isEmpty()); // -12 dB
    QVERIFY(!exchange(handFrame(kScanS12, 1, scanPayload({942000000}), 5)).isEmpty());
    QVERIFY(adc(6) < strong);
}

void tst_MeroSim::sampleSizeIsClampedAndSetsTiming()
{
    RepeaterModel model(1);
    QCOMPARE(model.setSampleSize(64), RepeaterModel::kMinSampleSize);
    const int fast = model.measurementMs(25);
    QCOMPARE(model.setSampleSize(5000), RepeaterModel::kMaxSampleSize);
    QVERIFY(model.measurementMs(25) > fast);
    QCOMPARE(model.setSampleSize(-3), RepeaterModel::kMinSampleSize);
}

void tst_MeroSim::resendRepeatsTheLastReplyUnchanged()
{
    QVERIFY(startSimulator());
    const QByteArray first = exchange(handFrame(kScanS21, 0, scanPayload({900000000, 905000000})));
    QVERIFY(!first.isEmpty());
    // The host names its own error state in the options; the answer does not change.
    QCOMPARE(exchange(handFrame(kResend, 6, {}, 1)), first);
    QCOMPARE(exchange(handFrame(kResend, 2, {}, 2)), first);
    QCOMPARE(m_sim->repliesSent(), 3);
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

    const QByteArray payload = scanPayload({900000000, 905000000, 910000000});
    m_host->write(handFrame(kScanS21, 0, payload));
    QVERIFY(sent.wait(kWaitMs));
    const SentReply reply = sent.at(0).at(0).value<SentReply>();
    QCOMPARE(reply.faults, QVector<FaultKind>{kind});
    QCOMPARE(readBytes(reply.wire.size()), reply.wire);

    const QByteArray &clean = reply.clean;
    const QByteArray &wire = reply.wire;
    int byte = -1;
    switch (kind) {
    case FaultKind::FlipHeaderBit:
        QCOMPARE(wire.size(), clean.size());
        QCOMPARE(differingBits(clean, wire, &byte), 1);
        QVERIFY(byte >= 1 && byte < kHeaderEnd);
        break;
    case FaultKind::FlipPayloadBit:
        QCOMPARE(wire.size(), clean.size());
        QCOMPARE(differingBits(clean, wire, &byte), 1);
        QVERIFY(byte >= kHeaderEnd && byte < clean.size() - 4);
        break;
    case FaultKind::GarbageBeforeStart: {
        QVERIFY(wire.endsWith(clean));
        const QByteArray garbage = wire.left(wire.size() - clean.size());
        QVERIFY(garbage.size() >= 1 && garbage.size() <= options.garbageMax);
        QVERIFY(!garbage.contains(char(0xAA)));
        break;
    }
    case FaultKind::WrongCommand:
        QVERIFY(wordAt(wire, 1) != kScanS21);
        QCOMPARE(wire, handFrame(wordAt(wire, 1), 0, clean.mid(kHeaderEnd, wordAt(clean, 9)), 0, kMeroTypeState));
        break;
    case FaultKind::ReportBadHostFrame:
        QCOMPARE(wire, handFrame(kResend, 0, {}, 1, kMeroTypeState));
        break;
    default:
        QFAIL("no check for this fault");
    }

    // Faults are on the wire only: a resend brings the reply as built.
    QCOMPARE(exchange(handFrame(kResend, 5, {}, 1)), clean);
}

void tst_MeroSim::splitRepliesArriveWhole_data()
{
    QTest::addColumn<int>("chunkMax");
    QTest::newRow("single bytes") << 1;
    QTest::newRow("up to 4 bytes") << 4;
    QTest::newRow("up to 16 bytes") << 16;
}

void tst_MeroSim::splitRepliesArriveWhole()
{
    QFETCH(int, chunkMax);
    Options options;
    options.chunkMax = chunkMax;
    options.chunkGapMs = 0;
    QVERIFY(startSimulator(options));
    QSignalSpy written(m_sim.get(), &Simulator::bytesWritten);
    m_sim->addFault(FaultRule::once(FaultKind::SplitChunks));

    const QByteArray expected = handFrame(kGetVersion, 0, QByteArray::fromHex("01000000040000000c000000"),
                                          0, kMeroTypeState);
    QCOMPARE(exchange(handFrame(kGetVersion, 0, {})), expected);
    QByteArray joined;
    for (const QList<QVariant> &call : qAsConst(written)) {
        const QByteArray piece = call.at(0).toByteArray();
        QVERIFY(piece.size() >= 1 && piece.size() <= chunkMax);
        joined += piece;
    }
    QCOMPARE(joined, expected);
}

void tst_MeroSim::droppedReplyCanBeResent()
{
    QVERIFY(startSimulator());
    QSignalSpy sent(m_sim.get(), &Simulator::replySent);
    m_sim->addFault(FaultRule::once(FaultKind::DropReply));
    m_host->write(handFrame(kGetDeviceId, 0, {}));
    QVERIFY(sent.wait(kWaitMs));
    QVERIFY(sent.at(0).at(0).value<SentReply>().wire.isEmpty());
    QCOMPARE(m_sim->repliesLost(), 1);
    QCOMPARE(m_sim->repliesSent(), 0);

    const QByteArray reply = exchange(handFrame(kResend, 2, {}, 1));
    QCOMPARE(reply, sent.at(0).at(0).value<SentReply>().clean);
    QCOMPARE(wordAt(reply, 1), kGetDeviceId);
    QCOMPARE(m_received, QByteArray());
}

void tst_MeroSim::faultSchedules_data()
{
    QTest::addColumn<FaultRule>("rule");
    QTest::addColumn<QString>("pattern"); // one character per reply, x = struck
    QTest::newRow("once") << FaultRule::once(FaultKind::DropReply) << QStringLiteral("x.......");
    QTest::newRow("every 3rd") << FaultRule::everyNth(FaultKind::DropReply, 3) << QStringLiteral("..x..x..");
    QTest::newRow("every reply") << FaultRule::everyNth(FaultKind::DropReply, 1) << QStringLiteral("xxxxxxxx");
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
    const QString pattern = run(11);
    QVERIFY(pattern.contains(QLatin1Char('x')) && pattern.contains(QLatin1Char('.')));
}

void tst_MeroSim::unplugRemovesAndRestoresTheLink()
{
    qRegisterMetaType<QSerialPort::SerialPortError>();
    QVERIFY(startSimulator());
    QSignalSpy unplugged(m_sim.get(), &Simulator::unplugged);
    QSignalSpy pluggedIn(m_sim.get(), &Simulator::pluggedIn);
    QSignalSpy hostError(m_host.get(), &QSerialPort::errorOccurred);
    QVERIFY(!exchange(handFrame(kSetSampleSize, 0, QByteArray::fromHex("8000"))).isEmpty());
    QCOMPARE(m_sim->sampleSize(), quint16(128));

    m_sim->unplug(200);
    QCOMPARE(unplugged.count(), 1);
    QVERIFY(!m_sim->isPlugged());
    const QFileInfo gone(m_sim->linkPath());
    QVERIFY(!gone.exists() && !gone.isSymLink());
    // The host notices the device is gone the way it notices a pulled cable:
    // an error its serial layer treats as a lost device.
    QTRY_VERIFY_WITH_TIMEOUT(!hostError.isEmpty(), kWaitMs);
    const auto error = hostError.first().first().value<QSerialPort::SerialPortError>();
    QVERIFY2(error == QSerialPort::ReadError || error == QSerialPort::ResourceError,
             qPrintable(QString::number(int(error))));
    m_host->close();

    QVERIFY(pluggedIn.wait(kWaitMs));
    QCOMPARE(QFileInfo(m_sim->linkPath()).symLinkTarget(), m_sim->slavePath());
    QCOMPARE(m_sim->unplugCount(), 1);
    m_host.reset();
    QVERIFY(openHost());
    // A power cycle: counter and settings start afresh.
    QCOMPARE(exchange(handFrame(kGetFullType, 0, {})), handFrame(kGetFullType, 0, {}, 0, kMeroTypeState));
    QCOMPARE(m_sim->sampleSize(), RepeaterModel::kDefaultSampleSize);
}

void tst_MeroSim::unplugFaultTakesTheDeviceAway()
{
    Options options;
    options.unplugDelayMs = -1;
    QVERIFY(startSimulator(options));
    m_sim->addFault(FaultRule::once(FaultKind::Unplug));
    QSignalSpy unplugged(m_sim.get(), &Simulator::unplugged);
    m_host->write(handFrame(kGetDeviceId, 0, {}));
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

    QCOMPARE(exchange(handFrame(kReboot, 0, {})), handFrame(kReboot, 0, {}, 0, kMeroTypeState));
    QVERIFY(pluggedIn.wait(kWaitMs));
    QCOMPARE(m_sim->mode(), Simulator::Mode::Bootloader);
    m_host.reset();
    QVERIFY(openHost());
    const quint16 bootloader = kMeroTypeState | 0x8000;
    QCOMPARE(exchange(handFrame(kGetFullType, 0, {})), handFrame(kGetFullType, 0, {}, 0, bootloader));
    // The bootloader measures nothing.
    QCOMPARE(wordAt(exchange(handFrame(kScanS21, 0, scanPayload({900000000}))), 1), kUndefinedCommand);

    const QByteArray image = FirmwareImage::build({{2u, 0u, 7u}}, 1025, 7);
    QCOMPARE(wordAt(exchange(handFrame(kInitUpdate, 2, QByteArray::fromHex("01040000"))), 1), kInitUpdate);
    QCOMPARE(wordAt(exchange(handFrame(kSendChunk, 0, image.left(1024))), 1), kSendChunk);
    // A chunk sent again after a lost reply is taken once more, not appended.
    QCOMPARE(wordAt(exchange(handFrame(kSendChunk, 0, image.left(1024))), 1), kSendChunk);
    QCOMPARE(wordAt(exchange(handFrame(kSendChunk, 1, image.mid(1024))), 1), kSendChunk);

    QCOMPARE(firmware.count(), 1);
    QCOMPARE(firmware.at(0).at(0).toByteArray(), image);
    QVERIFY(pluggedIn.wait(kWaitMs));
    QCOMPARE(m_sim->mode(), Simulator::Mode::MainApp);
    // The new firmware answers with the version its image carries.
    m_host.reset();
    QVERIFY(openHost());
    QCOMPARE(wordAt(exchange(handFrame(kGetVersion, 0, {})), 1), kGetVersion);
    QCOMPARE(m_sim->options().firmwareVersion, (FirmwareImage::Version{{2u, 0u, 7u}}));
}

void tst_MeroSim::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("check"); // what to compare for a valid line
    QTest::addColumn<QString>("expected");

    QTest::newRow("defaults") << QStringList{} << true << QStringLiteral("timing") << QStringLiteral("instant");
    QTest::newRow("link") << QStringList{"--link", "/tmp/x"} << true << QStringLiteral("link") << QStringLiteral("/tmp/x");
    QTest::newRow("id") << QStringList{"--id", "7-8-4294967295"} << true << QStringLiteral("id") << QStringLiteral("7-8-4294967295");
    QTest::newRow("type hex") << QStringList{"--type", "0x0008"} << true << QStringLiteral("type") << QStringLiteral("8");
    QTest::newRow("version") << QStringList{"--version", "2.3.4"} << true << QStringLiteral("version") << QStringLiteral("2.3.4");
    QTest::newRow("timing") << QStringList{"--timing", "realistic"} << true << QStringLiteral("timing") << QStringLiteral("realistic");
    QTest::newRow("faults") << QStringList{"--fault", "drop:every=5", "--fault", "chunks:p=0.25", "--fault", "garbage"}
                            << true << QStringLiteral("faults") << QStringLiteral("drop:every=5 chunks:p=0.25 garbage:once");
    QTest::newRow("server") << QStringList{"--update-server-port", "0", "--server-version", "3.0.1", "--server-error", "6",
                                           "--server-image-size", "20"}
                            << true << QStringLiteral("server") << QStringLiteral("0 3.0.1 6 20");
    QTest::newRow("image below its trailer") << QStringList{"--server-image-size", "19"} << false << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("port too large") << QStringList{"--update-server-port", "65536"} << false << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("id of two parts") << QStringList{"--id", "1-2"} << false << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("id too large") << QStringList{"--id", "1-2-4294967296"} << false << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("type too large") << QStringList{"--type", "0x10000"} << false << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("unknown timing") << QStringList{"--timing", "slow"} << false << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("unknown fault") << QStringList{"--fault", "explode"} << false << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("every 0") << QStringList{"--fault", "drop:every=0"} << false << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("probability above 1") << QStringList{"--fault", "drop:p=1.5"} << false << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("chunk max 0") << QStringList{"--chunk-max", "0"} << false << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("unknown option") << QStringList{"--colour"} << false << QStringLiteral("") << QStringLiteral("");
}

void tst_MeroSim::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    QFETCH(QString, check);
    QFETCH(QString, expected);

    CommandLine commandLine;
    const auto outcome = commandLine.parse(QStringList{QStringLiteral("mero-sim")} + arguments);
    QCOMPARE(outcome == CommandLine::Outcome::Run, valid);
    if (!valid) {
        QCOMPARE(outcome, CommandLine::Outcome::Error);
        QVERIFY(!commandLine.error().isEmpty());
        return;
    }
    const Options &o = commandLine.options();
    QString actual;
    if (check == QLatin1String("link"))
        actual = o.linkPath;
    else if (check == QLatin1String("id"))
        actual = QStringLiteral("%1-%2-%3").arg(o.deviceId[0]).arg(o.deviceId[1]).arg(o.deviceId[2]);
    else if (check == QLatin1String("type"))
        actual = QString::number(o.typeState);
    else if (check == QLatin1String("version"))
        actual = QStringLiteral("%1.%2.%3").arg(o.firmwareVersion[0]).arg(o.firmwareVersion[1]).arg(o.firmwareVersion[2]);
    else if (check == QLatin1String("timing"))
        actual = Options::timingName(o.timing);
    else if (check == QLatin1String("server"))
        actual = QStringLiteral("%1 %2.%3.%4 %5 %6").arg(o.updateServerPort).arg(o.serverVersion[0]).arg(o.serverVersion[1])
                     .arg(o.serverVersion[2]).arg(o.serverError).arg(o.serverImageSize);
    else if (check == QLatin1String("faults")) {
        QStringList rules;
        for (const FaultRule &rule : o.faults)
            rules << rule.toString();
        actual = rules.join(QLatin1Char(' '));
    }
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(tst_MeroSim)
#include "tst_merosim.moc"
