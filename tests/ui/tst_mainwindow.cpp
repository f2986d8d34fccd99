#include "chart/viewtraces.h"
#include "chart/zchartview.h"
#include "core/localizationmanager.h"
#include "core/settingsmanager.h"
#include "data/calibration/calibrationmanager.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "data/traces/sweepexport.h"
#include "findwidget.h"
#include "recordingdialogs.h"
#include "sweepfeeder.h"
#include "tempappdir.h"
#include "ui/mainwindow.h"
#include "ui/windowexport.h"

#include <QAction>
#include <QImage>
#include <QRegularExpression>

#include <QGridLayout>
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

namespace {

// From the menu up to the window.
constexpr int kLayoutLevels = 3;
const QString kBorderSelected = QStringLiteral("border: 2px solid red;");

ZData::DataScanManager &scan() { return ZData::DataScanManager::instance(); }

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstArrangement();
    void selectionMovesBorder();
    void keyboardSwitchesPresets_data();
    void keyboardSwitchesPresets();
    void windowFollowsState_data();
    void windowFollowsState();
    void restoresAndSavesWindowKeys_data();
    void restoresAndSavesWindowKeys();
    void chartsTakeTheHeight_data();
    void chartsTakeTheHeight();
    void exportFiles_data();
    void exportFiles();

private:
    template <typename T = QWidget>
    T *w(const char *name) const { return TestSupport::findWidget<T>(m_window.get(), name); }
    ZChartView *view(const char *name) const { return w<ZChartView>(name); }

    // Destroyed in reverse: the window before the dialogs and the directory.
    std::unique_ptr<TestSupport::TempAppDir> m_appDir = std::make_unique<TestSupport::TempAppDir>();
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(SettingsManager::init() && ZData::DeviceMessageManager::init() && ZData::DM::SerialPort::init() &&
            ZData::ConnectionManager::init() && ZData::DeviceManager::init() &&
            ZData::CalibrationManager::instance().init() && scan().init() && ZCore::LocalizationManager::init() &&
            scan().presetCount() > 1);
    m_window = std::make_unique<MainWindow>();
    // The language the settings page loads arrives through the event loop.
    QTRY_COMPARE(m_window->windowTitle(), QStringLiteral("Oskiro MERO ver. %1").arg(SettingsManager::appVersion().toString()));
    // A focused button would swallow the preset keys.
    for (const char *button : {"b_toggle_scan_pause", "b_connect_device", "b_toggle_menu"})
        QCOMPARE(w(button)->focusPolicy(), Qt::NoFocus);
}

void TestMainWindow::firstArrangement()
{
    ZChartView *ul = view("chart_view_UL");
    emit view("chart_view_BL")->signalWasSelected();
    m_window->slotChartArrangementChanged(0);
    auto *cluster = m_window->findChild<QGridLayout *>(QStringLiteral("chart_cluster"));
    const auto at = [cluster](int row, int column) {
        QLayoutItem *item = cluster ? cluster->itemAtPosition(row, column) : nullptr;
        return item ? item->widget() : nullptr;
    };
    // The upper two views, one above the other, each across both columns.
    QCOMPARE((QVector<QWidget *>{at(0, 0), at(0, 1), at(1, 0), at(1, 1)}),
             (QVector<QWidget *>{ul, ul, view("chart_view_UR"), view("chart_view_UR")}));
    for (ZChartView *chart : m_window->chartViews())
        QCOMPARE(chart->isActive() && !chart->isHidden(), chart->corner() < 2);
    // The selected view went out of sight; the first one takes its place.
    QCOMPARE(m_window->selectedMarksTable(), ul->marksTable());
}

void TestMainWindow::selectionMovesBorder()
{
    ZChartView *ul = view("chart_view_UL");
    ZChartView *ur = view("chart_view_UR");
    emit ul->signalWasSelected();
    QSignalSpy selected(m_window.get(), &MainWindowBase::signalSelectedNewChartView);
    emit ul->signalWasSelected();
    emit ur->signalWasSelected();
    QCOMPARE(selected.count(), 1);
    QCOMPARE(ur->styleSheet(), kBorderSelected);
    QCOMPARE(ul->styleSheet(), QStringLiteral("border: none"));

    // A hand-edited profile naming a fifth view must still leave one selected.
    SettingsManager::currentSettings()->setValue(QStringLiteral("Charts/selected_chartview"), 7);
    emit SettingsManager::instance().signalGotSettings();
    QCOMPARE(m_window->selectedChartView(), ul);
    QCOMPARE(ul->styleSheet(), kBorderSelected);
}

