#include "core/utilitymodules/ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QIcon>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QtTest>

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

// The bundled pictures and style sheet, as the widgets ask for them.
class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void picturesLoad_data();
    void picturesLoad();
    void styleSheetRulesTakeEffect();
};

void TestResources::picturesLoad_data()
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

void TestResources::picturesLoad()
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
void TestResources::styleSheetRulesTakeEffect()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QString path = QStringLiteral(":/styles/default.qss");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    ZCore::UtilityModules::UI::applyStyleSheet(path);
    // A missing file leaves the sheet in force.
    ZCore::UtilityModules::UI::applyStyleSheet(QStringLiteral(":/styles/missing.qss"));
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

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
