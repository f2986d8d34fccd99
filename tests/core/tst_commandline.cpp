#include "core/appenvironment.h"
#include "core/commandline.h"
#include "core/userdialogs.h"
#include "logcapture.h"

#include <QDir>
#include <QtTest>

using ZCore::AppEnvironment;
using ZCore::CommandLine;
using ZCore::UserDialogs;
using EOutcome = ZCore::CommandLine::EOutcome;

Q_DECLARE_METATYPE(ZCore::CommandLine::EOutcome)

// The command line and the application directory it chooses.
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { CommandLine::setApplicationIdentity(); }
    void cleanup();

    void parse_data();
    void parse();
    void resolveAppDir_data();
    void resolveAppDir();
    void applyChoosesDirAndUnattendedBoxes();
};

void TestCommandLine::cleanup()
{
    UserDialogs::setUnattended(false);
    AppEnvironment::setAppDir(QString());
}

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<EOutcome>("outcome");
    // Run: "dataDir|unattended|quitAfterMs|port|url"; otherwise the error text.
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("exitCode");

    const EOutcome run = EOutcome::Run, error = EOutcome::Error;
    QTest::newRow("nothing") << QStringList() << run << "|0|-1||" << 0;
    QTest::newRow("all options") << QStringList{"--data-dir", "/srv/mero", "--unattended", "--quit-after", "250",
                                                "--port", "ttyACM0", "--update-url=http://h/u"} << run << "/srv/mero|1|250|ttyACM0|http://h/u" << 0;
    QTest::newRow("equals form") << QStringList{"--data-dir=run data", "--quit-after=0"} << run << "run data|0|0||" << 0;
    QTest::newRow("screenshot is unattended") << QStringList{"--simulate", "--screenshot", "w.png"} << run << "|1|-1||" << 0;
    // Nobody is at a measurement to close a box.
    QTest::newRow("measure is unattended") << QStringList{"--measure", "--port=ttyACM0", "--export", "a.S2P"} << run << "|1|-1|ttyACM0|" << 0;
    QTest::newRow("help") << QStringList{"-h"} << EOutcome::ShowHelp << "" << 0;
    QTest::newRow("version") << QStringList{"--version"} << EOutcome::ShowVersion << "" << 0;
    QTest::newRow("help wins over a bad value") << QStringList{"--quit-after", "soon", "--help"} << EOutcome::ShowHelp << "" << 0;
    QTest::newRow("unknown option") << QStringList{"--bogus"} << error << "Unknown option 'bogus'." << 1;
    // A script asking for a measurement tells its usage errors from a failed verdict.
    QTest::newRow("unknown option, measure") << QStringList{"--bogus", "-measure"} << error << "Unknown option 'bogus'." << 2;
    QTest::newRow("empty data dir") << QStringList{"--data-dir="} << error << "The option '--data-dir' needs a directory." << 1;
    QTest::newRow("empty screenshot") << QStringList{"--screenshot="} << error << "The option '--screenshot' needs a file." << 1;
    QTest::newRow("simulator and port") << QStringList{"--simulate", "--port=ttyACM0"} << error
                                        << "The options '--simulate' and '--port' exclude each other." << 1;
    QTest::newRow("quit after negative") << QStringList{"--quit-after=-5"} << error
                                         << "Invalid value '-5' for '--quit-after': expected a number of milliseconds." << 1;
    QTest::newRow("measure option alone") << QStringList{"--preset", "2"} << error << "The option '--preset' needs '--measure'." << 1;
    QTest::newRow("measure without device") << QStringList{"--measure", "--power", "high"} << error
                                            << "The option '--measure' needs '--port' or '--simulate'." << 2;
    QTest::newRow("measure and screenshot") << QStringList{"--measure", "--simulate", "--screenshot", "w.png"} << error
                                            << "The option '--screenshot' does not go with '--measure'." << 2;
    QTest::newRow("preset zero") << QStringList{"--measure", "--simulate", "--preset", "0"} << error
                                 << "Invalid value '0' for '--preset': expected a whole number from 1 to 1000." << 2;
    QTest::newRow("power medium") << QStringList{"--measure", "--simulate", "--power", "medium"} << error
                                  << "Invalid value 'medium' for '--power': expected low or high." << 2;
    QTest::newRow("export suffix only") << QStringList{"--measure", "--simulate", "--export", ".csv"} << error
                                        << "The file '.csv' of '--export' must end in .csv, .s2p, .png." << 2;
    QTest::newRow("stray argument") << QStringList{"profile.ini"} << error << "Unexpected argument 'profile.ini'." << 1;
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(EOutcome, outcome);
    QFETCH(QString, expected);
    QFETCH(int, exitCode);

    CommandLine commandLine;
    // A parser is reused without leftovers from an earlier run.
    commandLine.parse({"oskiro-mero", "--unattended", "--data-dir=/old", "--quit-after=9", "--port=x", "--update-url=y"});
    QCOMPARE(commandLine.parse(QStringList{QStringLiteral("oskiro-mero")} + arguments), outcome);
    QCOMPARE(commandLine.exitCode(outcome), exitCode);
    const CommandLine::Options &o = commandLine.options();
    QCOMPARE(outcome == EOutcome::Run ? QStringLiteral("%1|%2|%3|%4|%5").arg(o.dataDir).arg(int(o.unattended))
                                            .arg(o.quitAfterMs).arg(o.portName, o.updateUrl) : commandLine.errorText(), expected);
    // An error is told with the usage after it.
    QVERIFY(outcome != EOutcome::Error || commandLine.outcomeText(outcome).startsWith("oskiro-mero: " + expected + "\n\nUsage: "));
}

