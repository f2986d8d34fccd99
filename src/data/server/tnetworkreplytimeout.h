#pragma once

#include "core/itaggable.h"

#include <QObject>
#include <QTimer>

class QNetworkReply;

namespace ZData::SM {

// Gives one network reply a time limit. Lives as a child of the reply it
// guards, so it never outlives it.
class TNetworkReplyTimeout : public QObject, public ZCore::ITaggable
{
    Q_OBJECT

public:
    static constexpr qint32 kMethodAbort = 0;
    static constexpr qint32 kMethodClose = 1;

    // Returns the guard, or null when there is no reply to guard.
    static TNetworkReplyTimeout *set(QNetworkReply *reply, int milliseconds, qint32 method);

    ~TNetworkReplyTimeout() override;

    QString tag() const override;
    qint32 method() const { return m_method; }
    bool isActive() const { return m_timer.isActive(); }

public slots:
    void slotTimeout();

private:
    TNetworkReplyTimeout(QNetworkReply *reply, qint32 method);

    QTimer m_timer;
    qint32 m_method = kMethodAbort;
};

} // namespace ZData::SM
