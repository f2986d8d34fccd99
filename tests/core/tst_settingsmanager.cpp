#include "core/settingsmanager.h"

#include "core/appenvironment.h"
#include "core/esettingsgroups.h"
#include "core/isettingsrestorable.h"
#include "data/scan/tscanpreset.h"
#include "logcapture.h"
#include "recordingdialogs.h"
#include "tempappdir.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using ZCore::ESettingsGroups;
using ZCore::SettingsManager;
using ZCore::TFrequency;
using ZData::TScanPreset;
using TestSupport::LogCapture;

namespace {

// The file as written, one "section/key=value" a line: INI values are
// compared as text, the way a person editing the profile sees them.
QStringList iniLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList entries;
    QString section;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            section = line.mid(1, line.size() - 2);
        else if (line.contains(QLatin1Char('=')))
            entries << section + QLatin1Char('/') + line;
    }
    return entries;
}

QString iniValue(const QString &path, const QString &key)
{
    for (const QString &entry : iniLines(path)) {
        if (entry.startsWith(key + QLatin1Char('=')))
            return entry.mid(key.size() + 1);
    }
    return QStringLiteral("<missing>");
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// An object that keeps state across runs, as the managers and windows do.
class FakeRestorable : public ZCore::ISettingsRestorable
{
public:
    FakeRestorable(QStringList &journal, QString name, QString key, QVariant value)
        : m_journal(journal), m_name(std::move(name)), m_key(std::move(key)), m_value(std::move(value))
    {
    }

    void saveSettings() override
    {
        m_journal << m_name;
        SettingsManager::currentSettings()->setValue(m_key, m_value);
    }
    void restoreSettings() override {}

private:
    QStringList &m_journal;
    QString m_name;
    QString m_key;
    QVariant m_value;
};

} // namespace

class TestSettingsManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void groupText_data();
    void groupText();
    void firstStart();
    void defaultProfileContent();
    void userProfileContent();
    void laterStart_data();
    void laterStart();
    void initFailsWithoutProfilesDir();
    void snapshotsAreDetached();
    void openProfile_data();
    void openProfile();
    void saveProfileAsRefuses_data();
    void saveProfileAsRefuses();
    void saveProfileAsSavesEnrolled();
    void loadProfile_data();
    void loadProfile();
    void loadProfilesOfEqualSize();

private:
    QString profile(const QString &name) const { return m_appDir->filePath(QStringLiteral("profiles/%1.ini").arg(name)); }
    // One application start: the manager initialised in the test's directory.
    bool start();

    std::unique_ptr<TestSupport::TempAppDir> m_appDir;
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
};

void TestSettingsManager::init()
{
    m_appDir = std::make_unique<TestSupport::TempAppDir>();
    m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    QVERIFY(m_appDir->isValid());
}

void TestSettingsManager::cleanup()
{
    // Nothing pending may be written after the directory is gone.
    if (QSettings *current = SettingsManager::currentSettings())
        current->sync();
    if (QSettings *user = SettingsManager::userSettings())
        user->sync();
    m_dialogs.reset();
    m_appDir.reset();
}

bool TestSettingsManager::start()
{
    LogCapture quiet;
    return SettingsManager::init();
}

void TestSettingsManager::groupText_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");

    // The sections the profile tests below do not reach.
    QTest::newRow("1") << 1 << "Device";
    QTest::newRow("4") << 4 << "Window.Connection";
    QTest::newRow("5") << 5 << "Calibration";
    QTest::newRow("unknown") << 9 << "9";
}

void TestSettingsManager::groupText()
{
    QFETCH(int, value);
    QFETCH(QString, text);

    LogCapture log;
    QCOMPARE(ZCore::settingsGroupText(static_cast<ESettingsGroups>(value)), text);
    QCOMPARE(log.lines(QtWarningMsg).join(QString()),
             value == 9 ? QStringLiteral("EnumPrinter >> got unknown value of [ ESettingsGroups ]: 9") : QString());
}