void TestCommandLine::resolveAppDir_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("executableDirWritable");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("userDir");
    QTest::addColumn<QString>("expectedDir");
    QTest::addColumn<QString>("expectedLine");

    // "%exe" stands for the executable's directory of the row.
    const QString user = QStringLiteral("/home/u/.local/share/oskiro-mero");
    QTest::newRow("chosen wins") << "/srv/mero" << true << true << user << "/srv/mero" << ">> application directory (chosen): /srv/mero";
    QTest::newRow("beside the executable") << "" << true << false << user << "%exe" << ">> application directory (beside the executable): %exe";
    QTest::newRow("per-user fallback") << "" << false << false << user << user
        << ">> application directory (per-user, the executable's directory %exe is not writable): " + user;
    QTest::newRow("no per-user location") << "" << false << false << "" << "%exe" << ">> application directory (beside the executable): %exe";
    // Run as root, an installed bin/ is writable too.
    QTest::newRow("installed, writable") << "" << true << true << user << user
        << ">> application directory (per-user, installed in %exe): " + user;
}

void TestCommandLine::resolveAppDir()
{
    QFETCH(QString, chosen);
    QFETCH(bool, executableDirWritable);
    QFETCH(bool, installed);
    QFETCH(QString, userDir);
    QFETCH(QString, expectedDir);
    QFETCH(QString, expectedLine);

    // A directory that does not exist cannot be written, whoever runs the test.
    QTemporaryDir existing;
    const QString exeDir = existing.path() + (executableDirWritable ? QStringLiteral("/bin") : QStringLiteral("/gone"));
    QVERIFY(!executableDirWritable || QDir(existing.path()).mkdir(QStringLiteral("bin")));
    const QString menuEntry = QStringLiteral("share/applications/%1.desktop").arg(AppEnvironment::kDesktopId);
    QVERIFY(!installed || (QDir(existing.path()).mkpath(QStringLiteral("share/applications"))
                           && QFile(existing.filePath(menuEntry)).open(QIODevice::WriteOnly)));
    expectedDir.replace(QStringLiteral("%exe"), exeDir);
    expectedLine.replace(QStringLiteral("%exe"), exeDir);

    const AppEnvironment::TResolution resolution = AppEnvironment::resolve(chosen, exeDir, userDir);
    QCOMPARE(resolution.dir, expectedDir);
    QCOMPARE(AppEnvironment::describe(resolution, exeDir), expectedLine);
}

void TestCommandLine::applyChoosesDirAndUnattendedBoxes()
{
    CommandLine commandLine;
    QCOMPARE(commandLine.parse({"oskiro-mero", "--data-dir", "relative/../data/"}), EOutcome::Run);
    commandLine.apply();
    // Made absolute and clean, so a later change of directory cannot move it.
    const QString expected = QDir::cleanPath(QDir::current().absoluteFilePath(QStringLiteral("data")));
    QCOMPARE(AppEnvironment::appDir(), expected);
    QCOMPARE(AppEnvironment::appDirDescription(), QStringLiteral(">> application directory (chosen): ") + expected);
    QVERIFY(!UserDialogs::isUnattended());

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
