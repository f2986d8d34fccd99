#include "ui/mainwindow.h"

#include "chart/zchartview.h"
#include "core/esettingsgroups.h"
#include "core/log.h"
#include "core/settingsmanager.h"
#include "core/userdialogs.h"
#include "core/utilitymodules/ui.h"
#include "core/utilitymodules/zmath.h"
#include "data/calibration/calibrationmanager.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "ui/dialogs/deviceconnector.h"
#include "ui/pages/navbarmenu.h"
#include "ui/pages/pgabout.h"
#include "ui/pages/pgcharts.h"
#include "ui/pages/pgsettings.h"
#include "ui/pages/pgupdate.h"
#include "ui/tracestatetracker.h"
#include "ui/windowexport.h"
#include "ui_mainwindow.h"
#include "ui_navbarmenu.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>

#include <array>

using namespace ZCore;
using ZChart::ZChartView;
namespace UI = ZCore::UtilityModules::UI;

namespace {

const char *const kKeyGeometry = "geometry";
const char *const kKeyMenuPage = "menu_page";
const char *const kKeyMenuVisible = "menu_visible";

const char *const kIconRefresh = ":/ui/refresh";
const char *const kIconConnected = ":/ui/connected";
const char *const kIconDisconnected = ":/ui/disconnected";
const char *const kIconArrowLeft = ":/ui/arrow_left";
const char *const kIconPauseScan = "://ui/pause_scan";
const char *const kIconResumeScan = "://ui/resume_scan";

const char *const kHeaderStyleSheet = "font-size: 16pt";
const char *const kViewStyleSheet = "border: none";
const char *const kSelectedViewStyleSheet = "border: 2px solid red;";
const QColor kJobHighlightColor(75, 252, 75);

constexpr int kFirstArrangement = 0;
constexpr qint32 kNextPreset = 1;
constexpr qint32 kPreviousPreset = -1;

// Titles of the menu pages by their place in the stack; the main page has
// no header.
const std::array<const char *, 4> kPageTitleIds = {
    nullptr, "dw_pmain_update_firmware", "dw_pmain_settings", "dw_pmain_about"};

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : MainWindowBase(parent)
    , m_ui(std::make_unique<Ui::MainWindow>())
    , m_deviceConnector(new DeviceConnector(this))
    , m_menuButtons(new QButtonGroup(this))
    , m_traceState(new TraceStateTracker(this))
{
    m_pageHeaders.reserve(kPageHeadersCapacity);
    m_ui->setupUi(this);
    retranslate();

    disablePauseButton();
    registerRestorable();
    setWindowState(windowState() | Qt::WindowActive);

    Ui::NavBarMenu *pages = pagesUi();
    addPageHeader(pages->p_menu_update, qtTrId(kPageTitleIds[MW_Pages::NavBarMenu::PAGE_UPDATE]));
    addPageHeader(pages->p_menu_settings, qtTrId(kPageTitleIds[MW_Pages::NavBarMenu::PAGE_SETTINGS]));
    addPageHeader(pages->p_menu_about, qtTrId(kPageTitleIds[MW_Pages::NavBarMenu::PAGE_ABOUT]));

    m_menuButtons->addButton(pages->b_menu_main_update, MW_Pages::NavBarMenu::PAGE_UPDATE);
    m_menuButtons->addButton(pages->b_menu_main_settings, MW_Pages::NavBarMenu::PAGE_SETTINGS);
    m_menuButtons->addButton(pages->b_menu_main_about, MW_Pages::NavBarMenu::PAGE_ABOUT);
    connect(m_menuButtons, &QButtonGroup::idReleased, this, &MainWindow::handleMenuButton);
    connect(m_ui->b_toggle_menu, &QPushButton::released, this, &MainWindow::toggleNavBar);

    initPages();
    initChartViews();
    initExport();
    connect(m_traceState, &TraceStateTracker::signalStateChanged, this, &MainWindow::showTraceState);
    showTraceState(m_traceState->state());
    connectDeviceLink();
    connectJobDisplays();
    connectScan();

    restoreSettings();

    arrangeChartViews(kFirstArrangement);
    if (m_selectedView && !m_selectedView->isActive() && !m_chartViews.isEmpty())
        emit m_chartViews.first()->signalWasSelected();

    UI::setWidgetPaletteColor(pages->pb_job_status, QPalette::Highlight, kJobHighlightColor);
}

MainWindow::~MainWindow()
{
    SettingsManager::removeRestorable(this);
}

QString MainWindow::tag()
{
    static const QString tagText = QStringLiteral("MainWindow");
    return tagText;
}

Ui::NavBarMenu *MainWindow::pagesUi() const
{
    return m_ui->nav_bar_menu ? m_ui->nav_bar_menu->ui() : nullptr;
}

DeviceConnector *MainWindow::deviceConnector() const
{
    return m_deviceConnector.data();
}

void MainWindow::selectChartView(int corner)
{
    if (corner >= 0 && corner < m_chartViews.size())
        emit m_chartViews.at(corner)->signalWasSelected();
}

int MainWindow::selectedChartViewCorner() const
{
    return m_selectedView ? m_chartViews.indexOf(m_selectedView) : kNoChartView;
}

void MainWindow::addPageHeader(QWidget *page, const QString &title)
{
    auto *header = new QHBoxLayout();
    auto *label = new QLabel(title);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QLatin1String(kHeaderStyleSheet));
    auto *back = new QPushButton();
    back->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    back->setIcon(QIcon(QLatin1String(kIconArrowLeft)));
    back->setIconSize(QSize(kPageHeaderIconSize, kPageHeaderIconSize));
    back->setFocusPolicy(Qt::NoFocus);
    connect(back, &QPushButton::released, this, &MainWindow::handlePageBack);
    header->addWidget(label);
    header->addWidget(back);

