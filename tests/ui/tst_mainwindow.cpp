#include "chart/zchartview.h"
#include "core/localizationmanager.h"
#include "core/settingsmanager.h"
#include "data/calibration/calibrationmanager.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "findwidget.h"
#include "recordingdialogs.h"
#include "tempappdir.h"
#include "ui/mainwindow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QtTest>

#include <functional>
#include <memory>

using Happening = std::function<void()>;
Q_DECLARE_METATYPE(Happening)

using ZChart::ZChartView;
using ZCore::SettingsManager;
using ZData::DataScanManager;

namespace {

const QString kBorderNone = QStringLiteral("border: none");
const QString kBorderSelected = QStringLiteral("border: 2px solid red;");

DataScanManager &scan()
{
    return DataScanManager::instance();
}

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(QSize(MainWindow::kPageHeaderIconSize, MainWindow::kPageHeaderIconSize)).toImage();
}

bool hasIcon(const QPushButton *button, const char *resource)
{
    return iconImage(button->icon()) == iconImage(QIcon(QLatin1String(resource)));
}

QColor buttonColor(const QWidget *widget)
{
    return widget->palette().color(QPalette::Button);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void formObjects_data();
    void formObjects();
    void initialState();
    void pageHeaders();
    void firstArrangement();
    void selectionMovesBorder();
    void keyboardSwitchesPresets_data();
    void keyboardSwitchesPresets();
    void pauseButtonFollowsScan_data();
    void pauseButtonFollowsScan();
    void connectionButtonFollowsLink_data();
    void connectionButtonFollowsLink();
    void jobProgressIsClamped_data();
    void jobProgressIsClamped();
    void restoresAndSavesWindowKeys_data();
    void restoresAndSavesWindowKeys();
    void storedViewOutOfRangeSelectsFirst();

private:
    template <typename T = QWidget>
    T *w(const char *name) const
    {
        T *found = TestSupport::findWidget<T>(m_window.get(), name);
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    QPushButton *button(const char *name) const { return w<QPushButton>(name); }
    QStackedWidget *menu() const { return w<QStackedWidget>("nav_bar_menu"); }
    ZChartView *view(const char *name) const { return w<ZChartView>(name); }

    std::unique_ptr<TestSupport::TempAppDir> m_appDir;
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindow::initTestCase()
{
    m_appDir = std::make_unique<TestSupport::TempAppDir>();
    m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    QVERIFY(SettingsManager::init());
    QVERIFY(ZData::DeviceMessageManager::init());
    QVERIFY(ZData::DM::SerialPort::init());
    QVERIFY(ZData::ConnectionManager::init());
    QVERIFY(ZData::DeviceManager::init());
    QVERIFY(ZData::CalibrationManager::instance().init());
    QVERIFY(scan().init());
    QVERIFY(ZCore::LocalizationManager::init());
    QVERIFY(scan().presetCount() > 1);
    m_window = std::make_unique<MainWindow>();
}

void TestMainWindow::cleanupTestCase()
{
    m_window.reset();
    m_dialogs.reset();
    m_appDir.reset();
}

void TestMainWindow::init()
{
    m_dialogs->clear();
}

void TestMainWindow::formObjects_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("className");
    for (const char *button : {"b_toggle_scan_pause", "b_connect_device", "b_toggle_menu"})
        QTest::newRow(button) << QByteArray(button) << QByteArray("QPushButton");
    for (const char *view : {"chart_view_UL", "chart_view_UR", "chart_view_BL", "chart_view_BR"})
        QTest::newRow(view) << QByteArray(view) << QByteArray("ZChart::ZChartView");
    QTest::newRow("nav_bar_menu") << QByteArray("nav_bar_menu") << QByteArray("MW_Pages::NavBarMenu");
    QTest::newRow("title_bar") << QByteArray("title_bar") << QByteArray("QWidget");
    QTest::newRow("label_3") << QByteArray("label_3") << QByteArray("QLabel");
    QTest::newRow("pb_job_status") << QByteArray("pb_job_status") << QByteArray("QProgressBar");
}

void TestMainWindow::formObjects()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, className);
    const QWidget *widget = TestSupport::findWidget<QWidget>(m_window.get(), name.constData());
    QVERIFY(widget);
    QCOMPARE(QByteArray(widget->metaObject()->className()), className);
    if (className == "QPushButton") {
        QCOMPARE(widget->focusPolicy(), Qt::NoFocus);
        QCOMPARE(static_cast<const QPushButton *>(widget)->iconSize(), QSize(32, 32));
    }
    if (className == "ZChart::ZChartView")
        QCOMPARE(widget->sizePolicy(), QSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored));
}