void TestMainWindow::keyboardSwitchesPresets_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("fromLast");
    QTest::addColumn<int>("step");
    const QByteArray chart; // the selected chart view
    QTest::newRow("A on the first wraps to the last") << chart << int(Qt::Key_A) << 0 << false << -1;
    QTest::newRow("Space on the last wraps to the first") << chart << int(Qt::Key_Space) << 0 << true << 1;
    QTest::newRow("other keys are left alone") << chart << int(Qt::Key_S) << 0 << false << 0;
    QTest::newRow("Ctrl+A") << chart << int(Qt::Key_A) << int(Qt::ControlModifier) << false << 0;
    QTest::newRow("a typed into an attenuator box")
        << QByteArray("ds_att_s21") << int(Qt::Key_A) << 0 << false << 0;
}

void TestMainWindow::keyboardSwitchesPresets()
{
    QFETCH(QByteArray, target);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, fromLast);
    QFETCH(int, step);
    const int count = scan().presetCount(), start = fromLast ? count - 1 : 0;
    scan().setActivePreset(start, true);
    QWidget *focused = target.isEmpty() ? m_window->selectedChartView() : w(target.constData());
    focused->setFocus();
    // The key reaches the widget with the focus first.
    QTest::keyClick(focused, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(scan().activePreset(), (start + step + count) % count);
    QCOMPARE(m_window->focusWidget(), step ? m_window->selectedChartView() : focused);
}

void TestMainWindow::windowFollowsState_data()
{
    QTest::addColumn<Happening>("happen");
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("icon");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QString>("traces");
    const auto row = [](const char *tag, Happening happen, bool connect, const char *icon, QColor color,
                        const char *reason, const char *note = "The traces shown are not live") {
        QTest::newRow(tag) << happen << QByteArray(connect ? "b_connect_device" : "b_toggle_scan_pause")
                           << QByteArray(icon) << color
                           << (*reason ? QString::fromUtf8(reason) + QLatin1Char('\n') + note : QString());
    };
    auto *port = &ZData::DM::SerialPort::instance();
    auto *device = &ZData::DeviceManager::instance();
    const auto startUp = [port, device](ZData::EDeviceStates state) {
        emit port->signalClosed();
        emit port->signalOpened();
        ZData::DeviceInfo info = device->deviceInfo();
        info.deviceState = quint8(state);
        device->setDeviceInfo(info);
        emit device->signalStartupFinished();
    };
    const auto lose = [port](bool reconnect) {
        ZData::ConnectionManager::instance().setAutoReconnect(reconnect);
        emit port->signalClosed();
        emit port->signalLost();
        ZData::ConnectionManager::instance().setAutoReconnect(true);
    };
    const auto app = ZData::EDeviceStates::MAINAPP, bootloader = ZData::EDeviceStates::BOOTLOADER;
    row("sweeping", [=] { startUp(app), emit scan().signalScanPause(false); }, true, ":/ui/connected", Qt::green, "");
    row("scan paused", [] { emit scan().signalScanPause(true); }, false, ":/ui/resume_scan", Qt::gray, "Paused");
    row("paused by the user", [] { emit scan().signalUserScanPause(true); }, false, ":/ui/resume_scan", Qt::green, "Paused");
    row("device lost", [=] { lose(true); }, true, ":/ui/refresh", Qt::yellow, "Device lost: reconnecting..");
    // Found there, it can only be updated; it is there, but not ready.
    row("device in its bootloader", [=] { startUp(bootloader); }, true, ":/ui/connected", Qt::yellow,
        "Device in its bootloader", "Finish the firmware update on the Device page; the traces shown are not live");
    row("firmware being sent", [=] { startUp(bootloader), emit device->signalUpdateStarted(); }, true, ":/ui/connected", Qt::yellow,
        "Updating the firmware..");
    // The transfer has switched reconnecting off.
    row("update cut short", [=] { startUp(bootloader), emit device->signalUpdateStarted(), lose(false); }, true, ":/ui/disconnected",
        Qt::red, "Disconnected");
    // Without a device there is no scan to pause.
    row("disconnected", [=] { startUp(app), emit port->signalClosed(); }, true, ":/ui/disconnected", Qt::red, "Disconnected");
}

