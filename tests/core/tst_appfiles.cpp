#include "core/appenvironment.h"
#include "core/commandline.h"
#include "core/isettingsrestorable.h"
#include "core/log.h"
#include "core/logger.h"
#include "core/settingsmanager.h"
#include "core/userdialogs.h"
#include "data/scan/tscanpreset.h"
#include "logcapture.h"
#include "recordingdialogs.h"
#include "tempappdir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using EOutcome = ZCore::CommandLine::EOutcome;
using TestSupport::LogCapture;
using ZCore::AppEnvironment;
using ZCore::CommandLine;
using ZCore::Logger;
using ZCore::SettingsManager;
using ZCore::UserDialogs;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file as written, one "section/key=value" a line, sorted: INI values are
// compared as text, the way a person editing the profile sees them.
QStringList iniLines(const QString &path)
{
    QStringList entries;
    QString section;
    for (const QString &line : QString::fromUtf8(fileBytes(path)).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')))
            section = line.mid(1, line.size() - 2);
        else if (line.contains(QLatin1Char('=')))
            entries << section + QLatin1Char('/') + line;
    }
    entries.sort();
    return entries;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// An object that keeps state across runs, as the managers and windows do.
struct FakeRestorable : ZCore::ISettingsRestorable
{
    FakeRestorable(QStringList &journal, const QString &key, const QVariant &value) : journal(journal), key(key), value(value) {}
    void saveSettings() override { journal << key, SettingsManager::currentSettings()->setValue(key, value); }
    void restoreSettings() override {}
    QStringList &journal;
    const QString key;
    const QVariant value;
};

QByteArray readLogBytes()
{
    QFile file(Logger::logFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// File lines without the elapsed field, which must be "[ " + seconds with
// three decimals right-justified to nine characters + " ]".
QStringList readLogLines()
{
    static const QRegularExpression field(QStringLiteral("^\\[ [ \\d]{4}\\d\\.\\d{3} \\]"));
    QStringList lines;
    for (const QString &line : QString::fromUtf8(readLogBytes()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines << (field.match(line).hasMatch() ? line.mid(13) : QStringLiteral("<bad elapsed> ") + line);
    return lines;
}

// Something else logs while a box is open, as the event loop lets it.
struct LoggingDialogs : UserDialogs::IBackend
{
    bool show(UserDialogs::EKind, QWidget *, const QString &, const QString &) override
    {
        ZCore::Log::info(QStringLiteral("BoxOwner"), QStringLiteral(">> written while the box is open"));
        return false;
    }
    void exitApplication(int) override {}
};

} // namespace

Q_DECLARE_METATYPE(ZCore::CommandLine::EOutcome)

// The application's directory: where the command line puts it, and the
// profiles and the log the application keeps in it.
class TestAppFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { CommandLine::setApplicationIdentity(); }
    void init()
    {
        m_appDir = std::make_unique<TestSupport::TempAppDir>();
        m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    }
    void cleanup()
    {
        Logger::uninstall();
        UserDialogs::setUnattended(false);
        // Nothing pending may be written after the directory is gone.
        for (QSettings *settings : {SettingsManager::currentSettings(), SettingsManager::userSettings()})
            if (settings)
                settings->sync();
        m_dialogs.reset();
        m_appDir.reset();
    }
    void parse_data();
    void parse();
    void resolveAppDir_data();
    void resolveAppDir();
    void applyChoosesDirAndUnattendedBoxes();
    void startWritesProfilesKeepsUserFiles();
    void initFailsWithoutItsDir_data();
    void initFailsWithoutItsDir();
    void openProfile_data();
    void openProfile();
    void saveProfileAs_data();
    void saveProfileAs();
    void loadProfile_data();
    void loadProfile();
    void lineFormat_data();
    void lineFormat();
    void fileNameAndLinesInOrder();

private:
    QString profile(const QString &name) const { return m_appDir->filePath("profiles/" + name + ".ini"); }
    bool start()
    {
        LogCapture quiet;
        return SettingsManager::init();
    }

    std::unique_ptr<TestSupport::TempAppDir> m_appDir;
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
};

void TestAppFiles::parse_data()
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
    QTest::newRow("simulator and port") << QStringList{"--simulate", "--port=ttyACM0"} << error
                                        << "The options '--simulate' and '--port' exclude each other." << 1;
    QTest::newRow("quit after negative") << QStringList{"--quit-after=-5"} << error
                                         << "Invalid value '-5' for '--quit-after': expected a number of milliseconds." << 1;
    QTest::newRow("measure option alone") << QStringList{"--preset", "2"} << error << "The option '--preset' needs '--measure'." << 1;
    QTest::newRow("measure without device") << QStringList{"--measure", "--power", "high"} << error
                                            << "The option '--measure' needs '--port' or '--simulate'." << 2;
    QTest::newRow("preset zero") << QStringList{"--measure", "--simulate", "--preset", "0"} << error
                                 << "Invalid value '0' for '--preset': expected a whole number from 1 to 1000." << 2;
    QTest::newRow("export suffix only") << QStringList{"--measure", "--simulate", "--export", ".csv"} << error
                                        << "The file '.csv' of '--export' must end in .csv, .s2p, .png." << 2;
    QTest::newRow("stray argument") << QStringList{"profile.ini"} << error << "Unexpected argument 'profile.ini'." << 1;
}

void TestAppFiles::parse()
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

void TestAppFiles::resolveAppDir_data()
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

void TestAppFiles::resolveAppDir()
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

void TestAppFiles::applyChoosesDirAndUnattendedBoxes()
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
    m_dialogs.reset(); // the boxes as the application has them
    LogCapture log;
    QVERIFY(!UserDialogs::question(nullptr, QStringLiteral("Update"), QStringLiteral("Install 1.16.0?")));
    UserDialogs::critical(nullptr, QStringLiteral("Port"), QStringLiteral("lost"));
    QCOMPARE(log.lines(QtInfoMsg),
             QStringList({"UserDialogs >> box not shown (unattended): [ Update ] Install 1.16.0? => No",
                          "UserDialogs >> box not shown (unattended): [ Port ] lost"}));
}

void TestAppFiles::startWritesProfilesKeepsUserFiles()
{
    QVERIFY(start());
    // Keys and comments are read by people editing the profile by hand.
    QStringList expected{
        "Charts/selected_chartview=0", "Charts/use_opengl=false", "Default/com_port=COM-9",
        "Default/language=:/translation/dranwell_en.qm", "Default/selected_scan_preset=0",
        "Default/selected_source_power=0", "Window.Main/menu_page=0", "Window.Main/menu_visible=true"};
    const char *const rf[][3] = {
        {"S21_ATT", "0", "Значение внешнего аттенюатора для канала S21 в -дБ"}, {"S12_ATT", "0", "Значение внешнего аттенюатора для канала S12 в -дБ"},
        {"AMP_OFFSET", "0", "Смещение шкалы при отображении в дБ после калибровки"},
        {"RF_OFFSET", "1", "Смещение шкалы при отображении в дБм до калибровки"},
        {"S21_AMP_ORIGIN", "20", "S21 дБм до калибровки"}, {"S12_AMP_ORIGIN", "20", "S12 дБм до калибровки"},
        {"GAIN", "0", "Коэффициент усиления ОУ в дБ"}, {"SAMPLE_SIZE", "1024", "Число отсчетов в выборке. Не менее 128 и не более 1024"},
        {"ADC_OVERFLOW_LEVEL", "-1", "Порог перегрузки АЦП в дБм"}, {"RF_OVERLOAD", "2000", "Порог перегрузки смесителя в значениях АЦП"}};
    for (const auto &key : rf)
        expected << QString("RF/%1=%2").arg(key[0], key[1]) << QString("RF/%1_COMMENT=").arg(key[0]) + QString::fromUtf8(key[2]);
    expected.sort();
    QCOMPARE(iniLines(profile("default")), expected);
    // The working copy starts as the default profile, byte for byte.
    QCOMPARE(fileBytes(profile("current")), fileBytes(profile("default")));

    // The user profile: five band presets, each with its comments and two
    // channels of start, stop, points, three marks and their comments.
    const QStringList user = iniLines(profile("user"));
    QCOMPARE(user.size(), 4 + 5 * (2 + 2 * 12));
    for (const char *line : {"Range_Presets/size=5", "Theme/LIGHT_THEME_ENABLED=0",
                             "Range_Presets/4\\S12\\start=780000000", "Range_Presets/5\\S21\\marks\\3\\freq=2580000000",
                             "Range_Presets/1\\S21\\marks\\FREQ_COMMENT=\"Частоты, на которых должны стоять маркеры\""})
        QVERIFY2(user.contains(QString::fromUtf8(line)), line);
    QCOMPARE(ZData::PresetSettings::readScanPresets(*SettingsManager::userSettingsSnapshot()).at(3).name, QStringLiteral("LTE800"));

    // A later start rebuilds the default profile and keeps the user's own files.
    SettingsManager::currentSettings()->setValue("RF/S21_ATT", 12.5);
    SettingsManager::saveAllSettings();
    const QByteArray defaults = fileBytes(profile("default"));
    QVERIFY(writeFile(profile("default"), defaults + "\n[Junk]\nstale=1\n"));
    QByteArray userBytes = fileBytes(profile("user"));
    QVERIFY(writeFile(profile("user"), userBytes.replace("name=LTE800", "name=My band")));

    QVERIFY(start());
    QCOMPARE(fileBytes(profile("default")), defaults);
    QVERIFY(iniLines(profile("current")).contains("RF/S21_ATT=12.5"));
    QCOMPARE(SettingsManager::userSettings()->value("Range_Presets/4/name").toString(), QStringLiteral("My band"));
}

void TestAppFiles::initFailsWithoutItsDir_data()
{
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("line");
    QTest::newRow("profiles") << "profiles" << "SettingsManager >>dw_err_settings_cant_create_dirs";
    QTest::newRow("logs") << "logs" << "Logger >>dw_err_logger_cant_create_dirs";
}

void TestAppFiles::initFailsWithoutItsDir()
{
    QFETCH(QString, dir);
    QFETCH(QString, line);
    const QString blocked = m_appDir->filePath(dir);
    QVERIFY(writeFile(blocked, "x"));
    LogCapture log;
    QVERIFY(dir == "logs" ? !Logger::init() : !SettingsManager::init() && !SettingsManager::currentSettingsSnapshot());
    QCOMPARE(log.lines(QtCriticalMsg).last(), line + blocked);
    // Every line stays with the handler already in force, and a fatal error still ends the program.
    ZCore::Log::info(QStringLiteral("EntryPoint"), QStringLiteral(">> loading MainWindow.."));
    QVERIFY(log.contains(QStringLiteral("EntryPoint >> loading MainWindow..")));
    ZCore::Log::fatal(QStringLiteral("RangeSliced"), QStringLiteral("Points value is too high"));
    QCOMPARE(m_dialogs->exitCodes(), QList<int>{1});
}

void TestAppFiles::openProfile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("currentFile"); // empty: refused
    QTest::newRow("default") << "profiles/default.ini" << "default";
    QTest::newRow("user") << "profiles/user.ini" << "current";
    QTest::newRow("other file") << "profiles/mine.ini" << "";
    QTest::newRow("current in upper case") << "profiles/CURRENT.INI" << "";
}

