#include "data/server/servermanager.h"

#include "logcapture.h"
#include "loopbackhttpserver.h"
#include "recordingdialogs.h"

#include <QSignalSpy>
#include <QtTest>

using ZData::EServerCommands;
using ZData::ServerManager;
using TestSupport::LoopbackHttpServer;
using Response = LoopbackHttpServer::Response;

Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

namespace {

enum class ERequest : quint8 { ActualVersion, Update, SendVersion };

const ZCore::TVersion kDeviceVersion(1, 15, 823);
constexpr int kWaitMs = 15000;
// Short enough to keep the suite quick, long enough for a loaded machine to
// answer a loopback request that is meant to succeed.
constexpr int kShortTimeoutMs = 300;

QByteArray sampleImage(int size)
{
    QByteArray image(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return image;
}

} // namespace

Q_DECLARE_METATYPE(ERequest)

class TstServerManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void replyParsing_data();
    void replyParsing();
    void formFields();
    void requestsInTurn();

private:
    static ServerManager &manager() { return ServerManager::instance(); }
    // Runs one exchange to its signal; false if the signal did not come once.
    bool exchange(ERequest request);

    TestSupport::RecordingDialogs m_dialogs;
    std::unique_ptr<LoopbackHttpServer> m_server;
    ZData::SM::TDeviceIdentity m_identity;
};

void TstServerManager::init()
{
    m_identity = {QStringLiteral("0123ABCD"), 22};
    manager().setIdentitySource([this] { return m_identity; });
    manager().setRequestTimeout(ServerManager::kRequestTimeoutMs);
    m_server = std::make_unique<LoopbackHttpServer>();
    QVERIFY(manager().setBaseUrl(m_server->url(QStringLiteral("/android")).toString()));
}

void TstServerManager::cleanup()
{
    QVERIFY(!manager().isBusy());
}

bool TstServerManager::exchange(ERequest request)
{
    QSignalSpy spy(&manager(), &ServerManager::signalGotReply);
    const bool started = request == ERequest::ActualVersion ? manager().requestActualVersion()
                       : request == ERequest::Update        ? manager().requestUpdate()
                                                            : manager().sendActualVersion(kDeviceVersion);
    if (!started || !spy.wait(kWaitMs))
        return false;
    // A second emission for the same exchange would come from the same or
    // the next turn of the event loop.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return spy.count() == 1;
}

void TstServerManager::replyParsing_data()
{
    QTest::addColumn<ERequest>("request");
    QTest::addColumn<Response>("response");
    QTest::addColumn<EServerCommands>("result");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("data");
    const QByteArray image = sampleImage(1000);
    const QByteArray base64 = image.toBase64();
    const QByteArray bad = "xx" + base64.left(40) + "*" + base64.mid(40);
    QTest::newRow("version after byte-order mark") << ERequest::ActualVersion << Response::text(QByteArray("\xEF\xBB\xBF#ok: 2.0.1")) << EServerCommands::GET_ACTUAL_VERSION << "2.0.1" << QByteArray("\xEF\xBB\xBF#ok: 2.0.1");
    QTest::newRow("error with line end") << ERequest::Update << Response::text(QByteArray("#Error: 6\r\n")) << EServerCommands::E_BIN_NOT_FOUND << "" << QByteArray("#Error: 6\r\n");
    QTest::newRow("page without marker") << ERequest::ActualVersion << Response::text(QByteArray("<html>down</html>")) << EServerCommands::E_UNKNOWN << "" << QByteArray("<html>down</html>");
    const QByteArray wrapped = "xx" + base64.left(76) + "\r\n" + base64.mid(76) + "\r\n";
    QTest::newRow("image, wrapped lines") << ERequest::Update << Response::text("#OK:\n" + wrapped) << EServerCommands::GET_UPDATE << QString::fromLatin1(wrapped) << image;
    const QByteArray largest = sampleImage(ServerManager::kMaxImageBytes);
    QTest::newRow("largest image") << ERequest::Update << Response::text("#OK: xx" + largest.toBase64()) << EServerCommands::GET_UPDATE << QString::fromLatin1("xx" + largest.toBase64()) << largest;
    const QByteArray tooLarge = "xx" + sampleImage(ServerManager::kMaxImageBytes + 1).toBase64();
    QTest::newRow("image one byte too large") << ERequest::Update << Response::text("#OK: " + tooLarge) << EServerCommands::GET_UPDATE << QString::fromLatin1(tooLarge) << QByteArray();
    QTest::newRow("image, bad character") << ERequest::Update << Response::text("#OK: " + bad) << EServerCommands::GET_UPDATE << QString::fromLatin1(bad) << QByteArray();
    QTest::newRow("image, cut inside a quantum") << ERequest::Update << Response::text("#OK: xx" + base64.left(41)) << EServerCommands::GET_UPDATE << QString::fromLatin1("xx" + base64.left(41)) << QByteArray();
    Response cut = Response::text("#OK: 1.2.3 and a good deal more that never arrives");
    cut.mode = LoopbackHttpServer::EMode::CutBody;
    cut.cutAfter = 10;
    // Only the head arrives: a client that waited for the body would time
    // out instead of refusing the announced size at once.
    Response announcedTooBig = Response::text(QByteArray(ServerManager::kMaxReplyBytes + 1, 'A'));
    announcedTooBig.mode = LoopbackHttpServer::EMode::StallBody;
    announcedTooBig.cutAfter = 10;
    // A refused connection is the update page's "server unreachable".
    const EServerCommands lost = EServerCommands::E_LOST_INTERNET_CONNECTION;
    QTest::newRow("body cut short") << ERequest::ActualVersion << cut << lost << QString() << QByteArray();
    QTest::newRow("announced too big") << ERequest::ActualVersion << announcedTooBig << lost << QString() << QByteArray();
}

