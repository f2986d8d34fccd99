#include "data/device/devicemanager.h"

#include "core/enumtext.h"
#include "core/log.h"
#include "data/device/commandqueue.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/eprotocolsetup.h"
#include "data/device/iupdateserverclient.h"
#include "data/device/serialport.h"
#include "data/device/serverclientadapter.h"
#include "data/server/servermanager.h"

#include <QDataStream>

#include <limits>

namespace ZData {

using DM::CommandQueue;
using DM::SerialPort;
using ZCore::Log::debug;
using ZCore::Log::info;
using ZCore::Log::warning;

namespace {

const QLatin1Char kOptionSeparator(';');
const QLatin1Char kKeySeparator('=');
const QLatin1Char kValueSeparator(',');
const QLatin1String kScanRangeKey("SR");
const QLatin1String kBandwidthKey("BW");
const QLatin1String kPresetsKey("PR");

DeviceMessageManager &dmm()
{
    return DeviceMessageManager::instance();
}

// Each returns false when the values cannot be read; the info keeps what it had.
bool storeScanRange(const QStringList &values, DeviceInfo &info)
{
    bool lowOk = false;
    bool highOk = false;
    const quint64 low = values.value(0).toULongLong(&lowOk);
    const quint64 high = values.value(1).toULongLong(&highOk);
    if (values.size() < 2 || !lowOk || !highOk) {
        warning(DeviceManager::tag(), QStringLiteral(">> failed to parse sr values from device options: { %1 }")
                                          .arg(values.join(QStringLiteral(", "))));
        return false;
    }
    // The sweep takes these as its limits; inverted, they would turn every
    // range into a negative span and every frequency asked for into junk.
    if (low > high) {
        warning(DeviceManager::tag(), QStringLiteral(">> device options give a scan range from %1 down to %2 => "
                                                     "ignored")
                                          .arg(low)
                                          .arg(high));
        return false;
    }
    info.scanRangeLow = low;
    info.scanRangeHigh = high;
    return true;
}

bool storeBandwidths(const QStringList &values, DeviceInfo &info)
{
    QList<quint32> parsed;
    for (const QString &value : values) {
        bool ok = false;
        const quint32 bandwidth = value.toUInt(&ok);
        if (ok)
            parsed << bandwidth;
    }
    if (parsed.isEmpty()) {
        warning(DeviceManager::tag(), QStringLiteral(">> failed to parse bw values from device options"));
        return false;
    }
    info.bandwidths = parsed;
    return true;
}

bool storePresetsCount(const QStringList &values, DeviceInfo &info)
{
    bool ok = false;
    const quint32 count = values.value(0).toUInt(&ok);
    if (!ok) {
        warning(DeviceManager::tag(), QStringLiteral(">> failed to parse pr value from device options: { %1 }")
                                          .arg(values.join(QStringLiteral(", "))));
        return false;
    }
    info.presetsCount = count;
    return true;
}

} // namespace

bool DeviceManager::readIdentityWords(const QByteArray &payload, quint32 (&words)[kIdentityWords])
{
    if (payload.size() < kIdentityPayloadSize)
        return false;
    QDataStream stream(payload);
    stream.setByteOrder(EProtocolSetup::DATA_BYTE_ORDER);
    for (quint32 &word : words)
        stream >> word;
    return stream.status() == QDataStream::Ok;
}

QList<EDeviceOptions> DeviceManager::readOptions(const QByteArray &payload, DeviceInfo &info)
{
    QList<EDeviceOptions> stored;
    const QString text = QString::fromUtf8(payload);
    const QStringList parts = text.split(kOptionSeparator, Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const int separator = part.indexOf(kKeySeparator);
        const QString key = separator < 0 ? part : part.left(separator);
        const QStringList values = (separator < 0 ? QString() : part.mid(separator + 1)).split(kValueSeparator);
        if (key.contains(kScanRangeKey)) {
            if (storeScanRange(values, info))
                stored << EDeviceOptions::SCAN_RANGE;
        } else if (key.contains(kBandwidthKey)) {
            if (storeBandwidths(values, info))
                stored << EDeviceOptions::BANDWIDTH;
        } else if (key.contains(kPresetsKey)) {
            if (storePresetsCount(values, info))
                stored << EDeviceOptions::PRESETS_COUNT;
        } else {
            QStringList clean = values;
            clean.replaceInStrings(QString(QChar(0)), QString());
            warning(tag(), QStringLiteral(">> got unexpected device param: ")
                               + QStringLiteral("[ %1 ] = { %2 }").arg(key, clean.join(QStringLiteral(", "))));
        }
    }
    return stored;
}

bool DeviceManager::init()
{
    DeviceManager &self = instance();
    ZCore::Log::traceDebug(tag(), QStringLiteral("ZData::DeviceManager::init"));
    qRegisterMetaType<TDeviceReply>();
    qRegisterMetaType<TCommandHeader>();
    qRegisterMetaType<EDeviceOptions>();
    const auto type = Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection);
    connect(&CommandQueue::instance(), &CommandQueue::signalGotCommand, &self,
            &DeviceManager::slotProcessQueueCommand, type);
    connect(&SerialPort::instance(), &SerialPort::signalOpened, &self, &DeviceManager::slotPortOpened, type);
    connect(&SerialPort::instance(), &SerialPort::signalClosing, &self, &DeviceManager::slotPortClosing, type);
    connect(&dmm(), &DeviceMessageManager::signalGotReply, &self, &DeviceManager::slotProcessDeviceReply, type);
    connect(&ServerManager::instance(), &ServerManager::signalGotReply, &self,
            &DeviceManager::slotProcessServerReply, type);
    static DM::ServerClientAdapter serverClient;
    self.setUpdateServer(&serverClient);
    ServerManager::instance().setIdentitySource([] {
        const DeviceInfo &info = DeviceManager::instance().deviceInfo();
        return SM::TDeviceIdentity{info.id, info.deviceType};
    });
    return true;
}

