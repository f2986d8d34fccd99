#include "core/tfrequency.h"
#include "core/tversion.h"
#include "core/utilitymodules/generics.h"
#include "core/utilitymodules/image.h"
#include "core/utilitymodules/path.h"
#include "core/utilitymodules/ui.h"
#include "core/utilitymodules/zmath.h"
#include "core/utilitymodules/zstring.h"
#include "logcapture.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <QTranslator>
#include <QWidget>
#include <QtTest>

using namespace ZCore;
using namespace ZCore::UtilityModules;

namespace {

constexpr quint32 kUndefined = TVersion::kUndefinedPart;

// Managers for initManager: one with a static init, one initialised through
// the IInitializable base; both succeed or fail as told.
bool g_staticInitResult = false;

class StaticManager
{
public:
    static StaticManager &instance()
    {
        static StaticManager manager;
        return manager;
    }
    static bool init() { return g_staticInitResult; }
    static QString tag() { return QStringLiteral("SettingsManager"); }
};

class VirtualManager : public IInitializable
{
public:
    static VirtualManager &instance()
    {
        static VirtualManager manager;
        return manager;
    }
    bool init() override { return m_result; }
    static QString tag() { return QStringLiteral("DataScanManager"); }
    bool m_result = false;
};

QColor pixel(const QImage &image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

} // namespace

class TestUtilityModules : public QObject
{
    Q_OBJECT

private slots:
    void versionParsing_data();
    void versionParsing();
    void versionOrdering_data();
    void versionOrdering();
    void frequency_data();
    void frequency();
    void clampIndex_data();
    void clampIndex();
    void createDir_data();
    void createDir();
    void textFormatting();
    void splashCentresLogo_data();
    void splashCentresLogo();
    void pixmapBorder();
    void widgetAtScreenCenter_data();
    void widgetAtScreenCenter();
    void styleSheetIsReadAsUtf8();
    void initManager_data();
    void initManager();
};

void TestUtilityModules::versionParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString undefined = QStringLiteral("%1.%1.%1").arg(kUndefined);
    QTest::newRow("application") << "1.15.823" << "1.15.823";
    QTest::newRow("two parts") << "1.15" << undefined;
    QTest::newRow("four parts") << "1.15.823.4" << undefined;
    QTest::newRow("empty part dropped") << "1..15.823." << "1.15.823";
    QTest::newRow("not numbers") << "a.b.c" << "0.0.0";
    QTest::newRow("too large") << "4294967296.1.1" << "0.1.1";
}

void TestUtilityModules::versionParsing()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TVersion::fromString(text).toString(), expected);
}

void TestUtilityModules::versionOrdering_data()
{
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("higher");

    QTest::newRow("build") << "1.15.822" << "1.15.823";
    QTest::newRow("major beats minor") << "1.99.99" << "2.0.0";
    QTest::newRow("numeric, not text") << "1.9.0" << "1.10.0";
    QTest::newRow("undefined is highest") << "4294967294.0.0" << "x";
}

void TestUtilityModules::versionOrdering()
{
    QFETCH(QString, lower);
    QFETCH(QString, higher);

    const TVersion a = TVersion::fromString(lower);
    const TVersion b = TVersion::fromString(higher);
    QVERIFY(a < b && b > a && a <= b && !(b <= a) && b >= a && !(a >= b));
    QVERIFY(a != b && a == TVersion::fromString(lower));
}

void TestUtilityModules::frequency_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("multiplier");
    QTest::addColumn<double>("kHz");
    QTest::addColumn<double>("GHz");

    QTest::newRow("band top") << 6.2 << qint64(1000000000) << 6200000.0 << 6.2;
    QTest::newRow("hertz") << 1500.0 << qint64(1) << 1.5 << 0.0000015;
}

void TestUtilityModules::frequency()
{
    QFETCH(double, value);
    QFETCH(qint64, multiplier);
    QFETCH(double, kHz);
    QFETCH(double, GHz);

    const TFrequency frequency(value, multiplier);
    QCOMPARE(frequency.kHz(), kHz);
    QCOMPARE(frequency.MHz(), kHz / 1000.0);
    QCOMPARE(frequency.GHz(), GHz);
    QVERIFY(frequency == TFrequency(frequency.hz() + 0.0000005));
    QVERIFY(frequency != TFrequency(frequency.hz() + 0.001));
}

