#include "core/isettingsrestorable.h"
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

#include <stdexcept>

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

class PlainRestorable : public ISettingsRestorable
{
public:
    void saveSettings() override {}
    void restoreSettings() override {}
};

QImage solidImage(const QSize &size, const QColor &color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
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
    void swapBytes16();
    void createDir_data();
    void createDir();
    void justifyPair_data();
    void justifyPair();
    void formatNumber_data();
    void formatNumber();
    void splashCentresLogo_data();
    void splashCentresLogo();
    void pixmapBorder_data();
    void pixmapBorder();
    void widgetAtScreenCenter_data();
    void widgetAtScreenCenter();
    void nullWidgetIsReported();
    void lostWidgetComesBack_data();
    void lostWidgetComesBack();
    void styleSheetIsReadAsUtf8();
    void initManager_data();
    void initManager();
    void baseRegisterRestorableThrows();
};

void TestUtilityModules::versionParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("major");
    QTest::addColumn<quint32>("minor");
    QTest::addColumn<quint32>("build");

    QTest::newRow("application") << "1.15.823" << 1u << 15u << 823u;
    QTest::newRow("two parts") << "1.15" << kUndefined << kUndefined << kUndefined;
    QTest::newRow("four parts") << "1.15.823.4" << kUndefined << kUndefined << kUndefined;
    QTest::newRow("empty") << "" << kUndefined << kUndefined << kUndefined;
    QTest::newRow("empty part dropped") << "1..15.823" << 1u << 15u << 823u;
    QTest::newRow("trailing dot") << "2.0.7." << 2u << 0u << 7u;
    QTest::newRow("not numbers") << "a.b.c" << 0u << 0u << 0u;
    QTest::newRow("largest") << "4294967295.0.1" << kUndefined << 0u << 1u;
    QTest::newRow("too large") << "4294967296.1.1" << 0u << 1u << 1u;
}

void TestUtilityModules::versionParsing()
{
    QFETCH(QString, text);
    QFETCH(quint32, major);
    QFETCH(quint32, minor);
    QFETCH(quint32, build);

    const TVersion version = TVersion::fromString(text);
    QCOMPARE(version.major(), major);
    QCOMPARE(version.minor(), minor);
    QCOMPARE(version.build(), build);
    QCOMPARE(version.toString(), QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(build));
}

void TestUtilityModules::versionOrdering_data()
{
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("higher");

    QTest::newRow("minor") << "1.15.823" << "1.16.0";
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
    QVERIFY(a < b);
    QVERIFY(b > a);
    QVERIFY(a <= b && !(b <= a));
    QVERIFY(b >= a && !(a >= b));
    QVERIFY(a != b);
    QVERIFY(a == TVersion::fromString(lower));
}

void TestUtilityModules::frequency_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("multiplier");
    QTest::addColumn<double>("kHz");
    QTest::addColumn<double>("MHz");
    QTest::addColumn<double>("GHz");

    QTest::newRow("880 MHz") << 880.0 << qint64(1000000) << 880000.0 << 880.0 << 0.88;
    QTest::newRow("band top") << 6.2 << qint64(1000000000) << 6200000.0 << 6200.0 << 6.2;
    QTest::newRow("hertz") << 1500.0 << qint64(1) << 1.5 << 0.0015 << 0.0000015;
}

void TestUtilityModules::frequency()
{
    QFETCH(double, value);
    QFETCH(qint64, multiplier);
    QFETCH(double, kHz);
    QFETCH(double, MHz);
    QFETCH(double, GHz);

    const TFrequency frequency(value, multiplier);
    QCOMPARE(frequency.kHz(), kHz);
    QCOMPARE(frequency.MHz(), MHz);
    QCOMPARE(frequency.GHz(), GHz);
    QVERIFY(frequency == TFrequency(frequency.hz() + 0.0000005));
    QVERIFY(frequency != TFrequency(frequency.hz() + 0.001));
    QVERIFY(frequency < TFrequency(frequency.hz() + 0.001));
}

void TestUtilityModules::clampIndex_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("lowest");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("expected");

    QTest::newRow("above") << 7 << 0 << 5 << 4;
    QTest::newRow("below") << -3 << 0 << 5 << 0;
    QTest::newRow("inside") << 2 << 0 << 5 << 2;
    QTest::newRow("last") << 4 << 0 << 5 << 4;
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

void TestUtilityModules::swapBytes16()
{
    QCOMPARE(ZMath::swapBytes16(0x12ab), quint16(0xab12));
    QCOMPARE(ZMath::swapBytes16(0xff00), quint16(0x00ff));
}