    if (auto *grid = qobject_cast<QGridLayout *>(page->layout())) {
        QLayoutItem *content = grid->takeAt(0);
        grid->addLayout(header, 0, 0);
        if (content)
            grid->addItem(content, 1, 0, 1, 1);
    } else if (auto *box = qobject_cast<QBoxLayout *>(page->layout())) {
        box->insertLayout(0, header);
    } else {
        Log::warning(tag(), QStringLiteral(">> page %1 has no layout for its header").arg(page->objectName()));
        delete header;
        return;
    }
    m_pageHeaders.append(header);
}

void MainWindow::initPages()
{
    MW_Pages::PgCharts::instance().setupPage(this, QStringLiteral("MW_Pages::PgCharts"));
    MW_Pages::PgSettings::instance().setupPage(this, QStringLiteral("MW_Pages::PgSettings"));
    MW_Pages::PgUpdate::instance().setupPage(this, QStringLiteral("MW_Pages::PgUpdate"));
    MW_Pages::PgAbout::instance().setupPage(this, QStringLiteral("MW_Pages::PgAbout"));
}

void MainWindow::initChartViews()
{
    m_chartViews = {m_ui->chart_view_UL, m_ui->chart_view_UR, m_ui->chart_view_BL, m_ui->chart_view_BR};
    for (int corner = 0; corner < m_chartViews.size(); ++corner) {
        ZChartView *view = m_chartViews.at(corner);
        view->setCalibrationNotifier(&ZData::CalibrationManager::instance());
        view->setCorner(quint32(corner));
        connect(view, &ZChartView::signalWasSelected, this, &MainWindow::handleSelectedChartView);
    }
    // The references a view keeps belong to the device that measured them;
    // the device has told its id once its start-up is through.
    auto &devices = ZData::DeviceManager::instance();
    connect(&devices, &ZData::DeviceManager::signalStartupFinished, this, [this, &devices] {
        for (ZChartView *view : qAsConst(m_chartViews))
            view->setDeviceId(devices.deviceInfo().id);
    });
}

void MainWindow::initExport()
{
    m_export = new WindowExport(this);
    for (ZChartView *view : qAsConst(m_chartViews)) {
        connect(view, &ZChartView::signalExportRequested, m_export, [this, view] { m_export->exportSweep(view); });
        connect(view, &ZChartView::signalCopyPictureRequested, m_export, [this, view] { m_export->copyPicture(view); });
    }
    auto *menu = new QMenu(this);
    menu->addAction(m_export->exportAction());
    menu->addAction(m_export->copyAction());
    pagesUi()->b_menu_main_export->setMenu(menu);
}

