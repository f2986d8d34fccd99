#include "data/device/devicemessagemanager.h"

#include "core/enumtext.h"
#include "core/log.h"
#include "data/device/crc32.h"
#include "data/device/devicecommands.h"
#include "data/device/eprotocolsetup.h"

#include <QDataStream>

namespace ZData {

namespace DMM {

QString stateText(EStates state)
{
    return ZCore::enumText(state, QStringLiteral("DMM::EStates"));
}

bool isErrorState(EStates state)
{
    return state >= EStates::E_COMMAND_MISMATCH && state <= EStates::E_UNREACHABLE;
}

} // namespace DMM

using DMM::EStates;
using ZCore::Log::debug;
using ZCore::Log::warning;

namespace {

QByteArray crcBytes(quint32 crc)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setByteOrder(EProtocolSetup::DATA_BYTE_ORDER);
    stream << crc;
    return bytes;
}

quint32 readCrc(const QByteArray &bytes)
{
    if (bytes.size() != DeviceMessageManager::kCrcSize)
        return 0;
    QDataStream stream(bytes);
    stream.setByteOrder(EProtocolSetup::DATA_BYTE_ORDER);
    quint32 crc = 0;
    stream >> crc;
    return crc;
}

} // namespace

bool DeviceMessageManager::init()
{
    DeviceMessageManager &self = instance();
    ZCore::Log::traceDebug(tag(), QStringLiteral("ZData::DeviceMessageManager::init"));
    qRegisterMetaType<TCommandHeader>();
    qRegisterMetaType<TDeviceReply>();
    self.m_replyTimer.setSingleShot(true);
    self.m_replyTimer.setInterval(kReplyTimeoutMs);
    connect(&self.m_replyTimer, &QTimer::timeout, &self, &DeviceMessageManager::slotTimerReply,
            Qt::UniqueConnection);
    self.m_brokenFrameTimer.setSingleShot(true);
    connect(&self.m_brokenFrameTimer, &QTimer::timeout, &self, &DeviceMessageManager::finishBrokenFrame,
            Qt::UniqueConnection);
    return true;
}

QString DeviceMessageManager::tag()
{
    static const QString tagText = QStringLiteral("DeviceMessageManager");
    return tagText;
}

