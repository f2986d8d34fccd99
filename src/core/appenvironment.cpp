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

QString AppEnvironment::appDir()
{
    if (!overrideDir().isEmpty())
        return overrideDir();
    const QString exeDir = executableDir();
    if (isWritableDir(exeDir))
        return exeDir;
    const QString fallback = userDataDir();
    return fallback.isEmpty() ? exeDir : fallback;
}

void AppEnvironment::setAppDir(const QString &path)
{
    overrideDir() = path.isEmpty() ? QString() : QDir::cleanPath(QDir(path).absolutePath());
}

QString AppEnvironment::appDirDescription()
{
    if (!overrideDir().isEmpty())
        return QStringLiteral(">> application directory (chosen): %1").arg(overrideDir());
    const QString dir = appDir();
    if (dir == executableDir())
        return QStringLiteral(">> application directory (beside the executable): %1").arg(dir);
    return QStringLiteral(">> application directory (per-user, the executable's directory %1 is not writable): %2")
        .arg(executableDir(), dir);
}

QString AppEnvironment::tag()
{
    static const QString tagText = QStringLiteral("AppEnvironment");
    return tagText;
}

} // namespace ZCore
