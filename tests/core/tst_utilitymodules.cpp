#include "core/tfrequency.h"
#include "core/tversion.h"
#include "core/utilitymodules/generics.h"
#include "core/utilitymodules/path.h"
#include "core/utilitymodules/ui.h"
#include "core/utilitymodules/zmath.h"
#include "core/utilitymodules/zstring.h"
#include "logcapture.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

using namespace ZCore;
using namespace ZCore::UtilityModules;

namespace {

// A manager initialised through the IInitializable base, succeeding or
// failing as told.
struct VirtualManager : IInitializable
{
    static VirtualManager &instance() { static VirtualManager manager; return manager; }
    bool init() override { return m_result; }
    static QString tag() { return QStringLiteral("DataScanManager"); }
    bool m_result = false;
};

} // namespace

class TestUtilityModules : public QObject
{
    Q_OBJECT

private slots:
    void versionParsing_data();
    void versionParsing();
    void versionOrdering_data();
    void versionOrdering();
    void arithmetic();
    void createDir_data();
    void createDir();
    void widgetAtScreenCenter();
    void styleSheetIsReadAsUtf8();
    void initManager_data();
    void initManager();
};

void TestUtilityModules::versionParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two parts") << "1.15" << QStringLiteral("%1.%1.%1").arg(TVersion::kUndefinedPart);
    QTest::newRow("empty part dropped") << "1..15.823." << "1.15.823";
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

void TestUtilityModules::arithmetic()
{
    const TFrequency hertz(1500.0, 1);
    QCOMPARE(hertz.kHz(), 1.5);
    QCOMPARE(TFrequency(6.2, 1000000000).MHz(), 6200.0);
    QVERIFY(hertz == TFrequency(1500.0000005) && hertz != TFrequency(1500.001));
    QCOMPARE(QList<int>({ZMath::clampIndex(7, 0, 5), ZMath::clampIndex(3, 0, 0), ZMath::clampIndex(0, 1, 5)}), QList<int>({4, 0, 1}));
    QCOMPARE(ZMath::swapBytes16(0x12ab), quint16(0xab12));
    QCOMPARE(ZString::justifyPair("M1", "-12.50", " dB", QLatin1Char('.'), 16), QStringLiteral("M1.....-12.50 dB"));
    QCOMPARE(ZString::justifyPair("Marker", "1", "", QLatin1Char('.'), 4), QStringLiteral("Marker1"));
    QCOMPARE(ZString::formatNumber(0.0, 'f', 2, true) + ZString::formatNumber(-2.55, 'f', 1, true), QStringLiteral("+0.00-2.5"));
}

void TestUtilityModules::createDir_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("blocked");
    QTest::newRow("nested, created") << "a/b/logs" << false;
    QTest::newRow("file in the way") << "a/logs" << true;
}

void TestUtilityModules::createDir()
{
    QFETCH(QString, relative);
    QFETCH(bool, blocked);
    QTemporaryDir root;
    QFile file(root.filePath(QStringLiteral("a")));
    QVERIFY(!blocked || file.open(QIODevice::WriteOnly));
    const QString path = QDir::cleanPath(root.filePath(relative));
    TestSupport::LogCapture log;
    QCOMPARE(Path::createDir(path, QStringLiteral("LOG_DIR")), !blocked);
    QCOMPARE(Path::dirExists(path), !blocked);
}

void TestUtilityModules::widgetAtScreenCenter()
{
    const QPoint center = QGuiApplication::primaryScreen()->geometry().center();
    QWidget widget;
    widget.setGeometry(0, 0, 201, 99);
    UI::setWidgetAtScreenCenter(&widget);
    // Odd sizes: the halves are rounded up.
    QCOMPARE(widget.pos(), center - QPoint(101, 50));
    UI::tryToFixWidgetScreenPos(&widget);
    QCOMPARE(widget.pos(), center - QPoint(101, 50));
    // A window left on a screen that is gone comes back to the centre.
    widget.setGeometry(-20000, -20000, 200, 100);
    UI::tryToFixWidgetScreenPos(&widget);
    QCOMPARE(widget.pos(), center - QPoint(100, 50));
    TestSupport::LogCapture log;
    UI::setWidgetAtScreenCenter(nullptr);
    UI::tryToFixWidgetScreenPos(nullptr);
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
    // A missing file leaves the sheet in force.
    UI::applyStyleSheet(dir.filePath(QStringLiteral("missing.qss")));
    QCOMPARE(qApp->styleSheet(), sheet);
}

void TestUtilityModules::initManager_data()
{
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QStringList>("criticals");
    QTest::newRow("ok") << true << QStringList();
    QTest::newRow("failed") << false << QStringList{"Utility::Generics >> dw_err_failed_manager_initDataScanManager"};
}

void TestUtilityModules::initManager()
{
    QFETCH(bool, succeeds);
    QFETCH(QStringList, criticals);
    TestSupport::LogCapture log;
    VirtualManager::instance().m_result = succeeds;
    QCOMPARE(Generics::initManager<VirtualManager>(), succeeds);
    QCOMPARE(log.lines(QtCriticalMsg), criticals);
}

QTEST_MAIN(TestUtilityModules)
#include "tst_utilitymodules.moc"