void MainWindow::connectDeviceLink()
{
    if (!m_deviceConnector)
        return;
    connect(m_ui->b_connect_device, &QPushButton::released, m_deviceConnector.data(), &QDialog::open);

    auto &port = ZData::DM::SerialPort::instance();
    connect(&port, &ZData::DM::SerialPort::signalOpening, this,
            [this] { setConnectionState(QLatin1String(kIconRefresh), Qt::yellow); });
    connect(&port, &ZData::DM::SerialPort::signalOpened, this,
            [this] { setConnectionIcon(QLatin1String(kIconConnected)); });
    connect(&port, &ZData::DM::SerialPort::signalClosed, this, [this] {
        setConnectionState(QLatin1String(kIconDisconnected), Qt::red);
        disablePauseButton();
        // A calibration cut short by the port says nothing more; its
        // progress must not stay on display.
        resetJobProgress();
    });
    connect(&ZData::DeviceManager::instance(), &ZData::DeviceManager::signalStartupFinished, this, [this] {
        // A device in its bootloader is there, but cannot sweep.
        const bool ready = ZData::DeviceManager::instance().deviceInfo().isMainApp();
        UI::setWidgetButtonColor(m_ui->b_connect_device, ready ? Qt::green : Qt::yellow);
    });

    auto &connection = ZData::ConnectionManager::instance();
    connect(&connection, &ZData::ConnectionManager::signalReconnecting, this,
            [this] { setConnectionState(QLatin1String(kIconRefresh), Qt::yellow); });
    connect(&connection, &ZData::ConnectionManager::signalFailedToReconnect, this, [this] {
        setConnectionState(QLatin1String(kIconDisconnected), Qt::red);
        disablePauseButton();
    });
}

void MainWindow::connectJobDisplays()
{
    connect(&SettingsManager::instance(), &SettingsManager::signalGotSettings, this, &MainWindow::slotGotSettings);
    connect(&ZData::DeviceManager::instance(), &ZData::DeviceManager::signalGotOldDevice, this,
            &MainWindow::slotGotOldDevice);

    auto &calibration = ZData::CalibrationManager::instance();
    using ZData::CalibrationManager;
    connect(&calibration, &CalibrationManager::signalInitiatedCalibration, this, &MainWindow::resetJobProgress);
    connect(&calibration, &CalibrationManager::signalStartedCalibration, this,
            [this] { showJobText("dw_menu_job_process_calib"); });
    const auto backToScanning = [this] {
        resetJobProgress();
        showJobText("dw_menu_job_process_scan");
    };
    connect(&calibration, &CalibrationManager::signalFailedReadCalibration, this, backToScanning);
    connect(&calibration, &CalibrationManager::signalFinishedCalibration, this, backToScanning);
    connect(&calibration, &CalibrationManager::signalReportCalibProcess, this, &MainWindow::setJobProgress);
}

void MainWindow::connectScan()
{
    connect(m_ui->b_toggle_scan_pause, &QPushButton::released, this, &MainWindow::handleUserPauseScanToggle);
    auto &scan = ZData::DataScanManager::instance();
    using ZData::DataScanManager;
    connect(&scan, &DataScanManager::signalReportScanProcess, this, &MainWindow::setJobProgress);
    connect(&scan, &DataScanManager::signalScanPause, this, &MainWindow::slotScanPause);
    connect(&scan, &DataScanManager::signalUserScanPause, this, &MainWindow::slotUserScanPause);
}

void MainWindow::showTraceState(ZCommon::ETraceState state)
{
    for (ZChartView *view : qAsConst(m_chartViews))
        view->setTraceState(state);
    if (state != ZCommon::ETraceState::BOOTLOADER)
        return;
    // Nothing but a firmware update gets a device out of its bootloader.
    setNavBarVisible(true);
    handleMenuButton(MW_Pages::NavBarMenu::PAGE_UPDATE);
}

void MainWindow::slotGotOldDevice()
{
    if (QAbstractButton *deviceButton = m_menuButtons->button(MW_Pages::NavBarMenu::PAGE_UPDATE))
        deviceButton->click();
    UserDialogs::warning(nullptr, qtTrId("dw_err_got_old_device_title"), qtTrId("dw_err_got_old_device_text"));
    emit signalUpdateIsRequired();
}

void MainWindow::slotChartArrangementChanged(int config_index)
{
    if (!arrangeChartViews(config_index))
        return;
    selectFirstViewIfSelectedInactive();
}

