#pragma once

#include "faultinjector.h"
#include "frameparser.h"
#include "pseudoterminal.h"
#include "repeatermodel.h"
#include "simlog.h"
#include "simoptions.h"
#include "simrecords.h"

#include <QObject>
#include <QTimer>
#include <QVector>

#include <functional>

namespace MeroSim {

// A MERO device on a pseudo-terminal: it parses the host's frames with its
// own framing code, answers the command set from a repeater model, and can
// misbehave on request. Single-threaded, driven by the Qt event loop.
class Simulator : public QObject
{
    Q_OBJECT

public:
    enum class Mode : quint8 { MainApp, Bootloader };

    static constexpr quint16 kBootloaderBit = 0x8000;
    static constexpr int kMaxHostPayload = 4096;
    static constexpr int kMaxScanPoints = 1024;
    static constexpr int kFirmwareChunkSize = 1024;

    explicit Simulator(const Options &options, QObject *parent = nullptr);
    ~Simulator() override;

    // Creates the pseudo-terminal and the link. False (with lastError) when
    // that fails; the device is then unplugged.
    bool start();
    void stop();
    QString lastError() const { return m_lastError; }

    const Options &options() const { return m_options; }
    QString linkPath() const { return m_options.linkPath; }
    QString slavePath() const { return m_terminal.slavePath(); }
    bool isPlugged() const { return m_terminal.isOpen(); }
    Mode mode() const { return m_mode; }

    void setTiming(Timing timing) { m_options.timing = timing; }
    void setTypeState(quint16 typeState) { m_options.typeState = typeState; }
    void setDeviceId(const std::array<quint32, 3> &id) { m_options.deviceId = id; }
    void setFirmwareVersion(const std::array<quint32, 3> &version) { m_options.firmwareVersion = version; }
    void setOptionsText(const QString &text) { m_options.optionsText = text; }

    void addFault(const FaultRule &rule);
    void clearFaults();
    QVector<FaultRule> faults() const { return m_faults.rules(); }

    // Pulls the plug: the terminal closes and the link disappears. With a
    // delay of 0 or more the device comes back after it on a new terminal
    // behind the same link; a negative delay keeps it away until plugIn.
    void unplug(int delayMs);
    bool plugIn();

    // What the device has seen and done since start (or clearStatistics).
    const QVector<ReceivedFrame> &receivedFrames() const { return m_received; }
    int repliesSent() const { return m_repliesSent; }
    int repliesLost() const { return m_repliesLost; }
    int badHostFrames() const { return m_badHostFrames; }
    int unplugCount() const { return m_unplugCount; }
    void clearStatistics();

    quint16 sampleSize() const { return m_model.sampleSize(); }
    float gainDb() const { return m_model.gainDb(); }
    QByteArray firmwareImage() const { return m_image; }

signals:
    void frameReceived(const MeroSim::ReceivedFrame &frame);
    void badHostFrame(const QString &reason, const QByteArray &bytes);
    void replySent(const MeroSim::SentReply &reply);
    void bytesWritten(const QByteArray &bytes);
    void unplugged();
    void pluggedIn();
    void firmwareReceived(const QByteArray &image);

private:
    struct Reply
    {
        quint16 command = 0;
        quint16 options = 0;
        QByteArray payload;
        int delayMs = 0;
        std::function<void()> afterSent;
    };

    struct Segment
    {
        QByteArray bytes;
        int delayMs = 0;
        std::function<void()> afterSent;
    };

    void receive(const QByteArray &bytes);
    void handleItem(const ParsedItem &item, bool *reportBadFrame);
    void handleFrame(const ReceivedFrame &frame);
    Reply answer(const ReceivedFrame &frame);
    Reply answerScan(const ReceivedFrame &frame);
    Reply answerSampleSize(const ReceivedFrame &frame);
    Reply answerGain(const ReceivedFrame &frame);
    Reply answerInitUpdate(const ReceivedFrame &frame);
    Reply answerChunk(const ReceivedFrame &frame);
    Reply answerUnknown(const ReceivedFrame &frame, const QString &why);
    Reply reboot(Mode mode);

    QByteArray buildFrame(quint16 command, quint16 options, const QByteArray &payload);
    void send(const Reply &reply, const QVector<FaultKind> &faults);
    void deliver(const QByteArray &clean, int delayMs, const std::function<void()> &afterSent,
                 const QVector<FaultKind> &faults);
    void loseRequest(const ReceivedFrame &frame, const QVector<FaultKind> &faults);
    QByteArray withOtherCommand(const QByteArray &clean);
    QByteArray withHalfPayload(const QByteArray &clean);
    void queueOutput(const QVector<Segment> &segments);
    void pumpOutput();
    void dropIncompleteRequest();
    void runWhenDrained(const std::function<void()> &action);
    void checkDrained();
    void cancelTraffic();
    void powerUp(Mode mode);
    quint16 currentTypeState() const;
    int latencyMs(int measuredPoints) const;

    Options m_options;
    SimLog m_log;
    PseudoTerminal m_terminal;
    FrameParser m_parser;
    RepeaterModel m_model;
    FaultInjector m_faults;

    Mode m_mode = Mode::MainApp;
    Mode m_modeAfterReplug = Mode::MainApp;
    quint16 m_frameCounter = 0;
    QByteArray m_lastReply;

    quint16 m_imageChunks = 0;
    QVector<bool> m_chunkSeen;
    QByteArray m_image;

    QVector<Segment> m_output;
    QTimer m_outputTimer;
    QTimer m_replugTimer;
    QTimer m_receiveTimer;
    QTimer m_drainTimer;
    std::function<void()> m_afterDrain;
    int m_drainChecksLeft = 0;
    QString m_lastError;

    QVector<ReceivedFrame> m_received;
    int m_repliesSent = 0;
    int m_repliesLost = 0;
    int m_badHostFrames = 0;
    int m_unplugCount = 0;
};

} // namespace MeroSim
