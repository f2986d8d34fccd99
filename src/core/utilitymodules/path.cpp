#include "core/utilitymodules/path.h"

#include "core/log.h"

#include <QDir>
#include <QFileInfo>

namespace ZCore::UtilityModules::Path {

namespace {

// Directories are made before any translation is loaded, when qtTrId gives
// back the bare identifier; its arguments must still reach the log, or the
// line would not say which directory failed.
QString failedToCreateText(const QString &displayName, const QString &path)
{
    const QString pattern = qtTrId("util_failed_to_create");
    if (pattern.contains(QLatin1String("%2")))
        return pattern.arg(displayName, path);
    return QStringLiteral("%1 [ %2 ] at: %3").arg(pattern, displayName, path);
}

} // namespace

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
    Log::critical(tag(), QStringLiteral(">> ") + failedToCreateText(displayName, path));
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