void TestUtilityModules::createDir_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("blocker");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<bool>("translated");

    QTest::newRow("exists") << "." << "" << true << -1 << "" << false;
    QTest::newRow("nested, created") << "a/b/logs" << "" << true << int(QtInfoMsg)
                                     << "Utility::Path >> created dir [ LOG_DIR ] at: %1" << false;
    QTest::newRow("file in the way, untranslated") << "a/logs" << "a" << false << int(QtCriticalMsg)
        << "Utility::Path >> util_failed_to_create [ LOG_DIR ] at: %1" << false;
    QTest::newRow("file in the way, English") << "a/logs" << "a" << false << int(QtCriticalMsg)
        << "Utility::Path >> failed to create dir [ LOG_DIR ] at: %1" << true;
}

void TestUtilityModules::createDir()
{
    QFETCH(QString, relative);
    QFETCH(QString, blocker);
    QFETCH(bool, result);
    QFETCH(int, level);
    QFETCH(QString, expectedText);
    QFETCH(bool, translated);

    Q_INIT_RESOURCE(translation);
    QTranslator english;
    if (translated) {
        QVERIFY(english.load(QStringLiteral(":/translation/dranwell_en.qm")));
        QVERIFY(QCoreApplication::installTranslator(&english));
    }
    QTemporaryDir root;
    QVERIFY(root.isValid());
    if (!blocker.isEmpty()) {
        QFile file(root.filePath(blocker));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString path = QDir::cleanPath(root.filePath(relative));

    TestSupport::LogCapture log;
    QCOMPARE(Path::createDir(path, QStringLiteral("LOG_DIR")), result);
    QCOMPARE(Path::dirExists(path), result);
    if (level < 0) {
        QVERIFY(log.entries().isEmpty());
    } else {
        QCOMPARE(log.entries().size(), 1);
        QCOMPARE(int(log.entries().first().type), level);
        QCOMPARE(log.entries().first().text, expectedText.arg(path));
    }
}

void TestUtilityModules::justifyPair_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");

    QTest::newRow("padded") << "M1" << "-12.50" << " dB" << 16 << "M1.....-12.50 dB";
    QTest::newRow("exact") << "Freq" << "880" << "MHz" << 10 << "Freq880MHz";
    QTest::newRow("label too long") << "Marker" << "1" << "" << 4 << "Marker1";
}

void TestUtilityModules::justifyPair()
{
    QFETCH(QString, label);
    QFETCH(QString, value);
    QFETCH(QString, suffix);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QCOMPARE(ZString::justifyPair(label, value, suffix, QLatin1Char('.'), width), expected);
}

void TestUtilityModules::formatNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<char>("format");
    QTest::addColumn<int>("precision");
    QTest::addColumn<bool>("forceSign");
    QTest::addColumn<QString>("expected");

    QTest::newRow("positive signed") << 3.14159 << 'f' << 2 << true << "+3.14";
    QTest::newRow("negative signed") << -2.55 << 'f' << 1 << true << "-2.5";
    QTest::newRow("zero signed") << 0.0 << 'f' << 2 << true << "+0.00";
    QTest::newRow("unsigned") << 3.14159 << 'f' << 2 << false << "3.14";
    QTest::newRow("exponent") << 1234.5 << 'e' << 2 << false << "1.23e+03";
}

void TestUtilityModules::formatNumber()
{
    QFETCH(double, value);
    QFETCH(char, format);
    QFETCH(int, precision);
    QFETCH(bool, forceSign);
    QFETCH(QString, expected);
    QCOMPARE(ZString::formatNumber(value, format, precision, forceSign), expected);
}

void TestUtilityModules::splashCentresLogo_data()
{
    QTest::addColumn<QSize>("logoSize");
    QTest::addColumn<QPoint>("topLeft");

    QTest::newRow("even") << QSize(100, 50) << QPoint(200, 125);
    QTest::newRow("odd, truncated") << QSize(101, 51) << QPoint(199, 124);
    QTest::newRow("larger than splash") << QSize(601, 401) << QPoint(-50, -50);
}

void TestUtilityModules::splashCentresLogo()
{
    QFETCH(QSize, logoSize);
    QFETCH(QPoint, topLeft);

    QTemporaryDir dir;
    const QString logoPath = dir.filePath(QStringLiteral("logo.png"));
    QVERIFY(solidImage(logoSize, Qt::red).save(logoPath));

    const QImage splash = Image::makeSplashPixmap(logoPath, QSize(500, 300), Qt::white).toImage();
    QCOMPARE(splash.size(), QSize(500, 300));
    const QRect logo(topLeft, logoSize);
    const QRect inside = logo.intersected(splash.rect());
    QCOMPARE(QColor(splash.pixel(inside.topLeft())), QColor(Qt::red));
    QCOMPARE(QColor(splash.pixel(inside.bottomRight())), QColor(Qt::red));
    if (logo.left() > 0) {
        QCOMPARE(QColor(splash.pixel(logo.left() - 1, logo.top())), QColor(Qt::white));
        QCOMPARE(QColor(splash.pixel(logo.right() + 1, logo.bottom())), QColor(Qt::white));
        QCOMPARE(QColor(splash.pixel(logo.left(), logo.top() - 1)), QColor(Qt::white));
    }
}