void TestMainWindow::initialState()
{
    QCOMPARE(m_window->minimumSize(), QSize(1000, 550));
    // The language the settings page loads arrives through the event loop.
    QTRY_COMPARE(m_window->windowTitle(),
             QStringLiteral("Oskiro MERO ver. %1").arg(SettingsManager::appVersion().toString()));
    QVERIFY(!button("b_toggle_scan_pause")->isEnabled());
    QCOMPARE(buttonColor(button("b_toggle_scan_pause")), QColor(Qt::gray));
    QVERIFY(hasIcon(button("b_connect_device"), ":/ui/disconnected"));
    QCOMPARE(w<QProgressBar>("pb_job_status")->palette().color(QPalette::Highlight), QColor(75, 252, 75));
    QCOMPARE(menu()->currentIndex(), 0);
    QCOMPARE(m_window->chartViews().size(), 4);
    for (int corner = 0; corner < m_window->chartViews().size(); ++corner)
        QCOMPARE(m_window->chartViews().at(corner)->corner(), quint32(corner));
    // The chart page selected the stored (here: default) view at start.
    QCOMPARE(m_window->selectedChartView(), view("chart_view_UL"));
}

void TestMainWindow::pageHeaders()
{
    const QList<QWidget *> headed = {w("p_menu_update"), w("p_menu_settings"), w("p_menu_about")};
    const QStringList titles = {QStringLiteral("Device"), QStringLiteral("Settings"), QStringLiteral("About")};
    QCOMPARE(m_window->pageHeaders().size(), headed.size());
    for (int k = 0; k < headed.size(); ++k) {
        auto *grid = qobject_cast<QGridLayout *>(headed.at(k)->layout());
        QVERIFY(grid);
        QLayoutItem *top = grid->itemAtPosition(0, 0);
        QVERIFY(top && top->layout() == m_window->pageHeaders().at(k));
        QLayoutItem *below = grid->itemAtPosition(1, 0);
        QVERIFY(below && qobject_cast<QScrollArea *>(below->widget()));

        auto *label = qobject_cast<QLabel *>(top->layout()->itemAt(0)->widget());
        auto *back = qobject_cast<QPushButton *>(top->layout()->itemAt(1)->widget());
        QVERIFY(label && back);
        QTRY_COMPARE(label->text(), titles.at(k));
        QCOMPARE(label->styleSheet(), QStringLiteral("font-size: 16pt"));
        QCOMPARE(back->focusPolicy(), Qt::NoFocus);

        menu()->setCurrentIndex(k + 1);
        QTest::mouseClick(back, Qt::LeftButton);
        QCOMPARE(menu()->currentIndex(), 0);
    }
    QTest::mouseClick(button("b_menu_main_about"), Qt::LeftButton);
    QCOMPARE(menu()->currentIndex(), 3);
    m_window->handlePageBack();
}

void TestMainWindow::firstArrangement()
{
    ZChartView *ul = view("chart_view_UL");
    ZChartView *bl = view("chart_view_BL");
    emit bl->signalWasSelected();
    QCOMPARE(m_window->selectedChartView(), bl);

    m_window->slotChartArrangementChanged(0);
    QGridLayout *cluster = m_window->findChild<QGridLayout *>(QStringLiteral("chart_cluster"));
    const QList<QPair<ZChartView *, int>> placed = {{ul, 0}, {view("chart_view_UR"), 1}};
    for (const auto &[view, row] : placed) {
        int r = -1, c = -1, rowSpan = 0, columnSpan = 0;
        cluster->getItemPosition(cluster->indexOf(view), &r, &c, &rowSpan, &columnSpan);
        QCOMPARE(QVector<int>({r, c, rowSpan, columnSpan}), QVector<int>({row, 0, 1, 2}));
        QVERIFY(view->isActive() && !view->isHidden());
    }
    for (ZChartView *view : {bl, view("chart_view_BR")})
        QVERIFY(!view->isActive() && view->isHidden());
    // The selected view went out of sight; the first one takes its place.
    QCOMPARE(m_window->selectedChartView(), ul);
    QCOMPARE(m_window->selectedMarksTable(), ul->marksTable());
}