QString DeviceManager::tag()
{
    static const QString tagText = QStringLiteral("DeviceManager");
    return tagText;
}

int DeviceManager::replyTimeoutFor(EDeviceCommands command)
{
    // Flashing a chunk takes the bootloader far longer than any other reply.
    if (command == EDeviceCommands::B_INIT_UPDATE || command == EDeviceCommands::B_SEND_MAINAPP_CHUNK)
        return DeviceMessageManager::kUpdateReplyTimeoutMs;
    return DeviceMessageManager::kReplyTimeoutMs;
}

quint16 DeviceManager::chunkCountFor(qint64 length)
{
    if (length <= 0 || length > kMaxUpdateBytes)
        return 0;
    return quint16((length + kUpdateChunkSize - 1) / kUpdateChunkSize);
}

QByteArray DeviceManager::initUpdatePayload(qint32 length)
{
    QByteArray payload;
    QDataStream stream(&payload, QIODevice::WriteOnly);
    stream.setByteOrder(EProtocolSetup::DATA_BYTE_ORDER);
    stream << length;
    return payload;
}

int DeviceManager::progressFor(int index, int count)
{
    if (count <= 0)
        return 0;
    // In whole numbers: a quotient in floating point falls just short of
    // some exact percentages (29 of 100 chunks gave 28).
    return int(qint64(qBound(0, index + 1, count)) * kFullProgress / count);
}

void DeviceManager::slotPortOpened()
{
    m_info.reset();
    m_lastRequest = TCommandHeader();
    m_lastPayload.clear();
    m_hasLastRequest = false;
    initStartup();
}

void DeviceManager::slotPortClosing()
{
    // The exchange belongs to an item that goes with the queue; answered
    // later, it would finish whatever the next connection has at the head.
    if (m_awaitingServer) {
        m_awaitingServer = false;
        if (m_server)
            m_server->abandonRequest();
    }
    CommandQueue::instance().clearQueue();
}

