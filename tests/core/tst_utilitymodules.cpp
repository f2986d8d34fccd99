#include "core/tfrequency.h"
#include "core/tversion.h"
#include "core/utilitymodules/generics.h"
#include "core/utilitymodules/ui.h"
#include "core/utilitymodules/zmath.h"
#include "core/utilitymodules/zstring.h"
#include "logcapture.h"

#include <QApplication>
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
    void version_data();
    void version();
    void arithmetic();
    void windowOffScreenComesBack();
    void styleSheetIsReadAsUtf8();
    void failedManagerIsLogged();
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

// Signed numbers and padded pairs are checked where the marks table shows them.
void TestUtilityModules::arithmetic()
{
    QCOMPARE(TFrequency(6.2, 1000000000).MHz(), 6200.0);
    QVERIFY(TFrequency(1500.0, 1) == TFrequency(1500.0000005) && TFrequency(1500.0, 1) != TFrequency(1500.001));
    QCOMPARE(QList<int>({ZMath::clampIndex(7, 0, 5), ZMath::clampIndex(3, 0, 0), ZMath::clampIndex(0, 1, 5)}), QList<int>({4, 0, 1}));
    // A label longer than its line keeps all of it.
    QCOMPARE(ZString::justifyPair("Marker", "1", "", QLatin1Char('.'), 4), QStringLiteral("Marker1"));
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

void TestUtilityModules::failedManagerIsLogged()
{
    TestSupport::LogCapture log;
    for (bool succeeds : {true, false}) {
        VirtualManager::instance().m_result = succeeds;
        QCOMPARE(Generics::initManager<VirtualManager>(), succeeds);
    }
    QCOMPARE(log.lines(QtCriticalMsg), QStringList{"Utility::Generics >> dw_err_failed_manager_initDataScanManager"});
}

QTEST_MAIN(TestUtilityModules)
#include "tst_utilitymodules.moc"