void TestUtilityModules::pixmapBorder_data()
{
    QTest::addColumn<int>("penWidth");

    QTest::newRow("1") << 1;
    QTest::newRow("2, as on the splash") << 2;
}

void TestUtilityModules::pixmapBorder()
{
    QFETCH(int, penWidth);

    const QSize size(40, 30);
    QPixmap pixmap(size);
    pixmap.fill(Qt::white);
    Image::drawPixmapBorder(pixmap, penWidth, Qt::black, Qt::MiterJoin);
    const QImage image = pixmap.toImage();

    const QColor black(Qt::black);
    const QColor white(Qt::white);
    // The border is exactly penWidth pixels wide on all four sides, corners
    // included (miter join), and leaves the inside alone. The placement only
    // reaches the edge for widths 1 and 2; the splash uses 2.
    for (int i = 0; i < penWidth; ++i) {
        QCOMPARE(QColor(image.pixel(i, size.height() / 2)), black);
        QCOMPARE(QColor(image.pixel(size.width() - 1 - i, size.height() / 2)), black);
        QCOMPARE(QColor(image.pixel(size.width() / 2, i)), black);
        QCOMPARE(QColor(image.pixel(size.width() / 2, size.height() - 1 - i)), black);
        QCOMPARE(QColor(image.pixel(i, i)), black);
        QCOMPARE(QColor(image.pixel(size.width() - 1 - i, size.height() - 1 - i)), black);
    }
    QCOMPARE(QColor(image.pixel(penWidth, size.height() / 2)), white);
    QCOMPARE(QColor(image.pixel(size.width() - 1 - penWidth, size.height() / 2)), white);
    QCOMPARE(QColor(image.pixel(size.width() / 2, penWidth)), white);
    QCOMPARE(QColor(image.pixel(size.width() / 2, size.height() - 1 - penWidth)), white);
}

void TestUtilityModules::widgetAtScreenCenter_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("halfSize");

    QTest::newRow("even") << QSize(200, 100) << QPoint(100, 50);
    QTest::newRow("odd, halves rounded up") << QSize(201, 101) << QPoint(101, 51);
    QTest::newRow("odd below") << QSize(199, 99) << QPoint(100, 50);
}

void TestUtilityModules::widgetAtScreenCenter()
{
    QFETCH(QSize, size);
    QFETCH(QPoint, halfSize);

    QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    QWidget widget;
    widget.resize(size);
    TestSupport::LogCapture log;
    UI::setWidgetAtScreenCenter(&widget);

    QCOMPARE(widget.pos(), screen->geometry().center() - halfSize);
    QCOMPARE(log.lines(QtWarningMsg),
             QStringList{"Utility::UI >> ZCore::UtilityModules::UI::setWidgetAtScreenCenter.."});
}

void TestUtilityModules::nullWidgetIsReported()
{
    TestSupport::LogCapture log;
    UI::setWidgetAtScreenCenter(nullptr);
    UI::tryToFixWidgetScreenPos(nullptr);
    QCOMPARE(log.lines(QtWarningMsg),
             (QStringList{"Utility::UI >> ZCore::UtilityModules::UI::setWidgetAtScreenCenter..",
                          "Utility::UI >> given widget is nullptr",
                          "Utility::UI >> ZCore::UtilityModules::UI::tryToFixWidgetScreenPos..",
                          "Utility::UI >> given widget is nullptr"}));
}

void TestUtilityModules::lostWidgetComesBack_data()
{
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<bool>("moved");

    QTest::newRow("on the screen") << QPoint(10, 20) << false;
    QTest::newRow("on a vanished screen") << QPoint(-20000, -20000) << true;
}

void TestUtilityModules::lostWidgetComesBack()
{
    QFETCH(QPoint, position);
    QFETCH(bool, moved);

    QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    QWidget widget;
    widget.setGeometry(QRect(position, QSize(200, 100)));
    TestSupport::LogCapture log;
    UI::tryToFixWidgetScreenPos(&widget);

    QCOMPARE(widget.pos(), moved ? screen->geometry().center() - QPoint(100, 50) : position);
    QCOMPARE(log.contains(QStringLiteral("Utility::UI >> no need to fix pos of the given widget")), !moved);
}

void TestUtilityModules::styleSheetIsReadAsUtf8()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("style.qss"));
    const QString sheet = QStringLiteral("QLabel { color: red; } /* подпись */\n");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(sheet.toUtf8());
    file.close();

    UI::applyStyleSheet(path);
    QCOMPARE(qApp->styleSheet(), sheet);
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
    QTest::newRow("interface, ok") << true << true << QStringList();
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

void TestUtilityModules::baseRegisterRestorableThrows()
{
    PlainRestorable restorable;
    try {
        restorable.registerRestorable();
        QFAIL("no exception");
    } catch (const std::runtime_error &error) {
        QCOMPARE(QString::fromLatin1(error.what()), QStringLiteral("not implemented"));
    }
}

QTEST_MAIN(TestUtilityModules)
#include "tst_utilitymodules.moc"
