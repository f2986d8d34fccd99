#include "core/tversion.h"
#include "core/utilitymodules/ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
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

// Versions, window placement, and the bundled pictures and style sheet as
// the widgets ask for them.
class TestUtilityModules : public QObject
{
    Q_OBJECT

private slots:
    void version_data();
    void version();
    void windowOffScreenComesBack();
    void picturesLoad_data();
    void picturesLoad();
    void styleSheetRulesTakeEffect();
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

    QWidget page;
    QScrollBar scrollBar(Qt::Vertical, &page);
    QComboBox combo(&page);
    QCheckBox checkBox(&page);
    for (QWidget *widget : {&page, static_cast<QWidget *>(&scrollBar), static_cast<QWidget *>(&combo), static_cast<QWidget *>(&checkBox)})
        widget->ensurePolished();
    QStyle *style = scrollBar.style();
    QCOMPARE(style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &scrollBar), 15 + 2 * 2);
    QCOMPARE(style->pixelMetric(QStyle::PM_ScrollBarSliderMin, nullptr, &scrollBar), 20);
    QCOMPARE(combo.style()->styleHint(QStyle::SH_ComboBox_Popup, nullptr, &combo), 0);
    QCOMPARE(checkBox.style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &checkBox), 24);
    QCOMPARE(checkBox.style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, &checkBox), 24);
}

QTEST_MAIN(TestUtilityModules)
#include "tst_utilitymodules.moc"
