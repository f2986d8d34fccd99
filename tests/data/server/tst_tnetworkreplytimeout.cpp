#include "data/server/tnetworkreplytimeout.h"

#include "logcapture.h"
#include "loopbackhttpserver.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using ZData::SM::TNetworkReplyTimeout;
using TestSupport::LoopbackHttpServer;

class TstTNetworkReplyTimeout : public QObject
{
    Q_OBJECT

private slots:
    void finishedReplyIsLeftAlone();
    void expiry_data();
    void expiry();

private:
    QNetworkReply *post(LoopbackHttpServer &server);

    static constexpr int kShortMs = 50;
    static constexpr int kWaitMs = 10000;

    QNetworkAccessManager m_network;
};

QNetworkReply *TstTNetworkReplyTimeout::post(LoopbackHttpServer &server)
{
    QNetworkRequest request(server.url(QStringLiteral("/x")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/plain"));
    return m_network.post(request, QByteArrayLiteral("x"));
}

// A guard dies with the reply it watched; one set on a finished reply never
// fires.
void TstTNetworkReplyTimeout::finishedReplyIsLeftAlone()
{
    QCOMPARE(TNetworkReplyTimeout::set(nullptr, kShortMs, TNetworkReplyTimeout::kMethodAbort), nullptr);
    LoopbackHttpServer server;
    server.setDefaultResponse(LoopbackHttpServer::Response::text("done"));
    std::unique_ptr<QNetworkReply> reply(post(server));
    QPointer<TNetworkReplyTimeout> guard = TNetworkReplyTimeout::set(reply.get(), kWaitMs, TNetworkReplyTimeout::kMethodAbort);
    QVERIFY(guard && guard->isActive());
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    QVERIFY(finished.wait(kWaitMs));
    QTRY_VERIFY(guard.isNull());
    guard = TNetworkReplyTimeout::set(reply.get(), kShortMs, TNetworkReplyTimeout::kMethodAbort);
    QVERIFY(guard && !guard->isActive());
    QCOMPARE(reply->error(), QNetworkReply::NoError);
}

void TstTNetworkReplyTimeout::expiry_data()
{
    QTest::addColumn<qint32>("method");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<QNetworkReply::NetworkError>("error");
    QTest::addColumn<bool>("weird");

    QTest::newRow("abort") << TNetworkReplyTimeout::kMethodAbort << true
                           << QNetworkReply::OperationCanceledError << false;
    QTest::newRow("close") << TNetworkReplyTimeout::kMethodClose << true
                           << QNetworkReply::OperationCanceledError << false;
    QTest::newRow("unknown method") << qint32(7) << false << QNetworkReply::NoError << true;
}

void TstTNetworkReplyTimeout::expiry()
{
    QFETCH(qint32, method);
    QFETCH(bool, ends);
    QFETCH(QNetworkReply::NetworkError, error);
    QFETCH(bool, weird);

    LoopbackHttpServer server;
    LoopbackHttpServer::Response silent;
    silent.mode = LoopbackHttpServer::EMode::Silent;
    server.setDefaultResponse(silent);
    TestSupport::LogCapture log;

    std::unique_ptr<QNetworkReply> reply(post(server));
    TNetworkReplyTimeout *guard = TNetworkReplyTimeout::set(reply.get(), kShortMs, method);
    QVERIFY(guard && guard->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(log.contains(QStringLiteral("TNetworkReplyTimeout >> QNetworkReply timed out")), kWaitMs);
    QTest::qWait(2 * kShortMs);
    QCOMPARE(log.count(QStringLiteral("QNetworkReply timed out")), 1);

    QCOMPARE(reply->isFinished(), ends);
    QCOMPARE(reply->error(), error);
    QCOMPARE(log.contains(QStringLiteral("TNetworkReplyTimeout >> got some weird timeout method: 7")), weird);
    if (!ends)
        reply->abort();
}

QTEST_GUILESS_MAIN(TstTNetworkReplyTimeout)
#include "tst_tnetworkreplytimeout.moc"
