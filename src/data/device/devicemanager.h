#pragma once

#include "core/isinitializable.h"
#include "core/tsingleton.h"
#include "data/device/deviceinfo.h"
#include "data/device/tdevicereply.h"
#include "data/server/eservercommands.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <limits>

namespace ZData {

namespace DM {
class IUpdateServerClient;
}

// The command layer of the device link: identifies the device whenever the
// port opens, turns queue items into requests and replies into typed
// signals, and carries out the recovery the frame layer asks for.
class DeviceManager : public QObject, public ZCore::TSingleton<DeviceManager>, public ZCore::ISInitializable
{
    Q_OBJECT
    friend class ZCore::TSingleton<DeviceManager>;

public:
    static constexpr int kIdentityWords = 3;
    static constexpr int kIdentityPayloadSize = kIdentityWords * int(sizeof(quint32));

    static bool init();
    static QString tag();
    static int replyTimeoutFor(EDeviceCommands command);

    // The identifier and firmware version payloads: three little-endian
    // 32-bit words. False when the payload is too short to hold them.
    static bool readIdentityWords(const QByteArray &payload, quint32 (&words)[kIdentityWords]);
    // The D_GET_OPTIONS text ("SR=low,high;BW=a,b,...;PR=n"): stores every
    // option it can read into info, logs the others, and returns the options
    // stored, in the order they came.
    static QList<EDeviceOptions> readOptions(const QByteArray &payload, DeviceInfo &info);

    static constexpr int kUpdateChunkSize = 1024;
    // The chunk count travels in the 16-bit options word of B_INIT_UPDATE
    // and each chunk's index in that of its own frame.
    static constexpr qint64 kMaxUpdateChunks = std::numeric_limits<quint16>::max();
    static constexpr qint64 kMaxUpdateBytes = kMaxUpdateChunks * kUpdateChunkSize;
    static constexpr int kFullProgress = 100;

    // Chunks an image of this length is sent in; 0 when it is empty or too
    // large to be announced.
    static quint16 chunkCountFor(qint64 length);
    // The B_INIT_UPDATE payload: the image length, signed 32-bit.
    static QByteArray initUpdatePayload(qint32 length);
    // Percent done once the chunk with this index has been sent, truncated.
    static int progressFor(int index, int count);

    void initStartup();
    void sendRequest(EDeviceCommands command, const QByteArray &payload = QByteArray(), quint16 options = 0);
    void sendCommand(const TCommandHeader &header);
    void requestDisconnect();
    // Starts a firmware update of a device in its application: reboots it
    // into the bootloader, marked so that the image is fetched and sent once
    // it is back and identified.
    void queueRebootToUpdate();
    // Fetches the image and sends it: for a device already in its bootloader.
    void queueUpdateDownload();
    // Asks the update server for the newest firmware; a successful answer
    // comes back as signalUpdateReply.
    void queueActualVersionRequest();

    const DeviceInfo &deviceInfo() const { return m_info; }
    void setDeviceInfo(const DeviceInfo &info) { m_info = info; }
    // The firmware update server client; without one, the queue items that
    // need it are skipped with a warning.
    void setUpdateServer(DM::IUpdateServerClient *client) { m_server = client; }
    const QByteArray &updateData() const { return m_updateData; }
    quint16 chunkCount() const { return m_chunkCount; }

signals:
    void signalStartupFinished();
    void signalGotOldDevice();
    void signalIdentifiedDevice();
    void signalGotDeviceParams(ZData::EDeviceOptions option);
    void signalGotScanData(ZData::TDeviceReply device_reply);
    void signalGotADCValue(ZData::TDeviceReply device_reply);
    void signalGotCalibRange(ZData::TDeviceReply &device_reply);
    void signalGotCalibVCO(ZData::TDeviceReply &device_reply);
    void signalGotCalibData(ZData::TDeviceReply &device_reply);
    void signalSentCalibRange(ZData::TDeviceReply &device_reply);
    void signalSentCalibVCO(ZData::TDeviceReply &device_reply);
    void signalSentCalibData(ZData::TDeviceReply &device_reply);
    void signalUpdateReply(QString actual_version);
    void signalUpdateStarted();
    void signalUpdateProgress(int progress);
    // An exchange with the update server ended without what it asked for
    // (result: the server's error or the client's failure); a firmware
    // image that cannot be sent counts as E_EMPTY_DATA.
    void signalServerFailed(ZData::EServerCommands request, ZData::EServerCommands result);

public slots:
    void slotProcessQueueCommand(ZData::TCommandHeader header);
    void slotProcessDeviceReply();
    void slotProcessServerReply();

private slots:
    void slotPortOpened();
    void slotPortClosing();

private:
    DeviceManager() = default;

    void sendFrame(const QByteArray &frame, int timeoutMs);
    void advanceQueue();
    void skipOutsideMainApp(const TCommandHeader &header);
    void resendLastRequest();
    bool lastRequestIsScan() const;
    void closeLink(const TCommandHeader &header);
    void reportActualVersion(const TCommandHeader &header);
    void clearUpdateCache();
    void requestUpdateImage();
    void requestActualVersion();
    bool hasServerFor(EDeviceCommands command);
    void startServerExchange(EDeviceCommands command, EServerCommands request, const std::function<bool()> &post);
    void acceptUpdateImage(const QByteArray &image);
    void sendUpdate();
    void sendUpdateChunk(const TCommandHeader &header);
    void queueUpdateChunks();
    void dispatchUnhandledReply(const TDeviceReply &reply);

    void processIdentifier(const TDeviceReply &reply);
    void processType(const TDeviceReply &reply);
    void processVersion(const TDeviceReply &reply);
    void processOptions(const TDeviceReply &reply);
    void processResendReport(const TDeviceReply &reply);

    DeviceInfo m_info;
    // The last request that was not itself a resend request: what the device
    // is asked to repeat and what the host repeats on a bad-frame report.
    TCommandHeader m_lastRequest;
    QByteArray m_lastPayload;
    bool m_hasLastRequest = false;
    QByteArray m_updateData;
    quint16 m_chunkCount = 0;
    DM::IUpdateServerClient *m_server = nullptr;
    // The client's result is only the error once an exchange fails.
    EServerCommands m_serverRequest = EServerCommands::UNDEFINED;
    // The head of the queue waits for the update server's answer.
    bool m_awaitingServer = false;
};

} // namespace ZData