void TestMainWindow::windowFollowsState()
{
    QFETCH(Happening, happen);
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, icon);
    QFETCH(QColor, color);
    QFETCH(QString, traces);
    emit scan().signalScanPause(false);
    happen();
    const QPushButton *target = w<QPushButton>(button.constData());
    const int size = MainWindow::kPageHeaderIconSize;
    QCOMPARE(target->icon().pixmap(size).toImage(), QIcon(QString::fromLatin1(icon)).pixmap(size).toImage());
    QCOMPARE(target->palette().color(QPalette::Button), color);
    // Paused, or no device sweeping: there is nothing the pause button could do.
    QCOMPARE(w("b_toggle_scan_pause")->isEnabled(), color == QColor(Qt::green));
    // Both charts say alike whether they are live.
    QCOMPARE(view("chart_view_UL")->traceStateText() + view("chart_view_UR")->traceStateText(), traces + traces);
}

void TestMainWindow::restoresAndSavesWindowKeys_data()
{
    QTest::addColumn<QVariant>("storedPage");
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("visible");
    QTest::newRow("stored") << QVariant(2) << 2 << true;
    QTest::newRow("missing keys") << QVariant() << 0 << false;
    QTest::newRow("page beyond the menu") << QVariant(9) << 3 << true;
}

void TestMainWindow::restoresAndSavesWindowKeys()
{
    QFETCH(QVariant, storedPage);
    QFETCH(int, page);
    QFETCH(bool, visible);
    QSettings *settings = SettingsManager::currentSettings();
    settings->remove(QStringLiteral("Window.Main"));
    if (storedPage.isValid()) {
        settings->setValue(QStringLiteral("Window.Main/menu_page"), storedPage);
        settings->setValue(QStringLiteral("Window.Main/menu_visible"), true);
    }
    emit SettingsManager::instance().signalGotSettings();
    QCOMPARE(w<QStackedWidget>("nav_bar_menu")->currentIndex(), page);
    QCOMPARE(m_window->isNavBarVisible(), visible);
    m_window->toggleNavBar();
    SettingsManager::saveAllSettings();
    QCOMPARE(settings->value(QStringLiteral("Window.Main/menu_page")).toInt(), page);
    QCOMPARE(settings->value(QStringLiteral("Window.Main/menu_visible")).toBool(), !visible);
    QCOMPARE(settings->value(QStringLiteral("Window.Main/geometry")).toByteArray(), m_window->saveGeometry());
}

void TestMainWindow::chartsTakeTheHeight_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("menuVisible");
    QTest::newRow("smallest, menu hidden") << QSize(1000, 550) << false;
    QTest::newRow("smallest, menu shown") << QSize(1000, 550) << true;
    QTest::newRow("full HD, menu hidden") << QSize(1920, 1080) << false;
}

void TestMainWindow::chartsTakeTheHeight()
{
    QFETCH(QSize, size);
    QFETCH(bool, menuVisible);
    m_window->resize(size);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    if (m_window->isNavBarVisible() != menuVisible)
        m_window->toggleNavBar();
    const QWidget *titleBar = w("title_bar");
    // Each layout passes its request up to the one above it.
    for (int level = 0; level < kLayoutLevels; ++level)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    // Whatever the menu leaves free goes to the charts, none to the title.
    QCOMPARE(titleBar->height(), titleBar->sizeHint().height());
}

void TestMainWindow::exportFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("trace file") << QStringLiteral("sweep.csv") << false << false << true << false;
    QTest::newRow("Touchstone") << QStringLiteral("sweep.s2p") << false << false << true << false;
    QTest::newRow("picture") << QStringLiteral("window.png") << false << false << true << false;
    QTest::newRow("no known suffix: the first filter's") << QStringLiteral("site 1.2") << false << false << true << false;
    QTest::newRow("replacing agreed") << QStringLiteral("old.csv") << true << true << true << false;
    QTest::newRow("replacing declined") << QStringLiteral("old.csv") << true << false << false << false;
    QTest::newRow("folder missing") << QStringLiteral("missing/sweep.csv") << false << false << false << false;
    // Last: the rows before share one sweep.
    QTest::newRow("nothing measured yet") << QStringLiteral("sweep.csv") << false << false << false << true;
}