void TestAppFiles::openProfile()
{
    QFETCH(QString, name);
    QFETCH(QString, currentFile);
    QVERIFY(start());
    const QString path = m_appDir->filePath(name);
    const QByteArray userBefore = fileBytes(profile("user"));
    LogCapture log;
    SettingsManager::openProfile(path, QSettings::IniFormat);

    const bool refused = currentFile.isEmpty();
    QCOMPARE(log.lines(QtCriticalMsg).join(QString()),
             refused ? "SettingsManager >> dw_err_settings_custom_files_not_allowed" + path : QString());
    // A refused file drops the handle; asking again reopens the current file.
    QCOMPARE(bool(SettingsManager::currentSettingsSnapshot()), !refused);
    QCOMPARE(SettingsManager::currentSettings()->fileName(), profile(refused ? "current" : currentFile));
    QCOMPARE(QFileInfo::exists(path), !refused);
    QCOMPARE(fileBytes(profile("user")), userBefore);
}

void TestAppFiles::saveProfileAs_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("refusal"); // empty: saved
    QTest::newRow("other file") << "exported.ini" << "";
    QTest::newRow("current in upper case") << "PROFILES/CURRENT.INI" << "current";
    QTest::newRow("current, roundabout path") << "profiles/./../profiles/Current.ini" << "current";
    QTest::newRow("default, mixed case") << "profiles/Default.Ini" << "default";
}