void TstServerManager::replyParsing()
{
    QFETCH(ERequest, request);
    QFETCH(Response, response);
    QFETCH(EServerCommands, result);
    QFETCH(QString, text);
    QFETCH(QByteArray, data);
    // A good exchange first: a failure must not leave its text or data behind.
    m_server->enqueue(Response::text("#OK: 1.2.3"));
    QVERIFY(exchange(ERequest::ActualVersion));
    // Default rather than queued: the network layer resends a request once
    // when the connection closes before any answer.
    m_server->setDefaultResponse(response);
    TestSupport::LogCapture log;
    QVERIFY(exchange(request));
    QCOMPARE(manager().lastResult(), result);
    QCOMPARE(manager().replyText(), text);
    QCOMPARE(manager().replyData(), data);
    // The stored reply must not keep room for the largest one allowed.
    QVERIFY(manager().replyData().capacity() <= 2 * response.body.size() + 64);
}

void TstServerManager::formFields()
{
    m_server->setDefaultResponse(Response::text("#OK: 1.2.3"));
    m_identity.id = QStringLiteral("a b+c&d=e/%f\u00e9");
    TestSupport::LogCapture log;
    QVERIFY(manager().setBaseUrl("  " + m_server->url(QStringLiteral("/android/")).toString() + "  "));
    QVERIFY(!manager().setBaseUrl(QStringLiteral("ftp://127.0.0.1/android")));
    QVERIFY(exchange(ERequest::Update));
    QVERIFY(exchange(ERequest::SendVersion));
    QCOMPARE(m_server->requests().size(), 2);
    const LoopbackHttpServer::Request &update = m_server->requests().first();
    QCOMPARE(update.method + ' ' + update.target, QByteArray("POST /android/update.php"));
    QCOMPARE(update.header("content-type"), QByteArray("application/x-www-form-urlencoded"));
    const QByteArray id = "device_number=a%20b%2Bc%26d%3De%2F%25f%C3%A9";
    QCOMPARE(update.body, id + "&device_type=22&program_type=1&memory_area=0");
    QCOMPARE(m_server->requests().last().body, id + "&device_soft_version=1.15.823");
}

// A request that timed out ignores its late answer; a second request while
// one runs is refused, yet the receiver of a reply may start the next one.
void TstServerManager::requestsInTurn()
{
    Response late = Response::text("#OK: 1.2.3");
    late.delayMs = 3 * kShortTimeoutMs;
    Response slow = Response::text("#OK: 4.5.6");
    slow.delayMs = kShortTimeoutMs;
    for (const Response &response : {late, slow, Response::text("#OK: stored")})
        m_server->enqueue(response);
    manager().setRequestTimeout(kShortTimeoutMs);
    TestSupport::LogCapture log;
    QVERIFY(exchange(ERequest::ActualVersion));
    QCOMPARE(manager().lastResult(), EServerCommands::E_REQUEST_TIMEOUT);
    QCOMPARE(log.count(QStringLiteral("TNetworkReplyTimeout >> QNetworkReply timed out")), 1);
    // Give the late answer every chance to arrive before looking again.
    QTest::qWait(2 * late.delayMs);
    QCOMPARE(manager().replyText(), QString());

    manager().setRequestTimeout(ServerManager::kRequestTimeoutMs);
    QStringList texts;
    const QMetaObject::Connection chain = connect(&manager(), &ServerManager::signalGotReply, this, [&] {
        texts << manager().replyText();
        if (texts.size() == 1 && !manager().sendActualVersion(kDeviceVersion))
            texts << QStringLiteral("next request refused");
    });
    QVERIFY(manager().requestActualVersion());
    QVERIFY(!manager().requestUpdate());
    QTRY_COMPARE_WITH_TIMEOUT(texts.size(), 2, kWaitMs);
    disconnect(chain);
    QCOMPARE(texts, (QStringList{"4.5.6", "stored"}));
    QCOMPARE(m_server->requests().size(), 3);
}

QTEST_GUILESS_MAIN(TstServerManager)
#include "tst_servermanager.moc"
