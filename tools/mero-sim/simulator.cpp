#include "simulator.h"

#include "commands.h"
#include "firmwareimage.h"

#include <QDataStream>

#include <cmath>

namespace MeroSim {

namespace {

// Separates the fault generator's stream from the model's for one seed.
constexpr quint64 kFaultSeedSalt = 0x9E3779B97F4A7C15ull;
// Frames at most this long are dumped in the log; scan replies are not.
constexpr int kMaxDumpedBytes = 100;
constexpr int kScanHeaderSize = 3;
constexpr int kScanFrequencySize = 8;
constexpr int kGainPayloadSize = 7;
constexpr int kSampleSizePayloadSize = 2;
constexpr int kInitUpdatePayloadSize = 4;
constexpr int kCommandLatencyMs = 1;
constexpr int kFlashChunkMs = 20;
// A device that resets after answering has finished transmitting first; the
// simulator waits until the host has read the answer, but not for a host
// that has closed the port.
constexpr int kDrainPollMs = 5;
constexpr int kDrainPolls = 200;

QDataStream &littleEndian(QDataStream &stream)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.setFloatingPointPrecision(QDataStream::SinglePrecision);
    return stream;
}

QByteArray threeWords(const std::array<quint32, 3> &words)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    littleEndian(out) << words[0] << words[1] << words[2];
    return bytes;
}

QString dump(const QByteArray &bytes)
{
    return bytes.size() < kMaxDumpedBytes ? SimLog::hex(bytes)
                                          : QStringLiteral("(%1 bytes)").arg(bytes.size());
}

QString describe(const ReceivedFrame &frame)
{
    return QStringLiteral("%1 count=%2 type-state=0x%3 options=%4 length=%5")
        .arg(commandName(frame.command))
        .arg(frame.frameCount)
        .arg(frame.typeState, 4, 16, QLatin1Char('0'))
        .arg(frame.options)
        .arg(frame.payload.size());
}

QString faultNames(const QVector<FaultKind> &faults)
{
    QStringList names;
    for (FaultKind kind : faults)
        names << FaultRule::kindName(kind);
    return names.join(QStringLiteral(", "));
}

} // namespace