void TestSettingsManager::firstStart()
{
    LogCapture log;
    QVERIFY(SettingsManager::init());
    const QString dir = m_appDir->filePath(QStringLiteral("profiles"));
    QCOMPARE(log.lines(QtWarningMsg), QStringList({
        "SettingsManager >> 'default' profile doesn't exist yet => generating it now..",
        "SettingsManager >> 'user' profile doesn't exist yet => generating it now..",
        "SettingsManager >> current settings file wasn't found at: " + dir + "/current.ini",
    }));
    QVERIFY(log.lines(QtCriticalMsg).isEmpty());
    QCOMPARE(SettingsManager::currentSettings()->fileName(), dir + "/current.ini");
    QCOMPARE(SettingsManager::userSettings()->fileName(), dir + "/user.ini");
    // The working copy starts as the default profile, byte for byte.
    QVERIFY(!fileBytes(profile("default")).isEmpty());
    QCOMPARE(fileBytes(profile("current")), fileBytes(profile("default")));
}

void TestSettingsManager::defaultProfileContent()
{
    struct Key
    {
        const char *key;
        const char *value;
        const char *comment;
    };
    const Key keys[] = {
        {"Default/com_port", "COM-9", nullptr},
        {"Default/selected_scan_preset", "0", nullptr},
        {"Default/selected_source_power", "0", nullptr},
        {"Default/language", ":/translation/dranwell_en.qm", nullptr},
        {"Window.Main/menu_page", "0", nullptr},
        {"Window.Main/menu_visible", "true", nullptr},
        {"Charts/selected_chartview", "0", nullptr},
        {"Charts/use_opengl", "false", nullptr},
        {"RF/S21_ATT", "0", "Значение внешнего аттенюатора для канала S21 в -дБ"},
        {"RF/S12_ATT", "0", "Значение внешнего аттенюатора для канала S12 в -дБ"},
        {"RF/AMP_OFFSET", "0", "Смещение шкалы при отображении в дБ после калибровки"},
        {"RF/RF_OFFSET", "1", "Смещение шкалы при отображении в дБм до калибровки"},
        {"RF/S21_AMP_ORIGIN", "20", "S21 дБм до калибровки"},
        {"RF/S12_AMP_ORIGIN", "20", "S12 дБм до калибровки"},
        {"RF/GAIN", "0", "Коэффициент усиления ОУ в дБ"},
        {"RF/SAMPLE_SIZE", "1024", "Число отсчетов в выборке. Не менее 128 и не более 1024"},
        {"RF/ADC_OVERFLOW_LEVEL", "-1", "Порог перегрузки АЦП в дБм"},
        {"RF/RF_OVERLOAD", "2000", "Порог перегрузки смесителя в значениях АЦП"},
    };
    QStringList expected;
    for (const Key &key : keys) {
        expected << QString::fromUtf8(key.key) + '=' + key.value;
        if (key.comment)
            expected << QString::fromUtf8(key.key) + "_COMMENT=" + QString::fromUtf8(key.comment);
    }
    expected.sort();

    QVERIFY(start());
    QStringList written = iniLines(profile("default"));
    written.sort();
    QCOMPARE(written, expected);
    QCOMPARE(SettingsManager::currentSettings()->value("RF/SAMPLE_SIZE").toInt(), 1024);
}

