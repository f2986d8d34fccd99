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
#include <stdexcept>

using ZCore::ESettingsGroups;
using ZCore::SettingsManager;
using ZCore::TFrequency;
using ZData::TScanPreset;
using TestSupport::LogCapture;

namespace {

struct IniEntry
{
    QString section;
    QString key;
    QString value;
};

// The file as written, in file order: INI values are compared as text, the
// way a person editing the profile sees them.
QList<IniEntry> parseIni(const QString &path)
{
    QList<IniEntry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    QString section;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            entries.append({section, line.left(equals), line.mid(equals + 1)});
    }
    return entries;
}

QString iniValue(const QList<IniEntry> &entries, const QString &section, const QString &key)
{
    for (const IniEntry &entry : entries) {
        if (entry.section == section && entry.key == key)
            return entry.value;
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

struct DefaultKey
{
    const char *section;
    const char *key;
    const char *value;
    const char *comment;
};

// Every key of a freshly generated default profile.
const DefaultKey kDefaultKeys[] = {
    {"Default", "com_port", "COM-9", nullptr},
    {"Default", "selected_scan_preset", "0", nullptr},
    {"Default", "selected_source_power", "0", nullptr},
    {"Default", "language", ":/translation/dranwell_en.qm", nullptr},
    {"Window.Main", "menu_page", "0", nullptr},
    {"Window.Main", "menu_visible", "true", nullptr},
    {"Charts", "selected_chartview", "0", nullptr},
    {"Charts", "use_opengl", "false", nullptr},
    {"RF", "S21_ATT", "0", "Значение внешнего аттенюатора для канала S21 в -дБ"},
    {"RF", "S12_ATT", "0", "Значение внешнего аттенюатора для канала S12 в -дБ"},
    {"RF", "AMP_OFFSET", "0", "Смещение шкалы при отображении в дБ после калибровки"},
    {"RF", "RF_OFFSET", "1", "Смещение шкалы при отображении в дБм до калибровки"},
    {"RF", "S21_AMP_ORIGIN", "20", "S21 дБм до калибровки"},
    {"RF", "S12_AMP_ORIGIN", "20", "S12 дБм до калибровки"},
    {"RF", "GAIN", "0", "Коэффициент усиления ОУ в дБ"},
    {"RF", "SAMPLE_SIZE", "1024", "Число отсчетов в выборке. Не менее 128 и не более 1024"},
    {"RF", "ADC_OVERFLOW_LEVEL", "-1", "Порог перегрузки АЦП в дБм"},
    {"RF", "RF_OVERLOAD", "2000", "Порог перегрузки смесителя в значениях АЦП"},
};

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
        if (QSettings *settings = SettingsManager::currentSettings())
            settings->setValue(m_key, m_value);
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

    void firstStartLog();
    void defaultProfileKeys_data();
    void defaultProfileKeys();
    void defaultProfileLayout();
    void userProfilePresets_data();
    void userProfilePresets();
    void userProfileLayout();

    void secondStart();
    void deletedUserProfileIsRegenerated();
    void initFailsWithoutProfilesDir();

    void snapshotsAreDetached();
    void snapshotNeedsHandle();

    void openProfile_data();
    void openProfile();

    void saveProfileAsRefuses_data();
    void saveProfileAsRefuses();
    void saveProfileAsSavesEnrolled();
    void saveAllSettings();

    void loadProfile_data();
    void loadProfile();
    void loadProfilesOfEqualSize();

    void registerRestorableNotImplemented();

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
    QTest::addColumn<bool>("warned");

    QTest::newRow("0") << 0 << "Default" << false;
    QTest::newRow("1") << 1 << "Device" << false;
    QTest::newRow("2") << 2 << "Charts" << false;
    QTest::newRow("3") << 3 << "Window.Main" << false;
    QTest::newRow("4") << 4 << "Window.Connection" << false;
    QTest::newRow("5") << 5 << "Calibration" << false;
    QTest::newRow("6") << 6 << "RF" << false;
    QTest::newRow("7") << 7 << "Range_Presets" << false;
    QTest::newRow("8") << 8 << "Theme" << false;
    QTest::newRow("9") << 9 << "9" << true;
    QTest::newRow("-1") << -1 << "-1" << true;
}

void TestSettingsManager::groupText()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QFETCH(bool, warned);

    LogCapture log;
    QCOMPARE(ZCore::settingsGroupText(static_cast<ESettingsGroups>(value)), text);
    const QStringList expected = warned ? QStringList{QStringLiteral("EnumPrinter >> got unknown value of [ ESettingsGroups ]: %1")
                                                          .arg(value)}
                                        : QStringList{};
    QCOMPARE(log.lines(QtWarningMsg), expected);
}

