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
    // Run: "dataDir|unattended|quitAfterMs|port|url"; otherwise the error text.
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing") << QStringList() << EOutcome::Run << "|0|-1||";
    QTest::newRow("all options") << QStringList{"--data-dir", "/srv/mero", "--unattended", "--quit-after", "250",
                                                "--port", "ttyACM0", "--update-url=http://h/u"}
                                 << EOutcome::Run << "/srv/mero|1|250|ttyACM0|http://h/u";
    QTest::newRow("equals form") << QStringList{"--data-dir=run data", "--quit-after=0"} << EOutcome::Run
                                 << "run data|0|0||";
    QTest::newRow("screenshot is unattended") << QStringList{"--simulate", "--screenshot", "w.png"} << EOutcome::Run
                                              << "|1|-1||";
    // Nobody is at a measurement to close a box.
    QTest::newRow("measure is unattended") << QStringList{"--measure", "--port=ttyACM0", "--export", "a.S2P"}
                                           << EOutcome::Run << "|1|-1|ttyACM0|";
    QTest::newRow("help") << QStringList{"-h"} << EOutcome::ShowHelp << "";
    QTest::newRow("version") << QStringList{"--version"} << EOutcome::ShowVersion << "";
    QTest::newRow("help wins over a bad value") << QStringList{"--quit-after", "soon", "--help"}
                                                << EOutcome::ShowHelp << "";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << EOutcome::Error << "Unknown option 'bogus'.";
    QTest::newRow("missing value") << QStringList{"--data-dir"} << EOutcome::Error
                                   << "Missing value after '--data-dir'.";
    QTest::newRow("empty data dir") << QStringList{"--data-dir="} << EOutcome::Error
                                    << "The option '--data-dir' needs a directory.";
    QTest::newRow("empty port") << QStringList{"--port="} << EOutcome::Error << "The option '--port' needs a port name.";
    QTest::newRow("empty url") << QStringList{"--update-url="} << EOutcome::Error
                               << "The option '--update-url' needs a URL.";
    QTest::newRow("empty screenshot") << QStringList{"--screenshot="} << EOutcome::Error
                                      << "The option '--screenshot' needs a file.";
    QTest::newRow("simulator and port") << QStringList{"--simulate", "--port=ttyACM0"} << EOutcome::Error
                                        << "The options '--simulate' and '--port' exclude each other.";
    QTest::newRow("quit after negative") << QStringList{"--quit-after=-5"} << EOutcome::Error
        << "Invalid value '-5' for '--quit-after': expected a number of milliseconds.";
    QTest::newRow("measure option alone") << QStringList{"--preset", "2"} << EOutcome::Error
                                          << "The option '--preset' needs '--measure'.";
    QTest::newRow("measure without device") << QStringList{"--measure", "--power", "high"} << EOutcome::Error
                                            << "The option '--measure' needs '--port' or '--simulate'.";
    QTest::newRow("measure and screenshot") << QStringList{"--measure", "--simulate", "--screenshot", "w.png"}
                                            << EOutcome::Error << "The option '--screenshot' does not go with '--measure'.";
    QTest::newRow("preset zero") << QStringList{"--measure", "--simulate", "--preset", "0"} << EOutcome::Error
                                 << "Invalid value '0' for '--preset': expected a whole number from 1 to 1000.";
    QTest::newRow("power medium") << QStringList{"--measure", "--simulate", "--power", "medium"} << EOutcome::Error
                                  << "Invalid value 'medium' for '--power': expected low or high.";
    QTest::newRow("export suffix only") << QStringList{"--measure", "--simulate", "--export", ".csv"}
                                        << EOutcome::Error
                                        << "The file '.csv' of '--export' must end in .csv, .s2p, .png.";
    QTest::newRow("stray argument") << QStringList{"profile.ini"} << EOutcome::Error
                                    << "Unexpected argument 'profile.ini'.";
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(EOutcome, outcome);
    QFETCH(QString, expected);

    CommandLine commandLine;
    // A parser is reused without leftovers from an earlier run.
    commandLine.parse({"oskiro-mero", "--unattended", "--data-dir=/old", "--quit-after=9", "--port=x", "--update-url=y"});
    QCOMPARE(commandLine.parse(QStringList{QStringLiteral("oskiro-mero")} + arguments), outcome);
    const CommandLine::Options &o = commandLine.options();
    if (outcome == EOutcome::Run) {
        QCOMPARE(QStringLiteral("%1|%2|%3|%4|%5").arg(o.dataDir).arg(int(o.unattended)).arg(o.quitAfterMs)
                     .arg(o.portName, o.updateUrl), expected);
    } else {
        QCOMPARE(commandLine.errorText(), outcome == EOutcome::Error ? expected : QString());
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
    QTest::newRow("measure error") << QStringList{"--bogus", "-measure"} << 2
                                   << "oskiro-mero: Unknown option 'bogus'.\n\nUsage: " << true;
}

void TestCommandLine::outcomeTexts()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, start);
    QFETCH(bool, withUsage);

    CommandLine commandLine;
    const EOutcome outcome = commandLine.parse(QStringList{QStringLiteral("oskiro-mero")} + arguments);
    QCOMPARE(commandLine.exitCode(outcome), exitCode);
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

void TestCommandLine::unattendedLogsBoxesAndAnswersNo()
{
    CommandLine commandLine;
    QCOMPARE(commandLine.parse({QStringLiteral("oskiro-mero"), QStringLiteral("--unattended")}), EOutcome::Run);
    commandLine.apply();

    TestSupport::LogCapture log;
    QVERIFY(!UserDialogs::question(nullptr, QStringLiteral("Update"), QStringLiteral("Install 1.16.0?")));
    UserDialogs::critical(nullptr, QStringLiteral("Port"), QStringLiteral("lost"));
    QCOMPARE(log.lines(QtInfoMsg),
             QStringList({"UserDialogs >> box not shown (unattended): [ Update ] Install 1.16.0? => No",
                          "UserDialogs >> box not shown (unattended): [ Port ] lost"}));
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