void TestSettingsManager::userProfileContent()
{
    // Name, then start, stop and three markers of S21 and of S12, in MHz.
    const QList<QPair<QString, QList<int>>> presets{
        {"GSM900/UMTS900", {870, 925, 880, 895, 915, 915, 970, 925, 945, 960}},
        {"GSM1800/LTE1800", {1685, 1805, 1710, 1745, 1785, 1785, 1905, 1805, 1845, 1880}},
        {"UMTS2100/LTE2100", {1885, 2050, 1920, 1950, 1980, 2050, 2220, 2110, 2140, 2170}},
        {"LTE800", {800, 900, 830, 850, 870, 780, 850, 800, 815, 830}},
        {"LTE2600", {2450, 2600, 2480, 2530, 2580, 2600, 2720, 2620, 2660, 2700}},
    };
    const auto hz = [](int mhz) { return QString::number(qint64(mhz) * 1000000); };
    QStringList expected{
        "Range_Presets/size=5",
        "Range_Presets/SIZE_COMMENT=Количество предустановок диапазонов сканирования",
        "Theme/LIGHT_THEME_ENABLED=0",
        "Theme/LIGHT_THEME_ENABLED_COMMENT=Включить (1) или выключить (0) светлую тему графиков",
    };
    for (int i = 0; i < presets.size(); ++i) {
        const QString entry = QStringLiteral("Range_Presets/%1\\").arg(i + 1);
        const QList<int> &mhz = presets.at(i).second;
        expected << entry + "name=" + presets.at(i).first
                 << entry + "NAME_COMMENT=Название предустановки. Отображается в выпадающем списке";
        for (int c = 0; c < 2; ++c) {
            const QString prefix = entry + (c == 0 ? "S21\\" : "S12\\");
            expected << prefix + "start=" + hz(mhz.at(5 * c)) << prefix + "stop=" + hz(mhz.at(5 * c + 1))
                     << prefix + "points=100" << prefix + "marks\\size=3"
                     << prefix + "START_COMMMENT=Начало диапазона" << prefix + "STOP_COMMMENT=Конец диапазона"
                     << prefix + "POINTS_COMMMENT=Количество точек в диапазоне"
                     << prefix + "marks\\SIZE_COMMENT=Количество маркеров в предустановке. Максимально 5 штук"
                     // Quoted by the settings object because of the comma.
                     << prefix + "marks\\FREQ_COMMENT=\"Частоты, на которых должны стоять маркеры\"";
            for (int m = 1; m <= 3; ++m)
                expected << prefix + QStringLiteral("marks\\%1\\freq=").arg(m) + hz(mhz.at(5 * c + m + 1));
        }
    }
    expected.sort();

    QVERIFY(start());
    QStringList written = iniLines(profile("user"));
    written.sort();
    QCOMPARE(written, expected);

    // What the scan manager will read back from it.
    const QList<TScanPreset> read = ZData::PresetSettings::readScanPresets(*SettingsManager::userSettingsSnapshot());
    QCOMPARE(read.size(), 5);
    QCOMPARE(read.at(3).name, QStringLiteral("LTE800"));
    QCOMPARE(read.at(3).channel(1).marks.last(), TFrequency(830, TFrequency::kMultiplierMHz));
}

void TestSettingsManager::laterStart_data()
{
    QTest::addColumn<bool>("userDeleted");

    QTest::newRow("user profile edited") << false;
    QTest::newRow("user profile deleted") << true;
}

void TestSettingsManager::laterStart()
{
    QFETCH(bool, userDeleted);

    QVERIFY(start());
    SettingsManager::currentSettings()->setValue(QStringLiteral("RF/S21_ATT"), 12.5);
    SettingsManager::saveAllSettings();
    QVERIFY(writeFile(profile("default"), fileBytes(profile("default")) + "\n[Junk]\nstale=1\n"));
    QByteArray user = fileBytes(profile("user"));
    QVERIFY(userDeleted ? QFile::remove(profile("user"))
                        : writeFile(profile("user"), user.replace("name=LTE800", "name=My band")));

    LogCapture log;
    QVERIFY(SettingsManager::init());
    QCOMPARE(log.contains(QStringLiteral("'user' profile doesn't exist yet => generating it now..")), userDeleted);
    // The default profile is rebuilt; the user's own files are kept.
    QVERIFY(!fileBytes(profile("default")).contains("Junk"));
    QCOMPARE(iniValue(profile("default"), "RF/S21_ATT"), QStringLiteral("0"));
    QCOMPARE(iniValue(profile("current"), "RF/S21_ATT"), QStringLiteral("12.5"));
    QCOMPARE(SettingsManager::currentSettings()->value("RF/S21_ATT").toDouble(), 12.5);
    QCOMPARE(SettingsManager::userSettings()->value("Range_Presets/4/name").toString(),
             userDeleted ? QStringLiteral("LTE800") : QStringLiteral("My band"));
}

void TestSettingsManager::initFailsWithoutProfilesDir()
{
    const QString blocker = m_appDir->filePath(QStringLiteral("not-a-dir"));
    QVERIFY(writeFile(blocker, "x"));
    ZCore::AppEnvironment::setAppDir(blocker);

    LogCapture log;
    QVERIFY(!SettingsManager::init());
    QCOMPARE(log.lines(QtCriticalMsg).last(),
             QStringLiteral("SettingsManager >>dw_err_settings_cant_create_dirs") + blocker + "/profiles");
    QVERIFY(!SettingsManager::userSettings());
    QVERIFY(!SettingsManager::userSettingsSnapshot());
    QVERIFY(!SettingsManager::currentSettingsSnapshot());
}