void TestSettingsManager::firstStartLog()
{
    LogCapture log;
    QVERIFY(SettingsManager::init());
    const QString dir = m_appDir->filePath(QStringLiteral("profiles"));
    QCOMPARE(log.lines(), QStringList({
        "SettingsManager >> ZCore::SettingsManager::init..",
        "SettingsManager >> ZCore::SettingsManager::initDirs..",
        "Utility::Path >> created dir [ PROFILES_DIR ] at: " + dir,
        "SettingsManager >> ZCore::SettingsManager::initFiles..",
        "SettingsManager >> 'default' profile doesn't exist yet => generating it now..",
        "SettingsManager >> 'user' profile doesn't exist yet => generating it now..",
        "SettingsManager >> current settings file wasn't found at: " + dir + "/current.ini",
        "SettingsManager >> user settings file was found at: " + dir + "/user.ini",
    }));
    QCOMPARE(log.lines(QtWarningMsg).size(), 3);
    QVERIFY(log.lines(QtCriticalMsg).isEmpty());

    QCOMPARE(SettingsManager::profilesDirPath(), dir);
    QCOMPARE(SettingsManager::userProfilePath(), dir + "/user.ini");
    QCOMPARE(SettingsManager::currentSettings()->fileName(), dir + "/current.ini");
    QCOMPARE(SettingsManager::userSettings()->fileName(), dir + "/user.ini");
    // The working copy starts as the default profile, byte for byte.
    QVERIFY(!fileBytes(profile("default")).isEmpty());
    QCOMPARE(fileBytes(profile("current")), fileBytes(profile("default")));
    QCOMPARE(SettingsManager::appVersion().toString(), QStringLiteral("1.15.823"));
}

void TestSettingsManager::defaultProfileKeys_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("comment");

    for (const DefaultKey &entry : kDefaultKeys) {
        QTest::addRow("%s/%s", entry.section, entry.key)
            << entry.section << entry.key << entry.value << QString::fromUtf8(entry.comment);
    }
}

void TestSettingsManager::defaultProfileKeys()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, comment);

    QVERIFY(start());
    for (const QString &name : {QStringLiteral("default"), QStringLiteral("current")}) {
        const QList<IniEntry> entries = parseIni(profile(name));
        QCOMPARE(iniValue(entries, section, key), value);
        if (!comment.isEmpty())
            QCOMPARE(iniValue(entries, section, key + "_COMMENT"), comment);
    }
    QSettings *current = SettingsManager::currentSettings();
    QCOMPARE(current->value(section + "/" + key).toString(), value);
}

void TestSettingsManager::defaultProfileLayout()
{
    QVERIFY(start());
    // The settings object writes the sections and the keys of each section
    // in sorted order; the file holds exactly the generated keys.
    QStringList expected;
    for (const DefaultKey &entry : kDefaultKeys) {
        expected << QStringLiteral("%1/%2").arg(entry.section, entry.key);
        if (entry.comment)
            expected << QStringLiteral("%1/%2_COMMENT").arg(entry.section, entry.key);
    }
    expected.sort();
    QStringList written;
    for (const IniEntry &entry : parseIni(profile("default")))
        written << entry.section + "/" + entry.key;
    QCOMPARE(written, expected);
    QCOMPARE(written.first(), QStringLiteral("Charts/selected_chartview"));
    QCOMPARE(written.last(), QStringLiteral("Window.Main/menu_visible"));
}

