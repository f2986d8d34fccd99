#include "core/settingsmanager.h"

#include "core/appenvironment.h"
#include "core/esettingsgroups.h"
#include "core/isettingsrestorable.h"
#include "core/log.h"
#include "core/utilitymodules/path.h"
#include "data/scan/tscanpreset.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVariant>

#include <array>

namespace ZCore {

namespace Path = UtilityModules::Path;

namespace {

const char *const kProfilesDirName = "profiles";
const char *const kProfilesDirDisplayName = "PROFILES_DIR";
const char *const kProfileExtension = "ini";
const char *const kIniCodec = "UTF-8";
const char *const kSnapshotFormatName = "dwtmp";
const char *const kCurrentSnapshotOrganisation = "tamrik-current";
const char *const kUserSnapshotOrganisation = "tamrik-user";
const char *const kCommentSuffix = "_COMMENT";

struct DefaultKey
{
    ESettingsGroups group;
    const char *key;
    QVariant value;
    // Written as <key>_COMMENT right before the value; null for none.
    const char *comment;
};

// In generation order; the settings object sorts the keys of a section when
// it writes the file.
QVector<DefaultKey> defaultKeys()
{
    using G = ESettingsGroups;
    return {
        {G::DEFAULT, "com_port", QStringLiteral("COM-9"), nullptr},
        {G::DEFAULT, "selected_scan_preset", 0, nullptr},
        {G::DEFAULT, "selected_source_power", 0, nullptr},
        {G::DEFAULT, "language", QStringLiteral(":/translation/dranwell_en.qm"), nullptr},
        {G::WINDOW_MAIN, "menu_page", 0, nullptr},
        {G::WINDOW_MAIN, "menu_visible", true, nullptr},
        {G::CHARTS, "selected_chartview", 0U, nullptr},
        {G::CHARTS, "use_opengl", false, nullptr},
        {G::RF, "S21_ATT", 0.0, "Значение внешнего аттенюатора для канала S21 в -дБ"},
        {G::RF, "S12_ATT", 0.0, "Значение внешнего аттенюатора для канала S12 в -дБ"},
        {G::RF, "AMP_OFFSET", 0.0, "Смещение шкалы при отображении в дБ после калибровки"},
        {G::RF, "RF_OFFSET", 1.0, "Смещение шкалы при отображении в дБм до калибровки"},
        {G::RF, "S21_AMP_ORIGIN", 20.0, "S21 дБм до калибровки"},
        {G::RF, "S12_AMP_ORIGIN", 20.0, "S12 дБм до калибровки"},
        {G::RF, "GAIN", 0.0, "Коэффициент усиления ОУ в дБ"},
        {G::RF, "SAMPLE_SIZE", 1024U, "Число отсчетов в выборке. Не менее 128 и не более 1024"},
        {G::RF, "ADC_OVERFLOW_LEVEL", -1.0, "Порог перегрузки АЦП в дБм"},
        {G::RF, "RF_OVERLOAD", 2000U, "Порог перегрузки смесителя в значениях АЦП"},
    };
}

const char *const kLightThemeKey = "LIGHT_THEME_ENABLED";
const char *const kLightThemeComment = "Включить (1) или выключить (0) светлую тему графиков";
const int kLightThemeDefault = 0;

constexpr quint32 kBuiltinPresetPoints = 100;
constexpr int kBuiltinMarks = 3;

struct BuiltinChannel
{
    double startMHz;
    double stopMHz;
    std::array<double, kBuiltinMarks> marksMHz;
};

struct BuiltinPreset
{
    const char *name;
    BuiltinChannel s21;
    BuiltinChannel s12;
};

// The bands a field engineer meets most; a new user profile starts with them.
const BuiltinPreset kBuiltinPresets[] = {
    {"GSM900/UMTS900", {870, 925, {880, 895, 915}}, {915, 970, {925, 945, 960}}},
    {"GSM1800/LTE1800", {1685, 1805, {1710, 1745, 1785}}, {1785, 1905, {1805, 1845, 1880}}},
    {"UMTS2100/LTE2100", {1885, 2050, {1920, 1950, 1980}}, {2050, 2220, {2110, 2140, 2170}}},
    {"LTE800", {800, 900, {830, 850, 870}}, {780, 850, {800, 815, 830}}},
    {"LTE2600", {2450, 2600, {2480, 2530, 2580}}, {2600, 2720, {2620, 2660, 2700}}},
};

ZData::TChannelPreset toChannelPreset(const BuiltinChannel &channel)
{
    const qint64 mhz = TFrequency::kMultiplierMHz;
    QVector<TFrequency> marks;
    for (double mark : channel.marksMHz)
        marks.append(TFrequency(mark, mhz));
    return ZData::TChannelPreset(
        ZData::TScanRange(TFrequency(channel.startMHz, mhz), TFrequency(channel.stopMHz, mhz), kBuiltinPresetPoints),
        marks);
}

QList<ZData::TScanPreset> builtinPresets()
{
    QList<ZData::TScanPreset> presets;
    for (const BuiltinPreset &builtin : kBuiltinPresets) {
        ZData::TScanPreset preset(QString::fromUtf8(builtin.name));
        preset.channels[0] = toChannelPreset(builtin.s21);
        preset.channels[1] = toChannelPreset(builtin.s12);
        presets.append(preset);
    }
    return presets;
}

bool readNothing(QIODevice &, QSettings::SettingsMap &)
{
    return true;
}

// A snapshot lives in memory only. Reporting the write as failed is what
// keeps the settings object from committing an empty file into the
// temporary directory each time a snapshot is synced or destroyed.
bool writeNothing(QIODevice &, const QSettings::SettingsMap &)
{
    return false;
}

QSettings::Format snapshotFormat()
{
    // Registered once per process: every registration adds a format for good.
    static const QSettings::Format format =
        QSettings::registerFormat(QString::fromLatin1(kSnapshotFormatName), readNothing, writeNothing, Qt::CaseInsensitive);
    return format;
}

QString normalisedPath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// Whether two paths name the same file in any letter case, however written.
bool isSameFileAnyCase(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0
        || normalisedPath(a).compare(normalisedPath(b), Qt::CaseInsensitive) == 0;
}

// Copies a profile so that the target is either replaced whole or left as
// it was: the copy is never half-written and the old file is never deleted
// before the new one is complete.
bool copyProfileFile(const QString &source, const QString &target)
{
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly)) {
        Log::warning(SettingsManager::tag(), QStringLiteral(">> cannot read profile: %1").arg(source));
        return false;
    }
    const QByteArray data = input.read(SettingsManager::kMaxProfileBytes + 1);
    if (data.size() > SettingsManager::kMaxProfileBytes) {
        Log::warning(SettingsManager::tag(), QStringLiteral(">> %1 is larger than %2 bytes, it is not a profile")
                                                 .arg(source)
                                                 .arg(SettingsManager::kMaxProfileBytes));
        return false;
    }
    const QDateTime previousTime = QFileInfo(target).lastModified();
    QSaveFile output(target);
    if (!output.open(QIODevice::WriteOnly) || output.write(data) != data.size() || !output.commit()) {
        Log::warning(SettingsManager::tag(), QStringLiteral(">> cannot write profile: %1").arg(target));
        return false;
    }
    // The settings objects keep every parsed profile cached by path and
    // re-read it only when its size or time changed; a copy of equal size made
    // within the same millisecond would otherwise be read as the old file.
    if (previousTime.isValid() && !(QFileInfo(target).lastModified() > previousTime)) {
        QFile touched(target);
        if (touched.open(QIODevice::ReadWrite))
            touched.setFileTime(previousTime.addMSecs(1), QFileDevice::FileModificationTime);
    }
    return true;
}

