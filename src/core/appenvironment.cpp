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
    if (isWritableDir(executableDir) || userDataDir.isEmpty())
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