void TestSettingsManager::userProfilePresets_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<int>>("s21");
    QTest::addColumn<QList<int>>("s12");

    // Start, stop and three markers of each channel, in MHz.
    QTest::newRow("1") << 1 << "GSM900/UMTS900" << QList<int>{870, 925, 880, 895, 915}
                       << QList<int>{915, 970, 925, 945, 960};
    QTest::newRow("2") << 2 << "GSM1800/LTE1800" << QList<int>{1685, 1805, 1710, 1745, 1785}
                       << QList<int>{1785, 1905, 1805, 1845, 1880};
    QTest::newRow("3") << 3 << "UMTS2100/LTE2100" << QList<int>{1885, 2050, 1920, 1950, 1980}
                       << QList<int>{2050, 2220, 2110, 2140, 2170};
    QTest::newRow("4") << 4 << "LTE800" << QList<int>{800, 900, 830, 850, 870} << QList<int>{780, 850, 800, 815, 830};
    QTest::newRow("5") << 5 << "LTE2600" << QList<int>{2450, 2600, 2480, 2530, 2580}
                       << QList<int>{2600, 2720, 2620, 2660, 2700};
}

void TestSettingsManager::userProfilePresets()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(QList<int>, s21);
    QFETCH(QList<int>, s12);

    QVERIFY(start());
    const QList<IniEntry> entries = parseIni(profile("user"));
    const QString section = QStringLiteral("Range_Presets");
    const QString entry = QString::number(index) + "\\";
    QCOMPARE(iniValue(entries, section, "size"), QStringLiteral("5"));
    QCOMPARE(iniValue(entries, section, entry + "name"), name);
    QCOMPARE(iniValue(entries, section, entry + "NAME_COMMENT"),
             QStringLiteral("Название предустановки. Отображается в выпадающем списке"));

    const QList<QPair<QString, QList<int>>> channels{{"S21", s21}, {"S12", s12}};
    for (const auto &channel : channels) {
        const QString prefix = entry + channel.first + "\\";
        const QList<int> &mhz = channel.second;
        QCOMPARE(iniValue(entries, section, prefix + "start"), QString::number(qint64(mhz.at(0)) * 1000000));
        QCOMPARE(iniValue(entries, section, prefix + "stop"), QString::number(qint64(mhz.at(1)) * 1000000));
        QCOMPARE(iniValue(entries, section, prefix + "points"), QStringLiteral("100"));
        QCOMPARE(iniValue(entries, section, prefix + "marks\\size"), QStringLiteral("3"));
        for (int m = 1; m <= 3; ++m) {
            QCOMPARE(iniValue(entries, section, prefix + QStringLiteral("marks\\%1\\freq").arg(m)),
                     QString::number(qint64(mhz.at(m + 1)) * 1000000));
        }
        QCOMPARE(iniValue(entries, section, prefix + "START_COMMMENT"), QStringLiteral("Начало диапазона"));
        QCOMPARE(iniValue(entries, section, prefix + "STOP_COMMMENT"), QStringLiteral("Конец диапазона"));
        QCOMPARE(iniValue(entries, section, prefix + "POINTS_COMMMENT"), QStringLiteral("Количество точек в диапазоне"));
        QCOMPARE(iniValue(entries, section, prefix + "marks\\SIZE_COMMENT"),
                 QStringLiteral("Количество маркеров в предустановке. Максимально 5 штук"));
        // Quoted by the settings object because of the comma.
        QCOMPARE(iniValue(entries, section, prefix + "marks\\FREQ_COMMENT"),
                 QStringLiteral("\"Частоты, на которых должны стоять маркеры\""));
    }

    // What the scan manager will read back from it.
    auto snapshot = SettingsManager::userSettingsSnapshot();
    QVERIFY(snapshot);
    const QList<TScanPreset> presets = ZData::PresetSettings::readScanPresets(*snapshot);
    QCOMPARE(presets.size(), 5);
    const TScanPreset &preset = presets.at(index - 1);
    QCOMPARE(preset.name, name);
    QCOMPARE(preset.channel(0).start, TFrequency(s21.at(0), TFrequency::kMultiplierMHz));
    QCOMPARE(preset.channel(1).stop, TFrequency(s12.at(1), TFrequency::kMultiplierMHz));
    QCOMPARE(preset.channel(1).marks.size(), 3);
    QCOMPARE(preset.channel(1).marks.last(), TFrequency(s12.at(4), TFrequency::kMultiplierMHz));
}

