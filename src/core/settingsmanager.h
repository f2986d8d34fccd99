#pragma once

#include "core/isinitializable.h"
#include "core/tsingleton.h"
#include "core/tversion.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QSettings>
#include <QString>
#include <QVector>

#include <memory>

namespace ZData {
struct TScanPreset;
}

namespace ZCore {

class ISettingsRestorable;

// Owns the three INI profiles under <appDir>/profiles: "default" rebuilt from
// the built-in values at every start, "current" (the working copy, made from
// default when missing) and "user" (range presets and theme, generated once
// and then edited by hand). Everything runs on the GUI thread.
class SettingsManager : public QObject, public TSingleton<SettingsManager>, public ISInitializable
{
    Q_OBJECT
    friend class TSingleton<SettingsManager>;

public:
    static constexpr int kReservedRestorables = 10;
    // A profile is a few kilobytes; anything far larger is not a profile and
    // is not copied into place.
    static constexpr qint64 kMaxProfileBytes = 4 * 1024 * 1024;

    // Safe to call again (tests): the handles are reopened under the current
    // application directory and the enrolled objects are forgotten.
    static bool init();
    static bool initDirs();
    static bool initFiles();
    static QString tag();

    // The current-profile handle, reopened on the current file when it was
    // dropped; null only before a successful init.
    static QSettings *currentSettings();
    // The user-profile handle, or null.
    static QSettings *userSettings();
    // Detached in-memory copies that never reach a file; null when the
    // profile has no handle. Two live snapshots never share their data.
    static std::unique_ptr<QSettings> currentSettingsSnapshot();
    static std::unique_ptr<QSettings> userSettingsSnapshot();

    static QString profilesDirPath();
    static QString defaultProfilePath();
    static QString currentProfilePath();
    static QString userProfilePath();
    static const TVersion &appVersion();

    // Only the three profiles may be opened; any other path drops the
    // current handle and is reported.
    static void openProfile(const QString &path, QSettings::Format format);

    // Not owned. Null is ignored; an object that dies before the manager
    // must remove itself.
    static void addRestorable(ISettingsRestorable *object);
    static void removeRestorable(ISettingsRestorable *object);
    static int restorableCount();
    static void saveAllSettings();

    // Copies the current profile to path; the three profiles themselves are
    // refused in any letter case.
    static bool saveProfileAs(const QString &path);
    // Replaces the "Range_Presets" array of the user profile and keeps every
    // other section of it. The file is replaced in one step, its previous
    // bytes kept beside it as "user.ini.bak"; false leaves both untouched
    // except for a fresh backup.
    static bool writeUserPresets(const QList<ZData::TScanPreset> &presets);
    // Puts a copy of path in place of the current profile, or of the default
    // profile when path does not exist; emits signalGotSettings either way.
    static void loadProfile(const QString &path);

signals:
    void signalGotSettings();

private:
    SettingsManager() = default;

    static bool generateDefaultProfile();
    static bool generateUserProfile();
    static std::unique_ptr<QSettings> openHandle(const QString &path, QSettings::Format format);
    // Replaces the current handle with one on the current file after that
    // file was replaced on disk.
    static void reopenCurrent();
    std::unique_ptr<QSettings> makeSnapshot(const QSettings *source, const QString &organisation);
    void syncCurrent();

    QString m_profilesDir;
    QString m_defaultPath;
    QString m_currentPath;
    QString m_userPath;
    std::unique_ptr<QSettings> m_current;
    std::unique_ptr<QSettings> m_user;
    QVector<ISettingsRestorable *> m_restorables;
    QSettings::Format m_snapshotFormat = QSettings::InvalidFormat;
    QSet<QString> m_liveSnapshots;
};

} // namespace ZCore