void TestMainWindow::selectionMovesBorder()
{
    ZChartView *ul = view("chart_view_UL");
    ZChartView *ur = view("chart_view_UR");
    emit ul->signalWasSelected();
    QSignalSpy selected(m_window.get(), &MainWindowBase::signalSelectedNewChartView);

    emit ul->signalWasSelected();
    QCOMPARE(selected.count(), 0);

    emit ur->signalWasSelected();
    QCOMPARE(selected.count(), 1);
    QCOMPARE(m_window->selectedChartViewCorner(), 1);
    QCOMPARE(ur->styleSheet(), kBorderSelected);
    for (ZChartView *other : {ul, view("chart_view_BL"), view("chart_view_BR")})
        QCOMPARE(other->styleSheet(), kBorderNone);
}

void TestMainWindow::keyboardSwitchesPresets_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("fromLast");
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("handled");
    QTest::newRow("A on the first wraps to the last") << int(Qt::Key_A) << false << -1 << true;
    QTest::newRow("D steps forward") << int(Qt::Key_D) << false << 1 << true;
    QTest::newRow("Space on the last wraps to the first") << int(Qt::Key_Space) << true << 1 << true;
    QTest::newRow("other keys are left alone") << int(Qt::Key_S) << false << 0 << false;
}

void TestMainWindow::keyboardSwitchesPresets()
{
    QFETCH(int, key);
    QFETCH(bool, fromLast);
    QFETCH(int, step);
    QFETCH(bool, handled);
    const int count = scan().presetCount();
    const int start = fromLast ? count - 1 : 0;
    scan().setActivePreset(start, true);

    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(m_window.get(), &release);

    QCOMPARE(release.isAccepted(), handled);
    QCOMPARE(scan().activePreset(), (start + step + count) % count);

    // The key usually reaches a chart view first, which has the focus after
    // a click; it must still switch the preset.
    ZChartView *focused = m_window->selectedChartView();
    QVERIFY(focused);
    QTest::keyRelease(focused, Qt::Key(key));
    QCOMPARE(scan().activePreset(), (start + 2 * step + 2 * count) % count);
}

void TestMainWindow::pauseButtonFollowsScan_data()
{
    QTest::addColumn<bool>("paused");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QByteArray>("icon");
    QTest::newRow("running") << false << QColor(Qt::green) << QByteArray(":/ui/pause_scan");
    QTest::newRow("paused") << true << QColor(Qt::gray) << QByteArray(":/ui/resume_scan");
}

void TestMainWindow::pauseButtonFollowsScan()
{
    QFETCH(bool, paused);
    QFETCH(QColor, color);
    QFETCH(QByteArray, icon);
    emit scan().signalScanPause(paused);
    QCOMPARE(button("b_toggle_scan_pause")->isEnabled(), !paused);
    QCOMPARE(buttonColor(button("b_toggle_scan_pause")), color);
    QVERIFY(hasIcon(button("b_toggle_scan_pause"), icon.constData()));

    emit scan().signalUserScanPause(!paused);
    QVERIFY(hasIcon(button("b_toggle_scan_pause"), paused ? ":/ui/pause_scan" : ":/ui/resume_scan"));
}

void TestMainWindow::connectionButtonFollowsLink_data()
{
    QTest::addColumn<Happening>("happen");
    QTest::addColumn<QByteArray>("icon");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<bool>("pauseDisabled");
    auto &port = ZData::DM::SerialPort::instance();
    auto &connection = ZData::ConnectionManager::instance();
    QTest::newRow("opening") << Happening([&port] { emit port.signalOpening(); })
                             << QByteArray(":/ui/refresh") << QColor(Qt::yellow) << false;
    QTest::newRow("reconnecting") << Happening([&connection] { emit connection.signalReconnecting(); })
                                  << QByteArray(":/ui/refresh") << QColor(Qt::yellow) << false;
    QTest::newRow("closed") << Happening([&port] { emit port.signalClosed(); })
                            << QByteArray(":/ui/disconnected") << QColor(Qt::red) << true;
    QTest::newRow("reconnect failed")
        << Happening([&connection] { emit connection.signalFailedToReconnect(); })
        << QByteArray(":/ui/disconnected") << QColor(Qt::red) << true;
    QTest::newRow("opened, then started up")
        << Happening([&port] {
               emit port.signalOpened();
               emit ZData::DeviceManager::instance().signalStartupFinished();
           })
        << QByteArray(":/ui/connected") << QColor(Qt::green) << false;
}

