#include "core/appenvironment.h"
#include "core/commandline.h"
#include "core/userdialogs.h"
#include "logcapture.h"

#include <QDir>
#include <QtTest>

using ZCore::CommandLine;
using ZCore::UserDialogs;
using EOutcome = ZCore::CommandLine::EOutcome;

Q_DECLARE_METATYPE(ZCore::CommandLine::EOutcome)

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void parse_data();
    void parse();
    void outcomeTexts_data();
    void outcomeTexts();
    void dataDirBecomesAppDir();
    void unattendedLogsBoxesAndAnswersNo_data();
    void unattendedLogsBoxesAndAnswersNo();
};

void TestCommandLine::initTestCase()
{
    CommandLine::setApplicationIdentity();
}

void TestCommandLine::cleanup()
{
    UserDialogs::setUnattended(false);
    ZCore::AppEnvironment::setAppDir(QString());
}

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<EOutcome>("outcome");
    QTest::addColumn<QString>("dataDir");
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<int>("quitAfterMs");
    QTest::addColumn<QString>("error");

    const QString noError;
    QTest::newRow("nothing") << QStringList() << EOutcome::Run << "" << false << -1 << noError;
    QTest::newRow("all options") << QStringList{"--data-dir", "/srv/mero", "--unattended", "--quit-after", "250"}
                                 << EOutcome::Run << "/srv/mero" << true << 250 << noError;
    QTest::newRow("equals form") << QStringList{"--data-dir=run data", "--quit-after=0"}
                                 << EOutcome::Run << "run data" << false << 0 << noError;
    QTest::newRow("single dash") << QStringList{"-unattended"} << EOutcome::Run << "" << true << -1 << noError;
    QTest::newRow("help") << QStringList{"--help"} << EOutcome::ShowHelp << "" << false << -1 << noError;
    QTest::newRow("short help") << QStringList{"-h"} << EOutcome::ShowHelp << "" << false << -1 << noError;
    QTest::newRow("help all") << QStringList{"--help-all"} << EOutcome::ShowHelp << "" << false << -1 << noError;
    QTest::newRow("version") << QStringList{"--version"} << EOutcome::ShowVersion << "" << false << -1 << noError;
    QTest::newRow("help wins over a bad value") << QStringList{"--quit-after", "soon", "--help"}
                                                << EOutcome::ShowHelp << "" << false << -1 << noError;
    QTest::newRow("unknown option") << QStringList{"--bogus"} << EOutcome::Error << "" << false << -1
                                    << "Unknown option 'bogus'.";
    QTest::newRow("missing value") << QStringList{"--data-dir"} << EOutcome::Error << "" << false << -1
                                   << "Missing value after '--data-dir'.";
    QTest::newRow("empty data dir") << QStringList{"--data-dir="} << EOutcome::Error << "" << false << -1
                                    << "The option '--data-dir' needs a directory.";
    QTest::newRow("quit after text") << QStringList{"--quit-after", "soon"} << EOutcome::Error << "" << false << -1
        << "Invalid value 'soon' for '--quit-after': expected a number of milliseconds.";
    QTest::newRow("quit after negative") << QStringList{"--quit-after=-5"} << EOutcome::Error << "" << false << -1
        << "Invalid value '-5' for '--quit-after': expected a number of milliseconds.";
    QTest::newRow("stray argument") << QStringList{"profile.ini"} << EOutcome::Error << "" << false << -1
                                    << "Unexpected argument 'profile.ini'.";
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(EOutcome, outcome);
    QFETCH(QString, dataDir);
    QFETCH(bool, unattended);
    QFETCH(int, quitAfterMs);
    QFETCH(QString, error);

    CommandLine commandLine;
    // A parser is reused without leftovers from an earlier run.
    commandLine.parse({QStringLiteral("oskiro-mero"), QStringLiteral("--unattended"),
                       QStringLiteral("--data-dir=/old"), QStringLiteral("--quit-after=9")});
    QCOMPARE(commandLine.parse(QStringList{QStringLiteral("oskiro-mero")} + arguments), outcome);
    QCOMPARE(commandLine.errorText(), error);
    if (outcome == EOutcome::Run) {
        QCOMPARE(commandLine.options().dataDir, dataDir);
        QCOMPARE(commandLine.options().unattended, unattended);
        QCOMPARE(commandLine.options().quitAfterMs, quitAfterMs);
    }
}