void DeviceManager::initStartup()
{
    ZCore::Log::traceInfo(tag(), QStringLiteral("ZData::DeviceManager::initStartup"));
    CommandQueue &queue = CommandQueue::instance();
    queue.enqueue(EDeviceCommands::D_GET_DEVICE_ID);
    queue.enqueue(EDeviceCommands::D_GET_DEVICE_FULL_TYPE);
    queue.enqueue(EDeviceCommands::D_GET_FIRMWARE_VERSION);
}

void DeviceManager::sendRequest(EDeviceCommands command, const QByteArray &payload, quint16 options)
{
    if (!SerialPort::instance().isOpen()) {
        warning(tag(), QStringLiteral("[ %1 ] >> tried to sendRequest: %2").arg(dmm().frameCounter()).arg(commandText(command)));
        warning(tag(), QStringLiteral(">> serial port is closed. Open it first"));
        return;
    }
    if (payload.size() > std::numeric_limits<quint16>::max()) {
        warning(tag(), QStringLiteral(">> payload of %1 bytes does not fit one frame: %2")
                           .arg(payload.size()).arg(commandText(command)));
        return;
    }
    dmm().enterState({DMM::EStates::SEND_BUSY, {}});

    TCommandHeader header;
    header.command = quint16(command);
    header.dataLength = quint16(payload.size());
    header.deviceTypeState = m_info.typeStateWord;
    header.frameCount = 0;
    header.options = options;
    header.checksum = 0;

    // Asking the device to repeat itself is not a request of its own: the
    // reply still awaited is the one to the request that failed, and that
    // request stays the one to repeat if the device reports a bad frame.
    const bool resendRequest = command == EDeviceCommands::O_RESEND_PACKET_FROM_DEVICE;
    if (!resendRequest) {
        m_lastRequest = header;
        m_lastPayload = payload;
        m_hasLastRequest = true;
    }
    const QByteArray frame = dmm().buildFrame(header, payload, !resendRequest);
    sendFrame(frame, replyTimeoutFor(command));
}

void DeviceManager::sendFrame(const QByteArray &frame, int timeoutMs)
{
    QSerialPort &port = SerialPort::instance().port();
    if (!port.isOpen()) {
        debug(tag(), QStringLiteral("[ RAW ] >> tried to sendPacket: ") + DeviceMessageManager::hexDump(frame));
        warning(tag(), QStringLiteral(">> serial port is closed. Open it first"));
        return;
    }
    if (frame.size() < DeviceMessageManager::kDumpLimit)
        debug(tag(), QStringLiteral("<< ") + DeviceMessageManager::hexDump(frame));
    port.write(frame);
    // Out now rather than on the event loop's next turn: the device can
    // start on the request while the host finishes with the last reply.
    port.flush();
    dmm().enterState({DMM::EStates::RECEIVE_REPLY, {timeoutMs}});
}

void DeviceManager::sendCommand(const TCommandHeader &header)
{
    sendRequest(static_cast<EDeviceCommands>(header.command), QByteArray(), header.options);
}

void DeviceManager::requestDisconnect()
{
    // The user's choice holds against any recovery under way: nothing
    // reopens the port until the user does.
    ConnectionManager::instance().setAutoReconnect(false);
    CommandQueue::instance().enqueue(EDeviceCommands::DISCONNECT, {}, 0, true);
}

void DeviceManager::queueRebootToUpdate()
{
    CommandQueue::instance().enqueue(EDeviceCommands::A_REBOOT_TO_UPDATE_MODE, [this](const TCommandHeader &header) {
        m_info.updatePending = true;
        sendCommand(header);
    });
}

void DeviceManager::queueUpdateDownload()
{
    CommandQueue::instance().enqueue(EDeviceCommands::S_GET_UPDATE,
                                     [this](const TCommandHeader &) { requestUpdateImage(); });
}

void DeviceManager::queueActualVersionRequest()
{
    CommandQueue::instance().enqueue(EDeviceCommands::S_GET_ACTUAL_VERSION,
                                     [this](const TCommandHeader &) { requestActualVersion(); });
}