void TestMainWindow::connectionButtonFollowsLink()
{
    QFETCH(Happening, happen);
    QFETCH(QByteArray, icon);
    QFETCH(QColor, color);
    QFETCH(bool, pauseDisabled);
    emit scan().signalScanPause(false);
    happen();
    QVERIFY(hasIcon(button("b_connect_device"), icon.constData()));
    QCOMPARE(buttonColor(button("b_connect_device")), color);
    QCOMPARE(button("b_toggle_scan_pause")->isEnabled(), !pauseDisabled);
    if (pauseDisabled)
        QCOMPARE(buttonColor(button("b_toggle_scan_pause")), QColor(Qt::gray));
}

void TestMainWindow::jobProgressIsClamped_data()
{
    QTest::addColumn<bool>("calibration");
    QTest::addColumn<int>("reported");
    QTest::addColumn<int>("shown");
    QTest::newRow("scan below range") << false << -20 << 0;
    QTest::newRow("scan inside range") << false << 40 << 40;
    QTest::newRow("calibration above range") << true << 250 << 100;
}

void TestMainWindow::jobProgressIsClamped()
{
    QFETCH(bool, calibration);
    QFETCH(int, reported);
    QFETCH(int, shown);
    QProgressBar *bar = w<QProgressBar>("pb_job_status");
    auto &calib = ZData::CalibrationManager::instance();
    if (calibration) {
        emit calib.signalStartedCalibration();
        QCOMPARE(w<QLabel>("l_job_process")->text(), QStringLiteral("Calibrating"));
        emit calib.signalReportCalibProcess(reported);
    } else {
        emit scan().signalReportScanProcess(reported);
    }
    QCOMPARE(bar->value(), shown);

    if (calibration) {
        // A calibration the port cut short says nothing more; the bar must
        // not keep its last value.
        emit ZData::DM::SerialPort::instance().signalClosed();
        QCOMPARE(bar->value(), bar->minimum() - 1);
        emit calib.signalFinishedCalibration();
        QCOMPARE(w<QLabel>("l_job_process")->text(), QStringLiteral("Scanning"));
    }
}

void TestMainWindow::restoresAndSavesWindowKeys_data()
{
    QTest::addColumn<QVariant>("storedPage");
    QTest::addColumn<QVariant>("storedVisible");
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("visible");
    QTest::newRow("stored") << QVariant(2) << QVariant(true) << 2 << true;
    QTest::newRow("missing keys") << QVariant() << QVariant() << 0 << false;
    QTest::newRow("page beyond the menu") << QVariant(9) << QVariant(true) << 3 << true;
}

void TestMainWindow::restoresAndSavesWindowKeys()
{
    QFETCH(QVariant, storedPage);
    QFETCH(QVariant, storedVisible);
    QFETCH(int, page);
    QFETCH(bool, visible);
    QSettings *settings = SettingsManager::currentSettings();
    QVERIFY(settings);
    settings->remove(QStringLiteral("Window.Main"));
    if (storedPage.isValid())
        settings->setValue(QStringLiteral("Window.Main/menu_page"), storedPage);
    if (storedVisible.isValid())
        settings->setValue(QStringLiteral("Window.Main/menu_visible"), storedVisible);

    QSignalSpy restored(m_window.get(), &MainWindowBase::signalSettingsRestored);
    emit SettingsManager::instance().signalGotSettings();
    QCOMPARE(restored.count(), 1);
    QCOMPARE(menu()->currentIndex(), page);
    QCOMPARE(m_window->isNavBarVisible(), visible);
    QCOMPARE(menu()->isHidden(), !visible);

    m_window->toggleNavBar();
    QSignalSpy saved(m_window.get(), &MainWindowBase::signalSettingsSaved);
    SettingsManager::saveAllSettings();
    QCOMPARE(saved.count(), 1);
    QCOMPARE(settings->value(QStringLiteral("Window.Main/menu_page")).toInt(), page);
    QCOMPARE(settings->value(QStringLiteral("Window.Main/menu_visible")).toBool(), !visible);
    QCOMPARE(settings->value(QStringLiteral("Window.Main/geometry")).toByteArray(), m_window->saveGeometry());
}

// A hand-edited profile naming a fifth view must still leave one selected.
void TestMainWindow::storedViewOutOfRangeSelectsFirst()
{
    emit view("chart_view_UR")->signalWasSelected();
    SettingsManager::currentSettings()->setValue(QStringLiteral("Charts/selected_chartview"), 7);
    emit SettingsManager::instance().signalGotSettings();
    QCOMPARE(m_window->selectedChartView(), view("chart_view_UL"));
    QCOMPARE(view("chart_view_UL")->styleSheet(), kBorderSelected);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