void TestAppFiles::saveProfileAs()
{
    QFETCH(QString, name);
    QFETCH(QString, refusal);
    QVERIFY(start());
    QStringList journal;
    FakeRestorable window(journal, "Window.Main/menu_page", 4);
    FakeRestorable gone(journal, "Default/com_port", "COM-1");
    SettingsManager::addRestorable(&window);
    SettingsManager::addRestorable(&gone);
    SettingsManager::removeRestorable(&gone);
    const QString path = m_appDir->path() + "/" + name;
    const auto profiles = [this] { return fileBytes(profile("current")) + fileBytes(profile("default")) + fileBytes(profile("user")); };
    const QByteArray before = profiles();
    if (refusal.isEmpty())
        QVERIFY(writeFile(path, "[Old]\nkey=1\n"));

    LogCapture log;
    QCOMPARE(SettingsManager::saveProfileAs(path), refusal.isEmpty());
    if (!refusal.isEmpty()) {
        QCOMPARE(log.lines(QtCriticalMsg).size(), 1);
        QVERIFY(log.lines(QtCriticalMsg).first().startsWith("SettingsManager >> dw_err_settings_cant_rewrite_" + refusal));
        QVERIFY(journal.isEmpty());
        QCOMPARE(profiles(), before);
        return;
    }
    QCOMPARE(journal, QStringList{"Window.Main/menu_page"});
    // The export is the current profile as saved, the old file replaced.
    QCOMPARE(fileBytes(path), fileBytes(profile("current")));
    QVERIFY(iniLines(path).contains("Window.Main/menu_page=4") && iniLines(path).contains("Default/com_port=COM-9"));
    // A new start forgets the enrolments of the previous one.
    QVERIFY(start());
    QCOMPARE(SettingsManager::restorableCount(), 0);
}