void TestSettingsManager::userProfileLayout()
{
    QVERIFY(start());
    const QList<IniEntry> entries = parseIni(profile("user"));
    QStringList sections;
    QStringList presetKeys;
    for (const IniEntry &entry : entries) {
        if (sections.isEmpty() || sections.last() != entry.section)
            sections << entry.section;
        if (entry.section == QLatin1String("Range_Presets") && entry.key.startsWith(QLatin1String("1\\")))
            presetKeys << entry.key.mid(2);
    }
    QCOMPARE(sections, QStringList({"Range_Presets", "Theme"}));
    QCOMPARE(iniValue(entries, "Theme", "LIGHT_THEME_ENABLED"), QStringLiteral("0"));
    QCOMPARE(iniValue(entries, "Theme", "LIGHT_THEME_ENABLED_COMMENT"),
             QStringLiteral("Включить (1) или выключить (0) светлую тему графиков"));
    QCOMPARE(iniValue(entries, "Range_Presets", "SIZE_COMMENT"),
             QStringLiteral("Количество предустановок диапазонов сканирования"));
    QCOMPARE(entries.last().key, QStringLiteral("LIGHT_THEME_ENABLED_COMMENT"));

    QStringList expected{"NAME_COMMENT", "name"};
    for (const QString &c : {QStringLiteral("S21"), QStringLiteral("S12")}) {
        expected << c + "\\START_COMMMENT" << c + "\\start" << c + "\\STOP_COMMMENT" << c + "\\stop"
                 << c + "\\POINTS_COMMMENT" << c + "\\points" << c + "\\marks\\SIZE_COMMENT" << c + "\\marks\\size"
                 << c + "\\marks\\FREQ_COMMENT" << c + "\\marks\\1\\freq" << c + "\\marks\\2\\freq"
                 << c + "\\marks\\3\\freq";
    }
    expected.sort();
    QCOMPARE(presetKeys, expected);
}

void TestSettingsManager::secondStart()
{
    QVERIFY(start());
    SettingsManager::currentSettings()->setValue(QStringLiteral("Default/selected_scan_preset"), 3);
    SettingsManager::saveAllSettings();
    QVERIFY(writeFile(profile("default"), fileBytes(profile("default")) + "\n[Junk]\nstale=1\n"));
    QByteArray user = fileBytes(profile("user"));
    QVERIFY(writeFile(profile("user"), user.replace("name=LTE800", "name=My band")));

    LogCapture log;
    QVERIFY(SettingsManager::init());
    const QString dir = m_appDir->filePath(QStringLiteral("profiles"));
    QCOMPARE(log.lines(), QStringList({
        "SettingsManager >> ZCore::SettingsManager::init..",
        "SettingsManager >> ZCore::SettingsManager::initDirs..",
        "SettingsManager >> ZCore::SettingsManager::initFiles..",
        "SettingsManager >> 'default' profile doesn't exist yet => generating it now..",
        "SettingsManager >> current settings file was found at: " + dir + "/current.ini",
        "SettingsManager >> user settings file was found at: " + dir + "/user.ini",
    }));

    QVERIFY(!fileBytes(profile("default")).contains("Junk"));
    QCOMPARE(iniValue(parseIni(profile("default")), "Default", "selected_scan_preset"), QStringLiteral("0"));
    QCOMPARE(iniValue(parseIni(profile("current")), "Default", "selected_scan_preset"), QStringLiteral("3"));
    QCOMPARE(SettingsManager::currentSettings()->value("Default/selected_scan_preset").toInt(), 3);
    QCOMPARE(SettingsManager::userSettings()->value("Range_Presets/4/name").toString(), QStringLiteral("My band"));
}

