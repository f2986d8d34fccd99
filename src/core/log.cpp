#include "core/log.h"

#include "core/logger.h"
#include "core/userdialogs.h"

namespace ZCore::Log {

namespace {

constexpr int kFatalExitCode = 1;

QtMessageHandler currentHandler()
{
    // Qt offers no getter; swapping twice on the one GUI thread is harmless.
    const QtMessageHandler handler = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(handler);
    return handler;
}

// Lines go straight to the installed handler rather than through
// QMessageLogger: Qt sends messages raised while its handler is running (for
// instance from the nested event loop of a modal "Critical error" box) to
// stderr only, and they would be missing from the log file.
void deliver(QtMsgType type, const QString &line)
{
    currentHandler()(type, QMessageLogContext(), line);
}

} // namespace

QString message(const QString &tag, const QString &text)
{
    return tag + QLatin1Char(' ') + text;
}

QString trace(const QString &tag, const QString &function)
{
    return tag + QStringLiteral(" >> ") + function + QStringLiteral("..");
}

void debug(const QString &tag, const QString &text) { deliver(QtDebugMsg, message(tag, text)); }
void info(const QString &tag, const QString &text) { deliver(QtInfoMsg, message(tag, text)); }
void warning(const QString &tag, const QString &text) { deliver(QtWarningMsg, message(tag, text)); }
void critical(const QString &tag, const QString &text) { deliver(QtCriticalMsg, message(tag, text)); }

void fatal(const QString &tag, const QString &text)
{
    // qFatal() would abort as soon as the handler returns, which leaves no
    // room for the exit code the user expects, nor for tests of this path.
    // Handlers themselves never abort, so the line is delivered like any other.
    const QtMessageHandler handler = currentHandler();
    handler(QtFatalMsg, QMessageLogContext(), message(tag, text));
    // The Logger shows the box and ends the run itself; without it nobody would.
    if (!Logger::isMessageHandler(handler))
        UserDialogs::exitApplication(kFatalExitCode);
}

void traceDebug(const QString &tag, const QString &function) { deliver(QtDebugMsg, trace(tag, function)); }
void traceInfo(const QString &tag, const QString &function) { deliver(QtInfoMsg, trace(tag, function)); }
void traceWarning(const QString &tag, const QString &function) { deliver(QtWarningMsg, trace(tag, function)); }

} // namespace ZCore::Log
