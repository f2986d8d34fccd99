#include "ui/pages/pgsettings.h"

#include "core/esettingsgroups.h"
#include "core/localizationmanager.h"
#include "core/log.h"
#include "core/settingsmanager.h"
#include "core/userdialogs.h"
#include "core/utilitymodules/ui.h"
#include "data/calibration/calibrationmanager.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "data/scan/tscanpoint.h"
#include "ui/dialogs/preseteditor.h"
#include "ui/mainwindowbase.h"
#include "ui_navbarmenu.h"

#include <QDesktopServices>
#include <QSettings>
#include <QSignalBlocker>
#include <QUrl>

namespace MW_Pages {

using namespace ZCore;
using ZData::CalibrationManager;
using ZData::DataScanManager;

namespace {

const char *const kKeySelectedPreset = "selected_scan_preset";
const char *const kKeySelectedPower = "selected_source_power";
const char *const kKeyLanguage = "language";
const char *const kKeyUseCalib = "use_calibration";
constexpr qint32 kDefaultSelection = 0;
const QColor kCalibratedColor(Qt::green);
const QColor kUncalibratedColor(Qt::gray);

bool openWithDesktop(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace

PgSettings::PgSettings()
    : m_urlOpener(openWithDesktop)
{
}

void PgSettings::setUrlOpener(UrlOpener opener)
{
    m_urlOpener = opener ? std::move(opener) : UrlOpener(openWithDesktop);
}

void PgSettings::initPage()
{
    LocalizationManager &localization = LocalizationManager::instance();
    if (!localization.availableFiles().isEmpty())
        localization.loadLanguage(localization.defaultFile());
    fillLanguages();
    fillPresets();
    MWAbstractPage::initPage();
}

// Each language is listed by its own name, so a user who cannot read the
// one in use still finds theirs.
void PgSettings::fillLanguages()
{
    const LocalizationManager &localization = LocalizationManager::instance();
    QComboBox *combo = ui()->comb_language;
    {
        const QSignalBlocker blocker(combo);
        combo->clear();
        for (const QString &file : localization.availableFiles())
            combo->addItem(localization.languageName(file), file);
    }
    syncLanguage();
}

void PgSettings::syncLanguage()
{
    QComboBox *combo = ui()->comb_language;
    const QSignalBlocker blocker(combo);
    combo->setCurrentIndex(combo->findData(LocalizationManager::instance().currentFile()));
}

void PgSettings::fillPresets()
{
    QComboBox *combo = ui()->comb_scan_preset;
    const QSignalBlocker blocker(combo);
    combo->clear();
    for (const ZData::TScanPreset &preset : DataScanManager::instance().presets())
        combo->addItem(preset.name);
    combo->adjustSize();
}

void PgSettings::initUiActions()
{
    keep(connect(mainWindow(), &MainWindowBase::signalSettingsRestored, this, &PgSettings::restoreSettings));
    keep(connect(mainWindow(), &MainWindowBase::signalSettingsSaved, this, &PgSettings::saveSettings));
    connectManagers();
    connectWidgets();
}

void PgSettings::connectManagers()
{
    const CalibrationManager *calibration = &CalibrationManager::instance();
    const DataScanManager *scan = &DataScanManager::instance();
    keep(connect(scan, &DataScanManager::signalActiveScanPresetUpdated, this,
                 &PgSettings::slotActiveScanPresetUpdated));
    keep(connect(scan, &DataScanManager::signalUseCalibUpdated, this, &PgSettings::syncUseCalib));
    keep(connect(&ZData::DeviceManager::instance(), &ZData::DeviceManager::signalStartupFinished, this,
                 &PgSettings::updateCalibrateButton));
    keep(connect(&ZData::ConnectionManager::instance(), &ZData::ConnectionManager::signalReconnecting, this,
                 &PgSettings::updateCalibrateButton));
    keep(connect(&ZData::DM::SerialPort::instance(), &ZData::DM::SerialPort::signalClosed, this,
                 &PgSettings::updateCalibrateButton));
    keep(connect(calibration, &CalibrationManager::signalFailedReadCalibration, this,
                 &PgSettings::slotFailedReadCalibration));
    keep(connect(calibration, &CalibrationManager::signalStartedCalibration, this,
                 &PgSettings::slotStartedCalibration));
    keep(connect(calibration, &CalibrationManager::signalRemovedCalibration, this,
                 &PgSettings::slotRemovedCalibration));
    keep(connect(calibration, &CalibrationManager::signalFinishedCalibration, this,
                 &PgSettings::slotFinishedCalibration));
    keep(connect(&LocalizationManager::instance(), &LocalizationManager::signalLoadedLang, this,
                 &PgSettings::syncLanguage));
}

void PgSettings::connectWidgets()
{
    Ui::NavBarMenu *form = ui();
    DataScanManager *scan = &DataScanManager::instance();
    keep(connect(form->b_edit_user_settings, &QPushButton::released, this, &PgSettings::editUserSettings));
    keep(connect(form->b_edit_presets, &QPushButton::released, this, &PgSettings::editPresets));
    keep(connect(form->comb_scan_preset, QOverload<int>::of(&QComboBox::currentIndexChanged), scan,
                 [scan](int index) { scan->setActivePreset(index, true); }));
    keep(connect(form->comb_source_power, QOverload<int>::of(&QComboBox::currentIndexChanged), scan,
                 [scan](int index) { scan->setPowerIndex(index, true); }));
    keep(connect(form->cb_use_calib, &QCheckBox::clicked, this, [this, scan](bool checked) {
        scan->setUseCalib(checked);
        syncUseCalib();
    }));
    keep(connect(form->comb_language, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        LocalizationManager::instance().loadLanguage(ui()->comb_language->itemData(index).toString());
        syncLanguage();
    }));
    keep(connect(form->b_try_calibrate, &QPushButton::released, &CalibrationManager::instance(),
                 &CalibrationManager::startCalibration));
    keep(connect(form->ds_att_s21, QOverload<double>::of(&QDoubleSpinBox::valueChanged), scan,
                 [scan](double value) { scan->setAttenuation(ZData::EScanChannel::S21, value); }));
    keep(connect(form->ds_att_s12, QOverload<double>::of(&QDoubleSpinBox::valueChanged), scan,
                 [scan](double value) { scan->setAttenuation(ZData::EScanChannel::S12, value); }));
}

void PgSettings::slotActiveScanPresetUpdated()
{
    const DataScanManager &scan = DataScanManager::instance();
    const QSignalBlocker presetBlocker(ui()->comb_scan_preset);
    const QSignalBlocker powerBlocker(ui()->comb_source_power);
    ui()->comb_scan_preset->setCurrentIndex(scan.activePreset());
    ui()->comb_source_power->setCurrentIndex(scan.powerIndex());
}

void PgSettings::slotFailedReadCalibration()
{
    setCalibrationControlsEnabled(true);
    updateCalibrationState();
}

// A calibration sweeps every preset at both powers itself; the user must not
// switch them under it.
void PgSettings::slotStartedCalibration()
{
    setCalibrationControlsEnabled(false);
    updateCalibrationState();
}

void PgSettings::slotRemovedCalibration()
{
    updateCalibrationState();
}

void PgSettings::slotFinishedCalibration()
{
    setCalibrationControlsEnabled(true);
    updateCalibrationState();
}

void PgSettings::setCalibrationControlsEnabled(bool enabled)
{
    ui()->comb_scan_preset->setEnabled(enabled);
    ui()->comb_source_power->setEnabled(enabled);
    ui()->b_edit_presets->setEnabled(enabled);
    updateCalibrateButton();
}

// Without a device sweeping in its application a click would do nothing
// visible, so the button is offered only while a calibration can start.
void PgSettings::updateCalibrateButton()
{
    ui()->b_try_calibrate->setEnabled(CalibrationManager::instance().canCalibrate());
}

void PgSettings::updateCalibrationState()
{
    const bool complete = CalibrationManager::instance().allCalibrated();
    UtilityModules::UI::setWidgetPaletteColor(ui()->b_try_calibrate, QPalette::Button,
                                              complete ? kCalibratedColor : kUncalibratedColor);
    ui()->cb_use_calib->setEnabled(complete);
    syncUseCalib();
}

// The scan manager refuses calibration use where references are missing, so
// the box shows what it decided, not what was clicked.
void PgSettings::syncUseCalib()
{
    const QSignalBlocker blocker(ui()->cb_use_calib);
    ui()->cb_use_calib->setChecked(DataScanManager::instance().useCalib());
}

void PgSettings::restoreSettings()
{
    QSettings *settings = settingsToRestore(QStringLiteral("MW_Pages::PgSettings::restoreSettings"));
    if (!settings)
        return;
    DataScanManager &scan = DataScanManager::instance();
    settings->beginGroup(settingsGroupText(ESettingsGroups::DEFAULT));
    // Not cleared: the sweep has not shown anything of another preset yet.
    scan.setActivePreset(settings->value(QLatin1String(kKeySelectedPreset), kDefaultSelection).toInt(), false);
    scan.setPowerIndex(settings->value(QLatin1String(kKeySelectedPower), kDefaultSelection).toInt(), false);
    // Takes effect once the device's calibration data are loaded.
    scan.setUseCalib(settings->value(QLatin1String(kKeyUseCalib), false).toBool());
    LocalizationManager::instance().loadSavedLanguage(settings->value(QLatin1String(kKeyLanguage)).toString());
    {
        const QSignalBlocker s21Blocker(ui()->ds_att_s21);
        const QSignalBlocker s12Blocker(ui()->ds_att_s12);
        ui()->ds_att_s21->setValue(scan.rfParameters().s21Att);
        ui()->ds_att_s12->setValue(scan.rfParameters().s12Att);
    }
    settings->endGroup();
    syncUseCalib();
}

void PgSettings::saveSettings()
{
    QSettings *settings = settingsToSave(QStringLiteral("MW_Pages::PgSettings::saveSettings"));
    if (!settings)
        return;
    const DataScanManager &scan = DataScanManager::instance();
    settings->beginGroup(settingsGroupText(ESettingsGroups::DEFAULT));
    settings->setValue(QLatin1String(kKeySelectedPreset), scan.activePreset());
    settings->setValue(QLatin1String(kKeySelectedPower), scan.powerIndex());
    settings->setValue(QLatin1String(kKeyUseCalib), scan.useCalibChosen());
    settings->setValue(QLatin1String(kKeyLanguage), LocalizationManager::instance().currentFile());
    settings->endGroup();
}

void PgSettings::editPresets()
{
    PresetEditor editor(ui()->b_edit_presets->window());
    connect(&editor, &PresetEditor::signalApplied, this, [this] {
        fillPresets();
        slotActiveScanPresetUpdated();
    });
    editor.exec();
}

void PgSettings::editUserSettings()
{
    const bool proceed = UserDialogs::question(nullptr, qtTrId("dw_psettings_warning_edit_user_settings_title"),
                                               qtTrId("dw_psettings_warning_edit_user_settings_text"));
    if (!proceed)
        return;
    // fromLocalFile, not "file:///" + path: an absolute Unix path would make
    // four slashes and a Windows path needs its drive letter kept intact.
    const QUrl url = QUrl::fromLocalFile(SettingsManager::userProfilePath());
    if (!m_urlOpener(url))
        Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_cant_request_edit_user_settings"));
}

} // namespace MW_Pages
