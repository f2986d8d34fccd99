#include "core/localizationmanager.h"

#include "logcapture.h"
#include "recordingdialogs.h"

#include <QtTest>

using ZCore::LocalizationManager;

namespace {

LocalizationManager &manager() { return LocalizationManager::instance(); }
const QString kBuiltIn = QStringLiteral(":/translation/dranwell_en.qm");
const QString kRussian = QStringLiteral(":/translation/dranwell_ru.qm");

} // namespace

class TestLocalization : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void savedLanguage_data();
    void savedLanguage();
    void shippedTranslationsAreComplete_data();
    void shippedTranslationsAreComplete();

private:
    TestSupport::RecordingDialogs m_dialogs;
};

void TestLocalization::initTestCase()
{
    LocalizationManager::init();
}

void TestLocalization::savedLanguage_data()
{
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("name"); // what probing the saved file names
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("warnings");
    QTest::newRow("Russian") << kRussian << QStringLiteral("Русский") << kRussian << 0;
    QTest::newRow("profile without a choice") << QString() << QString() << kBuiltIn << 0;
    QTest::newRow("file gone") << QStringLiteral("/usr/share/oskiro-mero/dranwell_de.qm") << QString() << kBuiltIn << 1;
    // Qt's own lookup would strip "_GB" and take the built-in file for it.
    QTest::newRow("missing regional variant") << QStringLiteral(":/translation/dranwell_en_GB.qm") << QString() << kBuiltIn << 1;
    QTest::newRow("not a translation") << QStringLiteral(":/styles/default.qss") << QString() << kBuiltIn << 1;
}

// Starts from the other language, so a fallback is seen, not assumed.
// Probing a file names its language, and a file that fails to load leaves
// the one in use as it is: texts in it beat bare identifiers.
void TestLocalization::savedLanguage()
{
    QFETCH(QString, saved);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QFETCH(int, warnings);
    const QString start = expected == kRussian ? kBuiltIn : kRussian;
    QVERIFY(manager().loadLanguage(start));
    QSignalSpy loaded(&manager(), &LocalizationManager::signalLoadedLang);
    QVERIFY(!warnings || !manager().loadLanguage(saved));
    QCOMPARE(manager().languageName(saved), name);
    QCOMPARE(manager().currentFile(), start);
    QCOMPARE(qtTrId("dw_tr_language"), manager().languageName(start));

    TestSupport::LogCapture log;
    manager().loadSavedLanguage(saved);
    QCOMPARE(manager().currentFile(), expected);
    QCOMPARE(qtTrId("dw_tr_language"), manager().languageName(expected));
    QCOMPARE(log.lines(QtWarningMsg).size(), warnings);
    QCOMPARE(loaded.count(), 1);
}

void TestLocalization::shippedTranslationsAreComplete_data()
{
    QTest::addColumn<QString>("tsPath");
    const QDir dir(QStringLiteral(MERO_SOURCE_DIR "/src/resources/translation"));
    const QStringList names = dir.entryList({QStringLiteral("dranwell_*.ts")}, QDir::Files, QDir::Name);
    QVERIFY(names.size() >= 2);
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
}

// Every identifier the sources use has a finished text in every shipped file
// as it is built in, keeping the placeholders its arguments fill. Any literal
// shaped like an identifier counts, not only those passed to qtTrId()
// directly: tables of texts hand theirs over later; forms name theirs in id
// attributes.
void TestLocalization::shippedTranslationsAreComplete()
{
    QFETCH(QString, tsPath);
    // An unfinished text is built in as the English one.
    QFile ts(tsPath);
    QVERIFY(ts.open(QIODevice::ReadOnly));
    QStringList unfinished;
    for (const QString &message : QString::fromUtf8(ts.readAll()).split(QStringLiteral("<message id=\"")).mid(1)) {
        if (message.contains(QRegularExpression(QStringLiteral("<translation( type=|>\\s*</translation>)"))))
            unfinished << message.section(QLatin1Char('"'), 0, 0);
    }
    QVERIFY2(unfinished.isEmpty(), qPrintable(tsPath + " has unfinished or empty texts: " + unfinished.join(", ")));
    const QString compiled = QStringLiteral(":/translation/%1.qm").arg(QFileInfo(tsPath).completeBaseName());
    QVERIFY2(manager().availableFiles().contains(compiled), qPrintable(compiled + " is not built in"));
    QTranslator english, translator;
    QVERIFY(english.load(kBuiltIn) && translator.load(compiled));

    const QRegularExpression callPattern(QStringLiteral("\"((?:dw|devcon|util)_[A-Za-z0-9_]+)\""));
    const QRegularExpression formPattern(QStringLiteral("<string\\b[^>]*\\bid=\"([^\"]+)\""));
    QSet<QString> used;
    for (QDirIterator it(QStringLiteral(MERO_SOURCE_DIR "/src"), {"*.cpp", "*.h", "*.ui"}, QDir::Files,
                         QDirIterator::Subdirectories); it.hasNext();) {
        QFile file(it.next());
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QRegularExpression &pattern = file.fileName().endsWith(".ui") ? formPattern : callPattern;
        for (auto matches = pattern.globalMatch(QString::fromUtf8(file.readAll())); matches.hasNext();)
            used.insert(matches.next().captured(1));
    }
    // The manager's own failure line proves the scan sees real calls.
    QVERIFY(used.contains(QStringLiteral("dw_err_tr_files_lost")));

    const auto placeholders = [](const QString &text) {
        QStringList found;
        for (auto it = QRegularExpression(QStringLiteral("%\\d")).globalMatch(text); it.hasNext();)
            found.append(it.next().captured());
        return found.sort(), found;
    };
    QStringList missing;
    QStringList placeholdersLost;
    for (const QString &id : used) {
        const QString text = translator.translate(nullptr, id.toUtf8().constData());
        if (text.trimmed().isEmpty())
            missing.append(id);
        else if (placeholders(text) != placeholders(english.translate(nullptr, id.toUtf8().constData())))
            placeholdersLost.append(id);
    }
    missing.sort();
    QVERIFY2(missing.isEmpty(), qPrintable(compiled + " has no text for: " + missing.join(", ")));
    QVERIFY2(placeholdersLost.isEmpty(), qPrintable(compiled + " changes the %n placeholders of: " + placeholdersLost.join(", ")));
    QCOMPARE(manager().languageName(compiled), translator.translate(nullptr, "dw_tr_language"));
}

QTEST_GUILESS_MAIN(TestLocalization)
#include "tst_localization.moc"
