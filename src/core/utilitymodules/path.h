#pragma once

#include <QString>

namespace ZCore::UtilityModules::Path {

QString tag();
bool createDir(const QString &path, const QString &displayName);
bool dirExists(const QString &path);
bool fileExists(const QString &path);

} // namespace ZCore::UtilityModules::Path