Simulator::Simulator(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_parser(kMaxHostPayload)
    , m_model(options.seed)
    , m_faults(options.seed ^ kFaultSeedSalt)
{
    qRegisterMetaType<MeroSim::ReceivedFrame>();
    qRegisterMetaType<MeroSim::SentReply>();
    qRegisterMetaType<MeroSim::FaultKind>();

    if (!m_log.open(m_options.logFile, m_options.quiet))
        m_log.warning(QStringLiteral("!! cannot open log file %1; logging to standard error").arg(m_options.logFile));
    for (const FaultRule &rule : qAsConst(m_options.faults))
        m_faults.add(rule);

    m_outputTimer.setSingleShot(true);
    m_replugTimer.setSingleShot(true);
    m_receiveTimer.setSingleShot(true);
    connect(&m_outputTimer, &QTimer::timeout, this, [this] {
        if (!m_output.isEmpty())
            m_output.first().delayMs = 0;
        pumpOutput();
    });
    connect(&m_replugTimer, &QTimer::timeout, this, &Simulator::plugIn);
    connect(&m_receiveTimer, &QTimer::timeout, this, &Simulator::dropIncompleteRequest);
    m_drainTimer.setInterval(kDrainPollMs);
    connect(&m_drainTimer, &QTimer::timeout, this, &Simulator::checkDrained);
    connect(&m_terminal, &PseudoTerminal::dataReceived, this, &Simulator::receive);
    connect(&m_terminal, &PseudoTerminal::bytesWritten, this, &Simulator::bytesWritten);
    connect(&m_terminal, &PseudoTerminal::writeOverflow, this, [this](int dropped) {
        m_log.warning(QStringLiteral("!! host is not reading; dropped %1 bytes").arg(dropped));
    });
}

Simulator::~Simulator()
{
    stop();
}

bool Simulator::start()
{
    m_modeAfterReplug = m_options.startInBootloader ? Mode::Bootloader : Mode::MainApp;
    return plugIn();
}

void Simulator::stop()
{
    m_replugTimer.stop();
    if (m_terminal.isOpen()) {
        m_terminal.close();
        m_log.info(QStringLiteral(">> stopped"));
    }
    cancelTraffic();
}

bool Simulator::plugIn()
{
    m_replugTimer.stop();
    QString error;
    if (!m_terminal.open(m_options.linkPath, &error)) {
        m_lastError = error;
        m_log.warning(QStringLiteral("!! cannot create the device terminal: %1").arg(error));
        return false;
    }
    m_lastError.clear();
    powerUp(m_modeAfterReplug);
    m_log.info(QStringLiteral(">> plugged in at %1 -> %2 (%3, %4 timing)")
                   .arg(m_terminal.linkPath(), m_terminal.slavePath(),
                        m_mode == Mode::Bootloader ? QStringLiteral("bootloader") : QStringLiteral("main application"),
                        Options::timingName(m_options.timing)));
    emit pluggedIn();
    return true;
}

void Simulator::unplug(int delayMs)
{
    cancelTraffic();
    if (m_terminal.isOpen()) {
        m_terminal.close();
        ++m_unplugCount;
        m_log.info(delayMs >= 0 ? QStringLiteral(">> unplugged for %1 ms").arg(delayMs)
                                : QStringLiteral(">> unplugged"));
        emit unplugged();
    }
    if (delayMs >= 0)
        m_replugTimer.start(delayMs);
}

void Simulator::cancelTraffic()
{
    m_output.clear();
    m_outputTimer.stop();
    m_receiveTimer.stop();
    m_drainTimer.stop();
    m_afterDrain = nullptr;
    m_parser.takePending();
}

void Simulator::powerUp(Mode mode)
{
    m_mode = mode;
    m_frameCounter = 0;
    m_lastReply.clear();
    m_parser.takePending();
    m_model.setSampleSize(RepeaterModel::kDefaultSampleSize);
    m_model.setGainDb(0.0f);
    m_imageChunks = 0;
    m_chunkSeen.clear();
}

void Simulator::addFault(const FaultRule &rule)
{
    m_faults.add(rule);
    m_log.info(QStringLiteral(">> armed fault %1").arg(rule.toString()));
}

void Simulator::clearFaults()
{
    m_faults.clear();
}

void Simulator::clearStatistics()
{
    m_received.clear();
    m_repliesSent = m_repliesLost = m_badHostFrames = m_unplugCount = 0;
}

void Simulator::receive(const QByteArray &bytes)
{
    bool reportBadFrame = false;
    for (const ParsedItem &item : m_parser.feed(bytes))
        handleItem(item, &reportBadFrame);
    if (m_parser.pendingSize() > 0)
        m_receiveTimer.start(m_options.receiveTimeoutMs);
    else
        m_receiveTimer.stop();
    // One report per burst: a single corrupted request can fail several
    // resynchronisation attempts, but the host waits for one answer.
    if (reportBadFrame && m_terminal.isOpen())
        deliver(buildFrame(quint16(Command::ResendPacketFromDevice), 0, {}), 0, {}, m_faults.nextReply());
}

void Simulator::handleItem(const ParsedItem &item, bool *reportBadFrame)
{
    QString problem;
    switch (item.kind) {
    case ParsedItem::Kind::Frame: {
        ReceivedFrame frame{item.header.command, item.header.frameCount, item.header.typeState,
                            item.header.options, item.payload};
        handleFrame(frame);
        return;
    }
    case ParsedItem::Kind::Garbage:
        m_log.warning(QStringLiteral("!! skipped %1 bytes before a frame start: %2")
                          .arg(item.raw.size()).arg(dump(item.raw)));
        return;
    case ParsedItem::Kind::BadHeader:
        problem = QStringLiteral("header checksum mismatch");
        break;
    case ParsedItem::Kind::Oversized:
        problem = QStringLiteral("data length %1 above %2").arg(item.header.dataLength).arg(kMaxHostPayload);
        break;
    case ParsedItem::Kind::BadCrc:
        problem = QStringLiteral("CRC-32 mismatch");
        break;
    }
    ++m_badHostFrames;
    *reportBadFrame = true;
    m_log.warning(QStringLiteral("!! bad host frame (%1): %2").arg(problem, dump(item.raw)));
    emit badHostFrame(problem, item.raw);
}

void Simulator::handleFrame(const ReceivedFrame &frame)
{
    m_received.append(frame);
    m_log.info(QStringLiteral("<< %1%2").arg(describe(frame),
        frame.payload.isEmpty() ? QString() : QStringLiteral(" data: ") + dump(frame.payload)));
    emit frameReceived(frame);
    if (!m_terminal.isOpen())
        return;

    const bool resend = frame.command == quint16(Command::ResendPacketFromDevice);
    if (resend && m_lastReply.isEmpty()) {
        m_log.warning(QStringLiteral("!! asked to resend, but nothing was sent since power-up"));
        return;
    }
    const QVector<FaultKind> faults = m_faults.nextReply();
    if (faults.contains(FaultKind::LoseRequest)) {
        loseRequest(frame, faults);
        return;
    }
    if (resend) {
        m_log.info(QStringLiteral(">> resending the last reply (host state %1)").arg(frame.options));
        deliver(m_lastReply, latencyMs(0), {}, faults);
        return;
    }
    send(answer(frame), faults);
}

// As if the request had been lost on the line: the last reply stays the one
// a resend request brings back.
void Simulator::loseRequest(const ReceivedFrame &frame, const QVector<FaultKind> &faults)
{
    SentReply sent;
    sent.command = frame.command;
    sent.faults = faults;
    ++m_repliesLost;
    m_log.info(QStringLiteral(">> faults on this reply: %1").arg(faultNames(faults)));
    m_log.info(QStringLiteral(">> %1 never arrived; not answered").arg(commandName(frame.command)));
    emit replySent(sent);
}

Simulator::Reply Simulator::answer(const ReceivedFrame &frame)
{
    const auto command = static_cast<Command>(frame.command);
    Reply reply;
    reply.command = frame.command;
    reply.options = frame.options;
    reply.delayMs = latencyMs(0);

    switch (command) {
    case Command::GetDeviceId:
        reply.payload = threeWords(m_options.deviceId);
        return reply;
    case Command::GetDeviceFullType:
        return reply;
    case Command::GetFirmwareVersion:
        reply.payload = threeWords(m_options.firmwareVersion);
        return reply;
    case Command::RebootToUpdateMode:
        return reboot(Mode::Bootloader);
    default:
        break;
    }

    if (m_mode == Mode::Bootloader) {
        if (command == Command::InitUpdate)
            return answerInitUpdate(frame);
        if (command == Command::SendMainAppChunk)
            return answerChunk(frame);
        return answerUnknown(frame, QStringLiteral("not available in the bootloader"));
    }

    switch (command) {
    case Command::GetOptions:
        reply.payload = m_options.optionsText.toUtf8();
        return reply;
    case Command::GetScanData:
    case Command::GetScanDataS21:
    case Command::GetScanDataS12:
        return answerScan(frame);
    case Command::GetAdcValue: {
        QDataStream out(&reply.payload, QIODevice::WriteOnly);
        littleEndian(out) << m_model.adcValue();
        return reply;
    }
    case Command::SetSampleSize:
        return answerSampleSize(frame);
    case Command::SetGainValue:
        return answerGain(frame);
    case Command::InitUpdate:
    case Command::SendMainAppChunk:
        return answerUnknown(frame, QStringLiteral("only the bootloader takes firmware"));
    default:
        return answerUnknown(frame, QStringLiteral("unknown command"));
    }
}

Simulator::Reply Simulator::answerScan(const ReceivedFrame &frame)
{
    qint8 reserved = 0;
    qint16 requested = 0;
    QDataStream in(frame.payload);
    littleEndian(in) >> reserved >> requested;

    const int present = qMax(0, frame.payload.size() - kScanHeaderSize) / kScanFrequencySize;
    const int count = qBound(0, qMin(int(requested), present), kMaxScanPoints);
    if (in.status() != QDataStream::Ok || requested != present || requested > kMaxScanPoints)
        m_log.warning(QStringLiteral("!! scan request announces %1 points but carries %2; measuring %3")
                          .arg(requested).arg(present).arg(count));

    const auto channel = frame.command == quint16(Command::GetScanDataS12) ? RepeaterModel::Channel::S12
                                                                           : RepeaterModel::Channel::S21;
    const auto power = frame.options == 0 ? RepeaterModel::Power::Low : RepeaterModel::Power::High;

    Reply reply;
    reply.command = frame.command;
    reply.options = frame.options;
    QDataStream out(&reply.payload, QIODevice::WriteOnly);
    littleEndian(out) << float(count);
    m_model.beginSlice();
    for (int i = 0; i < count; ++i) {
        qint64 frequency = 0;
        in >> frequency;
        const quint64 hz = quint64(qMax<qint64>(0, frequency));
        out << (m_options.scanValues == ScanValues::Signature ? RepeaterModel::signature(channel, hz, power)
                                                              : m_model.measure(channel, hz, power));
    }
    reply.delayMs = latencyMs(count);
    return reply;
}

Simulator::Reply Simulator::answerSampleSize(const ReceivedFrame &frame)
{
    Reply reply{frame.command, frame.options, {}, latencyMs(0), {}};
    if (frame.payload.size() < kSampleSizePayloadSize) {
        m_log.warning(QStringLiteral("!! sample size payload of %1 bytes ignored").arg(frame.payload.size()));
        return reply;
    }
    qint16 requested = 0;
    QDataStream in(frame.payload);
    littleEndian(in) >> requested;
    const quint16 used = m_model.setSampleSize(requested);
    if (used != requested)
        m_log.warning(QStringLiteral("!! sample size %1 out of range; using %2").arg(requested).arg(used));
    return reply;
}

Simulator::Reply Simulator::answerGain(const ReceivedFrame &frame)
{
    Reply reply{frame.command, frame.options, {}, latencyMs(0), {}};
    qint16 reservedWord = 0;
    qint8 reservedByte = 0;
    float gain = 0.0f;
    QDataStream in(frame.payload);
    littleEndian(in) >> reservedWord >> reservedByte >> gain;
    if (frame.payload.size() < kGainPayloadSize || !std::isfinite(gain)) {
        m_log.warning(QStringLiteral("!! gain payload %1 ignored").arg(dump(frame.payload)));
        return reply;
    }
    m_model.setGainDb(gain);
    return reply;
}

Simulator::Reply Simulator::answerInitUpdate(const ReceivedFrame &frame)
{
    Reply reply{frame.command, frame.options, {}, latencyMs(0), {}};
    qint32 length = 0;
    QDataStream in(frame.payload);
    littleEndian(in) >> length;
    const int chunks = length > 0 ? (length + kFirmwareChunkSize - 1) / kFirmwareChunkSize : 0;
    if (frame.payload.size() < kInitUpdatePayloadSize || chunks == 0 || chunks != frame.options) {
        m_log.warning(QStringLiteral("!! update announcement of %1 bytes in %2 chunks rejected")
                          .arg(length).arg(frame.options));
        return answerUnknown(frame, QStringLiteral("inconsistent update announcement"));
    }
    m_image = QByteArray(length, '\0');
    m_imageChunks = quint16(chunks);
    m_chunkSeen = QVector<bool>(chunks, false);
    m_log.info(QStringLiteral(">> expecting a firmware image of %1 bytes in %2 chunks").arg(length).arg(chunks));
    return reply;
}

Simulator::Reply Simulator::answerChunk(const ReceivedFrame &frame)
{
    const int index = frame.options;
    const int offset = index * kFirmwareChunkSize;
    const int expected = qMin(kFirmwareChunkSize, m_image.size() - offset);
    if (index >= m_imageChunks || frame.payload.size() != expected)
        return answerUnknown(frame, QStringLiteral("chunk %1 of %2 bytes does not fit the announced image")
                                        .arg(index).arg(frame.payload.size()));

    // A chunk sent twice (after a lost reply) simply overwrites itself.
    m_image.replace(offset, expected, frame.payload);
    m_chunkSeen[index] = true;
    Reply reply{frame.command, frame.options, {}, m_options.timing == Timing::Realistic ? kFlashChunkMs : 0, {}};
    if (!m_chunkSeen.contains(false)) {
        FirmwareImage::Version version{};
        if (FirmwareImage::readVersion(m_image, &version)) {
            m_options.firmwareVersion = version;
            m_log.info(QStringLiteral(">> firmware image complete; starting version %1.%2.%3")
                           .arg(version[0]).arg(version[1]).arg(version[2]));
        } else {
            m_log.warning(QStringLiteral("!! firmware image carries no version trailer; starting it as %1.%2.%3")
                              .arg(m_options.firmwareVersion[0]).arg(m_options.firmwareVersion[1])
                              .arg(m_options.firmwareVersion[2]));
        }
        emit firmwareReceived(m_image);
        reply.afterSent = [this] {
            m_modeAfterReplug = Mode::MainApp;
            unplug(m_options.rebootDelayMs);
        };
    }
    return reply;
}

Simulator::Reply Simulator::answerUnknown(const ReceivedFrame &frame, const QString &why)
{
    m_log.warning(QStringLiteral("!! %1: %2").arg(why, commandName(frame.command)));
    return Reply{quint16(Command::UndefinedCommand), frame.command, {}, latencyMs(0), {}};
}

Simulator::Reply Simulator::reboot(Mode mode)
{
    Reply reply{quint16(Command::RebootToUpdateMode), 0, {}, latencyMs(0), {}};
    reply.afterSent = [this, mode] {
        m_log.info(QStringLiteral(">> rebooting into the %1")
                       .arg(mode == Mode::Bootloader ? QStringLiteral("bootloader") : QStringLiteral("main application")));
        m_modeAfterReplug = mode;
        unplug(m_options.rebootDelayMs);
    };
    return reply;
}

QByteArray Simulator::buildFrame(quint16 command, quint16 options, const QByteArray &payload)
{
    WireHeader header;
    header.command = command;
    header.frameCount = m_frameCounter++;
    header.typeState = currentTypeState();
    header.options = options;
    return WireFrame::build(header, payload);
}

void Simulator::send(const Reply &reply, const QVector<FaultKind> &faults)
{
    m_lastReply = buildFrame(reply.command, reply.options, reply.payload);
    deliver(m_lastReply, reply.delayMs, reply.afterSent, faults);
}

void Simulator::deliver(const QByteArray &clean, int delayMs, const std::function<void()> &afterSent,
                        const QVector<FaultKind> &faults)
{
    SentReply sent;
    sent.command = WireHeader::fromBytes(clean.mid(WireFrame::kStartSize, WireHeader::kSize)).command;
    sent.clean = clean;
    sent.faults = faults;
    const auto struck = [&sent](FaultKind kind) { return sent.faults.contains(kind); };
    if (!sent.faults.isEmpty())
        m_log.info(QStringLiteral(">> faults on this reply: %1").arg(faultNames(sent.faults)));

    if (struck(FaultKind::Unplug) || struck(FaultKind::DropReply)) {
        ++m_repliesLost;
        m_log.info(QStringLiteral(">> %1 not sent").arg(commandName(sent.command)));
        emit replySent(sent);
        if (struck(FaultKind::Unplug))
            unplug(m_options.unplugDelayMs);
        return;
    }

    QByteArray frame = clean;
    if (struck(FaultKind::ReportBadHostFrame))
        frame = buildFrame(quint16(Command::ResendPacketFromDevice), 0, {});
    else if (struck(FaultKind::WrongCommand))
        frame = withOtherCommand(clean);
    if (struck(FaultKind::ShortPayload))
        frame = withHalfPayload(frame);
    if (struck(FaultKind::FlipHeaderBit))
        m_faults.flipHeaderBit(frame);
    if (struck(FaultKind::FlipLengthBit))
        m_faults.flipLengthBit(frame);
    if (struck(FaultKind::FlipPayloadBit))
        m_faults.flipPayloadBit(frame);
    if (struck(FaultKind::GarbageBeforeStart))
        frame.prepend(m_faults.garbage(m_options.garbageMax));
    sent.wire = frame;

    QVector<Segment> segments;
    if (struck(FaultKind::SplitChunks)) {
        int offset = 0;
        for (int size : m_faults.pieces(frame.size(), m_options.chunkMax)) {
            segments.append({frame.mid(offset, size), segments.isEmpty() ? delayMs : m_options.chunkGapMs, {}});
            offset += size;
        }
    } else {
        segments.append({frame, delayMs, {}});
    }
    segments.last().afterSent = afterSent;

    ++m_repliesSent;
    m_log.info(QStringLiteral(">> %1 %2").arg(commandName(sent.command), dump(frame)));
    emit replySent(sent);
    queueOutput(segments);
}

QByteArray Simulator::withOtherCommand(const QByteArray &clean)
{
    WireHeader header = WireHeader::fromBytes(clean.mid(WireFrame::kStartSize, WireHeader::kSize));
    const QByteArray payload = clean.mid(WireFrame::kPayloadOffset, header.dataLength);
    quint16 other = m_options.wrongCommand;
    if (other == 0 || other == header.command) {
        other = header.command == quint16(Command::GetOptions) ? quint16(Command::GetDeviceId)
                                                               : quint16(Command::GetOptions);
    }
    header.command = other;
    return WireFrame::build(header, payload);
}

// The scan count still announces every point; the host finds the values
// missing, as when the device's buffer was cut short.
QByteArray Simulator::withHalfPayload(const QByteArray &clean)
{
    WireHeader header = WireHeader::fromBytes(clean.mid(WireFrame::kStartSize, WireHeader::kSize));
    const QByteArray payload = clean.mid(WireFrame::kPayloadOffset, header.dataLength);
    return WireFrame::build(header, payload.left(payload.size() / 2));
}

void Simulator::queueOutput(const QVector<Segment> &segments)
{
    const bool idle = m_output.isEmpty();
    m_output += segments;
    if (idle)
        pumpOutput();
}

void Simulator::pumpOutput()
{
    if (m_drainTimer.isActive())
        return;
    while (!m_output.isEmpty()) {
        if (m_output.first().delayMs > 0) {
            m_outputTimer.start(m_output.first().delayMs);
            return;
        }
        const Segment segment = m_output.takeFirst();
        m_terminal.write(segment.bytes);
        if (segment.afterSent) {
            runWhenDrained(segment.afterSent);
            return;
        }
    }
}

void Simulator::runWhenDrained(const std::function<void()> &action)
{
    m_afterDrain = action;
    m_drainChecksLeft = kDrainPolls;
    m_drainTimer.start();
}

void Simulator::checkDrained()
{
    if (m_terminal.unreadByHost() > 0 && --m_drainChecksLeft > 0)
        return;
    m_drainTimer.stop();
    const std::function<void()> action = std::move(m_afterDrain);
    m_afterDrain = nullptr;
    if (action)
        action();
    pumpOutput();
}

void Simulator::dropIncompleteRequest()
{
    const QByteArray pending = m_parser.takePending();
    if (!pending.isEmpty())
        m_log.warning(QStringLiteral("!! incomplete request dropped after %1 ms of silence: %2")
                          .arg(m_options.receiveTimeoutMs).arg(dump(pending)));
}

quint16 Simulator::currentTypeState() const
{
    return m_mode == Mode::Bootloader ? quint16(m_options.typeState | kBootloaderBit) : m_options.typeState;
}

int Simulator::latencyMs(int measuredPoints) const
{
    if (m_options.timing == Timing::Instant)
        return 0;
    return kCommandLatencyMs + m_model.measurementMs(measuredPoints);
}

} // namespace MeroSim
