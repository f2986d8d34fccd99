#pragma once

#include <QFile>
#include <QString>
#include <QTextStream>

namespace MeroSim {

// The simulator's own log: time-stamped lines to standard error or a file,
// nothing at all in quiet mode. Kept apart from the application's logger so
// the simulator stays a separate program.
class SimLog
{
public:
    SimLog() = default;
    SimLog(const SimLog &) = delete;
    SimLog &operator=(const SimLog &) = delete;

    // Returns false (and keeps logging to standard error) when the file cannot be opened.
    bool open(const QString &filePath, bool quiet);

    void info(const QString &text);
    void warning(const QString &text);

    static QString hex(const QByteArray &bytes);

private:
    void write(const QString &level, const QString &text);

    QFile m_file;
    QTextStream m_stream;
    bool m_quiet = false;
};

} // namespace MeroSim