QString profilePath(const QString &dir, const char *baseName)
{
    const QString fileName = QStringLiteral("%1.%2").arg(QLatin1String(baseName), QLatin1String(kProfileExtension));
    return QStringLiteral("%1/%2").arg(dir, fileName);
}

} // namespace

QString SettingsManager::tag()
{
    static const QString tagText = QStringLiteral("SettingsManager");
    return tagText;
}

bool SettingsManager::init()
{
    SettingsManager &self = instance();
    Log::traceDebug(tag(), QStringLiteral("ZCore::SettingsManager::init"));
    self.m_current.reset();
    self.m_user.reset();
    self.m_restorables.clear();
    self.m_restorables.reserve(kReservedRestorables);

    self.m_profilesDir = QStringLiteral("%1/%2").arg(AppEnvironment::appDir(), QLatin1String(kProfilesDirName));
    self.m_defaultPath = profilePath(self.m_profilesDir, "default");
    self.m_currentPath = profilePath(self.m_profilesDir, "current");
    self.m_userPath = profilePath(self.m_profilesDir, "user");

    QSettings::setDefaultFormat(QSettings::IniFormat);
    self.m_snapshotFormat = snapshotFormat();
    const QStringList tempLocations = QStandardPaths::standardLocations(QStandardPaths::TempLocation);
    QSettings::setPath(self.m_snapshotFormat, QSettings::SystemScope,
                       tempLocations.isEmpty() ? QDir::tempPath() : tempLocations.last());

    if (!initDirs()) {
        Log::critical(tag(), QStringLiteral(">>") + qtTrId("dw_err_settings_cant_create_dirs") + self.m_profilesDir);
        return false;
    }
    if (!initFiles()) {
        Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_settings_cant_create_files"));
        return false;
    }
    return true;
}

