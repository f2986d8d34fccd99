#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace TestSupport {

// Captures every Qt message (debug included) while alive, instead of
// printing it, and restores the previous handler afterwards.
class LogCapture
{
public:
    struct Entry
    {
        QtMsgType type;
        QString text;
    };

    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    const QList<Entry> &entries() const { return m_entries; }
    QStringList lines() const;
    QStringList lines(QtMsgType type) const;
    bool contains(const QString &fragment) const;
    int count(const QString &fragment) const;
    void clear() { m_entries.clear(); }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text);

    QList<Entry> m_entries;
    QtMessageHandler m_previous = nullptr;
    LogCapture *m_outer = nullptr;
};

} // namespace TestSupport