QString DeviceMessageManager::hexDump(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

QString DeviceMessageManager::headerText(const TCommandHeader &header)
{
    return QStringLiteral("\nCommand:      %1\nFrame count:  %2\nDevice type:  %3\nDevice state: %4\n"
                          "Options:      %5\nData length:  %6\nChecksum:     %7\n")
        .arg(commandText(header.command))
        .arg(header.frameCount)
        .arg(typeText(header.deviceType()))
        .arg(stateText(header.deviceState()))
        .arg(header.options)
        .arg(header.dataLength)
        .arg(header.checksum);
}

QByteArray DeviceMessageManager::buildFrame(TCommandHeader &header, const QByteArray &payload, bool rememberReply)
{
    ++m_frameCounter;
    header.frameCount = m_frameCounter;
    if (header.checksum == 0)
        header.checksum = header.computeChecksum();

    QByteArray frame = header.toWire() + payload;
    frame.append(crcBytes(DM::crc32(frame)));
    frame.prepend(char(kFrameStart));
    if (rememberReply)
        m_expectedReply = header.command;
    return frame;
}

bool DeviceMessageManager::isReceiving() const
{
    return m_state.state == EStates::RECEIVE_REPLY || m_state.state == EStates::RECEIVE_HEADER
        || m_state.state == EStates::RECEIVE_BUSY;
}

QString DeviceMessageManager::replyDataText(const TDeviceReply &reply) const
{
    if (reply.data.isEmpty())
        return QString();
    return QStringLiteral("[ %1 ] Data: %2").arg(m_frameCounter).arg(hexDump(reply.data));
}

void DeviceMessageManager::reset()
{
    m_replyTimer.stop();
    m_brokenFrameTimer.stop();
    m_buffer.clear();
    m_reply = TDeviceReply();
    m_expectedReply = quint16(EDeviceCommands::UNDEFINED);
    m_resendBudget = kResendBudget;
    m_replyTimeoutMs = kReplyTimeoutMs;
    m_brokenRest = 0;
    m_state = DMM::TStateRecord();
}

void DeviceMessageManager::slotTimerReply()
{
    enterState({EStates::E_REPLY_TIMEOUT, {kReplyTimeoutMs}});
}

void DeviceMessageManager::receiveData(const QByteArray &chunk)
{
    if (chunk.size() < kDumpLimit)
        debug(tag(), QStringLiteral("[ %1 ] << %2").arg(m_frameCounter).arg(hexDump(chunk)));
    if (isDrainingBrokenFrame()) {
        drainBrokenFrame(chunk.size());
        return;
    }
    if (!isReceiving()) {
        warning(tag(), QStringLiteral(">> got data while NOT receiving"));
        return;
    }
    m_buffer.append(chunk);
    assembleReply();
}

void DeviceMessageManager::assembleReply()
{
    const int start = m_buffer.indexOf(char(kFrameStart));
    if (start < 0) {
        warning(tag(), QStringLiteral(">> message doesn't contain FRAME_START"));
        return;
    }
    m_replyTimer.stop();
    const int remaining = m_buffer.size() - start;
    const int headerEnd = kFrameStartSize + TCommandHeader::kWireSize;

    if (m_state.state == EStates::RECEIVE_REPLY || m_state.state == EStates::RECEIVE_BUSY) {
        if (remaining < headerEnd) {
            waitForMoreBytes();
            return;
        }
        m_reply.header = TCommandHeader::fromWire(m_buffer.mid(start + kFrameStartSize, TCommandHeader::kWireSize));
        m_brokenRest = m_reply.header.isValid()
                           ? 0
                           : qMax(0, kFrameOverhead + int(m_reply.header.dataLength) - remaining);
        enterState({EStates::RECEIVE_HEADER, {}});
        if (m_state.state != EStates::RECEIVE_HEADER)
            return;
    }

    if (m_state.state != EStates::RECEIVE_HEADER)
        return;
    const int dataLength = m_reply.header.dataLength;
    if (remaining - headerEnd < dataLength + kCrcSize) {
        waitForMoreBytes();
        return;
    }
    m_reply.data = m_buffer.mid(start + headerEnd, dataLength);
    m_reply.crc = m_buffer.mid(start + headerEnd + dataLength, kCrcSize);
    enterState({EStates::RECEIVE_BODY, {}});
}

// The rest of a frame whose header failed is on its way while the host
// decides to ask again. Asked at once, the host would have to tell that rest
// from the answer: a frame start inside the rest would fail as a header and
// ask a second time (and the second copy would pass for the reply to the next
// request), while skipping what the damaged header announced could swallow
// the answer itself when the damaged field is the length. So the resend
// request waits until the rest is in, or the line has gone quiet; whatever
// comes after it is the answer, judged on its own.
void DeviceMessageManager::drainBrokenFrame(int bytes)
{
    m_brokenRest -= bytes;
    if (m_brokenRest > 0)
        m_brokenFrameTimer.start(kBrokenFrameQuietMs);
    else
        finishBrokenFrame();
}

void DeviceMessageManager::finishBrokenFrame()
{
    m_brokenFrameTimer.stop();
    m_brokenRest = 0;
    emit signalGotReply();
}

// A device that stops in the middle of a frame must not hold the link for
// ever: every partial chunk re-arms the deadline, so a silent device still
// ends in E_REPLY_TIMEOUT and the usual recovery.
void DeviceMessageManager::waitForMoreBytes()
{
    m_replyTimer.start(m_replyTimeoutMs);
}

void DeviceMessageManager::enterState(const DMM::TStateRecord &record)
{
    switch (record.state) {
    case EStates::FREE:
        m_resendBudget = kResendBudget;
        store(record.state, record.args);
        return;
    case EStates::E_COMMAND_MISMATCH:
    case EStates::E_REPLY_TIMEOUT:
    case EStates::E_HEAD_CRC_TIMEOUT:
    case EStates::E_RECEIVE_TIMEOUT:
    case EStates::E_HEADER_FAILED:
    case EStates::E_PACKET_FAILED:
    case EStates::E_REPLY_FAILED:
    case EStates::E_UNREACHABLE:
        enterErrorState(record);
        return;
    case EStates::RECEIVE_REPLY:
    case EStates::RECEIVE_BUSY:
        enterReceiveReply(record);
        return;
    case EStates::RECEIVE_HEADER:
        enterReceiveHeader(record);
        return;
    case EStates::RECEIVE_BODY:
        enterReceiveBody(record);
        return;
    case EStates::RECEIVE_COMPLETE:
        enterReceiveComplete(record);
        return;
    case EStates::SEND_BUSY:
        store(record.state, record.args);
        return;
    case EStates::E_UNKNOWN_STATE:
        break;
    }
    warning(tag(), QStringLiteral("nothing to do with state: ") + DMM::stateText(record.state));
    store(record.state, record.args);
}

void DeviceMessageManager::enterErrorState(const DMM::TStateRecord &record)
{
    m_replyTimer.stop();
    // A failure replaces one still waiting for the rest of its broken frame:
    // the chain hears of exactly one.
    m_brokenFrameTimer.stop();
    warning(tag(), QStringLiteral("[ %1 ] >> %2").arg(m_frameCounter).arg(DMM::stateText(record.state)));
    debug(tag(), QStringLiteral("<< ") + hexDump(m_buffer));
    m_buffer.clear();

    --m_resendBudget;
    TCommandHeader fabricated;
    if (m_resendBudget >= 1) {
        fabricated.command = quint16(EDeviceCommands::O_RESEND_PACKET_FROM_DEVICE);
    } else {
        fabricated.command = quint16(EDeviceCommands::DISCONNECT);
        m_resendBudget = kResendBudget;
    }
    fabricated.deviceTypeState = TCommandHeader::kHostTypeState;
    fabricated.options = quint16(record.state);
    m_reply.header = fabricated;

    store(record.state, record.args);
    if (record.state == EStates::E_HEADER_FAILED && m_brokenRest > 0) {
        m_brokenFrameTimer.start(kBrokenFrameQuietMs);
        return;
    }
    emit signalGotReply();
}

void DeviceMessageManager::enterReceiveReply(const DMM::TStateRecord &record)
{
    m_buffer.clear();
    m_brokenRest = 0;
    m_brokenFrameTimer.stop();
    m_reply.data.clear();
    m_reply.crc.clear();
    ++m_frameCounter;
    m_replyTimeoutMs = record.timeoutMs(kReplyTimeoutMs);
    m_replyTimer.start(m_replyTimeoutMs);
    store(record.state, record.args);
}

void DeviceMessageManager::enterReceiveHeader(const DMM::TStateRecord &record)
{
    if (m_reply.header.isValid())
        store(record.state, record.args);
    else
        enterState({EStates::E_HEADER_FAILED, {}});
}

void DeviceMessageManager::enterReceiveBody(const DMM::TStateRecord &record)
{
    store(record.state, record.args);
    const QByteArray covered = m_reply.header.toWire() + m_reply.data.left(m_reply.header.dataLength);
    if (DM::crc32(covered) == readCrc(m_reply.crc))
        enterState({EStates::RECEIVE_COMPLETE, {}});
    else
        enterState({EStates::E_PACKET_FAILED, {}});
}

void DeviceMessageManager::enterReceiveComplete(const DMM::TStateRecord &record)
{
    store(record.state, record.args);
    if (!isAcceptedReply(m_reply.header.command)) {
        enterState({EStates::E_COMMAND_MISMATCH, {}});
        return;
    }
    m_resendBudget = kResendBudget;
    store(EStates::FREE);
    emit signalGotReply();
}

// The device's report that the host's frame was damaged answers whatever was
// asked, so it can never carry the expected command.
bool DeviceMessageManager::isAcceptedReply(quint16 command) const
{
    return command == m_expectedReply || command == quint16(EDeviceCommands::O_RESEND_PACKET_FROM_DEVICE);
}

void DeviceMessageManager::store(EStates state, const QList<int> &args)
{
    m_state.state = state;
    m_state.args = args;
}

} // namespace ZData
