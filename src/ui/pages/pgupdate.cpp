#include "ui/pages/pgupdate.h"

#include "core/enumtext.h"
#include "core/localizationmanager.h"
#include "core/log.h"
#include "core/userdialogs.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/serialport.h"
#include "ui/mainwindowbase.h"
#include "ui_navbarmenu.h"

#include <QKeyEvent>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QStringList>

#include <algorithm>

namespace MW_Pages {

using namespace ZCore;
using ZData::DeviceManager;
using ZData::DM::SerialPort;

namespace {

const char *const kNotAvailable = "N/A";
const QLatin1Char kVersionSeparator('.');

const ZData::DeviceInfo &device()
{
    return DeviceManager::instance().deviceInfo();
}

} // namespace

PgUpdate::PgUpdate()
{
    m_stallTimer.setSingleShot(true);
    m_stallTimer.setInterval(kStallTimeoutMs);
}

PgUpdate::~PgUpdate() = default;

std::optional<TVersion> PgUpdate::parseServerVersion(const QString &text)
{
    const QStringList parts = text.trimmed().split(kVersionSeparator);
    if (parts.size() != TVersion::kPartCount)
        return std::nullopt;
    quint32 numbers[TVersion::kPartCount] = {};
    for (int i = 0; i < TVersion::kPartCount; ++i) {
        const QString &part = parts.at(i);
        // toUInt alone would also take "+1" and " 1".
        const bool digitsOnly = !part.isEmpty()
            && std::all_of(part.begin(), part.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
        bool ok = false;
        numbers[i] = part.toUInt(&ok);
        if (!digitsOnly || !ok)
            return std::nullopt;
    }
    const TVersion version(numbers[0], numbers[1], numbers[2]);
    if (version.isUndefined())
        return std::nullopt;
    return version;
}

void PgUpdate::initPage()
{
    createProgressDialog();
    MWAbstractPage::initPage();
}

void PgUpdate::createProgressDialog()
{
    endCourse();
    m_progress = std::make_unique<QProgressDialog>();
    m_progressBar = new QProgressBar(m_progress.get());
    m_progress->setBar(m_progressBar);
    m_progress->setRange(kProgressMinimum, kProgressMaximum);
    slotLoadedLang();
    m_progress->setCancelButton(nullptr);
    // Without this the dialog shows itself a few seconds after it is built.
    m_progress->reset();
    m_progress->hide();
    m_progress->setWindowFlags((m_progress->windowFlags() & ~Qt::WindowCloseButtonHint)
                               | Qt::CustomizeWindowHint);
    m_progress->installEventFilter(this);

    // The parentless dialog would otherwise live as long as the page, past
    // the application object. Not kept with the page's connections: those
    // are dropped as soon as the window starts to go.
    const QPointer<QProgressDialog> dialog = m_progress.get();
    connect(mainWindow(), &QObject::destroyed, this, [this, dialog] {
        if (!dialog || dialog != m_progress.get())
            return;
        m_progressBar = nullptr;
        m_progress.reset();
        // Nothing is left to tell about an unfinished course, and a running
        // timer must not outlive the event loop with the page.
        m_course = ECourse::Idle;
        m_stallTimer.stop();
    });
}

void PgUpdate::initUiActions()
{
    MWAbstractPage::initUiActions();
    Ui::NavBarMenu *pages = ui();
    keep(connect(pages->b_check_update, &QPushButton::released, this, &PgUpdate::handleCheckPressed));
    keep(connect(pages->b_do_update, &QPushButton::released, this, &PgUpdate::handleUpdatePressed));
    MainWindowBase *window = mainWindow();
    keep(connect(window, &MainWindowBase::signalUpdateIsRequired, this, &PgUpdate::slotUpdateIsRequired));
    keep(connect(window, &MainWindowBase::signalSettingsRestored, this, &PgUpdate::restoreSettings));
    keep(connect(window, &MainWindowBase::signalSettingsSaved, this, &PgUpdate::saveSettings));
    keep(connect(&LocalizationManager::instance(), &LocalizationManager::signalLoadedLang, this,
                 &PgUpdate::slotLoadedLang));
    keep(connect(&m_stallTimer, &QTimer::timeout, this, &PgUpdate::handleStall));
    connectDeviceLink();
}

void PgUpdate::connectDeviceLink()
{
    auto &manager = DeviceManager::instance();
    keep(connect(&manager, &DeviceManager::signalStartupFinished, this, &PgUpdate::slotDeviceStartup));
    keep(connect(&manager, &DeviceManager::signalUpdateReply, this, &PgUpdate::slotDeviceUpdateReply));
    keep(connect(&manager, &DeviceManager::signalUpdateStarted, this, &PgUpdate::handleUpdateStarted));
    keep(connect(&manager, &DeviceManager::signalUpdateProgress, this, &PgUpdate::slotUpdateProgress));
    keep(connect(&manager, &DeviceManager::signalServerFailed, this, &PgUpdate::handleServerFailed));
    keep(connect(&ZData::ConnectionManager::instance(), &ZData::ConnectionManager::signalFailedToReconnect, this,
                 &PgUpdate::handleReconnectFailed));
    auto &port = SerialPort::instance();
    keep(connect(&port, &SerialPort::signalLost, this, &PgUpdate::slotSignalLost));
    keep(connect(&port, &SerialPort::signalClosed, this, &PgUpdate::handlePortClosed));
}

void PgUpdate::slotDeviceStartup()
{
    if (!ui())
        return;
    ui()->l_device_id->setText(device().id);
    ui()->l_device_version->setText(device().firmwareVersion.toString());
    m_deviceReady = true;
    advanceCourseOnStartup();
    ui()->b_check_update->setEnabled(m_course == ECourse::Idle);
}

void PgUpdate::advanceCourseOnStartup()
{
    switch (m_course) {
    case ECourse::RebootingToBootloader:
        // Back in the bootloader the device manager fetches the image itself.
        if (device().isBootloader())
            enterCourse(ECourse::Downloading);
        else
            failCourse(qtTrId("dw_pupdate_update_stalled_text"));
        return;
    case ECourse::StartingFirmware:
        if (device().isMainApp())
            finishCourse();
        else
            failCourse(qtTrId("dw_pupdate_firmware_not_started_text"));
        return;
    default:
        return;
    }
}

void PgUpdate::slotDeviceUpdateReply(const QString &actual_version)
{
    if (!ui())
        return;
    showServerStatus(QString());
    ui()->l_actual_version->setText(actual_version);
    const std::optional<TVersion> actual = parseServerVersion(actual_version);
    if (!actual) {
        // Read leniently it would be the undefined version, above every
        // real one, and offer an update to nothing.
        Log::warning(tag(), QStringLiteral(">> server reported no valid version: [ %1 ]; no update offered")
                                .arg(actual_version));
        ui()->b_do_update->setEnabled(false);
        return;
    }
    m_offeredVersion = actual->toString();
    const bool newer = device().firmwareVersion < *actual;
    ui()->b_do_update->setEnabled(newer);
    if (!newer) {
        showLater([] {
            UserDialogs::information(nullptr, qtTrId("dw_pupdate_no_update_title"),
                                     qtTrId("dw_pupdate_no_update_text"));
        });
        return;
    }
    showLater([this] {
        // The device may have gone while the question waited; the button
        // is disabled then and nothing starts.
        if (askToUpdate() && ui() && ui()->b_do_update->isEnabled())
            startUpdate();
    });
}

void PgUpdate::showLater(const std::function<void()> &box)
{
    QMetaObject::invokeMethod(this, box, Qt::QueuedConnection);
}

void PgUpdate::handleCheckPressed()
{
    Log::info(tag(), QStringLiteral("<< 'check for updates' button was pressed"));
    DeviceManager::instance().queueActualVersionRequest();
}

void PgUpdate::handleUpdatePressed()
{
    Log::info(tag(), QStringLiteral("<< 'update firmware' button was pressed"));
    if (askToUpdate() && ui() && ui()->b_do_update->isEnabled())
        startUpdate();
}

bool PgUpdate::askToUpdate() const
{
    const QString running = device().firmwareVersion.toString();
    const QString text = device().isBootloader() ? qtTrId("dw_pupdate_confirm_flash_text")
                                                 : qtTrId("dw_pupdate_confirm_reboot_text");
    return UserDialogs::question(nullptr, qtTrId("dw_pupdate_new_update_title"),
                                 text.arg(running, m_offeredVersion));
}

void PgUpdate::startUpdate()
{
    Log::info(tag(), QStringLiteral("<< update from %1 to %2 confirmed")
                         .arg(device().firmwareVersion.toString(), m_offeredVersion));
    // A second start before the device drops off would queue a second
    // reboot or a second download.
    setButtonsEnabled(false);
    if (device().isBootloader()) {
        DeviceManager::instance().queueUpdateDownload();
        enterCourse(ECourse::Downloading);
        return;
    }
    DeviceManager::instance().queueRebootToUpdate();
    enterCourse(ECourse::RebootingToBootloader);
}

void PgUpdate::enterCourse(ECourse course)
{
    Log::info(tag(), QStringLiteral(">> update course: ") + enumText(course));
    m_course = course;
    m_stallTimer.start();
    if (!m_progress || course == ECourse::Idle)
        return;
    m_progress->setLabelText(stageText());
    // A busy bar while the device or the server is awaited; the transfer
    // counts up and stays full while the new firmware starts.
    const bool counting = course == ECourse::Transferring || course == ECourse::StartingFirmware;
    m_progressBar->setRange(kProgressMinimum, counting ? kProgressMaximum : kProgressMinimum);
    if (course == ECourse::Transferring)
        m_progressBar->setValue(kProgressMinimum);
    if (m_progress->isHidden()) {
        m_progress->open();
        m_progress->setCancelButton(nullptr);
    }
}

QString PgUpdate::stageText() const
{
    switch (m_course) {
    case ECourse::RebootingToBootloader:
        return qtTrId("dw_pupdate_stage_reboot");
    case ECourse::Downloading:
        return qtTrId("dw_pupdate_stage_download").arg(m_offeredVersion);
    case ECourse::StartingFirmware:
        return qtTrId("dw_pupdate_stage_start").arg(m_offeredVersion);
    case ECourse::Idle:
    case ECourse::Transferring:
        break;
    }
    return qtTrId("dw_pupdate_updating");
}

void PgUpdate::endCourse()
{
    m_course = ECourse::Idle;
    m_stallTimer.stop();
    // The user starts over from the check once the device is there.
    if (ui())
        ui()->b_check_update->setEnabled(m_deviceReady);
    if (m_progress) {
        m_progress->reset();
        m_progress->hide();
    }
}

void PgUpdate::failCourse(const QString &text)
{
    Log::warning(tag(), QStringLiteral(">> firmware update failed: ") + text);
    endCourse();
    showLater([text] { UserDialogs::warning(nullptr, qtTrId("dw_pupdate_update_failed_title"), text); });
}

void PgUpdate::finishCourse()
{
    const QString running = device().firmwareVersion.toString();
    Log::info(tag(), QStringLiteral(">> firmware update finished: device runs %1").arg(running));
    endCourse();
    showLater([running] {
        UserDialogs::information(nullptr, qtTrId("dw_pupdate_reboot_app_title"),
                                 qtTrId("dw_pupdate_update_done_text").arg(running));
    });
}

void PgUpdate::handleUpdateStarted()
{
    setButtonsEnabled(false);
    showServerStatus(QString());
    // From here on a lost device means an unfinished image, even before the
    // first chunk reports its progress.
    enterCourse(ECourse::Transferring);
}

void PgUpdate::handlePortClosed()
{
    m_deviceReady = false;
    failTransfer();
    if (!ui())
        return;
    const QString notAvailable = QLatin1String(kNotAvailable);
    ui()->l_device_id->setText(notAvailable);
    ui()->l_device_version->setText(notAvailable);
    ui()->l_actual_version->setText(notAvailable);
    showServerStatus(QString());
    setButtonsEnabled(false);
}

void PgUpdate::handleServerFailed(ZData::EServerCommands request, ZData::EServerCommands result)
{
    using ZData::EServerCommands;
    QString text;
    switch (result) {
    case EServerCommands::E_BIN_NOT_FOUND:
        text = qtTrId("dw_pupdate_files_lost_text");
        break;
    case EServerCommands::E_LOST_INTERNET_CONNECTION:
    case EServerCommands::E_REQUEST_TIMEOUT:
        text = qtTrId("dw_pupdate_server_unreachable_text");
        break;
    default:
        text = qtTrId("dw_pupdate_server_error_text").arg(qint32(result));
        break;
    }
    showServerStatus(text);
    // Only what the user asked for gets a box; the version report at
    // connection must neither stop the user nor hold up the sweep.
    if (request == EServerCommands::GET_UPDATE) {
        failCourse(text);
    } else if (request == EServerCommands::GET_ACTUAL_VERSION) {
        showLater([text] { UserDialogs::warning(nullptr, qtTrId("dw_pupdate_check_failed_title"), text); });
    }
}

void PgUpdate::handleReconnectFailed()
{
    if (m_course == ECourse::Idle)
        return;
    // The connection manager's own box says the device is gone; a second
    // one about the update would only stack on it.
    Log::warning(tag(), QStringLiteral(">> firmware update abandoned: the device did not come back"));
    endCourse();
}

void PgUpdate::handleStall()
{
    if (m_course == ECourse::Idle)
        return;
    Log::warning(tag(), QStringLiteral(">> no step of the update for %1 ms in %2")
                            .arg(kStallTimeoutMs).arg(enumText(m_course)));
    failCourse(qtTrId("dw_pupdate_update_stalled_text"));
}

void PgUpdate::showServerStatus(const QString &text)
{
    if (!ui())
        return;
    ui()->l_server_status->setText(text);
    ui()->l_server_status->setVisible(!text.isEmpty());
}

void PgUpdate::setButtonsEnabled(bool enabled)
{
    if (!ui())
        return;
    ui()->b_check_update->setEnabled(enabled);
    ui()->b_do_update->setEnabled(enabled);
}

void PgUpdate::slotUpdateProgress(int progress)
{
    if (!m_progress)
        return;
    if (m_course != ECourse::Transferring)
        enterCourse(ECourse::Transferring);
    m_stallTimer.start();
    m_progressBar->setValue(qBound(kProgressMinimum, progress, kProgressMaximum));
    if (progress < kProgressMaximum)
        return;
    // The bootloader starts the new firmware and leaves the link; the course
    // ends when the device is back and says which firmware it runs.
    ZData::ConnectionManager::instance().setAutoReconnect(true);
    enterCourse(ECourse::StartingFirmware);
}

void PgUpdate::slotSignalLost()
{
    failTransfer();
}

void PgUpdate::failTransfer()
{
    if (m_course != ECourse::Transferring)
        return;
    failCourse(qtTrId("dw_pupdate_update_failed_text"));
}

void PgUpdate::slotUpdateIsRequired()
{
    slotDeviceStartup();
    if (ui())
        ui()->b_check_update->click();
}

void PgUpdate::slotLoadedLang()
{
    if (!m_progress)
        return;
    m_progress->setWindowTitle(qtTrId("dw_window_title"));
    m_progress->setLabelText(stageText());
}

bool PgUpdate::eventFilter(QObject *watched, QEvent *event)
{
    if (m_progress && watched == m_progress.get()) {
        // Only the transfer ends the dialog: Escape would reject it and the
        // window system's close would cancel it.
        const bool escape = event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape;
        const bool userClose = event->type() == QEvent::Close && event->spontaneous();
        if (escape || userClose) {
            event->ignore();
            return true;
        }
    }
    return MWAbstractPage::eventFilter(watched, event);
}

void PgUpdate::restoreSettings()
{
    // Nothing of the page is kept; the call still reports a missing profile.
    settingsToRestore(QStringLiteral("MW_Pages::PgUpdate::restoreSettings"));
}

void PgUpdate::saveSettings()
{
    settingsToSave(QStringLiteral("MW_Pages::PgUpdate::saveSettings"));
}

} // namespace MW_Pages
