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
    struct Run
    {
        int exitCode = -1;
        QString out;
        QString err;
    };
    Run runApp(const QStringList &arguments) const;
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
    QVERIFY2(QFileInfo(m_appBin).isExecutable(),
             qPrintable(QStringLiteral("MERO_APP_BIN is not a built oskiro-mero: '%1'").arg(m_appBin)));
}

QString TestEntryPoint::readLog(const QString &dataDir)
{
    const QFileInfoList logs = QDir(QDir(dataDir).filePath(QStringLiteral("logs")))
                                   .entryInfoList({QStringLiteral("*.log")}, QDir::Files);
    if (logs.size() != 1)
        return QString();
    QFile file(logs.first().filePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TestEntryPoint::Run TestEntryPoint::runApp(const QStringList &arguments) const
{
    QProcess process;
    process.start(m_appBin, arguments);
    Run run;
    if (!process.waitForFinished(kRunGuardMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void TestEntryPoint::startsLogsAndQuitsByItself()
{
    QTemporaryDir dataDir;
    const Run run = runApp({QStringLiteral("--data-dir"), dataDir.path(), QStringLiteral("--unattended"),
                            QStringLiteral("--quit-after"), QStringLiteral("100")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    const QFileInfoList logs = QDir(dataDir.filePath(QStringLiteral("logs")))
                                   .entryInfoList({QStringLiteral("*.log")}, QDir::Files);
    QCOMPARE(logs.size(), 1);
    QFile file(logs.first().filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const auto at = [&text](const QString &line) { return text.indexOf(QStringLiteral("]: ") + line + '\n'); };
    // The version line first, then where the data lives, then the window.
    const int appDirLine = at("AppEnvironment >> application directory (chosen): " + QDir::cleanPath(dataDir.path()));
    QVERIFY2(text.section('\n', 0, 0).endsWith("]: Logger >> initializing Application ver. 1.15.823.."), qPrintable(text));
    QVERIFY2(appDirLine > 0 && at("EntryPoint >> loading MainWindow..") > appDirLine, qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("CRITICAL")), qPrintable(text));
}

void TestEntryPoint::commandLineOutcomes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("version") << QStringList{"--version"} << 0 << "oskiro-mero 1.15.823\n" << "";
    QTest::newRow("help") << QStringList{"--help"} << 0 << "--quit-after <ms>" << "";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 1 << "" << "oskiro-mero: Unknown option 'bogus'.";
}

void TestEntryPoint::commandLineOutcomes()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QTemporaryDir dataDir;
    const Run run = runApp(QStringList{QStringLiteral("--data-dir"), dataDir.path()} + arguments);
    QCOMPARE(run.exitCode, exitCode);
    if (out.isEmpty())
        QCOMPARE(run.out, QString());
    else
        QVERIFY2(run.out.contains(out), qPrintable(run.out));
    if (!err.isEmpty()) {
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("Usage: ")), qPrintable(run.err));
    }
    // Nothing starts before the command line is understood: no logs, no profiles.
    QCOMPARE(QDir(dataDir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

// The two real programs, as a field engineer would run them: the simulator
// standalone on its link, the application pointed at it. The cable is pulled
// the way a person can pull it from outside, by a signal to the simulator.
void TestEntryPoint::identifiesSimulatorAndReconnects()
{
    const QString simBin = qEnvironmentVariable("MERO_SIM_BIN");
    QVERIFY2(QFileInfo(simBin).isExecutable(), qPrintable(QStringLiteral("MERO_SIM_BIN: '%1'").arg(simBin)));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttyMERO"));
    const QString dataDir = dir.filePath(QStringLiteral("app"));
    // The version report after identification goes here, never to a name
    // that would have to be resolved.
    TestSupport::LoopbackHttpServer updateServer;
    updateServer.setDefaultResponse(TestSupport::LoopbackHttpServer::Response::text("#OK: accepted"));
    QVERIFY(updateServer.isListening());

    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(simBin, {QStringLiteral("--link"), link, QStringLiteral("--unplug-delay"), QStringLiteral("500"),
                       QStringLiteral("--log"), dir.filePath(QStringLiteral("sim.log"))});
    QVERIFY(sim.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), kLinkWaitMs);

    QProcess app;
    // A failed check returns early; neither program may outlive the test.
    const auto stopBoth = qScopeGuard([&] {
        for (QProcess *process : {&app, &sim}) {
            process->kill();
            process->waitForFinished();
        }
    });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    app.setProcessEnvironment(environment);
    app.start(m_appBin, {QStringLiteral("--data-dir"), dataDir, QStringLiteral("--unattended"),
                         QStringLiteral("--port"), link, QStringLiteral("--update-url"),
                         updateServer.url(QStringLiteral("/android")).toString(), QStringLiteral("--quit-after"),
                         QString::number(kRunGuardMs)});
    QVERIFY(app.waitForStarted());

    const QString deviceInfo = QStringLiteral("DeviceManager >> device info:\nID:      4587553-825774358-875575351\n"
                                              "Type:    EDeviceTypes::OSKIRO_MERO\nState:   EDeviceStates::MAINAPP\n"
                                              "Version: 1.4.12\n");
    QTRY_VERIFY_WITH_TIMEOUT(readLog(dataDir).contains(deviceInfo), kLinkWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(updateServer.requests().size(), 1, kLinkWaitMs);

    QVERIFY(::kill(pid_t(sim.processId()), SIGUSR1) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(readLog(dataDir).count(deviceInfo) == 2, kLinkWaitMs);
    const QString log = readLog(dataDir);
    QVERIFY2(log.contains(QStringLiteral("SerialPort >> error: ")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("ConnectionManager >> reconnect try #0")), qPrintable(log));
    QVERIFY2(!log.contains(QStringLiteral("CRITICAL")), qPrintable(log));
    QTRY_COMPARE_WITH_TIMEOUT(updateServer.requests().size(), 2, kLinkWaitMs);
    QCOMPARE(app.state(), QProcess::Running);

    app.terminate();
    QVERIFY(app.waitForFinished(kLinkWaitMs));
    sim.terminate();
    QVERIFY(sim.waitForFinished(kLinkWaitMs));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    // The simulator cleaned up after itself on the way out.
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_MAIN(TestEntryPoint)
#include "tst_entrypoint.moc"
