#include "loopbackhttpserver.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace TestSupport {

namespace {

// Larger requests are dropped unanswered.
constexpr int kMaxHeaderBytes = 16 * 1024;
constexpr int kMaxBodyBytes = 1024 * 1024;

QString decodeFormPart(QByteArray part)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(part.replace('+', ' ')));
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
    for (const auto &entry : headers) {
        if (entry.first == name.toLower())
            return entry.second;
    }
    return {};
}

QList<QPair<QString, QString>> LoopbackHttpServer::Request::formFields() const
{
    QList<QPair<QString, QString>> fields;
    for (const QByteArray &pair : body.isEmpty() ? QList<QByteArray>() : body.split('&')) {
        const int equals = pair.contains('=') ? pair.indexOf('=') : pair.size();
        fields.append({decodeFormPart(pair.left(equals)), decodeFormPart(pair.mid(equals + 1))});
    }
    return fields;
}

LoopbackHttpServer::LoopbackHttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            m_connections.insert(socket, Connection());
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_connections.remove(socket);
                socket->deleteLater();
            });
        }
    });
    m_server.listen(QHostAddress::LocalHost, 0);
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    for (auto it = m_connections.keyBegin(); it != m_connections.keyEnd(); ++it)
        (*it)->disconnect(this);
}

QUrl LoopbackHttpServer::url(const QString &path) const
{
    QUrl result(QStringLiteral("http://127.0.0.1"));
    result.setPort(port());
    result.setPath(path);
    return result;
}

void LoopbackHttpServer::onReadyRead(QTcpSocket *socket)
{
    Connection &connection = m_connections[socket];
    connection.buffer += socket->readAll();
    if (connection.bodyLength < 0) {
        const int headEnd = connection.buffer.indexOf("\r\n\r\n");
        if (headEnd < 0 || headEnd > kMaxHeaderBytes) {
            if (connection.buffer.size() > kMaxHeaderBytes)
                socket->abort();
            return;
        }
        const QList<QByteArray> lines = connection.buffer.left(headEnd).split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        Request &request = connection.request;
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (const QByteArray &line : lines.mid(1)) {
            const int colon = line.indexOf(':');
            if (colon > 0)
                request.headers.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
        }
        bool ok = true;
        const QByteArray length = request.header("content-length");
        connection.bodyLength = length.isEmpty() ? 0 : length.toInt(&ok);
        if (requestLine.size() < 2 || !ok || connection.bodyLength < 0 || connection.bodyLength > kMaxBodyBytes) {
            socket->abort();
            return;
        }
        connection.buffer.remove(0, headEnd + 4);
    }
    if (connection.buffer.size() < connection.bodyLength)
        return;
    connection.request.body = connection.buffer.left(connection.bodyLength);
    m_requests.append(connection.request);
    // One request per connection: later bytes are not read.
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    const Response response = m_script.isEmpty() ? m_default : m_script.takeFirst();
    if (response.delayMs <= 0)
        respond(socket, response);
    else
        QTimer::singleShot(response.delayMs, socket, [this, socket, response] { respond(socket, response); });
}

void LoopbackHttpServer::respond(QTcpSocket *socket, const Response &response)
{
    if (response.mode == EMode::Silent)
        return;
    // Clients act on the code; the reason phrase is only for people.
    socket->write("HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\nContent-Length: "
                  + QByteArray::number(response.body.size()) + "\r\nConnection: close\r\n\r\n");
    socket->write(response.mode == EMode::Answer ? response.body : response.body.left(response.cutAfter));
    if (response.mode != EMode::StallBody)
        socket->disconnectFromHost();
}

} // namespace TestSupport
