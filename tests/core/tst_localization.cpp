#include "core/localizationmanager.h"

#include "logcapture.h"
#include "recordingdialogs.h"

#include <QtTest>

using ZCore::LocalizationManager;

namespace {


LocalizationManager &manager() { return LocalizationManager::instance(); }
const QString kBuiltIn = QStringLiteral(":/translation/dranwell_en.qm");

} // namespace

class TestLocalization : public QObject
{
    Q_OBJECT

private slots:
    void availableFiles();
    void languageName_data();
    void languageName();
    void failedLoadKeepsNothingStale();
    void identifiersAreTranslated();

private:
    TestSupport::RecordingDialogs m_dialogs;
};

void TestLocalization::availableFiles()
{
    TestSupport::LogCapture log;
    Q_CLEANUP_RESOURCE(translation);
    LocalizationManager::init();
    const QStringList files = manager().availableFiles();
    Q_INIT_RESOURCE(translation);
    QVERIFY(files.isEmpty());
    QCOMPARE(log.lines(QtCriticalMsg), QStringList(QStringLiteral("LocalizationManager >> dw_err_tr_files_lost")));

    // A second scan replaces the list rather than adding to it.
    QVERIFY(LocalizationManager::init() && LocalizationManager::init());
    QCOMPARE(manager().availableFiles(), QStringList(kBuiltIn));
}

// Probing a file names its language without touching the one in use.
void TestLocalization::languageName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("built-in") << kBuiltIn << QStringLiteral("English");
    // Qt's own lookup would strip "_GB" and fall back to the built-in file.
    QTest::newRow("missing regional variant") << QStringLiteral(":/translation/dranwell_en_GB.qm") << QString();
    QTest::newRow("not a translation") << QStringLiteral(":/styles/default.qss") << QString();
}

void TestLocalization::languageName()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    manager().loadLanguage(kBuiltIn);
    QCOMPARE(manager().languageName(path), expected);
    QCOMPARE(manager().currentFile(), kBuiltIn);
    QCOMPARE(qtTrId("dw_units_db"), QStringLiteral("dB"));
}

void TestLocalization::failedLoadKeepsNothingStale()
{
    QSignalSpy loaded(&manager(), &LocalizationManager::signalLoadedLang);
    manager().loadLanguage(kBuiltIn);
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(qtTrId("dw_pmain_settings"), QStringLiteral("Settings"));

    // A failed load keeps the path, drops the texts and announces nothing.
    manager().loadLanguage(QStringLiteral(":/translation/dranwell_en_GB.qm"));
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(manager().currentFile(), kBuiltIn);
    QCOMPARE(qtTrId("dw_pmain_settings"), QStringLiteral("dw_pmain_settings"));

    // A later successful load brings the texts back.
    manager().loadLanguage(kBuiltIn);
    QCOMPARE(qtTrId("dw_pmain_settings"), QStringLiteral("Settings"));
}

// Every identifier the sources use has an English text: qtTrId() and
// QT_TRID_NOOP() calls in code, id attributes of strings in forms.
void TestLocalization::identifiersAreTranslated()
{
    manager().loadLanguage(kBuiltIn);
    // Placeholders the window title and early failure lines fill in.
    QCOMPARE(qtTrId("dw_window_title_ver"), QStringLiteral("%1 ver. %2"));
    QCOMPARE(qtTrId("util_failed_to_create"), QStringLiteral("failed to create dir [ %1 ] at: %2"));

    const QRegularExpression callPattern(QStringLiteral("\\b(?:qtTrId|QT_TRID_NOOP)\\s*\\(\\s*\"([^\"\\\\]+)\""));
    const QRegularExpression formPattern(QStringLiteral("<string\\b[^>]*\\bid=\"([^\"]+)\""));
    QSet<QString> ids;
    QDirIterator it(QStringLiteral(MERO_SOURCE_DIR "/src"), {"*.cpp", "*.h", "*.ui"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QRegularExpression &pattern = file.fileName().endsWith(".ui") ? formPattern : callPattern;
        for (auto matches = pattern.globalMatch(QString::fromUtf8(file.readAll())); matches.hasNext();)
            ids.insert(matches.next().captured(1));
    }
    // The manager's own failure line proves the scan sees real calls.
    QVERIFY(ids.contains(QStringLiteral("dw_err_tr_files_lost")));
    QStringList untranslated;
    for (const QString &id : ids) {
        if (qtTrId(id.toLatin1().constData()) == id)
            untranslated.append(id);
    }
    untranslated.sort();
    QVERIFY2(untranslated.isEmpty(), qPrintable("no English text for: " + untranslated.join(", ")));
}

QTEST_GUILESS_MAIN(TestLocalization)
#include "tst_localization.moc"
