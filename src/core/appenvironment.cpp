#include "core/appenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ZCore {

namespace {

bool isWritableDir(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && info.isWritable();
}

// Only an install puts the menu entry beside bin/. Such a directory may well
// be writable (root, a user's own prefix), yet profiles and logs do not
// belong among the system's programs.
bool isInstalledDir(const QString &path)
{
    return QFileInfo::exists(QDir(path).absoluteFilePath(QStringLiteral("../share/applications/%1.desktop")
                                                            .arg(QLatin1String(AppEnvironment::kDesktopId))));
}

QString executableDir()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                        : QDir::currentPath();
}

QString userDataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

} // namespace

QString &AppEnvironment::overrideDir()
{
    static QString path;
    return path;
}

AppEnvironment::TResolution AppEnvironment::resolve(const QString &chosenDir, const QString &executableDir,
                                                    const QString &userDataDir)
{
    if (!chosenDir.isEmpty())
        return {chosenDir, ESource::Chosen};
    // Without a per-user location there is nowhere better to go; the
    // failure to create "logs" then tells the user what is wrong.
    if (userDataDir.isEmpty())
        return {executableDir, ESource::BesideExecutable};
    if (isInstalledDir(executableDir))
        return {userDataDir, ESource::Installed};
    if (isWritableDir(executableDir))
        return {executableDir, ESource::BesideExecutable};
    return {userDataDir, ESource::PerUser};
}

QString AppEnvironment::describe(const TResolution &resolution, const QString &executableDir)
{
    switch (resolution.source) {
    case ESource::Chosen:
        return QStringLiteral(">> application directory (chosen): %1").arg(resolution.dir);
    case ESource::PerUser:
        return QStringLiteral(">> application directory (per-user, the executable's directory %1 is not writable): %2")
            .arg(executableDir, resolution.dir);
    case ESource::Installed:
        return QStringLiteral(">> application directory (per-user, installed in %1): %2")
            .arg(executableDir, resolution.dir);
    case ESource::BesideExecutable:
        break;
    }
    return QStringLiteral(">> application directory (beside the executable): %1").arg(resolution.dir);
}

QString AppEnvironment::appDir()
{
    return resolve(overrideDir(), executableDir(), userDataDir()).dir;
}

void AppEnvironment::setAppDir(const QString &path)
{
    overrideDir() = path.isEmpty() ? QString() : QDir::cleanPath(QDir(path).absolutePath());
}

QString AppEnvironment::appDirDescription()
{
    const QString exeDir = executableDir();
    return describe(resolve(overrideDir(), exeDir, userDataDir()), exeDir);
}

QString AppEnvironment::tag()
{
    static const QString tagText = QStringLiteral("AppEnvironment");
    return tagText;
}

} // namespace ZCore