bool SettingsManager::initDirs()
{
    Log::traceDebug(tag(), QStringLiteral("ZCore::SettingsManager::initDirs"));
    return Path::createDir(instance().m_profilesDir, QString::fromLatin1(kProfilesDirDisplayName));
}

bool SettingsManager::initFiles()
{
    SettingsManager &self = instance();
    Log::traceDebug(tag(), QStringLiteral("ZCore::SettingsManager::initFiles"));

    if (Path::fileExists(self.m_defaultPath) && !QFile::remove(self.m_defaultPath))
        Log::warning(tag(), QStringLiteral(">> old 'default' profile cannot be removed: ") + self.m_defaultPath);
    if (!generateDefaultProfile())
        return false;
    if (!Path::fileExists(self.m_userPath) && !generateUserProfile())
        return false;

    if (Path::fileExists(self.m_currentPath)) {
        Log::info(tag(), QStringLiteral(">> current settings file was found at: ") + self.m_currentPath);
        openProfile(self.m_currentPath, QSettings::IniFormat);
    } else {
        Log::warning(tag(), QStringLiteral(">> current settings file wasn't found at: ") + self.m_currentPath);
        // Should the copy fail, the current handle stays on the default file
        // for this run; that file is rebuilt at the next start anyway.
        if (Path::fileExists(self.m_defaultPath) && copyProfileFile(self.m_defaultPath, self.m_currentPath))
            reopenCurrent();
    }

    if (!Path::fileExists(self.m_userPath)) {
        Log::critical(tag(), QStringLiteral(">> user settings file wasn't found at: ") + self.m_userPath);
        return false;
    }
    Log::info(tag(), QStringLiteral(">> user settings file was found at: ") + self.m_userPath);
    openProfile(self.m_userPath, QSettings::IniFormat);
    return true;
}

bool SettingsManager::generateDefaultProfile()
{
    SettingsManager &self = instance();
    openProfile(self.m_defaultPath, QSettings::IniFormat);
    QSettings *settings = self.m_current.get();
    if (!settings || !settings->isWritable()) {
        Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_settings_cant_create_default") + self.m_defaultPath);
        return false;
    }
    Log::warning(tag(), QStringLiteral(">> 'default' profile doesn't exist yet => generating it now.."));
    for (const DefaultKey &entry : defaultKeys()) {
        settings->beginGroup(settingsGroupText(entry.group));
        const QString key = QString::fromLatin1(entry.key);
        if (entry.comment)
            settings->setValue(key + QLatin1String(kCommentSuffix), QString::fromUtf8(entry.comment));
        settings->setValue(key, entry.value);
        settings->endGroup();
    }
    settings->sync();
    return settings->status() == QSettings::NoError;
}

bool SettingsManager::generateUserProfile()
{
    SettingsManager &self = instance();
    openProfile(self.m_userPath, QSettings::IniFormat);
    QSettings *settings = self.m_user.get();
    if (!settings || !settings->isWritable()) {
        Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_settings_cant_create_user") + self.m_userPath);
        return false;
    }
    Log::warning(tag(), QStringLiteral(">> 'user' profile doesn't exist yet => generating it now.."));
    settings->beginGroup(settingsGroupText(ESettingsGroups::THEME));
    const QString themeKey = QString::fromLatin1(kLightThemeKey);
    settings->setValue(themeKey + QLatin1String(kCommentSuffix), QString::fromUtf8(kLightThemeComment));
    settings->setValue(themeKey, kLightThemeDefault);
    settings->endGroup();
    ZData::PresetSettings::writeScanPresets(*settings, builtinPresets());
    settings->sync();
    return settings->status() == QSettings::NoError;
}

