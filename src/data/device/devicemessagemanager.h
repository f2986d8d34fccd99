#pragma once

#include "core/isinitializable.h"
#include "core/tsingleton.h"
#include "data/device/tdevicereply.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

namespace ZData {

namespace DMM {
Q_NAMESPACE

enum class EStates : quint16 {
    FREE = 0,
    E_COMMAND_MISMATCH = 1,
    E_REPLY_TIMEOUT = 2,
    E_HEAD_CRC_TIMEOUT = 3,
    E_RECEIVE_TIMEOUT = 4,
    E_HEADER_FAILED = 5,
    E_PACKET_FAILED = 6,
    E_REPLY_FAILED = 7,
    E_UNREACHABLE = 8,
    E_UNKNOWN_STATE = 9,
    RECEIVE_REPLY = 10,
    RECEIVE_BUSY = 11,
    RECEIVE_HEADER = 12,
    RECEIVE_BODY = 13,
    RECEIVE_COMPLETE = 14,
    SEND_BUSY = 15,
};
Q_ENUM_NS(EStates)

// "DMM::EStates::FREE"; unknown values through "EnumPrinter".
QString stateText(EStates state);
bool isErrorState(EStates state);

// A state and its arguments; the first argument of a state that starts the
// reply timer is the timeout in milliseconds.
struct TStateRecord
{
    EStates state = EStates::FREE;
    QList<int> args;

    int timeoutMs(int fallback) const { return args.isEmpty() ? fallback : args.first(); }
};

} // namespace DMM

// The byte-level protocol of the device link: framing, the header checksum
// and frame CRC, the frame counter, assembling one reply from arbitrary
// chunks, the reply deadline and the decision to ask for a resend.
class DeviceMessageManager : public QObject,
                             public ZCore::TSingleton<DeviceMessageManager>,
                             public ZCore::ISInitializable
{
    Q_OBJECT
    friend class ZCore::TSingleton<DeviceMessageManager>;

public:
    static constexpr quint8 kFrameStart = 0xAA;
    static constexpr int kFrameStartSize = 1;
    static constexpr int kCrcSize = 4;
    static constexpr int kFrameOverhead = kFrameStartSize + TCommandHeader::kWireSize + kCrcSize;
    static constexpr int kReplyTimeoutMs = 2000;
    static constexpr int kUpdateReplyTimeoutMs = 15000;
    static constexpr qint16 kResendBudget = 3;
    static constexpr quint16 kFrameCounterReset = 0xFFFF;
    // Chunks and frames at least this long (scan payloads) are not dumped.
    static constexpr int kDumpLimit = 100;
    // Silence after which the rest of a frame whose header failed is taken
    // to be all in: the device sends a frame in one go.
    static constexpr int kBrokenFrameQuietMs = 100;

    static bool init();
    static QString tag();
    // Lower-case byte pairs separated by spaces.
    static QString hexDump(const QByteArray &bytes);
    static QString headerText(const TCommandHeader &header);

    // Stamps the header (counter, checksum when zero) and returns the frame.
    QByteArray buildFrame(TCommandHeader &header, const QByteArray &payload, bool rememberReply);
    void enterState(const DMM::TStateRecord &record);
    void receiveData(const QByteArray &chunk);

    const TDeviceReply &reply() const { return m_reply; }
    DMM::EStates state() const { return m_state.state; }
    bool isReceiving() const;
    quint16 frameCounter() const { return m_frameCounter; }
    quint16 expectedReplyCommand() const { return m_expectedReply; }
    qint16 resendBudget() const { return m_resendBudget; }
    QString replyDataText(const TDeviceReply &reply) const;

    void resetFrameCounter() { m_frameCounter = kFrameCounterReset; }
    void resetResendBudget() { m_resendBudget = kResendBudget; }
    // Forgets any reply in progress: the link under it went away, so nothing
    // may time out or complete afterwards. The frame counter is left alone.
    void reset();

signals:
    void signalGotReply();

public slots:
    void slotTimerReply();

private slots:
    void finishBrokenFrame();

private:
    DeviceMessageManager() = default;

    void enterErrorState(const DMM::TStateRecord &record);
    void enterReceiveReply(const DMM::TStateRecord &record);
    void enterReceiveHeader(const DMM::TStateRecord &record);
    void enterReceiveBody(const DMM::TStateRecord &record);
    void enterReceiveComplete(const DMM::TStateRecord &record);
    void store(DMM::EStates state, const QList<int> &args = {});
    bool isAcceptedReply(quint16 command) const;
    void waitForMoreBytes();
    void assembleReply();
    bool isDrainingBrokenFrame() const { return m_brokenFrameTimer.isActive(); }
    void drainBrokenFrame(int bytes);

    DMM::TStateRecord m_state;
    QByteArray m_buffer;
    TDeviceReply m_reply;
    quint16 m_expectedReply = 0;
    quint16 m_frameCounter = kFrameCounterReset;
    qint16 m_resendBudget = kResendBudget;
    int m_replyTimeoutMs = kReplyTimeoutMs;
    // Bytes of a frame whose header failed that have not arrived yet, as far
    // as its header can be believed.
    int m_brokenRest = 0;
    QTimer m_replyTimer;
    QTimer m_brokenFrameTimer;
};

} // namespace ZData