void DeviceManager::advanceQueue()
{
    CommandQueue::instance().processNext(true);
}

void DeviceManager::skipOutsideMainApp(const TCommandHeader &header)
{
    warning(tag(), QStringLiteral(">> device is NOT in 'app' state => nothing to do with command: ")
                       + commandText(header.command));
    advanceQueue();
}

void DeviceManager::slotProcessQueueCommand(ZData::TCommandHeader header)
{
    switch (static_cast<EDeviceCommands>(header.command)) {
    case EDeviceCommands::D_GET_DEVICE_ID:
    case EDeviceCommands::D_GET_DEVICE_FULL_TYPE:
    case EDeviceCommands::D_GET_FIRMWARE_VERSION:
    case EDeviceCommands::O_RESEND_PACKET_FROM_DEVICE:
        sendCommand(header);
        return;
    case EDeviceCommands::D_GET_OPTIONS:
        if (m_info.isMainApp())
            sendCommand(header);
        else
            skipOutsideMainApp(header);
        return;
    case EDeviceCommands::STARTUP_FINISHED:
        emit signalStartupFinished();
        advanceQueue();
        return;
    case EDeviceCommands::DISCONNECT:
        warning(tag(), QStringLiteral(">> limit of resends is exceeded. Disconnecting.."));
        closeLink(header);
        return;
    case EDeviceCommands::E_RESEND_PACKET_TO_DEVICE:
        resendLastRequest();
        return;
    case EDeviceCommands::B_INIT_UPDATE:
        sendUpdate();
        return;
    case EDeviceCommands::B_SEND_MAINAPP_CHUNK:
        sendUpdateChunk(header);
        return;
    case EDeviceCommands::S_CLEAR_UPDATE_CACHE:
        clearUpdateCache();
        return;
    case EDeviceCommands::S_UPDATE_ACTUAL_VERSION:
        reportActualVersion(header);
        return;
    default:
        break;
    }
    debug(tag(), QStringLiteral("<== ") + CommandQueue::tag() + QStringLiteral(" >> nothing to do with command: ")
                     + commandText(header.command));
}

void DeviceManager::resendLastRequest()
{
    if (!m_hasLastRequest) {
        warning(tag(), QStringLiteral(">> nothing to resend from master"));
        advanceQueue();
        return;
    }
    sendRequest(static_cast<EDeviceCommands>(m_lastRequest.command), m_lastPayload, m_lastRequest.options);
}

// A DISCONNECT that names a failed reply is the link giving up on the
// device, not anyone letting it go: a request lost on its way would
// otherwise end the measurement for good. It starts over as after a pulled
// cable (reopen, identify, resume the sweep), unless the user has asked to
// disconnect meanwhile.
void DeviceManager::closeLink(const TCommandHeader &header)
{
    if (header.options != 0)
        SerialPort::instance().closeLost();
    else
        SerialPort::instance().close(true);
}

void DeviceManager::reportActualVersion(const TCommandHeader &header)
{
    if (!m_info.isMainApp()) {
        skipOutsideMainApp(header);
        return;
    }
    startServerExchange(EDeviceCommands::S_UPDATE_ACTUAL_VERSION, EServerCommands::SEND_ACTUAL_VERSION,
                        [this] { return m_server->sendActualVersion(m_info.firmwareVersion); });
}

void DeviceManager::clearUpdateCache()
{
    m_updateData.clear();
    m_chunkCount = 0;
    if (m_server)
        m_server->clearUpdateCache();
}

bool DeviceManager::hasServerFor(EDeviceCommands command)
{
    if (m_server)
        return true;
    warning(tag(), QStringLiteral(">> no update server client => nothing to do with command: ") + commandText(command));
    advanceQueue();
    return false;
}

