#include "ui/pages/pgupdate.h"

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

PgUpdate::PgUpdate() = default;

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
    m_updateInProgress = false;
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
    connectDeviceLink();
}

void PgUpdate::connectDeviceLink()
{
    auto &manager = DeviceManager::instance();
    keep(connect(&manager, &DeviceManager::signalStartupFinished, this, &PgUpdate::slotDeviceStartup));
    keep(connect(&manager, &DeviceManager::signalUpdateReply, this, &PgUpdate::slotDeviceUpdateReply));
    keep(connect(&manager, &DeviceManager::signalUpdateStarted, this, &PgUpdate::handleUpdateStarted));
    keep(connect(&manager, &DeviceManager::signalUpdateProgress, this, &PgUpdate::slotUpdateProgress));
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
    ui()->b_check_update->setEnabled(true);
}

void PgUpdate::slotDeviceUpdateReply(const QString &actual_version)
{
    if (!ui())
        return;
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
        // is disabled then and the click does nothing.
        if (UserDialogs::question(nullptr, qtTrId("dw_pupdate_new_update_title"),
                                  qtTrId("dw_pupdate_new_update_text"))
            && ui())
            ui()->b_do_update->click();
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
    // A second press before the device drops off would queue a second
    // reboot or a second download.
    ui()->b_do_update->setEnabled(false);
    if (device().isBootloader()) {
        DeviceManager::instance().queueUpdateDownload();
        return;
    }
    DeviceManager::instance().queueRebootToUpdate();
    UserDialogs::information(nullptr, qtTrId("dw_pupdate_reboot_update_title"),
                             qtTrId("dw_pupdate_reboot_update_text"));
}

void PgUpdate::handleUpdateStarted()
{
    setButtonsEnabled(false);
    // From here on a lost device means an unfinished image, even before the
    // first chunk reports its progress.
    m_updateInProgress = true;
}

void PgUpdate::handlePortClosed()
{
    if (!ui())
        return;
    const QString notAvailable = QLatin1String(kNotAvailable);
    ui()->l_device_id->setText(notAvailable);
    ui()->l_device_version->setText(notAvailable);
    ui()->l_actual_version->setText(notAvailable);
    setButtonsEnabled(false);
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
    if (m_progress->isHidden()) {
        m_progress->open();
        m_progress->setCancelButton(nullptr);
    }
    m_updateInProgress = true;
    m_progressBar->setValue(qBound(kProgressMinimum, progress, kProgressMaximum));
    if (progress < m_progress->maximum())
        return;
    m_updateInProgress = false;
    m_progress->reset();
    ZData::ConnectionManager::instance().setAutoReconnect(true);
    showLater([] {
        UserDialogs::information(nullptr, qtTrId("dw_pupdate_reboot_app_title"),
                                 qtTrId("dw_pupdate_reboot_app_text"));
    });
}

void PgUpdate::slotSignalLost()
{
    if (!m_updateInProgress)
        return;
    m_updateInProgress = false;
    if (m_progress)
        m_progress->cancel();
    showLater([] {
        UserDialogs::warning(nullptr, qtTrId("dw_pupdate_update_failed_title"),
                             qtTrId("dw_pupdate_update_failed_text"));
    });
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
    m_progress->setLabelText(qtTrId("dw_pupdate_updating"));
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