void TestSettingsManager::deletedUserProfileIsRegenerated()
{
    QVERIFY(start());
    SettingsManager::currentSettings()->setValue(QStringLiteral("RF/S21_ATT"), 12.5);
    SettingsManager::saveAllSettings();
    QVERIFY(QFile::remove(profile("user")));

    LogCapture log;
    QVERIFY(SettingsManager::init());
    QVERIFY(log.contains(QStringLiteral("SettingsManager >> 'user' profile doesn't exist yet => generating it now..")));
    QVERIFY(log.contains(QStringLiteral("SettingsManager >> current settings file was found at: ")));

    const QList<IniEntry> user = parseIni(profile("user"));
    QCOMPARE(iniValue(user, "Range_Presets", "size"), QStringLiteral("5"));
    QCOMPARE(iniValue(user, "Range_Presets", "5\\name"), QStringLiteral("LTE2600"));
    QCOMPARE(iniValue(user, "Theme", "LIGHT_THEME_ENABLED"), QStringLiteral("0"));
    QCOMPARE(iniValue(parseIni(profile("current")), "RF", "S21_ATT"), QStringLiteral("12.5"));
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
    QVERIFY(before);
    QCOMPARE(before->allKeys().size(), current->allKeys().size());
    current->setValue(key, 1);
    std::unique_ptr<QSettings> after = SettingsManager::currentSettingsSnapshot();
    current->setValue(key, 2);

    QCOMPARE(before->value(key).toInt(), 0);
    QCOMPARE(after->value(key).toInt(), 1);
    // Writing into one snapshot never shows in another or in the profile.
    before->setValue(key, 9);
    QCOMPARE(after->value(key).toInt(), 1);
    QCOMPARE(current->value(key).toInt(), 2);

    // A sync goes nowhere and keeps the copy intact.
    before->sync();
    QCOMPARE(before->status(), QSettings::NoError);
    QCOMPARE(before->value(key).toInt(), 9);
    QCOMPARE(before->value(QStringLiteral("RF/SAMPLE_SIZE")).toInt(), 1024);

    // A snapshot taken after an earlier one is gone starts from the profile.
    before.reset();
    after.reset();
    std::unique_ptr<QSettings> later = SettingsManager::currentSettingsSnapshot();
    QCOMPARE(later->value(key).toInt(), 2);

    std::unique_ptr<QSettings> user = SettingsManager::userSettingsSnapshot();
    QVERIFY(user);
    QCOMPARE(user->value(QStringLiteral("Range_Presets/size")).toInt(), 5);
    QVERIFY(!user->contains(key));
    QVERIFY(!later->contains(QStringLiteral("Range_Presets/size")));
}

void TestSettingsManager::snapshotNeedsHandle()
{
    QVERIFY(start());
    {
        LogCapture quiet;
        SettingsManager::openProfile(m_appDir->filePath(QStringLiteral("elsewhere.ini")), QSettings::IniFormat);
    }
    QVERIFY(!SettingsManager::currentSettingsSnapshot());
    QVERIFY(SettingsManager::userSettingsSnapshot());
    // Asking for the profile itself reopens the current file.
    QCOMPARE(SettingsManager::currentSettings()->fileName(), profile("current"));
    QVERIFY(SettingsManager::currentSettingsSnapshot());
}