// The queue moves on when the server client reports back, or at once when
// it refused: no report would ever come.
void DeviceManager::startServerExchange(EDeviceCommands command, EServerCommands request,
                                        const std::function<bool()> &post)
{
    if (!hasServerFor(command))
        return;
    m_serverRequest = request;
    m_awaitingServer = true;
    if (post())
        return;
    m_awaitingServer = false;
    warning(tag(), QStringLiteral(">> update server client refused the request => finished without it: ")
                       + commandText(command));
    advanceQueue();
}

void DeviceManager::requestUpdateImage()
{
    startServerExchange(EDeviceCommands::S_GET_UPDATE, EServerCommands::GET_UPDATE,
                        [this] { return m_server->requestUpdate(); });
}

void DeviceManager::requestActualVersion()
{
    startServerExchange(EDeviceCommands::S_GET_ACTUAL_VERSION, EServerCommands::GET_ACTUAL_VERSION,
                        [this] { return m_server->requestActualVersion(); });
}

void DeviceManager::acceptUpdateImage(const QByteArray &image)
{
    m_updateData = image;
    if (m_updateData.isEmpty()) {
        warning(tag(), QStringLiteral(">> tried to init update without update data"));
        emit signalServerFailed(EServerCommands::GET_UPDATE, EServerCommands::E_EMPTY_DATA);
        return;
    }
    if (chunkCountFor(m_updateData.size()) == 0) {
        warning(tag(), QStringLiteral(">> firmware image of %1 bytes is larger than the %2 bytes one update can "
                                      "announce; nothing is sent")
                           .arg(m_updateData.size()).arg(kMaxUpdateBytes));
        m_updateData.clear();
        emit signalServerFailed(EServerCommands::GET_UPDATE, EServerCommands::E_EMPTY_DATA);
        return;
    }
    emit signalUpdateStarted();
    CommandQueue::instance().enqueue(EDeviceCommands::B_INIT_UPDATE);
}

void DeviceManager::sendUpdate()
{
    ZCore::Log::traceInfo(tag(), QStringLiteral("ZData::DeviceManager::sendUpdate"));
    m_chunkCount = chunkCountFor(m_updateData.size());
    if (m_chunkCount == 0) {
        // The image went away (a cleared cache) after it was announced.
        warning(tag(), QStringLiteral(">> tried to init update without update data"));
        advanceQueue();
        return;
    }
    sendRequest(EDeviceCommands::B_INIT_UPDATE, initUpdatePayload(qint32(m_updateData.size())), m_chunkCount);
    // The bootloader drops off the link when it starts the new firmware; the
    // update procedure decides when to reconnect, not the first lost signal.
    ConnectionManager::instance().setAutoReconnect(false);
}

void DeviceManager::queueUpdateChunks()
{
    debug(tag(), QStringLiteral("<< sending update of [ %1 ] chunks..").arg(m_chunkCount));
    CommandQueue &queue = CommandQueue::instance();
    for (quint16 index = 0; index < m_chunkCount; ++index)
        queue.enqueue(EDeviceCommands::B_SEND_MAINAPP_CHUNK, {}, index);
    queue.enqueue(EDeviceCommands::S_CLEAR_UPDATE_CACHE);
    queue.enqueue(EDeviceCommands::DISCONNECT);
}

void DeviceManager::sendUpdateChunk(const TCommandHeader &header)
{
    const int index = header.options;
    debug(tag(), QStringLiteral("<< sendUpdateChunk: %1").arg(index));
    const qint64 offset = qint64(index) * kUpdateChunkSize;
    if (index >= m_chunkCount || offset >= m_updateData.size()) {
        warning(tag(), QStringLiteral(">> no chunk %1 in a firmware image of %2 bytes").arg(index).arg(m_updateData.size()));
        advanceQueue();
        return;
    }
    sendRequest(EDeviceCommands::B_SEND_MAINAPP_CHUNK, m_updateData.mid(int(offset), kUpdateChunkSize), header.options);
    emit signalUpdateProgress(progressFor(index, m_chunkCount));
}

