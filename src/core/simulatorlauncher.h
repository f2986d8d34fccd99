#pragma once

#include "core/istaggable.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

namespace ZCore {

// Runs the bundled device simulator as a child process on a link path of
// its own, so that a user without a device can still see the application
// work. The child lives exactly as long as this object.
class SimulatorLauncher : public QObject, public ISTaggable
{
    Q_OBJECT

public:
    static constexpr int kLinkPollIntervalMs = 50;
    // The simulator publishes its link within milliseconds; anything far
    // slower means it will not come up at all.
    static constexpr int kLinkWaitMs = 10000;
    static constexpr int kStopWaitMs = 3000;
    static constexpr const char *kBinaryEnvVar = "MERO_SIM_BIN";
    // The simulator's pace: "realistic" unless this names another (the
    // benchmark asks for "instant").
    static constexpr const char *kTimingEnvVar = "MERO_SIM_TIMING";

    explicit SimulatorLauncher(QObject *parent = nullptr);
    ~SimulatorLauncher() override;

    static QString tag();

    // The environment's choice first, then the build tree's place of the
    // simulator next to the application's, then beside the executable.
    // Empty when none of them exists.
    static QString findBinary(const QString &applicationDir);

    // Starts binary with the private link path; signalLinkReady or
    // signalFailed follows. False (and signalFailed) when it cannot start.
    bool start(const QString &binary, const QStringList &extraArguments = {});
    // The simulator beside the application, at the pace kTimingEnvVar names
    // (realistic by default), writing its log beside the application's.
    bool startBundled(const QStringList &extraArguments = {});
    void stop();

    QString linkPath() const;
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

signals:
    void signalLinkReady(const QString &linkPath);
    void signalFailed(const QString &reason);

private:
    void pollLink();
    void handleFinished(int exitCode, QProcess::ExitStatus status);
    void fail(const QString &reason);

    QTemporaryDir m_dir;
    QProcess m_process;
    QTimer m_pollTimer;
    QElapsedTimer m_waited;
    bool m_stopping = false;
};

} // namespace ZCore