void TestSettingsManager::openProfile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("foreign");
    QTest::addColumn<QString>("currentFile");
    QTest::addColumn<QString>("userFile");

    QTest::newRow("current") << "profiles/current.ini" << false << "current" << "user";
    QTest::newRow("default") << "profiles/default.ini" << false << "default" << "user";
    QTest::newRow("user") << "profiles/user.ini" << false << "current" << "user";
    QTest::newRow("other file") << "profiles/mine.ini" << true << "" << "user";
    QTest::newRow("current in upper case") << "profiles/CURRENT.INI" << true << "" << "user";
    QTest::newRow("user in other case") << "profiles/User.ini" << true << "" << "user";
    QTest::newRow("current, roundabout path") << "profiles/../profiles/current.ini" << true << "" << "user";
}

void TestSettingsManager::openProfile()
{
    QFETCH(QString, name);
    QFETCH(bool, foreign);
    QFETCH(QString, currentFile);
    QFETCH(QString, userFile);

    QVERIFY(start());
    const QString path = m_appDir->filePath(name);
    const QByteArray userBefore = fileBytes(profile("user"));
    LogCapture log;
    SettingsManager::openProfile(path, QSettings::IniFormat);

    if (foreign) {
        QCOMPARE(log.lines(QtCriticalMsg),
                 QStringList{"SettingsManager >> dw_err_settings_custom_files_not_allowed" + path});
        QVERIFY(!SettingsManager::currentSettingsSnapshot());
        QCOMPARE(SettingsManager::currentSettings()->fileName(), profile("current"));
    } else {
        QVERIFY(log.lines(QtCriticalMsg).isEmpty());
        QCOMPARE(SettingsManager::currentSettings()->fileName(), profile(currentFile));
    }
    QCOMPARE(SettingsManager::userSettings()->fileName(), profile(userFile));
    // No foreign file is ever created, and the user profile is untouched.
    QCOMPARE(QFileInfo::exists(path), !foreign || name.contains(QLatin1String("..")));
    QCOMPARE(fileBytes(profile("user")), userBefore);
}

void TestSettingsManager::saveProfileAsRefuses_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");

    const QString current = QStringLiteral("dw_err_settings_cant_rewrite_current");
    const QString defaults = QStringLiteral("dw_err_settings_cant_rewrite_default");
    const QString user = QStringLiteral("dw_err_settings_cant_rewrite_user");
    QTest::newRow("current") << "profiles/current.ini" << current;
    QTest::newRow("current in upper case") << "PROFILES/CURRENT.INI" << current;
    QTest::newRow("current, mixed case") << "profiles/Current.Ini" << current;
    QTest::newRow("current, roundabout path") << "profiles/./../profiles/current.ini" << current;
    QTest::newRow("default") << "profiles/default.ini" << defaults;
    QTest::newRow("default in upper case") << "profiles/DEFAULT.ini" << defaults;
    QTest::newRow("user") << "profiles/user.ini" << user;
    QTest::newRow("user in upper case") << "profiles/USER.INI" << user;
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
    const QByteArray before[] = {fileBytes(profile("current")), fileBytes(profile("default")),
                                 fileBytes(profile("user"))};

    LogCapture log;
    QVERIFY(!SettingsManager::saveProfileAs(path));
    QCOMPARE(log.lines(QtCriticalMsg).size(), 1);
    QVERIFY2(log.lines(QtCriticalMsg).first().startsWith("SettingsManager >> " + message),
             qPrintable(log.lines().join('\n')));
    QVERIFY(journal.isEmpty());
    QCOMPARE(fileBytes(profile("current")), before[0]);
    QCOMPARE(fileBytes(profile("default")), before[1]);
    QCOMPARE(fileBytes(profile("user")), before[2]);
}