std::unique_ptr<QSettings> SettingsManager::openHandle(const QString &path, QSettings::Format format)
{
    auto settings = std::make_unique<QSettings>(path, format);
    settings->setIniCodec(kIniCodec);
    settings->setFallbacksEnabled(false);
    return settings;
}

void SettingsManager::openProfile(const QString &path, QSettings::Format format)
{
    SettingsManager &self = instance();
    // Profile handles are closed before a new one is opened, so their pending
    // values reach the file before anybody reads it again.
    if (!path.isEmpty() && (path == self.m_currentPath || path == self.m_defaultPath)) {
        self.m_current.reset();
        self.m_current = openHandle(path, format);
        return;
    }
    if (!path.isEmpty() && path == self.m_userPath) {
        self.m_user.reset();
        self.m_user = openHandle(path, format);
        return;
    }
    self.m_current.reset();
    Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_settings_custom_files_not_allowed") + path);
}

void SettingsManager::reopenCurrent()
{
    SettingsManager &self = instance();
    self.m_current.reset();
    self.m_current = openHandle(self.m_currentPath, QSettings::IniFormat);
}

QSettings *SettingsManager::currentSettings()
{
    SettingsManager &self = instance();
    if (!self.m_current && !self.m_currentPath.isEmpty())
        openProfile(self.m_currentPath, QSettings::IniFormat);
    return self.m_current.get();
}

QSettings *SettingsManager::userSettings()
{
    return instance().m_user.get();
}

std::unique_ptr<QSettings> SettingsManager::currentSettingsSnapshot()
{
    SettingsManager &self = instance();
    return self.makeSnapshot(self.m_current.get(), QString::fromLatin1(kCurrentSnapshotOrganisation));
}

std::unique_ptr<QSettings> SettingsManager::userSettingsSnapshot()
{
    SettingsManager &self = instance();
    return self.makeSnapshot(self.m_user.get(), QString::fromLatin1(kUserSnapshotOrganisation));
}

std::unique_ptr<QSettings> SettingsManager::makeSnapshot(const QSettings *source, const QString &organisation)
{
    if (!source || m_snapshotFormat == QSettings::InvalidFormat)
        return nullptr;
    // Settings objects of one name share their data, so a second snapshot
    // taken while the first is alive gets a name of its own.
    QString name = organisation;
    for (int serial = 2; m_liveSnapshots.contains(name); ++serial)
        name = QStringLiteral("%1-%2").arg(organisation).arg(serial);

    auto snapshot = std::make_unique<QSettings>(m_snapshotFormat, QSettings::SystemScope, name, QString());
    snapshot->setFallbacksEnabled(false);
    if (!source->group().isEmpty())
        Log::warning(tag(), QStringLiteral(">> snapshot of %1 taken inside group %2").arg(source->fileName(), source->group()));
    const QStringList keys = source->allKeys();
    for (const QString &key : keys)
        snapshot->setValue(key, source->value(key));

    m_liveSnapshots.insert(name);
    connect(snapshot.get(), &QObject::destroyed, this, [this, name] { m_liveSnapshots.remove(name); });
    return snapshot;
}

QString SettingsManager::profilesDirPath()
{
    return instance().m_profilesDir;
}

QString SettingsManager::defaultProfilePath()
{
    return instance().m_defaultPath;
}

QString SettingsManager::currentProfilePath()
{
    return instance().m_currentPath;
}

QString SettingsManager::userProfilePath()
{
    return instance().m_userPath;
}

const TVersion &SettingsManager::appVersion()
{
    return ZCore::appVersion();
}

void SettingsManager::addRestorable(ISettingsRestorable *object)
{
    if (object)
        instance().m_restorables.append(object);
}

void SettingsManager::removeRestorable(ISettingsRestorable *object)
{
    instance().m_restorables.removeAll(object);
}

int SettingsManager::restorableCount()
{
    return instance().m_restorables.size();
}

void SettingsManager::syncCurrent()
{
    QSettings *settings = currentSettings();
    if (!settings)
        return;
    settings->sync();
    if (settings->status() != QSettings::NoError)
        Log::warning(tag(), QStringLiteral(">> settings could not be written to: ") + settings->fileName());
}

