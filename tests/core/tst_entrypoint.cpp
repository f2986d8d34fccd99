#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Runs the built application as a user or a script would, headless.
class TestEntryPoint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsLogsAndQuitsByItself();
    void commandLineOutcomes_data();
    void commandLineOutcomes();

private:
    struct Run
    {
        int exitCode = -1;
        QString out;
        QString err;
    };
    Run runApp(const QStringList &arguments) const;

    // A guard against a hung child only; the run itself takes a fraction of it.
    static constexpr int kRunGuardMs = 120000;
    QString m_appBin;
};

void TestEntryPoint::initTestCase()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    m_appBin = qEnvironmentVariable("MERO_APP_BIN");
    QVERIFY2(QFileInfo(m_appBin).isExecutable(),
             qPrintable(QStringLiteral("MERO_APP_BIN is not a built oskiro-mero: '%1'").arg(m_appBin)));
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

QTEST_MAIN(TestEntryPoint)
#include "tst_entrypoint.moc"
