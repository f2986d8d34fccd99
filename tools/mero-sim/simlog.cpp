#include "simlog.h"

#include <QDateTime>

#include <cstdio>

namespace MeroSim {

bool SimLog::open(const QString &filePath, bool quiet)
{
    m_quiet = quiet;
    if (!filePath.isEmpty()) {
        m_file.setFileName(filePath);
        if (m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            m_stream.setDevice(&m_file);
            return true;
        }
    }
    if (!m_file.open(stderr, QIODevice::WriteOnly | QIODevice::Text))
        return false;
    m_stream.setDevice(&m_file);
    return filePath.isEmpty();
}

void SimLog::info(const QString &text)
{
    write(QStringLiteral("info"), text);
}

void SimLog::warning(const QString &text)
{
    write(QStringLiteral("warn"), text);
}

QString SimLog::hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

void SimLog::write(const QString &level, const QString &text)
{
    if (m_quiet || !m_stream.device())
        return;
    m_stream << QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")) << ' '
             << level << " mero-sim " << text << '\n';
    m_stream.flush();
}

} // namespace MeroSim
