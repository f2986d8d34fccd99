#pragma once

#include <QString>
#include <QTemporaryDir>

namespace TestSupport {

// A fresh application directory ("profiles", "logs", "calibs" land here)
// for the lifetime of the object.
class TempAppDir
{
public:
    TempAppDir();
    ~TempAppDir();
    TempAppDir(const TempAppDir &) = delete;
    TempAppDir &operator=(const TempAppDir &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const { return m_dir.filePath(relative); }

private:
    QTemporaryDir m_dir;
};

} // namespace TestSupport