void TestSettingsManager::snapshotsAreDetached()
{
    QVERIFY(start());
    QSettings *current = SettingsManager::currentSettings();
    const QString key = QStringLiteral("Default/selected_source_power");

    std::unique_ptr<QSettings> before = SettingsManager::currentSettingsSnapshot();
    current->setValue(key, 1);
    std::unique_ptr<QSettings> after = SettingsManager::currentSettingsSnapshot();
    current->setValue(key, 2);
    // Writing into one snapshot never shows in another or in the profile,
    // and a sync goes nowhere.
    before->setValue(key, 9);
    before->sync();
    QCOMPARE(before->status(), QSettings::NoError);
    QCOMPARE(before->value(key).toInt(), 9);
    QCOMPARE(before->value(QStringLiteral("RF/SAMPLE_SIZE")).toInt(), 1024);
    QCOMPARE(after->value(key).toInt(), 1);
    QCOMPARE(current->value(key).toInt(), 2);

    // A snapshot taken after an earlier one is gone starts from the profile.
    before.reset();
    after.reset();
    QCOMPARE(SettingsManager::currentSettingsSnapshot()->value(key).toInt(), 2);
    std::unique_ptr<QSettings> user = SettingsManager::userSettingsSnapshot();
    QCOMPARE(user->value(QStringLiteral("Range_Presets/size")).toInt(), 5);
    QVERIFY(!user->contains(key));
}

void TestSettingsManager::openProfile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("currentFile"); // empty: refused

    QTest::newRow("current") << "profiles/current.ini" << "current";
    QTest::newRow("default") << "profiles/default.ini" << "default";
    QTest::newRow("user") << "profiles/user.ini" << "current";
    QTest::newRow("other file") << "profiles/mine.ini" << "";
    QTest::newRow("current in upper case") << "profiles/CURRENT.INI" << "";
    QTest::newRow("current, roundabout path") << "profiles/../profiles/current.ini" << "";
}

void TestSettingsManager::openProfile()
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
    // A refused file drops the handle: no snapshot until the profile is
    // asked for again, which reopens the current file.
    QCOMPARE(bool(SettingsManager::currentSettingsSnapshot()), !refused);
    QCOMPARE(SettingsManager::currentSettings()->fileName(), profile(refused ? "current" : currentFile));
    QCOMPARE(SettingsManager::userSettings()->fileName(), profile("user"));
    // No foreign file is ever created, and the user profile is untouched.
    QCOMPARE(QFileInfo::exists(path), !refused || name.contains(QLatin1String("..")));
    QCOMPARE(fileBytes(profile("user")), userBefore);
}

void TestSettingsManager::saveProfileAsRefuses_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");

    QTest::newRow("current") << "profiles/current.ini" << "current";
    QTest::newRow("current in upper case") << "PROFILES/CURRENT.INI" << "current";
    QTest::newRow("current, roundabout path") << "profiles/./../profiles/Current.ini" << "current";
    QTest::newRow("default, mixed case") << "profiles/Default.Ini" << "default";
    QTest::newRow("user in upper case") << "profiles/USER.INI" << "user";
}

void TestSettingsManager::saveProfileAsRefuses()
{
    QFETCH(QString, name);
    QFETCH(QString, message);

    QVERIFY(start());
    QStringList journal;
    FakeRestorable restorable(journal, "page", "Window.Main/menu_page", 4);
    SettingsManager::addRestorable(&restorable);
    // The file named in any letter case is the profile itself, so the
    // application directory's own letters are kept.
    const QString path = m_appDir->path() + "/" + name;
    const QByteArray before = fileBytes(profile("current")) + fileBytes(profile("default")) + fileBytes(profile("user"));

    LogCapture log;
    QVERIFY(!SettingsManager::saveProfileAs(path));
    QCOMPARE(log.lines(QtCriticalMsg).size(), 1);
    QVERIFY2(log.lines(QtCriticalMsg).first().startsWith("SettingsManager >> dw_err_settings_cant_rewrite_" + message),
             qPrintable(log.lines().join('\n')));
    QVERIFY(journal.isEmpty());
    QCOMPARE(fileBytes(profile("current")) + fileBytes(profile("default")) + fileBytes(profile("user")), before);
}

