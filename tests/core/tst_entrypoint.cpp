#include "loopbackhttpserver.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// Runs the built application as a user or a script would, headless.
class TestEntryPoint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsLogsAndQuitsByItself();
    void commandLineOutcomes_data();
    void commandLineOutcomes();
    void identifiesSimulatorAndReconnects();

private:
    static QString readLog(const QString &dataDir);

    // A guard against a hung child only; the run itself takes a fraction of it.
    static constexpr int kRunGuardMs = 120000;
    // Start-up under the sanitizers, identification, a reconnect step of
    // 2000 ms and identification again all fit well inside.
    static constexpr int kLinkWaitMs = 30000;
    QString m_appBin;
};

void TestEntryPoint::initTestCase()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    m_appBin = qEnvironmentVariable("MERO_APP_BIN");
    QVERIFY2(QFileInfo(m_appBin).isExecutable(), qPrintable("MERO_APP_BIN is not a built oskiro-mero: " + m_appBin));
}

// The one log file of a run, or nothing when there is not exactly one.
QString TestEntryPoint::readLog(const QString &dataDir)
{
    const QFileInfoList logs = QDir(QDir(dataDir).filePath(QStringLiteral("logs")))
                                   .entryInfoList({QStringLiteral("*.log")}, QDir::Files);
    QFile file(logs.size() == 1 ? logs.first().filePath() : QString());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void TestEntryPoint::startsLogsAndQuitsByItself()
{
    QTemporaryDir dataDir;
    QProcess app;
    app.start(m_appBin, {"--data-dir", dataDir.path(), "--unattended", "--quit-after", "100"});
    QVERIFY(app.waitForFinished(kRunGuardMs));
    QVERIFY2(app.exitStatus() == QProcess::NormalExit && app.exitCode() == 0, app.readAllStandardError().constData());

    const QString text = readLog(dataDir.path());
    const auto at = [&text](const QString &line) { return text.indexOf(QStringLiteral("]: ") + line + '\n'); };
    // The version line first, then where the data lives, then the window.
    const int appDirLine = at("AppEnvironment >> application directory (chosen): " + QDir::cleanPath(dataDir.path()));
    QVERIFY2(text.section('\n', 0, 0).endsWith("]: Logger >> initializing Application ver. 1.15.823.."), qPrintable(text));
    QVERIFY2(appDirLine > 0 && at("EntryPoint >> loading MainWindow..") > appDirLine, qPrintable(text));
}

void TestEntryPoint::commandLineOutcomes_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<bool>("display");
    QTest::newRow("version") << "--version" << 0 << "oskiro-mero 1.15.823\n" << "" << true;
    QTest::newRow("unknown option") << "--bogus" << 1 << "" << "oskiro-mero: Unknown option 'bogus'." << true;
    // As asked on a console or by a package check, with no display at all.
    QTest::newRow("version without a display") << "--version" << 0 << "oskiro-mero 1.15.823\n" << "" << false;
}

void TestEntryPoint::commandLineOutcomes()
{
    QFETCH(QString, argument);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(bool, display);
    QTemporaryDir dataDir;
    QProcess app;
    if (!display) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QLatin1String(name));
        app.setProcessEnvironment(environment);
    }
    app.start(m_appBin, {"--data-dir", dataDir.path(), argument});
    QVERIFY(app.waitForFinished(kRunGuardMs));
    QCOMPARE(app.exitCode(), exitCode);
    QCOMPARE(QString::fromUtf8(app.readAllStandardOutput()), out);
    QVERIFY(QString::fromUtf8(app.readAllStandardError()).contains(err));
    // Nothing starts before the command line is understood: no logs, no profiles.
    QCOMPARE(QDir(dataDir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

// The two real programs, as a field engineer would run them: the simulator
// standalone on its link, the application pointed at it. The cable is pulled
// the way a person can pull it from outside, by a signal to the simulator.
void TestEntryPoint::identifiesSimulatorAndReconnects()
{
    const QString simBin = qEnvironmentVariable("MERO_SIM_BIN");
    QVERIFY2(QFileInfo(simBin).isExecutable(), qPrintable("MERO_SIM_BIN: " + simBin));
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyMERO"));
    const QString dataDir = dir.filePath(QStringLiteral("app"));
    // The version report after identification goes here, never to a name
    // that would have to be resolved.
    TestSupport::LoopbackHttpServer updateServer;
    updateServer.setDefaultResponse(TestSupport::LoopbackHttpServer::Response::text("#OK: accepted"));

    QProcess sim;
    QProcess app;
    // A failed check returns early; neither program may outlive the test.
    const auto stopBoth = qScopeGuard([&] { app.kill(), sim.kill(), app.waitForFinished(), sim.waitForFinished(); });
    sim.setProcessChannelMode(QProcess::ForwardedChannels);
    sim.start(simBin, {"--link", link, "--unplug-delay", "500"});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), kLinkWaitMs);
    app.start(m_appBin, {"--data-dir", dataDir, "--unattended", "--port", link, "--update-url",
                         updateServer.url("/android").toString(), "--quit-after", QString::number(kRunGuardMs)});

    const QString deviceInfo = QStringLiteral("DeviceManager >> device info:\nID:      4587553-825774358-875575351\nType:    "
                                              "EDeviceTypes::OSKIRO_MERO\nState:   EDeviceStates::MAINAPP\nVersion: 1.4.12\n");
    QTRY_VERIFY_WITH_TIMEOUT(readLog(dataDir).contains(deviceInfo), kLinkWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(updateServer.requests().size(), 1, kLinkWaitMs);

    // After the pulled cable: found again, identified again, reported again.
    QVERIFY(::kill(pid_t(sim.processId()), SIGUSR1) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(readLog(dataDir).count(deviceInfo) == 2, kLinkWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(updateServer.requests().size(), 2, kLinkWaitMs);
}

QTEST_MAIN(TestEntryPoint)
#include "tst_entrypoint.moc"
