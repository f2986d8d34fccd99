#include "data/server/servermanager.h"

#include "core/enumtext.h"
#include "core/log.h"
#include "data/server/tnetworkreplytimeout.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>

namespace ZData {

namespace {

const QByteArray kOkMarker = QByteArrayLiteral("#ok:");
// "#Error: " with its trailing space; the error number follows it.
constexpr int kErrorMarkerLength = 8;
// The marker's head is searched for the OK marker only within this prefix.
constexpr int kMarkerSearchLength = 8;
// One separator character follows the OK marker.
constexpr int kOkSeparatorLength = 1;
// Two characters precede the Base64 image in an update reply.
constexpr int kImagePrefixLength = 2;
constexpr int kMinImageReplyLength = kImagePrefixLength + 1;
constexpr int kBase64QuantumLength = 4;
constexpr int kHttpSuccessFirst = 200;
constexpr int kHttpSuccessLast = 299;

const QString kFormContentType = QStringLiteral("application/x-www-form-urlencoded");

QByteArray withoutWhitespace(const QByteArray &text)
{
    QByteArray result;
    result.reserve(text.size());
    for (const char c : text) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            result.append(c);
    }
    return result;
}

bool isServerErrorNumber(qint32 number)
{
    // A request kind or "no exchange" in an error reply would be read as
    // success by whoever looks at the result.
    switch (static_cast<EServerCommands>(number)) {
    case EServerCommands::UNDEFINED:
    case EServerCommands::GET_UPDATE:
    case EServerCommands::GET_ACTUAL_VERSION:
    case EServerCommands::SEND_ACTUAL_VERSION:
        return false;
    default:
        return true;
    }
}

} // namespace

ServerManager::ServerManager()
    : m_network(std::make_unique<QNetworkAccessManager>()),
      m_baseUrl(QUrl(defaultBaseUrl(), QUrl::TolerantMode))
{
}

ServerManager::~ServerManager()
{
    // An abort while the members below are gone must not reach our slots.
    if (m_reply)
        m_reply->disconnect(this);
    m_network.reset();
}

QString ServerManager::tag()
{
    static const QString tagText = QStringLiteral("ServerManager");
    return tagText;
}

QString ServerManager::scriptName()
{
    return QStringLiteral("update.php");
}

QString ServerManager::defaultBaseUrl()
{
    return QStringLiteral(MERO_UPDATE_URL);
}

bool ServerManager::setBaseUrl(const QString &url)
{
    const QUrl parsed(url.trimmed(), QUrl::TolerantMode);
    const QString scheme = parsed.scheme().toLower();
    const bool usable = parsed.isValid() && !parsed.isRelative() && !parsed.host().isEmpty()
                        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
    if (!usable) {
        ZCore::Log::warning(tag(), QStringLiteral(">> refused update server URL: %1").arg(url));
        return false;
    }
    m_baseUrl = parsed;
    ZCore::Log::info(tag(), QStringLiteral(">> update server: %1").arg(updateUrl().toString()));
    return true;
}

QUrl ServerManager::updateUrl() const
{
    QUrl url = m_baseUrl;
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path + scriptName());
    return url;
}

void ServerManager::setRequestTimeout(int milliseconds)
{
    m_timeoutMs = milliseconds > 0 ? milliseconds : kRequestTimeoutMs;
}

void ServerManager::setIdentitySource(IdentitySource source)
{
    m_identitySource = std::move(source);
}

SM::TDeviceIdentity ServerManager::identity() const
{
    if (m_identitySource)
        return m_identitySource();
    ZCore::Log::warning(tag(), QStringLiteral(">> no device identity available"));
    return {};
}

bool ServerManager::requestActualVersion()
{
    const QString function = QStringLiteral("ZData::ServerManager::requestActualVersion");
    ZCore::Log::traceDebug(tag(), function);
    const SM::TDeviceIdentity device = identity();
    return postForm(function, EServerCommands::GET_ACTUAL_VERSION,
                    {{QStringLiteral("device_number"), device.id}});
}

bool ServerManager::requestUpdate()
{
    const QString function = QStringLiteral("ZData::ServerManager::requestUpdate");
    ZCore::Log::traceDebug(tag(), function);
    const SM::TDeviceIdentity device = identity();
    return postForm(function, EServerCommands::GET_UPDATE,
                    {{QStringLiteral("device_number"), device.id},
                     {QStringLiteral("device_type"), QString::number(device.deviceType)},
                     {QStringLiteral("program_type"), QStringLiteral("1")},
                     {QStringLiteral("memory_area"), QStringLiteral("0")}});
}