// Ctrl+S writes what the command line's writers write for the same sweep,
// with the reference a chart shows; it never replaces a file unasked, and a
// file it cannot write is said in a box.
void TestMainWindow::exportFiles()
{
    QFETCH(QString, name);
    QFETCH(bool, exists);
    QFETCH(bool, replace);
    QFETCH(bool, written);
    QFETCH(bool, cleared);
    namespace TR = ZData::TR;
    m_window->slotChartArrangementChanged(0);
    // One sweep serves every row.
    if (!view("chart_view_UL")->traces()->hasReference()) {
        // The rows before left a request in flight; a closing port drops it.
        emit ZData::DM::SerialPort::instance().signalClosing();
        TestSupport::SweepFeeder::start(0);
        TestSupport::SweepFeeder([](int channel, quint64 hz) { return float(hz % 7 + channel) * 0.01f; })
            .sweepBothChannels();
        QVERIFY(view("chart_view_UL")->storeReference());
    }
    if (cleared)
        scan().setActivePreset(scan().activePreset(), true);
    QTemporaryDir dir;
    const QString asked = dir.filePath(name);
    const QString path = TR::SweepExport::formatOf(asked) == TR::SweepExport::EFormat::UNKNOWN ? asked + QStringLiteral(".csv") : asked;
    QFile old(path);
    QVERIFY(!exists || (old.open(QIODevice::WriteOnly) && old.write("old") == 3));
    old.close();
    m_dialogs->clear();
    m_dialogs->setFileAnswer(asked);
    m_dialogs->setQuestionAnswer(replace);
    m_window->windowExport()->exportAction()->trigger();
    QCOMPARE(m_dialogs->fileQuestions().size(), 1);
    // The dialog opens where the export before went.
    static QString lastDir;
    QVERIFY(lastDir.isEmpty() || QFileInfo(m_dialogs->fileQuestions().first().suggestedPath).absolutePath() == lastDir);
    lastDir = QFileInfo(path).absolutePath();
    QCOMPARE(m_dialogs->count(ZCore::UserDialogs::EKind::Question), exists ? 1 : 0);
    QCOMPARE(m_dialogs->count(ZCore::UserDialogs::EKind::Warning), written || exists ? 0 : 1);
    if (!written) {
        QFile kept(path);
        QCOMPARE(kept.open(QIODevice::ReadOnly) ? kept.readAll() : QByteArray(), exists ? QByteArray("old") : QByteArray());
        QVERIFY(exists || m_dialogs->boxes().first().text.contains(path));
        return;
    }
    if (TR::SweepExport::formatOf(path) == TR::SweepExport::EFormat::PICTURE) {
        QCOMPARE(QImage(path).size(), m_window->grab().size());
        return;
    }
    const ZData::DataScanManager &scan = ZData::DataScanManager::instance();
    const TR::SweepExport::TChannelTraces live = {TR::channelTrace(scan, 0), TR::channelTrace(scan, 1)};
    const TR::TTraceInfo info = TR::TTraceInfo::ofSweep(ZData::DeviceManager::instance().deviceInfo(), scan, {});
    QTemporaryDir expectedDir;
    const QString expectedPath = expectedDir.filePath(QFileInfo(path).fileName());
    const TR::SweepExport::TReferences shown = {view("chart_view_UL")->traces()->reference(), std::nullopt};
    QVERIFY(TR::SweepExport::writeTraces(expectedPath, info, live, shown));
    // The files differ in their date alone.
    const auto withoutDate = [](const QString &file) {
        QFile text(file);
        return QString::fromUtf8(text.open(QIODevice::ReadOnly) ? text.readAll() : QByteArray())
            .split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^(?![#!] date: )")));
    };
    const QStringList expectedFiles = TR::SweepExport::outputPaths(expectedPath, live);
    const QStringList files = TR::SweepExport::outputPaths(path, live);
    QCOMPARE(files.size(), expectedFiles.size());
    for (int i = 0; i < files.size(); ++i) {
        QVERIFY(!withoutDate(files.at(i)).isEmpty());
        QCOMPARE(withoutDate(files.at(i)), withoutDate(expectedFiles.at(i)));
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
