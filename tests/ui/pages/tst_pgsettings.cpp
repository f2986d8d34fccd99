#include "calibrationbytes.h"
#include "core/localizationmanager.h"
#include "core/settingsmanager.h"
#include "data/calibration/calibrationmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "fakemainwindow.h"
#include "findwidget.h"
#include "logcapture.h"
#include "ptypair.h"
#include "recordingdialogs.h"
#include "tempappdir.h"
#include "ui/pages/pgsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QUrl>
#include <QtTest>

#include <memory>

using MW_Pages::PgSettings;
using ZCore::SettingsManager;
using ZData::CalibrationManager;

namespace {

ZData::DataScanManager &scan()
{
    return ZData::DataScanManager::instance();
}

} // namespace

class TestPgSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void calibrationState();
    void attenuatorShownClampedWithoutWriting();
    void restoresSelectionClamped();
    void savesSelection();
    void editUserSettings_data();
    void editUserSettings();
    void languageChoice();

private:
    template <typename T>
    T *widget(const char *name) const
    {
        return TestSupport::findWidget<T>(m_window.get(), name);
    }

    TestSupport::TempAppDir m_appDir;
    TestSupport::RecordingDialogs m_dialogs;
    std::unique_ptr<TestSupport::FakeMainWindow> m_window;
};

void TestPgSettings::initTestCase()
{
    QVERIFY(SettingsManager::init() && ZData::DeviceMessageManager::init() && ZData::DM::SerialPort::init());
    QVERIFY(ZData::DeviceManager::init() && CalibrationManager::instance().init() && scan().init());
    QVERIFY(ZCore::LocalizationManager::init() && scan().presetCount() > 1);
    m_window = std::make_unique<TestSupport::FakeMainWindow>();
    PgSettings::instance().setupPage(m_window.get(), QStringLiteral("MW_Pages::PgSettings"));
}