bool ServerManager::sendActualVersion(const ZCore::TVersion &version)
{
    const QString function = QStringLiteral("ZData::ServerManager::sendActualVersion");
    ZCore::Log::traceDebug(tag(), function);
    const SM::TDeviceIdentity device = identity();
    return postForm(function, EServerCommands::SEND_ACTUAL_VERSION,
                    {{QStringLiteral("device_number"), device.id},
                     {QStringLiteral("device_soft_version"), version.toString()}});
}

QByteArray ServerManager::encodeForm(const FormFields &fields)
{
    QByteArray body;
    for (const auto &field : fields) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(field.first) + '=' + QUrl::toPercentEncoding(field.second);
    }
    return body;
}

bool ServerManager::postForm(const QString &function, EServerCommands kind, const FormFields &fields)
{
    if (isBusy()) {
        ZCore::Log::warning(tag(), QStringLiteral(">> %1 refused: a request is still running").arg(function));
        return false;
    }
    m_replyText.clear();
    QNetworkRequest request(updateUrl());
    request.setHeader(QNetworkRequest::ContentTypeHeader, kFormContentType);
    // The endpoint is fixed; a redirect means a misconfigured server, and
    // following it would turn the form POST into a bare GET elsewhere.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    setResult(kind);
    m_oversized = false;

    QNetworkReply *reply = m_network->post(request, encodeForm(fields));
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, &ServerManager::slotProcessReply);
    connect(reply, &QNetworkReply::errorOccurred, this, &ServerManager::slotProcessReplyError);
    connect(reply, &QNetworkReply::metaDataChanged, this, &ServerManager::slotCheckReplySize);
    connect(reply, &QNetworkReply::readyRead, this, &ServerManager::slotCheckReplySize);
    SM::TNetworkReplyTimeout::set(reply, m_timeoutMs, SM::TNetworkReplyTimeout::kMethodAbort);
    return true;
}

void ServerManager::clearUpdateCache()
{
    m_replyData.clear();
    m_replyText.clear();
    ZCore::Log::info(tag(), QStringLiteral(">> cleared update cache"));
}

void ServerManager::abandonRequest()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply.clear();
    // Aborting finishes the reply at once; none of that may reach our slots.
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    ZCore::Log::info(tag(), QStringLiteral(">> abandoned the running request: ") + ZCore::enumText(m_result));
}

void ServerManager::slotCheckReplySize()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply || reply != m_reply || m_oversized)
        return;
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (announced <= kMaxReplyBytes && reply->bytesAvailable() <= kMaxReplyBytes)
        return;
    reportOversized();
    reply->abort();
}

void ServerManager::reportOversized()
{
    ZCore::Log::warning(tag(), QStringLiteral(">> reply is larger than %1 bytes, dropped").arg(kMaxReplyBytes));
    m_oversized = true;
}

void ServerManager::slotProcessReplyError(QNetworkReply::NetworkError code)
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (reply && reply != m_reply)
        return;
    if (reply) {
        ZCore::Log::warning(tag(), QStringLiteral(">> error text: ") + reply->errorString());
    } else {
        ZCore::Log::warning(tag(), QStringLiteral(">> failed to get reply, but qt_error_string says: ")
                                       + qt_error_string(static_cast<int>(code)));
    }
    m_replyData.clear();
    m_replyText.clear();
    // Our own abort of an oversized reply is a failed request, not a timeout.
    const bool timedOut = code == QNetworkReply::OperationCanceledError && !m_oversized;
    setResult(timedOut ? EServerCommands::E_REQUEST_TIMEOUT : EServerCommands::E_LOST_INTERNET_CONNECTION);
}

void ServerManager::slotProcessReply()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (reply && reply != m_reply)
        return;
    if (reply && reply->error() == QNetworkReply::NoError) {
        const bool goodStatus = hasGoodStatus(reply);
        // Read no more than arrived: read(n) reserves n bytes, and the stored
        // reply would keep that capacity long after a short answer.
        const QByteArray body =
            goodStatus ? reply->read(qMin(reply->bytesAvailable(), qint64(kMaxReplyBytes) + 1)) : QByteArray();
        if (!m_oversized && body.size() > kMaxReplyBytes)
            reportOversized();
        // The last bytes may arrive together with the end of the reply, too
        // late for an abort; the reply is dropped all the same.
        if (m_oversized || !goodStatus) {
            m_replyData.clear();
            m_replyText.clear();
            setResult(EServerCommands::E_LOST_INTERNET_CONNECTION);
        } else {
            processReplyBody(m_result, body);
        }
    }
    if (reply) {
        reply->disconnect(this);
        if (reply->isRunning())
            reply->close();
        reply->deleteLater();
    }
    // Cleared before the signal: its receiver may start the next request.
    m_reply.clear();
    emit signalGotReply();
}

