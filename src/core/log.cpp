#include "core/log.h"

#include "core/logger.h"
#include "core/userdialogs.h"

#include <QMessageLogger>

#include <cstdio>

namespace ZCore::Log {

namespace {

void emitLine(QtMsgType type, const QString &line)
{
    QMessageLogger logger;
    const QByteArray bytes = line.toUtf8();
    switch (type) {
    case QtDebugMsg:
        logger.debug("%s", bytes.constData());
        break;
    case QtInfoMsg:
        logger.info("%s", bytes.constData());
        break;
    case QtWarningMsg:
        logger.warning("%s", bytes.constData());
        break;
    case QtCriticalMsg:
    case QtFatalMsg:
        logger.critical("%s", bytes.constData());
        break;
    }
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

void debug(const QString &tag, const QString &text) { emitLine(QtDebugMsg, message(tag, text)); }
void info(const QString &tag, const QString &text) { emitLine(QtInfoMsg, message(tag, text)); }
void warning(const QString &tag, const QString &text) { emitLine(QtWarningMsg, message(tag, text)); }
void critical(const QString &tag, const QString &text) { emitLine(QtCriticalMsg, message(tag, text)); }

void fatal(const QString &tag, const QString &text)
{
    const QString line = message(tag, text);
    // qFatal() would abort as soon as the handler returns, which leaves no
    // room for the exit code the user expects, nor for tests of this path.
    if (Logger::isInstalled()) {
        Logger::handleMessage(QtFatalMsg, QMessageLogContext(), line);
        return;
    }
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
    UserDialogs::exitApplication(1);
}

void traceDebug(const QString &tag, const QString &function) { emitLine(QtDebugMsg, trace(tag, function)); }
void traceInfo(const QString &tag, const QString &function) { emitLine(QtInfoMsg, trace(tag, function)); }
void traceWarning(const QString &tag, const QString &function) { emitLine(QtWarningMsg, trace(tag, function)); }

} // namespace ZCore::Log