void DeviceManager::slotProcessDeviceReply()
{
    TDeviceReply reply = dmm().reply();
    switch (static_cast<EDeviceCommands>(reply.header.command)) {
    case EDeviceCommands::DA_GET_SCAN_DATA:
    case EDeviceCommands::DA_GET_SCAN_DATA_S21:
    case EDeviceCommands::DA_GET_SCAN_DATA_S12:
        emit signalGotScanData(reply);
        break;
    case EDeviceCommands::DA_GET_ADC_VALUE:
        emit signalGotADCValue(reply);
        break;
    case EDeviceCommands::F_READ_CALIB_RANGE:
        emit signalGotCalibRange(reply);
        break;
    case EDeviceCommands::F_READ_CALIB_DATA:
        emit signalGotCalibData(reply);
        break;
    case EDeviceCommands::F_READ_CALIB_VCO:
        emit signalGotCalibVCO(reply);
        break;
    case EDeviceCommands::F_WRITE_CALIB_RANGE:
        emit signalSentCalibRange(reply);
        break;
    case EDeviceCommands::F_WRITE_CALIB_DATA:
        emit signalSentCalibData(reply);
        break;
    case EDeviceCommands::F_WRITE_CALIB_VCO:
    case EDeviceCommands::F_SEND_ACTIVE_CALIB_VCO:
        emit signalSentCalibVCO(reply);
        break;
    case EDeviceCommands::D_GET_DEVICE_ID:
        processIdentifier(reply);
        break;
    case EDeviceCommands::D_GET_DEVICE_FULL_TYPE:
        processType(reply);
        break;
    case EDeviceCommands::D_GET_FIRMWARE_VERSION:
        processVersion(reply);
        break;
    case EDeviceCommands::D_GET_OPTIONS:
        processOptions(reply);
        break;
    case EDeviceCommands::B_INIT_UPDATE:
        queueUpdateChunks();
        break;
    case EDeviceCommands::O_RESEND_PACKET_FROM_DEVICE:
        processResendReport(reply);
        break;
    case EDeviceCommands::DISCONNECT:
        // Its options name the last failure: the link gave up.
        CommandQueue::instance().enqueue(EDeviceCommands::DISCONNECT, {}, reply.header.options, true);
        break;
    default:
        dispatchUnhandledReply(reply);
        break;
    }
    advanceQueue();
}

void DeviceManager::dispatchUnhandledReply(const TDeviceReply &reply)
{
    const QString from = QStringLiteral("<== ") + DeviceMessageManager::tag();
    if (reply.data.isEmpty())
        debug(tag(), from + QStringLiteral(" [ %1 ] got empty reply").arg(dmm().frameCounter()));
    else
        debug(tag(), from + QStringLiteral(" >> nothing to do with reply ") + dmm().replyDataText(reply));
}

void DeviceManager::processResendReport(const TDeviceReply &reply)
{
    const quint16 error = reply.header.options;
    if (error != 0) {
        warning(tag(), QStringLiteral(">> error in received packet: ")
                           + DMM::stateText(static_cast<DMM::EStates>(error)));
        if (error == quint16(DMM::EStates::E_REPLY_TIMEOUT) && lastRequestIsScan()) {
            // Silence may mean the request never reached the device, whose
            // last reply is then the previous slice's and reads like this
            // one's. A scan only reads, so asking again is safe.
            CommandQueue::instance().enqueue(EDeviceCommands::E_RESEND_PACKET_TO_DEVICE, {}, 0, true);
            return;
        }
        CommandQueue::instance().enqueue(EDeviceCommands::O_RESEND_PACKET_FROM_DEVICE, {}, error, true);
        return;
    }
    warning(tag(), QStringLiteral(">> error in sent packet. Resending.."));
    CommandQueue::instance().enqueue(EDeviceCommands::E_RESEND_PACKET_TO_DEVICE, {}, 0, true);
}

