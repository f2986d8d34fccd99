#pragma once

#include "core/isinitializable.h"
#include "core/tsingleton.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QTranslator;

namespace ZCore {

// Finds the compiled translations built into the executable, installs the
// chosen one in the application and announces the change, so widgets and
// other texts can be set again.
class LocalizationManager : public QObject, public TSingleton<LocalizationManager>, public ISInitializable
{
    Q_OBJECT
    friend class TSingleton<LocalizationManager>;

public:
    ~LocalizationManager() override;

    static bool init();
    static QString tag();

    QStringList availableFiles() const;
    QString currentFile() const;
    // False, with a warning, when the file cannot be read; the language in
    // use then stays.
    bool loadLanguage(const QString &path);
    // A saved choice that is empty or cannot be read gives the default file.
    void loadSavedLanguage(const QString &path);
    QString defaultFile() const;
    QString languageName(const QString &path) const;

signals:
    void signalLoadedLang();

private:
    LocalizationManager();
    void loadQtTexts(const QString &language);

    QStringList m_availableFiles;
    QString m_currentFile;
    std::unique_ptr<QTranslator> m_translator;
    std::unique_ptr<QTranslator> m_qtTranslator;
};

} // namespace ZCore
