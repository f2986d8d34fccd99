// The device page against the simulated device on a pseudo-terminal and an
// update server on loopback: what the user sees and answers, and what goes
// on the wire because of it.
#include "core/localizationmanager.h"
#include "data/device/commandqueue.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "data/server/servermanager.h"
#include "ui/pages/pgupdate.h"

#include "fakemainwindow.h"
#include "findwidget.h"
#include "logcapture.h"
#include "loopbackhttpserver.h"
#include "recordingdialogs.h"
#include "simulator.h"
#include "updateserver.h"

#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace ZData;
using Kind = ZCore::UserDialogs::EKind;
using ZData::DM::SerialPort;

namespace {

// A reply timeout and a reconnect step fit several times.
constexpr int kWaitMs = 15000;
constexpr int kImageSize = 5000; // five chunks
constexpr int kNoBox = -1;
constexpr int kUnreachable = -1;
constexpr int kFilesLost = -1;
const quint16 kChunk = quint16(EDeviceCommands::B_SEND_MAINAPP_CHUNK);

MW_Pages::PgUpdate &page() { return MW_Pages::PgUpdate::instance(); }
bool queueIdle() { return DM::CommandQueue::instance().isEmpty(); }

} // namespace

class TstPgUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void updateFromApplicationToNewVersion();
    void versionReply_data();
    void versionReply();
    void serverFailure_data();
    void serverFailure();
    void failedCourse_data();
    void failedCourse();

private:
    bool startDevice(bool inBootloader, const QUrl &server = QUrl(), int serverError = MeroSim::Options::kNoServerError);
    QPushButton *button(const char *name) const { return TestSupport::findWidget<QPushButton>(m_window.get(), name); }
    QString label(const char *name) const { return TestSupport::findWidget<QLabel>(m_window.get(), name)->text(); }
    QStringList boxes(QString TestSupport::RecordingDialogs::Box::*field = &TestSupport::RecordingDialogs::Box::title) const
    {
        QStringList result;
        for (const auto &box : m_dialogs.boxes())
            result << box.*field;
        return result;
    }

    QTemporaryDir m_dir;
    TestSupport::RecordingDialogs m_dialogs;
    std::unique_ptr<TestSupport::FakeMainWindow> m_window;
    std::unique_ptr<MeroSim::Simulator> m_sim;
    std::unique_ptr<MeroSim::UpdateServer> m_server;
};

void TstPgUpdate::initTestCase()
{
    QVERIFY(DeviceMessageManager::init() && SerialPort::init() && ConnectionManager::init() && DeviceManager::init());
    // The English texts, so that what a box says can be read.
    ZCore::LocalizationManager::instance().loadLanguage(QStringLiteral(":/translation/dranwell_en.qm"));
    m_window = std::make_unique<TestSupport::FakeMainWindow>();
    page().setupPage(m_window.get(), QStringLiteral("MW_Pages::PgUpdate"));
}

void TstPgUpdate::cleanup()
{
    SerialPort::instance().close(true);
    m_sim.reset();
    m_server.reset();
    DeviceManager::instance().setDeviceInfo(DeviceInfo());
    ConnectionManager::instance().setAutoReconnect(true);
    m_dialogs.clear();
}

bool TstPgUpdate::startDevice(bool inBootloader, const QUrl &server, int serverError)
{
    MeroSim::Options options;
    options.linkPath = m_dir.filePath(QStringLiteral("ttyMERO"));
    options.quiet = true;
    options.rebootDelayMs = 100;
    options.startInBootloader = inBootloader;
    options.serverImageSize = kImageSize;
    options.serverError = serverError;
    m_server = std::make_unique<MeroSim::UpdateServer>(options);
    m_sim = std::make_unique<MeroSim::Simulator>(options);
    QSignalSpy finished(&DeviceManager::instance(), &DeviceManager::signalStartupFinished);
    const bool up = m_server->listen()
        && ServerManager::instance().setBaseUrl((server.isEmpty() ? m_server->baseUrl() : server).toString())
        && m_sim->start() && SerialPort::instance().openPort(m_sim->linkPath()) && finished.wait(kWaitMs)
        && QTest::qWaitFor(queueIdle, kWaitMs);
    m_sim->clearStatistics();
    return up;
}

