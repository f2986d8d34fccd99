#include "core/tversion.h"
#include "core/utilitymodules/ui.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <QtTest>

using namespace ZCore;
using namespace ZCore::UtilityModules;

class TestUtilityModules : public QObject
{
    Q_OBJECT

private slots:
    void version_data();
    void version();
    void windowOffScreenComesBack();
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

QTEST_MAIN(TestUtilityModules)
#include "tst_utilitymodules.moc"