void TestSettingsManager::saveProfileAsSavesEnrolled()
{
    QVERIFY(start());
    QStringList journal;
    FakeRestorable window(journal, "window", "Window.Main/menu_page", 4);
    FakeRestorable charts(journal, "charts", "Charts/selected_chartview", 2);
    SettingsManager::addRestorable(&window);
    SettingsManager::addRestorable(nullptr);
    SettingsManager::addRestorable(&charts);
    QCOMPARE(SettingsManager::restorableCount(), 2);

    const QString path = m_appDir->filePath(QStringLiteral("exported.ini"));
    QVERIFY(writeFile(path, "[Old]\nkey=1\n"));
    LogCapture log;
    QVERIFY(SettingsManager::saveProfileAs(path));
    QCOMPARE(log.lines(QtInfoMsg), QStringList{"SettingsManager >> saving user settings to: " + path});
    QCOMPARE(journal, QStringList({"window", "charts"}));

    // The export is the current profile as saved, the old file replaced.
    QCOMPARE(fileBytes(path), fileBytes(profile("current")));
    const QList<IniEntry> exported = parseIni(path);
    QCOMPARE(iniValue(exported, "Window.Main", "menu_page"), QStringLiteral("4"));
    QCOMPARE(iniValue(exported, "Charts", "selected_chartview"), QStringLiteral("2"));
    QCOMPARE(iniValue(exported, "Old", "key"), QStringLiteral("<missing>"));
}

void TestSettingsManager::saveAllSettings()
{
    QVERIFY(start());
    QStringList journal;
    FakeRestorable first(journal, "first", "Window.Main/menu_visible", false);
    FakeRestorable second(journal, "second", "Default/language", "x.qm");
    FakeRestorable gone(journal, "gone", "Default/com_port", "COM-1");
    SettingsManager::addRestorable(&first);
    SettingsManager::addRestorable(&gone);
    SettingsManager::addRestorable(&second);
    SettingsManager::removeRestorable(&gone);

    SettingsManager::saveAllSettings();
    QCOMPARE(journal, QStringList({"first", "second"}));
    const QList<IniEntry> current = parseIni(profile("current"));
    QCOMPARE(iniValue(current, "Window.Main", "menu_visible"), QStringLiteral("false"));
    QCOMPARE(iniValue(current, "Default", "language"), QStringLiteral("x.qm"));
    QCOMPARE(iniValue(current, "Default", "com_port"), QStringLiteral("COM-9"));

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
    QCOMPARE(iniValue(parseIni(profile("current")), "Default", "selected_scan_preset"), expectedPreset);
    auto snapshot = SettingsManager::currentSettingsSnapshot();
    QCOMPARE(snapshot->value(key).toString(), expectedPreset);
}

void TestSettingsManager::loadProfilesOfEqualSize()
{
    QVERIFY(start());
    const QString key = QStringLiteral("Default/selected_scan_preset");
    const QString path = m_appDir->filePath(QStringLiteral("saved.ini"));
    const QByteArray original = fileBytes(profile("current"));
    QVERIFY(original.contains("selected_scan_preset=0"));
    // Loads in quick succession of files that differ only in one digit: each
    // must be read afresh, not taken for the profile that was there before.
    for (int i = 0; i < 20; ++i) {
        const QByteArray digit = QByteArray::number(i % 5);
        QVERIFY(writeFile(path, QByteArray(original).replace("selected_scan_preset=0", "selected_scan_preset=" + digit)));
        // Saved by the load itself, right before the file is replaced.
        SettingsManager::currentSettings()->setValue(key, 5);
        LogCapture quiet;
        SettingsManager::loadProfile(path);
        QCOMPARE(SettingsManager::currentSettings()->value(key).toByteArray(), digit);
    }
}

void TestSettingsManager::registerRestorableNotImplemented()
{
    QStringList journal;
    FakeRestorable restorable(journal, "r", "k", 0);
    QVERIFY_EXCEPTION_THROWN(restorable.registerRestorable(), std::runtime_error);
    try {
        restorable.registerRestorable();
    } catch (const std::runtime_error &error) {
        QCOMPARE(QString::fromLatin1(error.what()), QStringLiteral("not implemented"));
    }
}

QTEST_GUILESS_MAIN(TestSettingsManager)
#include "tst_settingsmanager.moc"