bool MainWindow::arrangeChartViews(int configIndex)
{
    const auto &arrangements = MW_Pages::PgCharts::instance().arrangements();
    if (configIndex < 0 || configIndex >= arrangements.size()) {
        Log::warning(tag(), QStringLiteral(">> no chart arrangement %1").arg(configIndex));
        return false;
    }
    const MW_Pages::TChartArrangement &arrangement = arrangements.at(configIndex);
    QGridLayout *cluster = m_ui->chart_cluster;
    for (int i = 0; i < m_chartViews.size() && i < int(arrangement.placement.size()); ++i) {
        ZChartView *view = m_chartViews.at(i);
        const MW_Pages::TViewPlacement &place = arrangement.placement.at(size_t(i));
        cluster->removeWidget(view);
        if (place.isPlaced()) {
            cluster->addWidget(view, place.row, place.column, place.rowSpan, place.columnSpan);
            view->setActive(true);
            view->show();
        } else {
            view->setActive(false);
            view->hide();
        }
    }
    return true;
}

void MainWindow::selectFirstViewIfSelectedInactive()
{
    if (!m_selectedView || m_selectedView->isActive() || m_chartViews.isEmpty())
        return;
    emit m_chartViews.first()->signalWasSelected();
}

void MainWindow::slotGotSettings()
{
    restoreSettings();
}

void MainWindow::handleSelectedChartView()
{
    auto *view = qobject_cast<ZChartView *>(sender());
    if (!view || view == m_selectedView)
        return;
    m_selectedView = view;
    m_selectedMarksTable = view->marksTable();
    emit signalSelectedNewChartView();
    for (ZChartView *each : qAsConst(m_chartViews))
        each->setStyleSheet(QLatin1String(kViewStyleSheet));
    view->setStyleSheet(QLatin1String(kSelectedViewStyleSheet));
}

void MainWindow::handlePageBack()
{
    m_ui->nav_bar_menu->setCurrentIndex(MW_Pages::NavBarMenu::PAGE_MAIN);
}

void MainWindow::handleMenuButton(int index)
{
    m_ui->nav_bar_menu->setCurrentIndex(index);
}

void MainWindow::toggleNavBar()
{
    setNavBarVisible(!m_navBarVisible);
}

void MainWindow::setNavBarVisible(bool visible)
{
    m_navBarVisible = visible;
    m_ui->nav_bar_menu->setVisible(visible);
}

void MainWindow::handleUserPauseScanToggle()
{
    auto &scan = ZData::DataScanManager::instance();
    scan.setUserScanPause(!scan.isPaused());
}

void MainWindow::slotScanPause(bool is_paused)
{
    m_ui->b_toggle_scan_pause->setEnabled(!is_paused);
    UI::setWidgetButtonColor(m_ui->b_toggle_scan_pause, is_paused ? Qt::gray : Qt::green);
    slotUserScanPause(is_paused);
}

void MainWindow::slotUserScanPause(bool is_user_paused)
{
    m_ui->b_toggle_scan_pause->setIcon(
        QIcon(QLatin1String(is_user_paused ? kIconResumeScan : kIconPauseScan)));
}

void MainWindow::setConnectionState(const QString &icon, const QColor &color)
{
    setConnectionIcon(icon);
    UI::setWidgetButtonColor(m_ui->b_connect_device, color);
}

void MainWindow::setConnectionIcon(const QString &icon)
{
    m_ui->b_connect_device->setIcon(QIcon(icon));
}

void MainWindow::disablePauseButton()
{
    m_ui->b_toggle_scan_pause->setEnabled(false);
    UI::setWidgetButtonColor(m_ui->b_toggle_scan_pause, Qt::gray);
}

void MainWindow::resetJobProgress()
{
    pagesUi()->pb_job_status->reset();
}

void MainWindow::setJobProgress(int value)
{
    QProgressBar *bar = pagesUi()->pb_job_status;
    bar->setValue(qBound(bar->minimum(), value, bar->maximum()));
}

void MainWindow::showJobText(const char *id)
{
    m_jobTextId = id;
    pagesUi()->l_job_process->setText(qtTrId(id));
}

qint32 MainWindow::presetStep(int key)
{
    switch (key) {
    case Qt::Key_Space:
    case Qt::Key_D:
        return kNextPreset;
    case Qt::Key_A:
        return kPreviousPreset;
    default:
        return 0;
    }
}

bool MainWindow::isTyping() const
{
    // Text and number boxes take typed text; their letters and blanks are
    // not commands.
    const QWidget *focused = focusWidget();
    return focused && focused->testAttribute(Qt::WA_InputMethodEnabled);
}

