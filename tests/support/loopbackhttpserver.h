#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

namespace TestSupport {

// A scripted HTTP/1.1 responder on 127.0.0.1 and a free port. Every request
// it reads completely is recorded and answered with the next scripted
// response (or the default one when the script is used up); one request per
// connection, the connection closes after the answer.
class LoopbackHttpServer : public QObject
{
    Q_OBJECT

public:
    enum class EMode : quint8 {
        Answer,    // status line, headers and the whole body
        CutBody,   // announce the whole body, send cutAfter bytes of it, close
        StallBody, // announce the whole body, send cutAfter bytes of it, stay open
        Silent,    // keep the connection open and never answer
    };

    struct Response
    {
        int status = 200;
        QByteArray body;
        int delayMs = 0;
        EMode mode = EMode::Answer;
        int cutAfter = 0;

        static Response text(const QByteArray &body, int status = 200);
    };

    struct Request
    {
        QByteArray method;
        QByteArray target;
        // Header names in lower case, in the order received.
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;

        QByteArray header(const QByteArray &name) const;
        // application/x-www-form-urlencoded decoding: '+' is a space.
        QList<QPair<QString, QString>> formFields() const;
    };

    explicit LoopbackHttpServer(QObject *parent = nullptr);
    ~LoopbackHttpServer() override;

    quint16 port() const { return m_server.serverPort(); }
    QUrl url(const QString &path = QString()) const;

    void enqueue(const Response &response) { m_script.append(response); }
    void setDefaultResponse(const Response &response) { m_default = response; }

    const QList<Request> &requests() const { return m_requests; }

private:
    struct Connection
    {
        QByteArray buffer;
        int bodyLength = -1; // known once the head is read
        Request request;
    };

    void onReadyRead(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const Response &response);

    QTcpServer m_server;
    QHash<QTcpSocket *, Connection> m_connections;
    QList<Response> m_script;
    Response m_default;
    QList<Request> m_requests;
};

} // namespace TestSupport
