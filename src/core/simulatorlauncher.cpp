#include "core/simulatorlauncher.h"

#include "core/log.h"
#include "core/logger.h"

#include <QCoreApplication>

#include <QDir>
#include <QFileInfo>

namespace ZCore {

namespace {

const char *const kLinkName = "ttyMERO";
const char *const kBuildTreeRelativePath = "../tools/mero-sim/mero-sim";
const char *const kSideBySideName = "mero-sim";
const char *const kLogName = "mero-sim.log";
const char *const kDefaultTiming = "realistic";

bool isExecutable(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

SimulatorLauncher::SimulatorLauncher(QObject *parent)
    : QObject(parent)
    , m_dir(QDir::temp().filePath(QStringLiteral("oskiro-mero-sim-XXXXXX")))
{
    m_pollTimer.setInterval(kLinkPollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &SimulatorLauncher::pollLink);
    connect(&m_process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            &SimulatorLauncher::handleFinished);
    // Nobody reads the child's output; letting it pile up in a buffer would
    // grow without end over a long session.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
}

SimulatorLauncher::~SimulatorLauncher()
{
    stop();
}

QString SimulatorLauncher::tag()
{
    static const QString tagText = QStringLiteral("SimulatorLauncher");
    return tagText;
}

QString SimulatorLauncher::findBinary(const QString &applicationDir)
{
    const QString fromEnvironment = qEnvironmentVariable(kBinaryEnvVar);
    if (!fromEnvironment.isEmpty())
        return isExecutable(fromEnvironment) ? fromEnvironment : QString();
    const QDir dir(applicationDir);
    for (const char *relative : {kBuildTreeRelativePath, kSideBySideName}) {
        const QString candidate = QDir::cleanPath(dir.filePath(QLatin1String(relative)));
        if (isExecutable(candidate))
            return candidate;
    }
    return QString();
}

QString SimulatorLauncher::linkPath() const
{
    return m_dir.isValid() ? m_dir.filePath(QLatin1String(kLinkName)) : QString();
}

bool SimulatorLauncher::start(const QString &binary, const QStringList &extraArguments)
{
    if (isRunning()) {
        Log::warning(tag(), QStringLiteral(">> simulator already running"));
        return false;
    }
    if (binary.isEmpty() || !isExecutable(binary)) {
        fail(QStringLiteral("no simulator executable found (set %1 to its path)").arg(QLatin1String(kBinaryEnvVar)));
        return false;
    }
    if (!m_dir.isValid()) {
        fail(QStringLiteral("cannot create a private directory for the link: %1").arg(m_dir.errorString()));
        return false;
    }
    m_stopping = false;
    const QStringList arguments = QStringList{QStringLiteral("--link"), linkPath()} + extraArguments;
    Log::info(tag(), QStringLiteral("<< starting %1 %2").arg(binary, arguments.join(QLatin1Char(' '))));
    m_process.start(binary, arguments);
    if (!m_process.waitForStarted(kStopWaitMs)) {
        fail(QStringLiteral("simulator did not start: %1").arg(m_process.errorString()));
        return false;
    }
    m_waited.start();
    m_pollTimer.start();
    return true;
}

bool SimulatorLauncher::startBundled(const QStringList &extraArguments)
{
    const QString log = QDir(Logger::logsDirPath()).filePath(QLatin1String(kLogName));
    return start(findBinary(QCoreApplication::applicationDirPath()),
                 QStringList{QStringLiteral("--timing"),
                             qEnvironmentVariable(kTimingEnvVar, QLatin1String(kDefaultTiming)),
                             QStringLiteral("--log"), log}
                     + extraArguments);
}

void SimulatorLauncher::stop()
{
    m_pollTimer.stop();
    if (!isRunning())
        return;
    m_stopping = true;
    Log::info(tag(), QStringLiteral("<< stopping the simulator"));
    m_process.terminate();
    if (!m_process.waitForFinished(kStopWaitMs)) {
        m_process.kill();
        m_process.waitForFinished(kStopWaitMs);
    }
}

void SimulatorLauncher::pollLink()
{
    if (QFileInfo::exists(linkPath())) {
        m_pollTimer.stop();
        Log::info(tag(), QStringLiteral(">> simulated device ready at %1").arg(linkPath()));
        emit signalLinkReady(linkPath());
        return;
    }
    if (m_waited.elapsed() >= kLinkWaitMs) {
        fail(QStringLiteral("simulator published no link within %1 ms").arg(kLinkWaitMs));
        stop();
    }
}

void SimulatorLauncher::handleFinished(int exitCode, QProcess::ExitStatus status)
{
    m_pollTimer.stop();
    if (m_stopping)
        return;
    fail(QStringLiteral("simulator ended unexpectedly (%1, exit code %2)")
             .arg(status == QProcess::CrashExit ? QStringLiteral("crashed") : QStringLiteral("exited"))
             .arg(exitCode));
}

void SimulatorLauncher::fail(const QString &reason)
{
    Log::warning(tag(), QStringLiteral(">> ") + reason);
    emit signalFailed(reason);
}

} // namespace ZCore
