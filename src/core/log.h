#pragma once

#include <QString>

// The two shapes of every diagnostic line. Callers never assemble a line by
// hand, so the log stays greppable by tag and by arrow.
namespace ZCore::Log {

// "<tag> <text>"; the text carries its own ">> ", "<< " or "<== " lead-in.
QString message(const QString &tag, const QString &text);
// "<tag> >> <function>.."
QString trace(const QString &tag, const QString &function);

void debug(const QString &tag, const QString &text);
void info(const QString &tag, const QString &text);
void warning(const QString &tag, const QString &text);
void critical(const QString &tag, const QString &text);
// Ends the process after the "Fatal error" box, through the dialog seam.
void fatal(const QString &tag, const QString &text);

void traceDebug(const QString &tag, const QString &function);
void traceInfo(const QString &tag, const QString &function);
void traceWarning(const QString &tag, const QString &function);

} // namespace ZCore::Log