void TestUtilityModules::clampIndex_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("lowest");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("expected");

    QTest::newRow("above") << 7 << 0 << 5 << 4;
    QTest::newRow("below") << -3 << 0 << 5 << 0;
    QTest::newRow("empty list") << 3 << 0 << 0 << 0;
    QTest::newRow("raised floor") << 0 << 1 << 5 << 1;
}

void TestUtilityModules::clampIndex()
{
    QFETCH(int, value);
    QFETCH(int, lowest);
    QFETCH(int, count);
    QFETCH(int, expected);
    QCOMPARE(ZMath::clampIndex(value, lowest, count), expected);
}

void TestUtilityModules::createDir_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("blocked");
    QTest::addColumn<bool>("translated");
    QTest::addColumn<QStringList>("expected"); // "%1" is the directory

    QTest::newRow("exists") << "." << false << false << QStringList();
    QTest::newRow("nested, created") << "a/b/logs" << false << false
                                     << QStringList{"Utility::Path >> created dir [ LOG_DIR ] at: %1"};
    QTest::newRow("file in the way, untranslated") << "a/logs" << true << false
        << QStringList{"Utility::Path >> util_failed_to_create [ LOG_DIR ] at: %1"};
    QTest::newRow("file in the way, English") << "a/logs" << true << true
        << QStringList{"Utility::Path >> failed to create dir [ LOG_DIR ] at: %1"};
}

