#include "core/localizationmanager.h"

#include "core/log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTranslator>

namespace ZCore {

namespace {

const char *const kTranslationDir = ":/translation";
const char *const kFileNameFilter = "dranwell_*.qm";
const char *const kLanguageNameId = "dw_tr_language";

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

void LocalizationManager::loadLanguage(const QString &path)
{
    if (m_translator)
        QCoreApplication::removeTranslator(m_translator.get());
    else
        m_translator = std::make_unique<QTranslator>();

    if (!loadExactFile(*m_translator, path)) {
        Log::warning(tag(), QStringLiteral(">> target tr-file cannot be loaded: ") + path);
        return;
    }
    m_currentFile = path;
    QCoreApplication::installTranslator(m_translator.get());
    emit signalLoadedLang();
}

QString LocalizationManager::languageName(const QString &path) const
{
    QTranslator probe;
    if (!loadExactFile(probe, path))
        return QString();
    return probe.translate(nullptr, kLanguageNameId);
}

} // namespace ZCore