// The preset changes on the release, but only a plain press arms it: with
// Ctrl let go before the A of a Ctrl+A the release alone looks plain, and
// the release of a key that a focused box or list took as input comes up
// to the window all the same.
void MainWindow::keyPressEvent(QKeyEvent *event)
{
    const bool plain = event->modifiers() == Qt::NoModifier;
    m_armedPresetKey = plain && presetStep(event->key()) != 0 && !isTyping() ? event->key() : 0;
    if (m_armedPresetKey == 0)
        MainWindowBase::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent *event)
{
    const qint32 step = presetStep(event->key());
    if (step == 0 || event->key() != m_armedPresetKey || event->modifiers() != Qt::NoModifier) {
        event->ignore();
        return;
    }
    m_armedPresetKey = 0;
    ZData::DataScanManager::instance().switchActivePreset(step);
    if (m_selectedView) {
        clearFocus();
        m_selectedView->setFocus();
    }
    event->accept();
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    MainWindowBase::changeEvent(event);
}

void MainWindow::retranslate()
{
    m_ui->retranslateUi(this);
    // Before a translation is installed the identifier itself comes back,
    // with no placeholders to fill.
    const QString titlePattern = qtTrId("dw_window_title_ver");
    setWindowTitle(titlePattern.contains(QLatin1String("%2"))
                       ? titlePattern.arg(qtTrId("dw_window_title"), SettingsManager::appVersion().toString())
                       : titlePattern);
    for (int k = 0; k < m_pageHeaders.size(); ++k) {
        const size_t page = size_t(k) + 1;
        if (page >= kPageTitleIds.size())
            break;
        QLayoutItem *item = m_pageHeaders.at(k)->itemAt(0);
        if (auto *label = item ? qobject_cast<QLabel *>(item->widget()) : nullptr)
            label->setText(qtTrId(kPageTitleIds[page]));
    }
    showJobText(m_jobTextId);
    if (m_export)
        m_export->retranslate();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    Log::info(tag(), QStringLiteral(">> closing application.."));
    SettingsManager::saveAllSettings();
    QApplication::closeAllWindows();
    MainWindowBase::closeEvent(event);
}

void MainWindow::restoreSettings()
{
    Log::traceInfo(tag(), QStringLiteral("MainWindow::restoreSettings"));
    QSettings *settings = SettingsManager::currentSettings();
    if (!settings) {
        Log::warning(tag(), QStringLiteral(">> no settings loaded"));
    } else {
        settings->beginGroup(settingsGroupText(ESettingsGroups::WINDOW_MAIN));
        restoreGeometry(settings->value(QLatin1String(kKeyGeometry)).toByteArray());
        const int page = settings->value(QLatin1String(kKeyMenuPage), int(MW_Pages::NavBarMenu::PAGE_MAIN)).toInt();
        // A hand-edited page number must not leave the menu blank.
        m_ui->nav_bar_menu->setCurrentIndex(
            UtilityModules::ZMath::clampIndex(page, MW_Pages::NavBarMenu::PAGE_MAIN, m_ui->nav_bar_menu->count()));
        setNavBarVisible(settings->value(QLatin1String(kKeyMenuVisible), false).toBool());
        settings->endGroup();
        for (ZChartView *view : qAsConst(m_chartViews))
            view->restoreProfile(*settings);
    }
    emit signalSettingsRestored();
    UI::tryToFixWidgetScreenPos(this);
}

void MainWindow::saveSettings()
{
    Log::traceInfo(tag(), QStringLiteral("MainWindow::saveSettings"));
    QSettings *settings = SettingsManager::currentSettings();
    if (!settings) {
        Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_cant_write_settings"));
    } else {
        settings->beginGroup(settingsGroupText(ESettingsGroups::WINDOW_MAIN));
        settings->setValue(QLatin1String(kKeyGeometry), saveGeometry());
        settings->setValue(QLatin1String(kKeyMenuPage), m_ui->nav_bar_menu->currentIndex());
        settings->setValue(QLatin1String(kKeyMenuVisible), m_navBarVisible);
        settings->endGroup();
        for (ZChartView *view : qAsConst(m_chartViews))
            view->saveProfile(*settings);
    }
    emit signalSettingsSaved();
}

void MainWindow::registerRestorable()
{
    SettingsManager::addRestorable(this);
}
