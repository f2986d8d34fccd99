#include "core/utilitymodules/path.h"

#include "core/log.h"

#include <QDir>
#include <QFileInfo>

namespace ZCore::UtilityModules::Path {

QString tag()
{
    static const QString tagText = QStringLiteral("Utility::Path");
    return tagText;
}

bool createDir(const QString &path, const QString &displayName)
{
    if (dirExists(path))
        return true;
    if (QDir().mkpath(path)) {
        Log::info(tag(), QStringLiteral(">> ") + QStringLiteral("created dir [ %1 ] at: %2").arg(displayName, path));
        return true;
    }
    Log::critical(tag(), QStringLiteral(">> ") + qtTrId("util_failed_to_create").arg(displayName, path));
    return false;
}

bool dirExists(const QString &path)
{
    return QFileInfo(path).isDir();
}

bool fileExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

} // namespace ZCore::UtilityModules::Path
