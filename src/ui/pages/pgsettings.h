#pragma once

#include "core/isconfigurable.h"
#include "core/isettingsrestorable.h"
#include "core/tsingleton.h"
#include "ui/pages/mwabstractpage.h"

#include <functional>

class QUrl;

namespace MW_Pages {

// The settings page: scan preset and source power, calibration use and the
// calibration itself, the user profile and preset editors and the external
// attenuators.
// Its widgets follow the scan and calibration managers; it keeps the chosen
// preset, power and language with the main window's settings; a language
// chosen here applies at once.
class PgSettings : public MWAbstractPage,
                   public ZCore::TSingleton<PgSettings>,
                   public ZCore::ISConfigurable,
                   private ZCore::ISettingsRestorable
{
    Q_OBJECT
    friend class ZCore::TSingleton<PgSettings>;

public:
    // Hands a URL to the desktop; true when the desktop took it.
    using UrlOpener = std::function<bool(const QUrl &)>;

    // Null restores the desktop's own handler.
    void setUrlOpener(UrlOpener opener);

public slots:
    void slotActiveScanPresetUpdated();
    void slotFailedReadCalibration();
    void slotStartedCalibration();
    void slotRemovedCalibration();
    void slotFinishedCalibration();

protected:
    void initPage() override;
    void initUiActions() override;

private:
    PgSettings();

    void restoreSettings() override;
    void saveSettings() override;

    void fillLanguages();
    void syncLanguage();
    void fillPresets();
    void connectManagers();
    void connectWidgets();
    void setCalibrationControlsEnabled(bool enabled);
    void updateCalibrationState();
    void updateCalibrateButton();
    void syncUseCalib();
    void editUserSettings();
    void editPresets();

    UrlOpener m_urlOpener;
};

} // namespace MW_Pages