// From "Check for updates" to the device back in its application with the
// new version, the user answering Yes: one box before the restart, one once
// the new firmware runs, and nothing on screen in between but the progress.
void TstPgUpdate::updateFromApplicationToNewVersion()
{
    QVERIFY(startDevice(false));
    m_dialogs.setQuestionAnswer(true);
    QObject context;
    QList<int> shown;
    connect(&DeviceManager::instance(), &DeviceManager::signalUpdateProgress, &context, [&shown] {
        QProgressDialog *dialog = page().progressDialog();
        // The user cannot dismiss it while chunks are still going out, and
        // reads how far they are, not a busy bar.
        QTest::keyClick(dialog, Qt::Key_Escape);
        shown << (dialog->isVisible() && dialog->isModal() && dialog->maximum() > 0 ? dialog->value() : -1);
    });
    // What each box says, next to what the page and the device show then.
    QStringList seen;
    m_dialogs.setWhileShown([this, &seen](const TestSupport::RecordingDialogs::Box &box) {
        seen << QStringLiteral("%1 | progress shown: %2 | device: %3")
                    .arg(box.text)
                    .arg(QVariant(page().progressDialog()->isVisible()).toString())
                    .arg(label("l_device_version"));
    });
    button("b_check_update")->click();

    QTRY_COMPARE_WITH_TIMEOUT(m_dialogs.boxes().size(), 2, kWaitMs);
    QCOMPARE(boxes(), (QStringList{qtTrId("dw_pupdate_new_update_title"), qtTrId("dw_pupdate_reboot_app_title")}));
    QCOMPARE(seen, (QStringList{qtTrId("dw_pupdate_confirm_reboot_text").arg("1.4.12", "1.5.0")
                                    + " | progress shown: false | device: 1.4.12",
                                qtTrId("dw_pupdate_update_done_text").arg("1.5.0")
                                    + " | progress shown: false | device: 1.5.0"}));
    // The device holds the image as the server sent it.
    QByteArray flashed;
    for (const MeroSim::ReceivedFrame &frame : m_sim->receivedFrames())
        flashed += frame.command == kChunk ? frame.payload : QByteArray();
    QCOMPARE(flashed, m_server->image());
    QVERIFY(!DeviceManager::instance().deviceInfo().updatePending && DeviceManager::instance().updateData().isEmpty());
    QCOMPARE(shown, (QList<int>{20, 40, 60, 80, 100}));
    QVERIFY(!page().progressDialog()->isVisible() && ConnectionManager::instance().autoReconnect()
            && button("b_check_update")->isEnabled() && !button("b_do_update")->isEnabled());
    // Unplugged, the page names no device any more.
    SerialPort::instance().close(true);
    QCOMPARE(label("l_device_id") + label("l_device_version"), QStringLiteral("N/AN/A"));
}

// Only a well-formed newer version offers the update; the text is shown as
// the server sent it either way.
void TstPgUpdate::versionReply_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<int>("box");
    QTest::addColumn<bool>("updateEnabled");
    QTest::newRow("equal") << QByteArray("1.4.12") << int(Kind::Information) << false;
    QTest::newRow("older build") << QByteArray("1.4.9") << int(Kind::Information) << false;
    QTest::newRow("newer, answered No") << QByteArray("1.10.0") << int(Kind::Question) << true;
    QTest::newRow("letter in a part") << QByteArray("1.x.9") << kNoBox << false;
    QTest::newRow("sign") << QByteArray("1.+5.0") << kNoBox << false;
    QTest::newRow("two parts") << QByteArray("1.5") << kNoBox << false;
    QTest::newRow("undefined") << QByteArray("4294967295.4294967295.4294967295") << kNoBox << false;
}

void TstPgUpdate::versionReply()
{
    QFETCH(QByteArray, version);
    QFETCH(int, box);
    QFETCH(bool, updateEnabled);
    TestSupport::LoopbackHttpServer server;
    server.setDefaultResponse(TestSupport::LoopbackHttpServer::Response::text("#OK: " + version));
    QVERIFY(startDevice(false, server.url()));
    m_dialogs.setQuestionAnswer(false);
    TestSupport::LogCapture log;

    button("b_check_update")->click();
    QVERIFY(QSignalSpy(&DeviceManager::instance(), &DeviceManager::signalUpdateReply).wait(kWaitMs));
    // Boxes open once the reply's chain has returned.
    QCoreApplication::processEvents();
    QCOMPARE(label("l_actual_version"), QString::fromLatin1(version));
    QCOMPARE(button("b_do_update")->isEnabled(), updateEnabled);
    QCOMPARE(m_dialogs.boxes().size(), box == kNoBox ? 0 : 1);
    QVERIFY(box == kNoBox || int(m_dialogs.boxes().first().kind) == box);
    QCOMPARE(log.count(QStringLiteral("no update offered")), box == kNoBox ? 1 : 0);
    QTRY_VERIFY_WITH_TIMEOUT(queueIdle(), kWaitMs);
    QVERIFY(m_sim->receivedFrames().isEmpty());
}

