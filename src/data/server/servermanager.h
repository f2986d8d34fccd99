#pragma once

#include "core/tsingleton.h"
#include "core/tversion.h"
#include "data/server/eservercommands.h"
#include "data/server/tdeviceidentity.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QNetworkAccessManager;

namespace ZData {

// Client of the firmware update server. Each request is one form POST to
// update.php; the result of the last exchange stays readable until the next
// one, and every exchange ends with exactly one signalGotReply.
class ServerManager : public QObject, public ZCore::TSingleton<ServerManager>
{
    Q_OBJECT
    friend class ZCore::TSingleton<ServerManager>;

public:
    using FormFields = QList<QPair<QString, QString>>;
    using IdentitySource = std::function<SM::TDeviceIdentity()>;

    static constexpr int kRequestTimeoutMs = 3000;
    // The device's flash holds a few MiB at most, far below what the 16-bit
    // chunk index of the transfer could address; anything larger is not an
    // image for this device.
    static constexpr qint64 kMaxImageBytes = 4 * 1024 * 1024;
    // Base64 grows the image by a third, line breaks by a few percent more.
    static constexpr qint64 kMaxReplyBytes = 2 * kMaxImageBytes;

    static QString tag();
    static QString scriptName();
    static QString defaultBaseUrl();

    ~ServerManager() override;

    // Accepts an absolute http or https URL; update.php is appended to its
    // path. Refuses anything else and keeps the previous URL.
    bool setBaseUrl(const QString &url);
    QUrl baseUrl() const { return m_baseUrl; }
    QUrl updateUrl() const;

    void setRequestTimeout(int milliseconds);
    int requestTimeout() const { return m_timeoutMs; }

    // Where the requests take the device identifier and type from.
    void setIdentitySource(IdentitySource source);

    // Each returns false, logs and sends nothing while another exchange is
    // still running: its reply would be read as the wrong kind.
    bool requestActualVersion();
    bool requestUpdate();
    bool sendActualVersion(const ZCore::TVersion &version);

    void clearUpdateCache();
    bool isBusy() const { return !m_reply.isNull(); }
    // Aborts the running request without announcing its end: whoever asked
    // no longer waits for it.
    void abandonRequest();

    EServerCommands lastResult() const { return m_result; }
    QString replyText() const { return m_replyText; }
    QByteArray replyData() const { return m_replyData; }

    // Reads the body of a good reply to a request of the given kind, as
    // every reply that arrives whole is read: sets the result, the reply
    // text and, for an image, the decoded data.
    void processReplyBody(EServerCommands requested, const QByteArray &body);

    // name=value pairs joined by '&', every reserved character percent-encoded.
    static QByteArray encodeForm(const FormFields &fields);

signals:
    void signalGotReply();

public slots:
    void slotProcessReply();
    void slotProcessReplyError(QNetworkReply::NetworkError code);

private slots:
    void slotCheckReplySize();

private:
    ServerManager();

    SM::TDeviceIdentity identity() const;
    bool postForm(const QString &function, EServerCommands kind, const FormFields &fields);
    bool hasGoodStatus(QNetworkReply *reply) const;
    void reportOversized();
    void readBody(const QByteArray &body);
    void actOnResult();
    void extractImage();
    void setResult(EServerCommands result) { m_result = result; }

    std::unique_ptr<QNetworkAccessManager> m_network;
    QPointer<QNetworkReply> m_reply;
    QUrl m_baseUrl;
    int m_timeoutMs = kRequestTimeoutMs;
    IdentitySource m_identitySource;
    bool m_oversized = false;

    EServerCommands m_result = EServerCommands::UNDEFINED;
    QString m_replyText;
    QByteArray m_replyData;
};

} // namespace ZData