void TestCommandLine::outcomeTexts_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("withUsage");

    QTest::newRow("version") << QStringList{"--version"} << 0 << "oskiro-mero 1.15.823\n" << false;
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: " << true;
    QTest::newRow("error") << QStringList{"--bogus"} << 1 << "oskiro-mero: Unknown option 'bogus'.\n\nUsage: "
                           << true;
}

void TestCommandLine::outcomeTexts()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, start);
    QFETCH(bool, withUsage);

    CommandLine commandLine;
    const EOutcome outcome = commandLine.parse(QStringList{QStringLiteral("oskiro-mero")} + arguments);
    QCOMPARE(CommandLine::exitCode(outcome), exitCode);
    const QString text = commandLine.outcomeText(outcome);
    QVERIFY2(text.startsWith(start), qPrintable(text));
    for (const char *option : {"--data-dir <dir>", "--unattended", "--quit-after <ms>", "--version"})
        QCOMPARE(text.contains(QLatin1String(option)), withUsage);
}

void TestCommandLine::dataDirBecomesAppDir()
{
    QTemporaryDir dir;
    CommandLine commandLine;
    QCOMPARE(commandLine.parse({QStringLiteral("oskiro-mero"), QStringLiteral("--data-dir"),
                                dir.path() + QStringLiteral("/sub/../data")}),
             EOutcome::Run);
    commandLine.apply();
    QCOMPARE(ZCore::AppEnvironment::appDir(), QDir(dir.path()).filePath(QStringLiteral("data")));
    QVERIFY(!UserDialogs::isUnattended());
}

void TestCommandLine::unattendedLogsBoxesAndAnswersNo_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("expected");

    QTest::newRow("question") << int(UserDialogs::EKind::Question)
                              << "UserDialogs >> box not shown (unattended): [ Update ] Install 1.16.0? => No";
    QTest::newRow("warning") << int(UserDialogs::EKind::Warning)
                             << "UserDialogs >> box not shown (unattended): [ Update ] Install 1.16.0?";
    QTest::newRow("information") << int(UserDialogs::EKind::Information)
                                 << "UserDialogs >> box not shown (unattended): [ Update ] Install 1.16.0?";
    QTest::newRow("critical") << int(UserDialogs::EKind::Critical)
                              << "UserDialogs >> box not shown (unattended): [ Update ] Install 1.16.0?";
}

void TestCommandLine::unattendedLogsBoxesAndAnswersNo()
{
    QFETCH(int, kind);
    QFETCH(QString, expected);

    CommandLine commandLine;
    QCOMPARE(commandLine.parse({QStringLiteral("oskiro-mero"), QStringLiteral("--unattended")}), EOutcome::Run);
    commandLine.apply();
    QVERIFY(UserDialogs::isUnattended());

    TestSupport::LogCapture log;
    const QString title = QStringLiteral("Update");
    const QString text = QStringLiteral("Install 1.16.0?");
    switch (UserDialogs::EKind(kind)) {
    case UserDialogs::EKind::Question:
        QCOMPARE(UserDialogs::question(nullptr, title, text), false);
        break;
    case UserDialogs::EKind::Warning:
        UserDialogs::warning(nullptr, title, text);
        break;
    case UserDialogs::EKind::Information:
        UserDialogs::information(nullptr, title, text);
        break;
    default:
        UserDialogs::critical(nullptr, title, text);
        break;
    }
    QCOMPARE(log.lines(QtInfoMsg), QStringList{expected});
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