// A failed exchange shows on the page; only one the user asked for opens a
// box, and never while the link waits for it to close.
void TstPgUpdate::serverFailure_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("report at connection, no files") << 6 << false << QByteArray("dw_pupdate_files_lost_text");
    QTest::newRow("check, no files") << 6 << true << QByteArray("dw_pupdate_files_lost_text");
    QTest::newRow("check, server unreachable") << kUnreachable << true
                                               << QByteArray("dw_pupdate_server_unreachable_text");
}

void TstPgUpdate::serverFailure()
{
    QFETCH(int, error);
    QFETCH(bool, asked);
    QFETCH(QByteArray, reason);
    TestSupport::LogCapture log;
    bool linkHeld = false;
    m_dialogs.setWhileShown([&linkHeld](const TestSupport::RecordingDialogs::Box &) { linkHeld |= !queueIdle(); });
    const bool unreachable = error == kUnreachable;
    // Nothing listens on port 1 of the loopback.
    QVERIFY(startDevice(false, unreachable ? QUrl("http://127.0.0.1:1/") : QUrl(),
                        unreachable ? MeroSim::Options::kNoServerError : error));
    if (asked) {
        button("b_check_update")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_dialogs.boxes().isEmpty(), kWaitMs);
    }
    const QString text = qtTrId(reason.constData());
    QCOMPARE(boxes(&TestSupport::RecordingDialogs::Box::text), asked ? QStringList{text} : QStringList());
    QVERIFY(!linkHeld);
    QCOMPARE(log.lines(QtCriticalMsg), QStringList());
    QCOMPARE(label("l_server_status"), text);
}

// A device already in its bootloader is not rebooted. The server's "no
// files for this device" ends the course before anything is sent; the
// device vanishing before or amid the chunks ends it too. Either way one
// failure box, and a loss after that is no update failing.
void TstPgUpdate::failedCourse_data()
{
    QTest::addColumn<int>("failAt");
    QTest::newRow("server lost the files") << kFilesLost;
    QTest::newRow("unplugged announcing the image") << int(EDeviceCommands::B_INIT_UPDATE);
    QTest::newRow("unplugged amid the chunks") << int(kChunk);
}

void TstPgUpdate::failedCourse()
{
    QFETCH(int, failAt);
    QVERIFY(startDevice(true));
    if (failAt == kFilesLost)
        connect(m_server.get(), &MeroSim::UpdateServer::requestServed, this, [this] { m_server->setError(6); });
    // The announcement, or the third chunk, is answered by a vanished device.
    connect(m_sim.get(), &MeroSim::Simulator::frameReceived, this, [this, failAt](const MeroSim::ReceivedFrame &frame) {
        if (frame.command == failAt && (frame.command != kChunk || frame.options == 2))
            m_sim->addFault(MeroSim::FaultRule::once(MeroSim::FaultKind::Unplug));
    });
    m_dialogs.setQuestionAnswer(true);
    button("b_check_update")->click();

    const QStringList failed{qtTrId("dw_pupdate_new_update_title"), qtTrId("dw_pupdate_update_failed_title")};
    QTRY_COMPARE_WITH_TIMEOUT(boxes(), failed, kWaitMs);
    QVERIFY(!page().progressDialog()->isVisible() && page().course() == MW_Pages::PgUpdate::ECourse::Idle);
    if (failAt == kFilesLost) {
        QCOMPARE(boxes(&TestSupport::RecordingDialogs::Box::text).last(), qtTrId("dw_pupdate_files_lost_text"));
        QVERIFY(m_sim->receivedFrames().isEmpty() && button("b_check_update")->isEnabled());
    }
    emit SerialPort::instance().signalLost();
    QCoreApplication::processEvents();
    QCOMPARE(boxes(), failed);
}

QTEST_MAIN(TstPgUpdate)
#include "tst_pgupdate.moc"