bool DeviceManager::lastRequestIsScan() const
{
    const auto command = static_cast<EDeviceCommands>(m_lastRequest.command);
    return m_hasLastRequest
           && (command == EDeviceCommands::DA_GET_SCAN_DATA_S21 || command == EDeviceCommands::DA_GET_SCAN_DATA_S12);
}

void DeviceManager::processIdentifier(const TDeviceReply &reply)
{
    quint32 words[kIdentityWords] = {};
    if (!readIdentityWords(reply.data, words)) {
        warning(tag(), QStringLiteral(">> device id reply is too short: %1 of %2 bytes; id kept as [ %3 ]")
                           .arg(reply.data.size()).arg(kIdentityPayloadSize).arg(m_info.id));
        return;
    }
    const QString id = QStringLiteral("%1-%2-%3").arg(words[0]).arg(words[1]).arg(words[2]);
    // A different device cannot finish an update meant for the previous one.
    if (id != m_info.id)
        m_info.updatePending = false;
    m_info.id = id;
}

void DeviceManager::processType(const TDeviceReply &reply)
{
    const TCommandHeader &header = reply.header;
    const quint8 newState = header.deviceState();
    const quint8 bootloader = quint8(EDeviceStates::BOOTLOADER);
    // An update waits only for the transition into the bootloader that the
    // reboot command asked for.
    m_info.updatePending = m_info.updatePending && newState == bootloader && m_info.deviceState != bootloader;
    m_info.typeStateWord = header.deviceTypeState;
    m_info.deviceType = header.deviceType();
    m_info.deviceState = newState;
    if (m_info.deviceType != quint8(EDeviceTypes::OSKIRO_MERO)) {
        CommandQueue::instance().enqueue(EDeviceCommands::DISCONNECT);
        ZCore::Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_connected_not_mero_device")
                                        + typeText(m_info.deviceType));
    }
}

void DeviceManager::processVersion(const TDeviceReply &reply)
{
    quint32 words[kIdentityWords] = {};
    if (readIdentityWords(reply.data, words)) {
        m_info.firmwareVersion = ZCore::TVersion(words[0], words[1], words[2]);
    } else {
        warning(tag(), QStringLiteral(">> firmware version reply is too short: %1 of %2 bytes; version kept as %3")
                           .arg(reply.data.size()).arg(kIdentityPayloadSize).arg(m_info.firmwareVersion.toString()));
    }
    info(tag(), QStringLiteral(">> device info:") + m_info.text());

    CommandQueue &queue = CommandQueue::instance();
    queue.enqueue(EDeviceCommands::S_UPDATE_ACTUAL_VERSION);
    queue.enqueue(EDeviceCommands::STARTUP_FINISHED);
    if (m_info.updatePending) {
        m_info.updatePending = false;
        queueUpdateDownload();
    }
}

void DeviceManager::processOptions(const TDeviceReply &reply)
{
    for (EDeviceOptions option : readOptions(reply.data, m_info))
        emit signalGotDeviceParams(option);
}

void DeviceManager::slotProcessServerReply()
{
    if (!m_awaitingServer || !m_server) {
        const QString result = m_server ? ZCore::enumText(m_server->lastResult()) : QString();
        warning(tag(), QStringLiteral(">> ignored an update server reply no queue item waits for: ") + result);
        return;
    }
    m_awaitingServer = false;
    const EServerCommands result = m_server->lastResult();
    const QString from = QStringLiteral("<== ") + m_server->clientTag();
    if (result == EServerCommands::GET_ACTUAL_VERSION) {
        const QString version = m_server->replyText();
        info(tag(), from + QStringLiteral(" >> actual version: ") + version);
        emit signalUpdateReply(version);
    } else if (result == EServerCommands::GET_UPDATE) {
        info(tag(), from + QStringLiteral(" >> got update"));
        acceptUpdateImage(m_server->replyData());
    } else {
        debug(tag(), from + QStringLiteral(" >> nothing to do with command: ") + ZCore::enumText(result));
        if (result != m_serverRequest)
            emit signalServerFailed(m_serverRequest, result);
    }
    advanceQueue();
}

} // namespace ZData
