#include "core/localizationmanager.h"

#include "core/log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ZCore {

namespace {

const char *const kTranslationDir = ":/translation";
const char *const kFileNameFilter = "dranwell_*.qm";
const char *const kLanguageNameId = "dw_tr_language";
const char *const kDefaultFile = ":/translation/dranwell_en.qm";

// QTranslator::load() on its own would append ".qm" and strip "_xx" parts
// until some file exists, so asking for a missing "dranwell_en_GB.qm" would
// quietly load "dranwell_en.qm". Only the very file that was asked for counts.
bool loadExactFile(QTranslator &translator, const QString &path)
{
    if (!QFileInfo(path).isFile())
        return false;
    const QString noSearchDelimiters(QLatin1String(""));
    const QString noSuffix(QLatin1String(""));
    return translator.load(path, QString(), noSearchDelimiters, noSuffix);
}

} // namespace

LocalizationManager::LocalizationManager() = default;

LocalizationManager::~LocalizationManager() = default;

QString LocalizationManager::tag()
{
    static const QString tagText = QStringLiteral("LocalizationManager");
    return tagText;
}

bool LocalizationManager::init()
{
    Log::traceDebug(tag(), QStringLiteral("ZCore::LocalizationManager::init"));
    LocalizationManager &self = instance();

    const QDir dir(QString::fromLatin1(kTranslationDir));
    const QStringList names = dir.entryList(QStringList(QLatin1String(kFileNameFilter)),
                                            QDir::Files, QDir::Name);
    self.m_availableFiles.clear();
    for (const QString &name : names)
        self.m_availableFiles.append(dir.filePath(name));

    if (self.m_availableFiles.isEmpty())
        Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_tr_files_lost"));
    // Without translations the program still works, showing identifiers.
    return true;
}

QStringList LocalizationManager::availableFiles() const
{
    return m_availableFiles;
}

QString LocalizationManager::currentFile() const
{
    return m_currentFile;
}

// The new file is read before the old one is taken away, so a file that
// cannot be read leaves the texts as they were rather than bare identifiers.
bool LocalizationManager::loadLanguage(const QString &path)
{
    auto translator = std::make_unique<QTranslator>();
    if (!loadExactFile(*translator, path)) {
        Log::warning(tag(), QStringLiteral(">> target tr-file cannot be loaded: ") + path);
        return false;
    }
    if (m_translator)
        QCoreApplication::removeTranslator(m_translator.get());
    m_translator = std::move(translator);
    m_currentFile = path;
    loadQtTexts(m_translator->language());
    QCoreApplication::installTranslator(m_translator.get());
    emit signalLoadedLang();
    return true;
}

// The buttons of Qt's own boxes (Yes, No, Cancel) follow the language when
// the system has Qt's translations; otherwise they stay English.
void LocalizationManager::loadQtTexts(const QString &language)
{
    if (m_qtTranslator)
        QCoreApplication::removeTranslator(m_qtTranslator.get());
    m_qtTranslator = std::make_unique<QTranslator>();
    if (m_qtTranslator->load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                             QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(m_qtTranslator.get());
}

void LocalizationManager::loadSavedLanguage(const QString &path)
{
    if (!path.isEmpty() && loadLanguage(path))
        return;
    const QString fallback = defaultFile();
    Log::info(tag(), QStringLiteral(">> using the default language: ") + fallback);
    loadLanguage(fallback);
}

// English is what every identifier was written for; without it, whatever
// language the build carries first.
QString LocalizationManager::defaultFile() const
{
    const QString english = QString::fromLatin1(kDefaultFile);
    if (m_availableFiles.contains(english) || m_availableFiles.isEmpty())
        return english;
    return m_availableFiles.first();
}

QString LocalizationManager::languageName(const QString &path) const
{
    QTranslator probe;
    if (!loadExactFile(probe, path))
        return QString();
    return probe.translate(nullptr, kLanguageNameId);
}

} // namespace ZCore
