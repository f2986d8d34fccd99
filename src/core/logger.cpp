#include "core/logger.h"

#include "core/appenvironment.h"
#include "core/log.h"
#include "core/tversion.h"
#include "core/userdialogs.h"
#include "core/utilitymodules/path.h"

#include <QDateTime>

namespace ZCore {

namespace {

// Captured before main() runs, so it is the platform's own handler even if
// somebody installs another before the Logger does.
QtMessageHandler g_passOnHandler = qInstallMessageHandler(nullptr);

const char *const kLogsDirName = "logs";
const char *const kLogExtension = "log";
const char *const kFileTimeFormat = "yyyy-MM-dd_hh.mm.ss";
const char *const kBannerTitle = "               Started new session";
constexpr int kBannerWidth = 52;
constexpr int kFatalExitCode = 1;

void systemHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    Logger::handleMessage(type, context, text);
}

} // namespace

Logger::~Logger()
{
    // Qt and the other singletons may still write while the process ends;
    // they must not reach a handler whose file is gone.
    detach();
}

QString Logger::tag()
{
    static const QString tagText = QStringLiteral("Logger");
    return tagText;
}

QString Logger::levelLabel(QtMsgType type)
{
    switch (type) {
    case QtWarningMsg:
        return QStringLiteral(" WARNING ");
    case QtCriticalMsg:
        return QStringLiteral(" CRITICAL");
    case QtFatalMsg:
        return QStringLiteral("  FATAL  ");
    case QtInfoMsg:
        return QStringLiteral("  INFO   ");
    case QtDebugMsg:
        break;
    }
    return QStringLiteral("  DEBUG  ");
}

bool Logger::init()
{
    Logger &self = instance();
    Log::traceDebug(tag(), QStringLiteral("ZCore::Logger::init"));
    self.m_clock.start();
    self.m_logsDir = QStringLiteral("%1/%2").arg(AppEnvironment::appDir(), QLatin1String(kLogsDirName));
    self.m_logPath = QStringLiteral("%1/%2.%3")
                         .arg(self.m_logsDir,
                              QDateTime::currentDateTime().toString(QLatin1String(kFileTimeFormat)),
                              QLatin1String(kLogExtension));

    if (!initDirs()) {
        Log::critical(tag(), QStringLiteral(">>") + qtTrId("dw_err_logger_cant_create_dirs") + self.m_logsDir);
        return false;
    }
    if (!initFiles()) {
        Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_logger_cant_create_file") + self.m_logPath);
        return false;
    }
    qInstallMessageHandler(systemHandler);
    self.m_installed = true;
    Log::info(tag(), QStringLiteral(">> initializing Application ver. %1..").arg(appVersion().toString()));
    return true;
}

bool Logger::initDirs()
{
    Log::traceDebug(tag(), QStringLiteral("ZCore::Logger::initDirs"));
    return UtilityModules::Path::createDir(instance().m_logsDir, QStringLiteral("LOG_DIR"));
}

bool Logger::initFiles()
{
    Logger &self = instance();
    Log::traceDebug(tag(), QStringLiteral("ZCore::Logger::initFiles"));
    self.m_stream.reset();
    self.m_file.close();
    self.m_file.setFileName(self.m_logPath);
    if (!self.m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    self.m_stream = std::make_unique<QTextStream>(&self.m_file);
    self.m_stream->setCodec("UTF-8");
    self.m_stream->setGenerateByteOrderMark(false);
    Log::info(tag(), QStringLiteral(">> created [ LOG_FILE ] at: ") + self.m_logPath);
    return true;
}

void Logger::printSessionBanner()
{
    const QString rule(kBannerWidth, QLatin1Char('='));
    Log::info(QString(), rule);
    Log::info(QString(), QLatin1String(kBannerTitle));
    Log::info(QString(), rule);
}

bool Logger::isInstalled()
{
    return instance().m_installed;
}

bool Logger::isMessageHandler(QtMessageHandler handler)
{
    return handler == &systemHandler;
}

QString Logger::logsDirPath()
{
    return instance().m_logsDir;
}

QString Logger::logFilePath()
{
    return instance().m_logPath;
}

void Logger::handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg)
        return;
    Logger &self = instance();
    const QString line = QStringLiteral("[ %1 ]: %2").arg(levelLabel(type), text);
    if (g_passOnHandler)
        g_passOnHandler(type, context, line);
    if (self.m_stream) {
        const double seconds = double(self.m_clock.elapsed()) / kMsPerSecond;
        *self.m_stream << QStringLiteral("[ %1 ]").arg(seconds, kElapsedFieldWidth, 'f', kElapsedDecimals)
                       << line << '\n';
        self.m_stream->flush();
    }
    if (type == QtCriticalMsg) {
        UserDialogs::critical(nullptr, QStringLiteral("Critical error"), text);
    } else if (type == QtFatalMsg) {
        UserDialogs::fatal(nullptr, QStringLiteral("Fatal error"), text);
        UserDialogs::exitApplication(kFatalExitCode);
    }
}

void Logger::flush()
{
    Logger &self = instance();
    if (self.m_stream)
        self.m_stream->flush();
}

void Logger::uninstall()
{
    instance().detach();
}

void Logger::detach()
{
    if (m_installed) {
        const QtMessageHandler current = qInstallMessageHandler(nullptr);
        // Somebody else's handler stacked on top of ours stays in force.
        if (!isMessageHandler(current))
            qInstallMessageHandler(current);
    }
    m_installed = false;
    m_stream.reset();
    m_file.close();
}

QtMessageHandler Logger::setPassOnHandler(QtMessageHandler handler)
{
    const QtMessageHandler previous = g_passOnHandler;
    g_passOnHandler = handler;
    return previous;
}

} // namespace ZCore