void TestUtilityModules::createDir()
{
    QFETCH(QString, relative);
    QFETCH(bool, blocked);
    QFETCH(bool, translated);
    QFETCH(QStringList, expected);

    Q_INIT_RESOURCE(translation);
    QTranslator english;
    if (translated) {
        QVERIFY(english.load(QStringLiteral(":/translation/dranwell_en.qm")));
        QVERIFY(QCoreApplication::installTranslator(&english));
    }
    QTemporaryDir root;
    if (blocked) {
        QFile file(root.filePath(QStringLiteral("a")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString path = QDir::cleanPath(root.filePath(relative));

    TestSupport::LogCapture log;
    QCOMPARE(Path::createDir(path, QStringLiteral("LOG_DIR")), !blocked);
    QCOMPARE(Path::dirExists(path), !blocked);
    QCOMPARE(log.lines(), expected.replaceInStrings(QStringLiteral("%1"), path));
    if (!expected.isEmpty())
        QCOMPARE(log.entries().first().type, blocked ? QtCriticalMsg : QtInfoMsg);
}

void TestUtilityModules::textFormatting()
{
    QCOMPARE(ZMath::swapBytes16(0x12ab), quint16(0xab12));
    QCOMPARE(ZString::justifyPair("M1", "-12.50", " dB", QLatin1Char('.'), 16), QStringLiteral("M1.....-12.50 dB"));
    QCOMPARE(ZString::justifyPair("Marker", "1", "", QLatin1Char('.'), 4), QStringLiteral("Marker1"));
    QCOMPARE(ZString::formatNumber(3.14159, 'f', 2, true), QStringLiteral("+3.14"));
    QCOMPARE(ZString::formatNumber(0.0, 'f', 2, true), QStringLiteral("+0.00"));
    QCOMPARE(ZString::formatNumber(-2.55, 'f', 1, true), QStringLiteral("-2.5"));
    QCOMPARE(ZString::formatNumber(1234.5, 'e', 2, false), QStringLiteral("1.23e+03"));
}

void TestUtilityModules::splashCentresLogo_data()
{
    QTest::addColumn<QSize>("logoSize");
    QTest::addColumn<QPoint>("topLeft");

    QTest::newRow("odd, truncated") << QSize(101, 51) << QPoint(199, 124);
    QTest::newRow("larger than splash") << QSize(601, 401) << QPoint(-50, -50);
}

void TestUtilityModules::splashCentresLogo()
{
    QFETCH(QSize, logoSize);
    QFETCH(QPoint, topLeft);

    QTemporaryDir dir;
    const QString logoPath = dir.filePath(QStringLiteral("logo.png"));
    QImage logoImage(logoSize, QImage::Format_ARGB32);
    logoImage.fill(Qt::red);
    QVERIFY(logoImage.save(logoPath));

    const QImage splash = Image::makeSplashPixmap(logoPath, QSize(500, 300), Qt::white).toImage();
    QCOMPARE(splash.size(), QSize(500, 300));
    const QRect logo(topLeft, logoSize);
    const QRect inside = logo.intersected(splash.rect());
    QCOMPARE(pixel(splash, inside.left(), inside.top()), QColor(Qt::red));
    QCOMPARE(pixel(splash, inside.right(), inside.bottom()), QColor(Qt::red));
    if (logo.left() > 0) {
        QCOMPARE(pixel(splash, logo.left() - 1, logo.top()), QColor(Qt::white));
        QCOMPARE(pixel(splash, logo.right() + 1, logo.bottom()), QColor(Qt::white));
    }
}

void TestUtilityModules::pixmapBorder()
{
    // The splash draws a two-pixel border: exactly two pixels on every side,
    // corners included, and the inside left alone.
    const int pen = 2, w = 40, h = 30;
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::white);
    Image::drawPixmapBorder(pixmap, pen, Qt::black, Qt::MiterJoin);
    const QImage image = pixmap.toImage();
    for (int i = 0; i <= pen; ++i) {
        const QColor expected(i < pen ? Qt::black : Qt::white);
        QCOMPARE(pixel(image, i, h / 2), expected);
        QCOMPARE(pixel(image, w - 1 - i, h / 2), expected);
        QCOMPARE(pixel(image, w / 2, i), expected);
        QCOMPARE(pixel(image, w / 2, h - 1 - i), expected);
        QCOMPARE(pixel(image, i, i), expected);
        QCOMPARE(pixel(image, w - 1 - i, h - 1 - i), expected);
    }
}

void TestUtilityModules::widgetAtScreenCenter_data()
{
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("fixOnly");
    QTest::addColumn<QPoint>("halfSize"); // null: the widget stays where it is

    QTest::newRow("even") << QRect(0, 0, 200, 100) << false << QPoint(100, 50);
    QTest::newRow("odd, halves rounded up") << QRect(0, 0, 201, 99) << false << QPoint(101, 50);
    QTest::newRow("fix, on the screen") << QRect(10, 20, 200, 100) << true << QPoint();
    QTest::newRow("fix, on a vanished screen") << QRect(-20000, -20000, 200, 100) << true << QPoint(100, 50);
}

void TestUtilityModules::widgetAtScreenCenter()
{
    QFETCH(QRect, geometry);
    QFETCH(bool, fixOnly);
    QFETCH(QPoint, halfSize);

    QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    QWidget widget;
    widget.setGeometry(geometry);
    if (fixOnly)
        UI::tryToFixWidgetScreenPos(&widget);
    else
        UI::setWidgetAtScreenCenter(&widget);
    QCOMPARE(widget.pos(), halfSize.isNull() ? geometry.topLeft() : screen->geometry().center() - halfSize);

    TestSupport::LogCapture log;
    UI::setWidgetAtScreenCenter(nullptr);
    UI::tryToFixWidgetScreenPos(nullptr);
    QCOMPARE(log.count(QStringLiteral("Utility::UI >> given widget is nullptr")), 2);
}

void TestUtilityModules::styleSheetIsReadAsUtf8()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("style.qss"));
    const QString sheet = QStringLiteral("QLabel { color: red; } /* подпись */\n");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(sheet.toUtf8()) > 0);
    file.close();

    UI::applyStyleSheet(path);
    UI::applyStyleSheet(dir.filePath(QStringLiteral("missing.qss")));
    QCOMPARE(qApp->styleSheet(), sheet);
    qApp->setStyleSheet(QString());
}

void TestUtilityModules::initManager_data()
{
    QTest::addColumn<bool>("throughInterface");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QStringList>("criticals");

    QTest::newRow("static, ok") << false << true << QStringList();
    QTest::newRow("static, failed") << false << false
        << QStringList{"Utility::Generics >> dw_err_failed_manager_initSettingsManager"};
    QTest::newRow("interface, failed") << true << false
        << QStringList{"Utility::Generics >> dw_err_failed_manager_initDataScanManager"};
}

void TestUtilityModules::initManager()
{
    QFETCH(bool, throughInterface);
    QFETCH(bool, succeeds);
    QFETCH(QStringList, criticals);

    TestSupport::LogCapture log;
    bool result = false;
    if (throughInterface) {
        VirtualManager::instance().m_result = succeeds;
        result = Generics::initManager<VirtualManager>();
    } else {
        g_staticInitResult = succeeds;
        result = Generics::initManager<StaticManager>();
    }
    QCOMPARE(result, succeeds);
    QCOMPARE(log.lines(QtCriticalMsg), criticals);
}

QTEST_MAIN(TestUtilityModules)
#include "tst_utilitymodules.moc"
