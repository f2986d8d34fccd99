#pragma once

#include <QString>

namespace ZCore {

// Where "profiles", "logs" and "calibs" live: beside the executable unless
// redirected (tests, --data-dir), or the per-user data location when the
// executable is installed or its directory cannot be written.
class AppEnvironment
{
public:
    enum class ESource : quint8 { Chosen, BesideExecutable, PerUser, Installed };

    // The name of the installed menu entry, which marks an install.
    static constexpr const char *kDesktopId = "example.oskiro.mero";

    struct TResolution
    {
        QString dir;
        ESource source = ESource::BesideExecutable;
    };

    static QString appDir();
    // An empty path returns to the automatic choice.
    static void setAppDir(const QString &path);
    // One line for the log saying which directory is used and why.
    static QString appDirDescription();
    static QString tag();

    // The choice itself, apart from the process it runs in.
    static TResolution resolve(const QString &chosenDir, const QString &executableDir, const QString &userDataDir);
    static QString describe(const TResolution &resolution, const QString &executableDir);

private:
    static QString &overrideDir();
};

} // namespace ZCore
