#include "data/server/servermanager.h"

#include "logcapture.h"
#include "loopbackhttpserver.h"
#include "recordingdialogs.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>

using ZData::EServerCommands;
using ZData::ServerManager;
using TestSupport::LoopbackHttpServer;
using Response = LoopbackHttpServer::Response;
using Fields = QList<QPair<QString, QString>>;

Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

namespace {

enum class ERequest : quint8 { ActualVersion, Update, SendVersion };

const ZCore::TVersion kDeviceVersion(1, 15, 823);
constexpr quint8 kMeroType = 22;
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

QByteArray wrapped(const QByteArray &base64, int width)
{
    QByteArray result;
    for (int i = 0; i < base64.size(); i += width)
        result += base64.mid(i, width) + "\r\n";
    return result;
}

} // namespace

Q_DECLARE_METATYPE(ERequest)

class TstServerManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void replyParsing_data();
    void replyParsing();
    void formFields_data();
    void formFields();
    void transportFailure_data();
    void transportFailure();
    void imageSizeBound_data();
    void imageSizeBound();
    void lateReplyAfterTimeoutIsIgnored();
    void secondRequestWhileRunningIsRefused();
    void receiverMayStartTheNextRequest();
    void clearUpdateCacheEmptiesResult();
    void baseUrl_data();
    void baseUrl();

private:
    static ServerManager &manager() { return ServerManager::instance(); }
    bool start(ERequest request);
    // Runs one exchange to its signal; false if the signal did not come once.
    bool exchange(ERequest request);
    void pointAt(const LoopbackHttpServer &server);

    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
    ZData::SM::TDeviceIdentity m_identity;
};

void TstServerManager::initTestCase()
{
    manager().setIdentitySource([this] { return m_identity; });
}

void TstServerManager::init()
{
    m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    m_identity = {QStringLiteral("0123ABCD"), kMeroType};
    manager().setRequestTimeout(ServerManager::kRequestTimeoutMs);
}

void TstServerManager::cleanup()
{
    QVERIFY(!manager().isBusy());
    m_dialogs.reset();
}

bool TstServerManager::start(ERequest request)
{
    switch (request) {
    case ERequest::ActualVersion:
        return manager().requestActualVersion();
    case ERequest::Update:
        return manager().requestUpdate();
    case ERequest::SendVersion:
        return manager().sendActualVersion(kDeviceVersion);
    }
    return false;
}

bool TstServerManager::exchange(ERequest request)
{
    QSignalSpy spy(&manager(), &ServerManager::signalGotReply);
    if (!start(request) || !spy.wait(kWaitMs))
        return false;
    // A second emission for the same exchange would come from the same or
    // the next turn of the event loop.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return spy.count() == 1;
}

void TstServerManager::pointAt(const LoopbackHttpServer &server)
{
    QVERIFY(server.isListening());
    QVERIFY(manager().setBaseUrl(server.url(QStringLiteral("/android")).toString()));
}

