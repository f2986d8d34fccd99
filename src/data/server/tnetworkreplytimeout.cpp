#include "data/server/tnetworkreplytimeout.h"

#include "core/log.h"

#include <QNetworkReply>

namespace ZData::SM {

TNetworkReplyTimeout::TNetworkReplyTimeout(QNetworkReply *reply, qint32 method)
    : QObject(reply), m_method(method)
{
    m_timer.setSingleShot(true);
}

TNetworkReplyTimeout::~TNetworkReplyTimeout()
{
    if (m_timer.isActive()) {
        m_timer.stop();
        m_timer.disconnect();
    }
}

TNetworkReplyTimeout *TNetworkReplyTimeout::set(QNetworkReply *reply, int milliseconds, qint32 method)
{
    // Without a reply there is no parent to own the guard.
    if (!reply)
        return nullptr;
    auto *guard = new TNetworkReplyTimeout(reply, method);
    if (!reply->isRunning())
        return guard;
    connect(&guard->m_timer, &QTimer::timeout, guard, &TNetworkReplyTimeout::slotTimeout);
    guard->m_timer.start(milliseconds);
    connect(reply, &QNetworkReply::finished, guard, &QObject::deleteLater);
    return guard;
}

QString TNetworkReplyTimeout::tag() const
{
    return QStringLiteral("TNetworkReplyTimeout");
}

void TNetworkReplyTimeout::slotTimeout()
{
    auto *reply = qobject_cast<QNetworkReply *>(parent());
    if (!reply || !reply->isRunning())
        return;
    switch (m_method) {
    case kMethodAbort:
        reply->abort();
        break;
    case kMethodClose:
        reply->close();
        break;
    default:
        ZCore::Log::warning(tag(), QStringLiteral(">> got some weird timeout method: %1").arg(m_method));
        break;
    }
    ZCore::Log::warning(tag(), QStringLiteral(">> QNetworkReply timed out"));
}

} // namespace ZData::SM
