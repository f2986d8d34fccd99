#pragma once

#include "firmwareimage.h"
#include "simlog.h"
#include "simoptions.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

namespace MeroSim {

// The manufacturer's firmware update server, as far as the application
// sees it: form POSTs to /android/update.php on 127.0.0.1, answered with the
// newest version, a firmware image in Base64, or a configured error code.
class UpdateServer : public QObject
{
    Q_OBJECT

public:
    using FormFields = QList<QPair<QString, QString>>;

    static constexpr int kMaxHeaderBytes = 16 * 1024;
    static constexpr int kMaxBodyBytes = 64 * 1024;
    // Server error codes the client knows.
    static constexpr int kEmptyData = 2;
    static constexpr int kUnknownProgramType = 3;

    explicit UpdateServer(const Options &options, QObject *parent = nullptr);

    bool listen();
    QString lastError() const { return m_server.errorString(); }
    quint16 port() const { return m_server.serverPort(); }
    // What the application takes as its update server URL.
    QUrl baseUrl() const;
    static QString scriptPath();

    void setNewestVersion(const FirmwareImage::Version &version);
    void setError(int code) { m_options.serverError = code; }
    void setImageSize(int bytes);
    // The image served to GET_UPDATE requests.
    QByteArray image() const { return m_image; }

    int requestCount() const { return m_requests.size(); }
    const QList<FormFields> &requests() const { return m_requests; }

signals:
    void requestServed(const MeroSim::UpdateServer::FormFields &fields, const QByteArray &replyBody);

private:
    void accept();
    void readFrom(QTcpSocket *socket);
    void respond(QTcpSocket *socket, int status, const QByteArray &body);
    QByteArray answer(const FormFields &fields);
    void rebuildImage();

    Options m_options;
    SimLog m_log;
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QByteArray m_image;
    QList<FormFields> m_requests;
};

} // namespace MeroSim