void TstServerManager::replyParsing_data()
{
    QTest::addColumn<ERequest>("request");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<EServerCommands>("result");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("logLine");

    const QByteArray image = sampleImage(1000);
    const QByteArray base64 = image.toBase64();
    const auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };

    row("version") << ERequest::ActualVersion << QByteArray("#OK: 1.2.3") << EServerCommands::GET_ACTUAL_VERSION
                   << "1.2.3" << QByteArray("#OK: 1.2.3") << "ServerManager >> actual version: 1.2.3";
    row("version, lower-case marker") << ERequest::ActualVersion << QByteArray("#ok: 1.16.0")
                                      << EServerCommands::GET_ACTUAL_VERSION << "1.16.0" << QByteArray("#ok: 1.16.0")
                                      << "ServerManager >> actual version: 1.16.0";
    row("version after byte-order mark") << ERequest::ActualVersion << QByteArray("\xEF\xBB\xBF#OK: 2.0.1")
                                         << EServerCommands::GET_ACTUAL_VERSION << "2.0.1"
                                         << QByteArray("\xEF\xBB\xBF#OK: 2.0.1") << "actual version: 2.0.1";
    row("version, empty body") << ERequest::ActualVersion << QByteArray() << EServerCommands::GET_ACTUAL_VERSION
                               << "" << QByteArray()
                               << "ServerManager >> requestActualVersion: failed to get actual version";
    row("no firmware file") << ERequest::Update << QByteArray("#Error: 6") << EServerCommands::E_BIN_NOT_FOUND << ""
                            << QByteArray("#Error: 6") << "ServerManager >> error text: EServerCommands::E_BIN_NOT_FOUND";
    row("error with line end") << ERequest::ActualVersion << QByteArray("#Error: 5\r\n")
                               << EServerCommands::E_UPDATE_NOT_AVAILABLE << "" << QByteArray("#Error: 5\r\n")
                               << "ServerManager >> error text: EServerCommands::E_UPDATE_NOT_AVAILABLE";
    row("page without marker") << ERequest::ActualVersion << QByteArray("<html>down</html>")
                               << EServerCommands::E_UNKNOWN << "" << QByteArray("<html>down</html>")
                               << "error text: EServerCommands::E_UNKNOWN";
    row("error naming a request kind") << ERequest::Update << QByteArray("#Error: 10") << EServerCommands::E_UNKNOWN
                                       << "" << QByteArray("#Error: 10") << "server sent error number 10, read as unknown";
    row("error outside the table") << ERequest::ActualVersion << QByteArray("#Error: 42") << EServerCommands(42) << ""
                                   << QByteArray("#Error: 42") << "ServerManager >> nothing to do with command: 42";
    row("version sent") << ERequest::SendVersion << QByteArray("#OK: stored") << EServerCommands::SEND_ACTUAL_VERSION
                        << "stored" << QByteArray("#OK: stored")
                        << "nothing to do with command: EServerCommands::SEND_ACTUAL_VERSION";
    row("image") << ERequest::Update << "#OK: xx" + base64 << EServerCommands::GET_UPDATE << QString::fromLatin1("xx" + base64)
                 << image << "ServerManager >> got update of [ 1000 ] bytes";
    row("image, wrapped lines") << ERequest::Update << "#OK:\nxx" + wrapped(base64, 76) << EServerCommands::GET_UPDATE
                                << QString::fromLatin1("xx" + wrapped(base64, 76)) << image << "got update of [ 1000 ] bytes";
    row("image, reply too short") << ERequest::Update << QByteArray("#OK: xx") << EServerCommands::GET_UPDATE << "xx"
                                  << QByteArray() << "ServerManager << requestUpdate: failed to get update files";
    row("image, bad character") << ERequest::Update << "#OK: xx" + base64.left(40) + "*" + base64.mid(40)
                                << EServerCommands::GET_UPDATE
                                << QString::fromLatin1("xx" + base64.left(40) + "*" + base64.mid(40)) << QByteArray()
                                << "ServerManager << requestUpdate: firmware image is not valid Base64";
    row("image, cut inside a quantum") << ERequest::Update << "#OK: xx" + base64.left(41) << EServerCommands::GET_UPDATE
                                       << QString::fromLatin1("xx" + base64.left(41)) << QByteArray()
                                       << "firmware image is not valid Base64";
}

void TstServerManager::replyParsing()
{
    QFETCH(ERequest, request);
    QFETCH(QByteArray, body);
    QFETCH(EServerCommands, result);
    QFETCH(QString, text);
    QFETCH(QByteArray, data);
    QFETCH(QString, logLine);

    LoopbackHttpServer server;
    pointAt(server);
    server.enqueue(Response::text(body));
    TestSupport::LogCapture log;

    QVERIFY(exchange(request));
    QCOMPARE(manager().lastResult(), result);
    QCOMPARE(manager().replyText(), text);
    QCOMPARE(manager().replyData(), data);
    QVERIFY2(log.contains(logLine), qPrintable(log.lines().join(QLatin1Char('\n'))));

    QCOMPARE(log.lines(QtCriticalMsg).join(QString()), result == EServerCommands::E_BIN_NOT_FOUND
             ? QStringLiteral("ServerManager >> dw_err_update_files_lost") : QString());
}