void TestAppFiles::loadProfile_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("expectedPreset");
    QTest::newRow("existing file") << true << QByteArray("7");
    QTest::newRow("missing file: defaults") << false << QByteArray("0");
}

void TestAppFiles::loadProfile()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, expectedPreset);
    QVERIFY(start());
    const QString key = "Default/selected_scan_preset";
    const QString path = m_appDir->filePath("saved.ini");
    const QByteArray original = fileBytes(profile("current"));
    // Files of the current file's size that differ in one digit, loaded in
    // quick succession: each must be read afresh, not taken for the old one.
    for (const QByteArray &digit : {QByteArray("3"), expectedPreset}) {
        if (exists)
            QVERIFY(writeFile(path, QByteArray(original).replace("selected_scan_preset=0", "selected_scan_preset=" + digit)));
        SettingsManager::currentSettings()->setValue(key, 5);
        // A value never saved must not leak into the loaded profile.
        SettingsManager::currentSettings()->setValue("Default/unsaved", 1);
        QSignalSpy gotSettings(&SettingsManager::instance(), &SettingsManager::signalGotSettings);
        LogCapture quiet;
        SettingsManager::loadProfile(path);
        QCOMPARE(gotSettings.count(), 1);
        const QByteArray want = exists ? digit : QByteArray("0");
        QCOMPARE(SettingsManager::currentSettings()->value(key).toByteArray(), want);
        QVERIFY(!SettingsManager::currentSettings()->contains("Default/unsaved"));
        QVERIFY(iniLines(profile("current")).contains("Default/selected_scan_preset=" + want));
    }
}