void SettingsManager::saveAllSettings()
{
    SettingsManager &self = instance();
    // A copy: a saver may enrol or remove objects while it runs.
    const QVector<ISettingsRestorable *> restorables = self.m_restorables;
    for (ISettingsRestorable *object : restorables)
        object->saveSettings();
    self.syncCurrent();
}

bool SettingsManager::saveProfileAs(const QString &path)
{
    SettingsManager &self = instance();
    if (path.isEmpty() || self.m_currentPath.isEmpty()) {
        Log::warning(tag(), QStringLiteral(">> no file to save the settings to"));
        return false;
    }
    if (isSameFileAnyCase(path, self.m_currentPath)) {
        Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_settings_cant_rewrite_current"));
        return false;
    }
    if (isSameFileAnyCase(path, self.m_defaultPath)) {
        Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_settings_cant_rewrite_default"));
        return false;
    }
    // The user profile holds the hand-made range presets, which no other
    // profile has: overwriting it would lose them.
    if (isSameFileAnyCase(path, self.m_userPath)) {
        Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_settings_cant_rewrite_user"));
        return false;
    }
    Log::info(tag(), QStringLiteral(">> saving user settings to: ") + path);
    const QVector<ISettingsRestorable *> restorables = self.m_restorables;
    for (ISettingsRestorable *object : restorables)
        object->saveSettings();
    self.syncCurrent();
    const QString source = self.m_current ? self.m_current->fileName() : self.m_currentPath;
    return copyProfileFile(source, path);
}

bool SettingsManager::writeUserPresets(const QList<ZData::TScanPreset> &presets)
{
    SettingsManager &self = instance();
    if (self.m_userPath.isEmpty() || !Path::fileExists(self.m_userPath)) {
        Log::critical(tag(), QStringLiteral(">> user settings file wasn't found at: ") + self.m_userPath);
        return false;
    }
    if (self.m_user)
        self.m_user->sync();
    // QSettings rewrites a file in place; the edit is made on a copy, and
    // only a complete copy replaces the profile.
    const QString draft = self.m_userPath + QStringLiteral(".new");
    if (!copyProfileFile(self.m_userPath, draft))
        return false;
    bool written = false;
    {
        const std::unique_ptr<QSettings> settings = openHandle(draft, QSettings::IniFormat);
        // Entries past the new count would otherwise stay in the file.
        settings->remove(settingsGroupText(ESettingsGroups::RANGE_PRESETS));
        ZData::PresetSettings::writeScanPresets(*settings, presets);
        settings->sync();
        written = settings->status() == QSettings::NoError;
    }
    const bool replaced = written && copyProfileFile(self.m_userPath, self.m_userPath + QStringLiteral(".bak"))
                          && copyProfileFile(draft, self.m_userPath);
    QFile::remove(draft);
    if (!replaced) {
        Log::critical(tag(), QStringLiteral(">> range presets not written to: ") + self.m_userPath);
        return false;
    }
    Log::info(tag(), QStringLiteral(">> range presets written to: ") + self.m_userPath);
    openProfile(self.m_userPath, QSettings::IniFormat);
    return true;
}

void SettingsManager::loadProfile(const QString &path)
{
    SettingsManager &self = instance();
    QString source = path;
    if (path.isEmpty() || !Path::fileExists(path)) {
        Log::warning(tag(), QStringLiteral(">> reverting settings to default.."));
        source = Path::fileExists(self.m_defaultPath) ? self.m_defaultPath : QString();
    } else {
        Log::info(tag(), QStringLiteral(">> loading settings from: ") + path);
    }
    if (!source.isEmpty() && !self.m_currentPath.isEmpty()) {
        // The old handle is written and closed first, or its unsaved values
        // would be merged into the profile being loaded.
        self.syncCurrent();
        const QString previous = self.m_current ? self.m_current->fileName() : self.m_currentPath;
        self.m_current.reset();
        if (copyProfileFile(source, self.m_currentPath)) {
            reopenCurrent();
        } else {
            Log::warning(tag(), QStringLiteral(">> settings stay as they were, %1 was not loaded").arg(source));
            openProfile(previous, QSettings::IniFormat);
        }
    }
    emit self.signalGotSettings();
}

} // namespace ZCore
