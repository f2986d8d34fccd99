#include "loopbackhttpserver.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace TestSupport {

namespace {

const QByteArray kHeadEnd = QByteArrayLiteral("\r\n\r\n");
const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

QString decodeFormPart(QByteArray part)
{
    part.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(part));
}

} // namespace

LoopbackHttpServer::Response LoopbackHttpServer::Response::text(const QByteArray &body, int status)
{
    Response response;
    response.status = status;
    response.body = body;
    return response;
}

QByteArray LoopbackHttpServer::Request::header(const QByteArray &name) const
{
    const QByteArray wanted = name.toLower();
    for (const auto &entry : headers) {
        if (entry.first == wanted)
            return entry.second;
    }
    return {};
}

QList<QPair<QString, QString>> LoopbackHttpServer::Request::formFields() const
{
    QList<QPair<QString, QString>> fields;
    if (body.isEmpty())
        return fields;
    for (const QByteArray &pair : body.split('&')) {
        const int equals = pair.indexOf('=');
        if (equals < 0)
            fields.append({decodeFormPart(pair), QString()});
        else
            fields.append({decodeFormPart(pair.left(equals)), decodeFormPart(pair.mid(equals + 1))});
    }
    return fields;
}

LoopbackHttpServer::LoopbackHttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::onNewConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    for (auto it = m_connections.keyBegin(); it != m_connections.keyEnd(); ++it)
        (*it)->disconnect(this);
}

QUrl LoopbackHttpServer::url(const QString &path) const
{
    QUrl result;
    result.setScheme(QStringLiteral("http"));
    result.setHost(QHostAddress(QHostAddress::LocalHost).toString());
    result.setPort(port());
    result.setPath(path);
    return result;
}

quint16 LoopbackHttpServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void LoopbackHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_connections.insert(socket, Connection());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_connections.remove(socket);
            socket->deleteLater();
        });
    }
}

void LoopbackHttpServer::onReadyRead(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    Connection &connection = it.value();
    connection.buffer += socket->readAll();
    if (!connection.headParsed && !parseHead(connection)) {
        if (connection.buffer.size() > kMaxHeaderBytes || connection.bodyLength < 0)
            socket->abort();
        return;
    }
    if (connection.bodyLength > kMaxBodyBytes) {
        socket->abort();
        return;
    }
    if (connection.buffer.size() < connection.bodyLength)
        return;
    connection.request.body = connection.buffer.left(connection.bodyLength);
    m_requests.append(connection.request);
    // One request per connection: later bytes are not read.
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    dispatch(socket, m_script.isEmpty() ? m_default : m_script.takeFirst());
}

bool LoopbackHttpServer::parseHead(Connection &connection)
{
    const int headEnd = connection.buffer.indexOf(kHeadEnd);
    if (headEnd < 0 || headEnd > kMaxHeaderBytes)
        return false;
    const QList<QByteArray> lines = connection.buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() < 2) {
        connection.bodyLength = -1;
        return false;
    }
    connection.request.method = requestLine.at(0);
    connection.request.target = requestLine.at(1);
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0)
            connection.request.headers.append({lines.at(i).left(colon).trimmed().toLower(),
                                               lines.at(i).mid(colon + 1).trimmed()});
    }
    bool ok = true;
    const QByteArray length = connection.request.header("content-length");
    connection.bodyLength = length.isEmpty() ? 0 : length.toInt(&ok);
    if (!ok)
        connection.bodyLength = -1;
    connection.buffer.remove(0, headEnd + kHeadEnd.size());
    connection.headParsed = ok;
    return ok;
}

void LoopbackHttpServer::dispatch(QTcpSocket *socket, const Response &response)
{
    if (response.delayMs <= 0) {
        respond(socket, response);
        return;
    }
    QTimer::singleShot(response.delayMs, socket, [this, socket, response] { respond(socket, response); });
}

void LoopbackHttpServer::respond(QTcpSocket *socket, const Response &response)
{
    if (response.mode == EMode::Silent)
        return;
    if (response.mode != EMode::Close) {
        // Clients act on the code; the reason phrase is only for people.
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status" + kLineEnd;
        if (response.mode != EMode::AnswerWithoutLength)
            head += "Content-Length: " + QByteArray::number(response.body.size()) + kLineEnd;
        head += "Connection: close" + kLineEnd;
        for (const auto &header : response.headers)
            head += header.first + ": " + header.second + kLineEnd;
        socket->write(head + kLineEnd);
        const bool cut = response.mode == EMode::CutBody || response.mode == EMode::StallBody;
        socket->write(cut ? response.body.left(response.cutAfter) : response.body);
    }
    if (response.mode != EMode::StallBody)
        socket->disconnectFromHost();
}

} // namespace TestSupport