void TstServerManager::formFields_data()
{
    QTest::addColumn<ERequest>("request");
    QTest::addColumn<QString>("id");
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<QByteArray>("rawBody");

    const QString plain = QStringLiteral("0123ABCD");
    QTest::newRow("actual version") << ERequest::ActualVersion << plain << Fields{{"device_number", plain}}
                                    << QByteArray("device_number=0123ABCD");
    QTest::newRow("update") << ERequest::Update << plain
                            << Fields{{"device_number", plain}, {"device_type", "22"}, {"program_type", "1"},
                                      {"memory_area", "0"}}
                            << QByteArray("device_number=0123ABCD&device_type=22&program_type=1&memory_area=0");

    const QString awkward = QStringLiteral("a b+c&d=e/%f\u00e9");
    QTest::newRow("identifier with reserved characters")
        << ERequest::SendVersion << awkward << Fields{{"device_number", awkward}, {"device_soft_version", "1.15.823"}}
        << QByteArray("device_number=a%20b%2Bc%26d%3De%2F%25f%C3%A9&device_soft_version=1.15.823");
}

void TstServerManager::formFields()
{
    QFETCH(ERequest, request);
    QFETCH(QString, id);
    QFETCH(Fields, fields);
    QFETCH(QByteArray, rawBody);

    LoopbackHttpServer server;
    pointAt(server);
    server.enqueue(Response::text("#OK: 1.2.3"));
    m_identity.id = id;

    QVERIFY(exchange(request));
    QCOMPARE(server.requests().size(), 1);
    const LoopbackHttpServer::Request &received = server.requests().first();
    QCOMPARE(received.method, QByteArray("POST"));
    QCOMPARE(received.target, QByteArray("/android/update.php"));
    QCOMPARE(received.header("content-type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(received.formFields(), fields);
    QCOMPARE(received.body, rawBody);
}

void TstServerManager::transportFailure_data()
{
    QTest::addColumn<bool>("refused");
    QTest::addColumn<Response>("response");
    QTest::addColumn<QString>("logLine");

    Response closed;
    closed.mode = LoopbackHttpServer::EMode::Close;
    Response cut = Response::text("#OK: 1.2.3 and a good deal more that never arrives");
    cut.mode = LoopbackHttpServer::EMode::CutBody;
    cut.cutAfter = 10;
    Response moved = Response::text("#OK: 9.9.9", 302);
    Response streamedTooBig = Response::text(QByteArray(ServerManager::kMaxReplyBytes + 1, 'A'));
    streamedTooBig.mode = LoopbackHttpServer::EMode::AnswerWithoutLength;
    // Only the head arrives: a client that waited for the body would time
    // out instead of refusing the announced size at once.
    Response announcedTooBig = streamedTooBig;
    announcedTooBig.mode = LoopbackHttpServer::EMode::StallBody;
    announcedTooBig.cutAfter = 10;

    QTest::newRow("refused connection") << true << Response() << "ServerManager >> error text: ";
    QTest::newRow("closed without answer") << false << closed << "ServerManager >> error text: ";
    QTest::newRow("body cut short") << false << cut << "ServerManager >> error text: ";
    QTest::newRow("not found") << false << Response::text("#OK: 9.9.9", 404) << "ServerManager >> error text: ";
    QTest::newRow("redirect") << false << moved << "ServerManager >> unexpected HTTP status: 302, not following";
    QTest::newRow("announced too big") << false << announcedTooBig << "reply is larger than";
    QTest::newRow("streamed too big") << false << streamedTooBig << "reply is larger than";
}

void TstServerManager::transportFailure()
{
    QFETCH(bool, refused);
    QFETCH(Response, response);
    QFETCH(QString, logLine);

    LoopbackHttpServer server;
    LoopbackHttpServer elsewhere;
    elsewhere.setDefaultResponse(Response::text("#OK: 9.9.9"));
    pointAt(server);
    // A good exchange first: a failure must not leave its text or data behind.
    server.enqueue(Response::text("#OK: 1.2.3"));
    QVERIFY(exchange(ERequest::ActualVersion));
    QCOMPARE(manager().replyText(), QStringLiteral("1.2.3"));

    if (response.status == 302)
        response.headers.append({"Location", elsewhere.url(QStringLiteral("/android/update.php")).toEncoded()});
    // Default rather than queued: the network layer resends a request once
    // when the connection closes before any answer.
    server.setDefaultResponse(response);
    if (refused)
        QVERIFY(manager().setBaseUrl(QStringLiteral("http://127.0.0.1:%1/android").arg(LoopbackHttpServer::closedPort())));
    TestSupport::LogCapture log;

    QVERIFY(exchange(ERequest::ActualVersion));
    QCOMPARE(manager().lastResult(), EServerCommands::E_LOST_INTERNET_CONNECTION);
    QCOMPARE(manager().replyText(), QString());
    QCOMPARE(manager().replyData(), QByteArray());
    QVERIFY2(log.contains(logLine), qPrintable(log.lines().join(QLatin1Char('\n'))));
    QCOMPARE(elsewhere.requests().size(), 0);
}

void TstServerManager::imageSizeBound_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("largest image") << int(ServerManager::kMaxImageBytes) << true;
    QTest::newRow("one byte more") << int(ServerManager::kMaxImageBytes + 1) << false;
}

void TstServerManager::imageSizeBound()
{
    QFETCH(int, size);
    QFETCH(bool, accepted);

    LoopbackHttpServer server;
    pointAt(server);
    const QByteArray image = sampleImage(size);
    server.enqueue(Response::text("#OK: xx" + image.toBase64()));
    TestSupport::LogCapture log;

    QVERIFY(exchange(ERequest::Update));
    QCOMPARE(manager().lastResult(), EServerCommands::GET_UPDATE);
    QCOMPARE(manager().replyData().size(), accepted ? size : 0);
    QVERIFY(!accepted || manager().replyData() == image);
    QCOMPARE(log.contains(QStringLiteral("exceeds")), !accepted);
}

void TstServerManager::lateReplyAfterTimeoutIsIgnored()
{
    LoopbackHttpServer server;
    Response late = Response::text("#OK: 1.2.3");
    late.delayMs = 3 * kShortTimeoutMs;
    server.enqueue(late);
    server.enqueue(Response::text("#OK: 4.5.6"));
    pointAt(server);
    manager().setRequestTimeout(kShortTimeoutMs);
    TestSupport::LogCapture log;

    QSignalSpy spy(&manager(), &ServerManager::signalGotReply);
    QVERIFY(exchange(ERequest::ActualVersion));
    QCOMPARE(manager().lastResult(), EServerCommands::E_REQUEST_TIMEOUT);
    QVERIFY(log.contains(QStringLiteral("TNetworkReplyTimeout >> QNetworkReply timed out")));
    // Give the late answer every chance to arrive before looking again.
    QTest::qWait(2 * late.delayMs);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(manager().lastResult(), EServerCommands::E_REQUEST_TIMEOUT);
    QCOMPARE(manager().replyText(), QString());

    manager().setRequestTimeout(ServerManager::kRequestTimeoutMs);
    QVERIFY(exchange(ERequest::ActualVersion));
    QCOMPARE(manager().lastResult(), EServerCommands::GET_ACTUAL_VERSION);
    QCOMPARE(manager().replyText(), QStringLiteral("4.5.6"));
}

void TstServerManager::secondRequestWhileRunningIsRefused()
{
    LoopbackHttpServer server;
    Response slow = Response::text("#OK: 1.2.3");
    slow.delayMs = kShortTimeoutMs;
    server.setDefaultResponse(slow);
    pointAt(server);
    TestSupport::LogCapture log;

    QSignalSpy spy(&manager(), &ServerManager::signalGotReply);
    QVERIFY(manager().requestActualVersion());
    QVERIFY(manager().isBusy());
    QVERIFY(!manager().requestUpdate());
    QCOMPARE(manager().lastResult(), EServerCommands::GET_ACTUAL_VERSION);
    QVERIFY(log.contains(QStringLiteral("ServerManager >> ZData::ServerManager::requestUpdate refused")));

    QVERIFY(spy.wait(kWaitMs));
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(manager().lastResult(), EServerCommands::GET_ACTUAL_VERSION);
    QCOMPARE(manager().replyText(), QStringLiteral("1.2.3"));
    QCOMPARE(server.requests().size(), 1);
}

void TstServerManager::receiverMayStartTheNextRequest()
{
    LoopbackHttpServer server;
    server.enqueue(Response::text("#OK: 1.2.3"));
    server.enqueue(Response::text("#OK: stored"));
    pointAt(server);

    QList<bool> started;
    QSignalSpy spy(&manager(), &ServerManager::signalGotReply);
    const QMetaObject::Connection chain = connect(&manager(), &ServerManager::signalGotReply, this, [&] {
        if (started.isEmpty())
            started.append(manager().sendActualVersion(kDeviceVersion));
    });
    QVERIFY(manager().requestActualVersion());
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, kWaitMs);
    disconnect(chain);

    QCOMPARE(started, QList<bool>{true});
    QCOMPARE(manager().lastResult(), EServerCommands::SEND_ACTUAL_VERSION);
    QCOMPARE(server.requests().size(), 2);
}