void TestSettingsManager::saveProfileAsSavesEnrolled()
{
    QVERIFY(start());
    QStringList journal;
    FakeRestorable window(journal, "window", "Window.Main/menu_page", 4);
    FakeRestorable gone(journal, "gone", "Default/com_port", "COM-1");
    FakeRestorable charts(journal, "charts", "Charts/selected_chartview", 2);
    SettingsManager::addRestorable(&window);
    SettingsManager::addRestorable(nullptr);
    SettingsManager::addRestorable(&gone);
    SettingsManager::addRestorable(&charts);
    SettingsManager::removeRestorable(&gone);
    QCOMPARE(SettingsManager::restorableCount(), 2);

    const QString path = m_appDir->filePath(QStringLiteral("exported.ini"));
    QVERIFY(writeFile(path, "[Old]\nkey=1\n"));
    LogCapture log;
    QVERIFY(SettingsManager::saveProfileAs(path));
    QCOMPARE(log.lines(QtInfoMsg), QStringList{"SettingsManager >> saving user settings to: " + path});
    QCOMPARE(journal, QStringList({"window", "charts"}));

    // The export is the current profile as saved, the old file replaced.
    QCOMPARE(fileBytes(path), fileBytes(profile("current")));
    QCOMPARE(iniValue(path, "Window.Main/menu_page"), QStringLiteral("4"));
    QCOMPARE(iniValue(path, "Charts/selected_chartview"), QStringLiteral("2"));
    QCOMPARE(iniValue(path, "Default/com_port"), QStringLiteral("COM-9"));
    QCOMPARE(iniValue(path, "Old/key"), QStringLiteral("<missing>"));

    // A new start forgets the enrolments of the previous one.
    QVERIFY(start());
    QCOMPARE(SettingsManager::restorableCount(), 0);
}

void TestSettingsManager::loadProfile_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("expectedPreset");
    QTest::addColumn<QString>("logged");

    QTest::newRow("existing file") << true << "7" << "SettingsManager >> loading settings from: ";
    QTest::newRow("missing file") << false << "0" << "SettingsManager >> reverting settings to default..";
}

void TestSettingsManager::loadProfile()
{
    QFETCH(bool, exists);
    QFETCH(QString, expectedPreset);
    QFETCH(QString, logged);

    QVERIFY(start());
    const QString key = QStringLiteral("Default/selected_scan_preset");
    QSettings *current = SettingsManager::currentSettings();
    current->setValue(key, 3);
    current->sync();
    // Same size as the current file: only the content tells them apart.
    const QString path = m_appDir->filePath(QStringLiteral("saved.ini"));
    if (exists)
        QVERIFY(writeFile(path, fileBytes(profile("current")).replace("selected_scan_preset=3", "selected_scan_preset=7")));
    // A value never saved must not leak into the loaded profile.
    current->setValue(QStringLiteral("Default/unsaved"), 1);

    QSignalSpy gotSettings(&SettingsManager::instance(), &SettingsManager::signalGotSettings);
    LogCapture log;
    SettingsManager::loadProfile(path);

    QCOMPARE(gotSettings.count(), 1);
    QVERIFY2(log.lines().first().startsWith(logged), qPrintable(log.lines().join('\n')));
    QCOMPARE(SettingsManager::currentSettings()->fileName(), profile("current"));
    QCOMPARE(SettingsManager::currentSettings()->value(key).toString(), expectedPreset);
    QVERIFY(!SettingsManager::currentSettings()->contains(QStringLiteral("Default/unsaved")));
    QCOMPARE(iniValue(profile("current"), "Default/selected_scan_preset"), expectedPreset);
    QCOMPARE(SettingsManager::currentSettingsSnapshot()->value(key).toString(), expectedPreset);
}

void TestSettingsManager::loadProfilesOfEqualSize()
{
    QVERIFY(start());
    const QString key = QStringLiteral("Default/selected_scan_preset");
    const QString path = m_appDir->filePath(QStringLiteral("saved.ini"));
    const QByteArray original = fileBytes(profile("current"));
    // Loads in quick succession of files that differ only in one digit: each
    // must be read afresh, not taken for the profile that was there before.
    for (int i = 0; i < 10; ++i) {
        const QByteArray digit = QByteArray::number(i % 5);
        QVERIFY(writeFile(path, QByteArray(original).replace("selected_scan_preset=0", "selected_scan_preset=" + digit)));
        // Saved by the load itself, right before the file is replaced.
        SettingsManager::currentSettings()->setValue(key, 5);
        LogCapture quiet;
        SettingsManager::loadProfile(path);
        QCOMPARE(SettingsManager::currentSettings()->value(key).toByteArray(), digit);
    }
}

QTEST_GUILESS_MAIN(TestSettingsManager)
#include "tst_settingsmanager.moc"
