#include "core/localizationmanager.h"
#include "core/tversion.h"
#include "core/utilitymodules/ui.h"
#include "logcapture.h"
#include "recordingdialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QIcon>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <QtTest>

using namespace ZCore;
using namespace ZCore::UtilityModules;

namespace {

LocalizationManager &manager() { return LocalizationManager::instance(); }
const QString kBuiltIn = QStringLiteral(":/translation/dranwell_en.qm");
const QString kRussian = QStringLiteral(":/translation/dranwell_ru.qm");

int opaquePixelCount(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0;
    }
    return count;
}

} // namespace

// Versions, window placement, and the bundled pictures, style sheet and
// translations as the application asks for them.
class TestUtilityModules : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LocalizationManager::init(); }
    void version_data();
    void version();
    void windowOffScreenComesBack();
    void picturesLoad_data();
    void picturesLoad();
    void styleSheetRulesTakeEffect();
    void savedLanguage_data();
    void savedLanguage();
    void shippedTranslationsAreComplete_data();
    void shippedTranslationsAreComplete();

private:
    TestSupport::RecordingDialogs m_dialogs;
};

// Firmware offers are compared by version: a wrong order offers a downgrade.
void TestUtilityModules::version_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("higher"); // empty: nothing is higher
    const QString undefined = QStringLiteral("%1.%1.%1").arg(TVersion::kUndefinedPart);
    QTest::newRow("two parts") << "1.15" << undefined << "";
    QTest::newRow("empty part dropped") << "1..15.823." << "1.15.823" << "1.15.824";
    QTest::newRow("too large") << "4294967296.1.1" << "0.1.1" << "0.2.0";
    QTest::newRow("major beats minor") << "1.99.99" << "1.99.99" << "2.0.0";
    QTest::newRow("numeric, not text") << "1.9.0" << "1.9.0" << "1.10.0";
    QTest::newRow("undefined is highest") << "4294967294.0.0" << "4294967294.0.0" << "x";
}

void TestUtilityModules::version()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(QString, higher);
    const TVersion a = TVersion::fromString(text);
    QCOMPARE(a.toString(), expected);
    if (higher.isEmpty())
        return;
    const TVersion b = TVersion::fromString(higher);
    QVERIFY(a < b && b > a && a <= b && !(b <= a) && b >= a && !(a >= b));
    QVERIFY(a != b && a == TVersion::fromString(text));
}

// A window restored onto a screen that is gone comes back to the centre;
// one on the screen stays where it is.
void TestUtilityModules::windowOffScreenComesBack()
{
    const QPoint center = QGuiApplication::primaryScreen()->geometry().center();
    QWidget widget;
    widget.setGeometry(-20000, -20000, 200, 100);
    UI::tryToFixWidgetScreenPos(&widget);
    QCOMPARE(widget.pos(), center - QPoint(100, 50));
    widget.move(10, 20);
    UI::tryToFixWidgetScreenPos(&widget);
    QCOMPARE(widget.pos(), QPoint(10, 20));
}

void TestUtilityModules::picturesLoad_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("maxSize"); // an icon: drawn at that size
    QTest::addColumn<bool>("exact");
    // Icons spelled as the widgets ask for them, the doubled slash included.
    for (const char *path : {":/ui/pause_scan", "://ui/pause_scan", "://ui/resume_scan", ":/ui/connected", ":/ui/disconnected",
                             ":/ui/refresh", ":/ui/menu_drawer", ":/ui/arrow_left", ":/ui/apply", ":/ui/configure"})
        QTest::newRow(path) << QString::fromLatin1(path) << QSize(32, 32) << true;
    QTest::newRow("splash logo") << QStringLiteral("://logo_pic") << QSize(500, 300) << false;
    // The attenuation spin boxes are placed at fixed points of a frame of
    // this size, so the schematic behind them must match it exactly.
    QTest::newRow("attenuator background") << QStringLiteral(":/repeater_bg") << QSize(400, 350) << true;
    QTest::newRow("chart arrangement") << QStringLiteral(":/arrange/images/arrangement/charts_2.png") << QSize(256, 256) << false;
}

void TestUtilityModules::picturesLoad()
{
    QFETCH(QString, path);
    QFETCH(QSize, maxSize);
    QFETCH(bool, exact);
    const bool icon = path.startsWith(QLatin1String(":/ui/")) || path.startsWith(QLatin1String("://ui/"));
    const QPixmap pixmap = icon ? QIcon(path).pixmap(maxSize) : QPixmap(path);
    if (exact)
        QCOMPARE(pixmap.size(), maxSize);
    QVERIFY2(pixmap.width() <= maxSize.width() && pixmap.height() <= maxSize.height()
                 && pixmap.width() >= maxSize.width() / 4 && pixmap.height() >= maxSize.height() / 4,
             qPrintable(QStringLiteral("%1 x %2").arg(pixmap.width()).arg(pixmap.height())));
    // Something is drawn; an icon is a figure on a clear ground.
    const int opaque = opaquePixelCount(pixmap.toImage()), total = pixmap.width() * pixmap.height();
    QVERIFY2(opaque > (icon ? total / 20 : 0) && (!icon || opaque < total * 3 / 4), qPrintable(QString::number(opaque)));
}

// The sheet is applied as the application does at start-up.
void TestUtilityModules::styleSheetRulesTakeEffect()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QString path = QStringLiteral(":/styles/default.qss");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    UI::applyStyleSheet(path);
    // A missing file leaves the sheet in force.
    UI::applyStyleSheet(QStringLiteral(":/styles/missing.qss"));
    QCOMPARE(qApp->styleSheet(), QString::fromUtf8(file.readAll()));

    // A rule the parser drops leaves Fusion's own metric.
    QWidget page;
    QScrollBar scrollBar(Qt::Vertical, &page);
    QCheckBox checkBox(&page);
    page.ensurePolished(), scrollBar.ensurePolished(), checkBox.ensurePolished();
    QCOMPARE(scrollBar.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &scrollBar), 15 + 2 * 2);
    QCOMPARE(checkBox.style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &checkBox), 24);
}

void TestUtilityModules::savedLanguage_data()
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
void TestUtilityModules::savedLanguage()
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

void TestUtilityModules::shippedTranslationsAreComplete_data()
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
void TestUtilityModules::shippedTranslationsAreComplete()
{
    QFETCH(QString, tsPath);
    // An unfinished text is built in as the English one.
    QFile ts(tsPath);
    QVERIFY(ts.open(QIODevice::ReadOnly));
    QStringList unfinished;
    for (const QString &message : QString::fromUtf8(ts.readAll()).split(QStringLiteral("<message id=\"")).mid(1))
        if (message.contains(QRegularExpression(QStringLiteral("<translation( type=|>\\s*</translation>)"))))
            unfinished << message.section(QLatin1Char('"'), 0, 0);
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
    QStringList missing, placeholdersLost;
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

QTEST_MAIN(TestUtilityModules)
#include "tst_utilitymodules.moc"