void TstServerManager::clearUpdateCacheEmptiesResult()
{
    LoopbackHttpServer server;
    server.enqueue(Response::text("#OK: xx" + sampleImage(64).toBase64()));
    pointAt(server);
    QVERIFY(exchange(ERequest::Update));
    QCOMPARE(manager().replyData().size(), 64);
    manager().clearUpdateCache();
    QCOMPARE(manager().replyData(), QByteArray());
    QCOMPARE(manager().replyText(), QString());
}

void TstServerManager::baseUrl_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("updateUrl");

    const QString kept = QStringLiteral("http://127.0.0.1:1/kept/update.php");
    QTest::newRow("directory") << "http://127.0.0.1:8080/android" << true << "http://127.0.0.1:8080/android/update.php";
    QTest::newRow("trailing slash") << "http://127.0.0.1/android/" << true << "http://127.0.0.1/android/update.php";
    QTest::newRow("surrounding blanks") << "  https://127.0.0.1/a  " << true << "https://127.0.0.1/a/update.php";
    QTest::newRow("other scheme") << "ftp://127.0.0.1/android" << false << kept;
    QTest::newRow("empty") << "" << false << kept;
}

void TstServerManager::baseUrl()
{
    QFETCH(QString, base);
    QFETCH(bool, accepted);
    QFETCH(QString, updateUrl);

    QVERIFY(manager().setBaseUrl(QStringLiteral("http://127.0.0.1:1/kept")));
    TestSupport::LogCapture log;
    QCOMPARE(manager().setBaseUrl(base), accepted);
    QCOMPARE(manager().updateUrl().toString(), updateUrl);
    QCOMPARE(log.contains(QStringLiteral("ServerManager >> refused update server URL")), !accepted);
}

QTEST_GUILESS_MAIN(TstServerManager)
#include "tst_servermanager.moc"
