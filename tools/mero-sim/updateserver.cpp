#include "updateserver.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QUrlQuery>

namespace MeroSim {

namespace {

const QByteArray kHeaderEnd("\r\n\r\n");
const QByteArray kLineEnd("\r\n");
const QByteArray kContentLength("content-length");
const QByteArray kOk("#OK: ");
const QByteArray kError("#Error: ");
// The client drops two characters between the marker's separator and the
// Base64 image; the real server puts a format tag there.
const QByteArray kImageTag("00");
const QByteArray kVersionStored("stored");
constexpr int kHttpOk = 200;
constexpr int kHttpBadRequest = 400;
constexpr int kHttpNotFound = 404;
constexpr int kHttpMethodNotAllowed = 405;
constexpr int kHttpTooLarge = 413;
constexpr int kHttpHeadersTooLarge = 431;
constexpr quint64 kImageSeed = 0x4D45524FULL;

QString reasonPhrase(int status)
{
    switch (status) {
    case kHttpOk: return QStringLiteral("OK");
    case kHttpBadRequest: return QStringLiteral("Bad Request");
    case kHttpNotFound: return QStringLiteral("Not Found");
    case kHttpMethodNotAllowed: return QStringLiteral("Method Not Allowed");
    case kHttpTooLarge: return QStringLiteral("Payload Too Large");
    default: return QStringLiteral("Request Header Fields Too Large");
    }
}

QString versionText(const FirmwareImage::Version &version)
{
    return QStringLiteral("%1.%2.%3").arg(version[0]).arg(version[1]).arg(version[2]);
}

UpdateServer::FormFields decodeForm(QByteArray body)
{
    // In a form body '+' is a space; QUrlQuery would keep it.
    body.replace('+', ' ');
    UpdateServer::FormFields fields;
    for (const auto &item : QUrlQuery(QString::fromUtf8(body)).queryItems(QUrl::FullyDecoded))
        fields.append({item.first, item.second});
    return fields;
}

QString field(const UpdateServer::FormFields &fields, const QString &name, bool *present = nullptr)
{
    for (const auto &item : fields) {
        if (item.first == name) {
            if (present)
                *present = true;
            return item.second;
        }
    }
    if (present)
        *present = false;
    return QString();
}

} // namespace

UpdateServer::UpdateServer(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
    if (!m_log.open(m_options.logFile, m_options.quiet))
        m_log.warning(QStringLiteral("!! cannot open log file %1; logging to standard error").arg(m_options.logFile));
    rebuildImage();
    connect(&m_server, &QTcpServer::newConnection, this, &UpdateServer::accept);
}

QString UpdateServer::scriptPath()
{
    return QStringLiteral("/android/update.php");
}

bool UpdateServer::listen()
{
    // Loopback only: the simulated server is for this machine's tests.
    if (!m_server.listen(QHostAddress::LocalHost, m_options.updateServerPort)) {
        m_log.warning(QStringLiteral("!! update server cannot listen: %1").arg(m_server.errorString()));
        return false;
    }
    m_log.info(QStringLiteral(">> update server at %1 (newest %2, image %3 bytes%4)")
                   .arg(baseUrl().toString(), versionText(m_options.serverVersion))
                   .arg(m_image.size())
                   .arg(m_options.serverError == Options::kNoServerError
                            ? QString()
                            : QStringLiteral(", answering #Error: %1").arg(m_options.serverError)));
    return true;
}

QUrl UpdateServer::baseUrl() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QHostAddress(QHostAddress::LocalHost).toString());
    url.setPort(m_server.serverPort());
    url.setPath(QStringLiteral("/android/"));
    return url;
}

void UpdateServer::setNewestVersion(const FirmwareImage::Version &version)
{
    m_options.serverVersion = version;
    rebuildImage();
}

void UpdateServer::setImageSize(int bytes)
{
    m_options.serverImageSize = bytes;
    rebuildImage();
}

void UpdateServer::rebuildImage()
{
    m_image = FirmwareImage::build(m_options.serverVersion, m_options.serverImageSize, kImageSeed);
}

void UpdateServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        m_pending.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
    }
}

void UpdateServer::readFrom(QTcpSocket *socket)
{
    if (!m_pending.contains(socket))
        return;
    QByteArray &buffer = m_pending[socket];
    buffer += socket->readAll();
    const int headerEnd = buffer.indexOf(kHeaderEnd);
    if (headerEnd < 0) {
        if (buffer.size() > kMaxHeaderBytes)
            respond(socket, kHttpHeadersTooLarge, QByteArray());
        return;
    }
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    qint64 length = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0 && lines[i].left(colon).trimmed().toLower() == kContentLength) {
            bool ok = false;
            length = lines[i].mid(colon + 1).trimmed().toLongLong(&ok);
            if (!ok || length < 0)
                return respond(socket, kHttpBadRequest, QByteArray());
        }
    }
    if (requestLine.size() != 3)
        return respond(socket, kHttpBadRequest, QByteArray());
    if (length > kMaxBodyBytes)
        return respond(socket, kHttpTooLarge, QByteArray());
    const int bodyStart = headerEnd + kHeaderEnd.size();
    if (buffer.size() - bodyStart < length)
        return;

    const QByteArray method = requestLine[0];
    const QString path = QUrl(QString::fromUtf8(requestLine[1])).path();
    if (path != scriptPath())
        return respond(socket, kHttpNotFound, QByteArray());
    if (method != "POST")
        return respond(socket, kHttpMethodNotAllowed, QByteArray());

    const FormFields fields = decodeForm(buffer.mid(bodyStart, int(length)));
    m_requests.append(fields);
    const QByteArray body = answer(fields);
    respond(socket, kHttpOk, body);
    emit requestServed(fields, body);
}

QByteArray UpdateServer::answer(const FormFields &fields)
{
    QStringList names;
    for (const auto &item : fields)
        names << item.first;
    m_log.info(QStringLiteral("<< update.php { %1 }").arg(names.join(QStringLiteral(", "))));
    if (m_options.serverError != Options::kNoServerError)
        return kError + QByteArray::number(m_options.serverError);

    bool hasVersion = false;
    bool hasProgram = false;
    const QString device = field(fields, QStringLiteral("device_number"));
    field(fields, QStringLiteral("device_soft_version"), &hasVersion);
    const QString program = field(fields, QStringLiteral("program_type"), &hasProgram);
    if (device.isEmpty())
        return kError + QByteArray::number(kEmptyData);
    if (hasVersion)
        return kOk + kVersionStored;
    if (hasProgram) {
        if (program != QLatin1String("1"))
            return kError + QByteArray::number(kUnknownProgramType);
        return kOk + kImageTag + m_image.toBase64();
    }
    return kOk + versionText(m_options.serverVersion).toUtf8();
}

void UpdateServer::respond(QTcpSocket *socket, int status, const QByteArray &body)
{
    m_pending.remove(socket);
    if (status != kHttpOk)
        m_log.warning(QStringLiteral("!! update server answers HTTP %1").arg(status));
    QByteArray head = QStringLiteral("HTTP/1.1 %1 %2").arg(status).arg(reasonPhrase(status)).toLatin1() + kLineEnd;
    head += "Content-Type: text/plain; charset=utf-8" + kLineEnd;
    head += "Content-Length: " + QByteArray::number(body.size()) + kLineEnd;
    head += "Connection: close" + kLineEnd + kLineEnd;
    socket->write(head + body);
    // Closes once everything written has left.
    socket->disconnectFromHost();
}

} // namespace MeroSim