bool ServerManager::hasGoodStatus(QNetworkReply *reply) const
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return true;
    const int code = status.toInt();
    if (code >= kHttpSuccessFirst && code <= kHttpSuccessLast)
        return true;
    QString text = QStringLiteral(">> unexpected HTTP status: %1").arg(code);
    const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (!target.isEmpty())
        text += QStringLiteral(", not following redirect to ") + target.toString();
    ZCore::Log::warning(tag(), text);
    return false;
}

void ServerManager::processReplyBody(EServerCommands requested, const QByteArray &body)
{
    setResult(requested);
    readBody(body);
    actOnResult();
}

void ServerManager::readBody(const QByteArray &body)
{
    m_replyData = body;
    if (body.isEmpty())
        return;
    const int okAt = body.left(kMarkerSearchLength).toLower().indexOf(kOkMarker);
    if (okAt >= 0) {
        // Measured from where the marker was found, so bytes before it
        // (a byte-order mark, say) cannot shift the text.
        m_replyText = QString::fromUtf8(body.mid(okAt + kOkMarker.size() + kOkSeparatorLength));
        return;
    }
    m_replyText.clear();
    bool isNumber = false;
    const qint32 number = body.mid(kErrorMarkerLength).trimmed().toInt(&isNumber);
    if (isNumber && !isServerErrorNumber(number)) {
        ZCore::Log::warning(tag(), QStringLiteral(">> server sent error number %1, read as unknown").arg(number));
        setResult(EServerCommands::E_UNKNOWN);
        return;
    }
    setResult(isNumber ? static_cast<EServerCommands>(number) : EServerCommands::E_UNKNOWN);
}

void ServerManager::actOnResult()
{
    const QString errorText = QStringLiteral(">> error text: ") + ZCore::enumText(m_result);
    switch (m_result) {
    case EServerCommands::E_UNKNOWN:
    case EServerCommands::E_SIGNATURE:
    case EServerCommands::E_EMPTY_DATA:
    case EServerCommands::E_UNKOWN_PROGRAM_TYPE:
    case EServerCommands::E_UPDATE_NOT_AVAILABLE:
    case EServerCommands::E_LOST_INTERNET_CONNECTION:
        ZCore::Log::warning(tag(), errorText);
        break;
    case EServerCommands::E_BIN_NOT_FOUND:
        // Not critical: a critical line opens a box, and an exchange nobody
        // asked for (the version report at connection) must not stop the
        // user. Whoever asked for it tells the user.
        ZCore::Log::warning(tag(), QStringLiteral(">> ") + qtTrId("dw_err_update_files_lost"));
        ZCore::Log::warning(tag(), errorText);
        break;
    case EServerCommands::GET_UPDATE:
        extractImage();
        break;
    case EServerCommands::GET_ACTUAL_VERSION:
        if (m_replyText.isEmpty())
            ZCore::Log::warning(tag(), QStringLiteral(">> requestActualVersion: failed to get actual version"));
        else
            ZCore::Log::debug(tag(), QStringLiteral(">> actual version: ") + m_replyText);
        break;
    default:
        ZCore::Log::debug(tag(), QStringLiteral(">> nothing to do with command: ") + ZCore::enumText(m_result));
        break;
    }
}

void ServerManager::extractImage()
{
    // Whoever reads the result flashes the reply data whenever it is not
    // empty, so anything but a whole, valid image must leave it empty.
    // Line breaks and spaces are how Base64 is often wrapped; anything else
    // outside the alphabet means a damaged image.
    const QByteArray encoded = m_replyText.size() < kMinImageReplyLength
                                   ? QByteArray()
                                   : withoutWhitespace(m_replyText.mid(kImagePrefixLength).toUtf8());
    if (encoded.isEmpty()) {
        ZCore::Log::warning(tag(), QStringLiteral("<< requestUpdate: failed to get update files"));
        m_replyData.clear();
        return;
    }
    const auto decoded = QByteArray::fromBase64Encoding(
        encoded, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    // Standard Base64 comes in whole, padded quanta; a lone trailing
    // fragment means the image was cut and would decode short without error.
    if (!decoded || encoded.size() % kBase64QuantumLength != 0) {
        ZCore::Log::warning(tag(), QStringLiteral("<< requestUpdate: firmware image is not valid Base64"));
        m_replyData.clear();
        return;
    }
    if (decoded.decoded.size() > kMaxImageBytes) {
        ZCore::Log::warning(tag(), QStringLiteral("<< requestUpdate: firmware image of %1 bytes exceeds %2")
                                       .arg(decoded.decoded.size()).arg(kMaxImageBytes));
        m_replyData.clear();
        return;
    }
    m_replyData = decoded.decoded;
    ZCore::Log::debug(tag(), QStringLiteral(">> got update of [ %1 ] bytes").arg(m_replyData.size()));
}

} // namespace ZData
