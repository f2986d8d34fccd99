#include "logcapture.h"

namespace TestSupport {

namespace {
LogCapture *g_active = nullptr;
}

LogCapture::LogCapture()
    : m_outer(g_active)
{
    g_active = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    g_active = m_outer;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (g_active)
        g_active->m_entries.append({type, text});
}

QStringList LogCapture::lines() const
{
    QStringList result;
    for (const Entry &entry : m_entries)
        result << entry.text;
    return result;
}

QStringList LogCapture::lines(QtMsgType type) const
{
    QStringList result;
    for (const Entry &entry : m_entries) {
        if (entry.type == type)
            result << entry.text;
    }
    return result;
}

bool LogCapture::contains(const QString &fragment) const
{
    return count(fragment) > 0;
}

int LogCapture::count(const QString &fragment) const
{
    return lines().filter(fragment).size();
}

} // namespace TestSupport