// Disabled while a calibration runs, and without a device to calibrate;
// "Use calibration" offered only once every preset is calibrated, the
// button green then, and ticked only while the data exist.
void TestPgSettings::calibrationState()
{
    CalibrationManager &calibration = CalibrationManager::instance();
    QPushButton *calibrate = widget<QPushButton>("b_try_calibrate");
    QCheckBox *useCalib = widget<QCheckBox>("cb_use_calib");
    QComboBox *presets = widget<QComboBox>("comb_scan_preset");
    QVERIFY(calibrate && useCalib && presets);
    emit calibration.signalStartedCalibration();
    QVERIFY(!calibrate->isEnabled() && !presets->isEnabled());
    emit calibration.signalFinishedCalibration();
    QVERIFY(presets->isEnabled() && !useCalib->isEnabled());
    QVERIFY(!calibrate->isEnabled());

    // The choice of the last run holds once the data are loaded.
    SettingsManager::currentSettings()->setValue(QStringLiteral("Default/use_calibration"), true);
    emit m_window->signalSettingsRestored();
    const QString path = m_appDir.filePath(QStringLiteral("complete.cbin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(TestSupport::completeCalibrationFile(scan().presets())) > 0);
    file.close();
    calibration.readCalibrationFile(path);
    QVERIFY(useCalib->isEnabled() && useCalib->isChecked() && scan().useCalib());
    QCOMPARE(calibrate->palette().color(QPalette::Button), QColor(Qt::green));

    TestSupport::LogCapture log;
    calibration.removeCalibration(true);
    QVERIFY(!useCalib->isEnabled() && !useCalib->isChecked() && !scan().useCalib());
    QVERIFY(log.contains(QStringLiteral("DataScanManager >> calibration data are gone")));
    QCOMPARE(calibrate->palette().color(QPalette::Button), QColor(Qt::gray));
    calibration.readCalibrationFile(path);
    QVERIFY(useCalib->isChecked());
    useCalib->click();
    emit m_window->signalSettingsSaved();
    QVERIFY(!SettingsManager::currentSettings()->value(QStringLiteral("Default/use_calibration")).toBool());

    // A device sweeping in its application can be calibrated until it leaves.
    TestSupport::PtyPair pty;
    QVERIFY(ZData::DM::SerialPort::instance().openPort(pty.slaveName()));
    ZData::DeviceInfo device;
    device.deviceState = quint8(ZData::EDeviceStates::MAINAPP);
    ZData::DeviceManager::instance().setDeviceInfo(device);
    emit ZData::DeviceManager::instance().signalStartupFinished();
    QVERIFY(calibrate->isEnabled());
    ZData::DM::SerialPort::instance().close(true);
    QVERIFY(!calibrate->isEnabled());
}

// A hand-edited value is shown clamped, but only the user's own change reaches the sweep.
void TestPgSettings::attenuatorShownClampedWithoutWriting()
{
    scan().setAttenuation(ZData::EScanChannel::S21, 25.0);
    emit m_window->signalSettingsRestored();
    QCOMPARE(widget<QDoubleSpinBox>("ds_att_s21")->value(), 20.0);
    widget<QDoubleSpinBox>("ds_att_s12")->setValue(7.0);
    QCOMPARE(scan().rfParameters().s12Att, 7.0);
    QCOMPARE(scan().rfParameters().s21Att, 25.0);
}

// The stored choice, clamped, becomes the sweep's, and the combos follow the sweep.
void TestPgSettings::restoresSelectionClamped()
{
    SettingsManager::currentSettings()->setValue(QStringLiteral("Default/selected_scan_preset"), 999);
    SettingsManager::currentSettings()->setValue(QStringLiteral("Default/selected_source_power"), 5);
    emit m_window->signalSettingsRestored();
    QCOMPARE(scan().activePreset(), scan().presetCount() - 1);
    QCOMPARE(scan().powerIndex(), 1);
    QCOMPARE(widget<QComboBox>("comb_scan_preset")->currentIndex(), scan().presetCount() - 1);
    QCOMPARE(widget<QComboBox>("comb_source_power")->currentIndex(), 1);
}

void TestPgSettings::savesSelection()
{
    widget<QComboBox>("comb_scan_preset")->setCurrentIndex(1);
    widget<QComboBox>("comb_source_power")->setCurrentIndex(0);
    QSettings *settings = SettingsManager::currentSettings();
    settings->setValue(QStringLiteral("Default/language"), QStringLiteral("stale"));
    emit m_window->signalSettingsSaved();
    QCOMPARE(settings->value(QStringLiteral("Default/selected_scan_preset")).toInt(), 1);
    QCOMPARE(settings->value(QStringLiteral("Default/selected_source_power")).toInt(), 0);
    QCOMPARE(settings->value(QStringLiteral("Default/language")).toString(), ZCore::LocalizationManager::instance().currentFile());
}

void TestPgSettings::editUserSettings_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("no") << false;
    QTest::newRow("yes, desktop refuses") << true;
}

// The profile opens only after a yes; a refusing desktop is reported.
void TestPgSettings::editUserSettings()
{
    QFETCH(bool, answer);
    QList<QUrl> urls;
    PgSettings::instance().setUrlOpener([&urls](const QUrl &url) {
        urls.append(url);
        return false;
    });
    m_dialogs.setQuestionAnswer(answer);
    TestSupport::LogCapture log;
    QTest::mouseClick(widget<QPushButton>("b_edit_user_settings"), Qt::LeftButton);
    QCOMPARE(urls, answer ? QList<QUrl>{QUrl::fromLocalFile(SettingsManager::userProfilePath())} : QList<QUrl>{});
    QCOMPARE(log.contains(qtTrId("dw_err_cant_request_edit_user_settings")), answer);
}

// Listed by their own names; a choice applies at once and is kept; a saved
// file that is gone gives English back.
void TestPgSettings::languageChoice()
{
    const QString russian = QStringLiteral(":/translation/dranwell_ru.qm");
    ZCore::LocalizationManager &localization = ZCore::LocalizationManager::instance();
    QComboBox *languages = widget<QComboBox>("comb_language");
    QVERIFY(languages);
    QStringList names;
    for (int k = 0; k < languages->count(); ++k)
        names.append(languages->itemText(k));
    QCOMPARE(names, QStringList({QStringLiteral("English"), QStringLiteral("Русский")}));

    languages->setCurrentIndex(languages->findData(russian));
    QCOMPARE(localization.currentFile(), russian);
    QTRY_COMPARE(widget<QLabel>("l_language")->text(), QStringLiteral("Язык:"));
    emit m_window->signalSettingsSaved();
    QSettings *settings = SettingsManager::currentSettings();
    QCOMPARE(settings->value(QStringLiteral("Default/language")).toString(), russian);

    settings->setValue(QStringLiteral("Default/language"), QStringLiteral("/opt/mero/dranwell_de.qm"));
    emit m_window->signalSettingsRestored();
    QCOMPARE(localization.currentFile(), localization.defaultFile());
    QCOMPARE(languages->currentData().toString(), localization.defaultFile());
}

QTEST_MAIN(TestPgSettings)
#include "tst_pgsettings.moc"