void TestAppFiles::lineFormat_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<QString>("expected"); // empty: no line
    QTest::addColumn<QString>("boxTitle"); // empty: no box
    const QString raw = QStringLiteral("Dev >> 100% done %1");
    QTest::newRow("debug dropped") << 0 << QString() << QString();
    QTest::newRow("warning") << 1 << "[  WARNING  ]: " + raw << QString();
    QTest::newRow("critical") << 2 << "[  CRITICAL ]: " + raw << "Critical error";
    QTest::newRow("fatal") << 3 << "[   FATAL   ]: " + raw << "Fatal error";
}

void TestAppFiles::lineFormat()
{
    QFETCH(int, writer);
    QFETCH(QString, expected);
    QFETCH(QString, boxTitle);
    QVERIFY(Logger::init());
    void (*const writers[])(const QString &, const QString &) = {ZCore::Log::debug, ZCore::Log::warning,
                                                                  ZCore::Log::critical, ZCore::Log::fatal};
    writers[writer](QStringLiteral("Dev"), QStringLiteral(">> 100% done %1"));
    QCOMPARE(readLogLines().mid(1), expected.isEmpty() ? QStringList() : QStringList{expected});
    QCOMPARE(m_dialogs->boxes().size(), boxTitle.isEmpty() ? 0 : 1);
    if (!boxTitle.isEmpty())
        QCOMPARE(m_dialogs->boxes().first().title + ": " + m_dialogs->boxes().first().text, boxTitle + ": " + expected.mid(15));
    QCOMPARE(m_dialogs->exitCodes(), writer == 3 ? QList<int>{1} : QList<int>{});
}

void TestAppFiles::fileNameAndLinesInOrder()
{
    QVERIFY(Logger::init());
    const QFileInfo file(Logger::logFilePath());
    QCOMPARE(file.absolutePath() + "/*." + file.suffix(), QDir(m_appDir->path()).filePath(QStringLiteral("logs/*.log")));
    // Named after the moment of the start.
    const QDateTime named = QDateTime::fromString(file.completeBaseName(), "yyyy-MM-dd_hh.mm.ss");
    QVERIFY2(named.isValid() && qAbs(named.secsTo(QDateTime::currentDateTime())) <= 2, qPrintable(file.fileName()));
    const QString russian = QStringLiteral("Значение аттенюатора S21 в -дБ");
    ZCore::Log::info(QStringLiteral("SettingsManager"), QStringLiteral(">> ") + russian);
    // What is logged while a box is open reaches the file after the box's own line.
    UserDialogs::setBackend(std::make_unique<LoggingDialogs>());
    ZCore::Log::critical(QStringLiteral("SerialPort"), QStringLiteral(">> port lost"));
    UserDialogs::setBackend(nullptr);
    QCOMPARE(readLogLines().mid(1), (QStringList{QStringLiteral("[   INFO    ]: SettingsManager >> ") + russian,
                                                 QStringLiteral("[  CRITICAL ]: SerialPort >> port lost"),
                                                 QStringLiteral("[   INFO    ]: BoxOwner >> written while the box is open")}));
    QVERIFY(readLogBytes().startsWith("[ ")); // no byte-order mark
}

QTEST_MAIN(TestAppFiles)
#include "tst_appfiles.moc"
