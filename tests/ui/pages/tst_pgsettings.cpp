#include "core/localizationmanager.h"
#include "core/settingsmanager.h"
#include "data/calibration/calibrationmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "fakemainwindow.h"
#include "findwidget.h"
#include "lebytes.h"
#include "logcapture.h"
#include "recordingdialogs.h"
#include "tempappdir.h"
#include "ui/pages/pgsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QUrl>
#include <QtTest>

#include <memory>

using MW_Pages::PgSettings;
using TestSupport::findWidget;
using ZCore::SettingsManager;
using ZData::CalibrationManager;
using ZData::DataScanManager;
using ZData::EScanChannel;

namespace {

const QString kPresetKey = QStringLiteral("Default/selected_scan_preset");
const QString kPowerKey = QStringLiteral("Default/selected_source_power");
const QString kLanguageKey = QStringLiteral("Default/language");
constexpr int kEntriesPerPreset = 4;

DataScanManager &scan()
{
    return DataScanManager::instance();
}

// A complete calibration for every preset, for the device that is (not)
// connected: its id is empty.
QByteArray completeCalibrationFile()
{
    using namespace TestSupport::LeBytes;
    QByteArray bytes = littleEndianString(ZData::DeviceManager::instance().deviceInfo().id)
                       + littleEndianInt32(scan().presetCount());
    for (const ZData::TScanPreset &preset : scan().presets()) {
        for (int entry = 0; entry < kEntriesPerPreset; ++entry) {
            const ZData::TScanRange &range = preset.channel(entry % 2);
            bytes += littleEndianDouble(range.start.hz()) + littleEndianDouble(range.stop.hz())
                     + littleEndianInt32(qint32(range.points));
            for (quint32 v = 0; v < range.points; ++v)
                bytes += littleEndianDouble(0.5) + littleEndianDouble(0.0);
        }
    }
    return bytes;
}

} // namespace

class TestPgSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void initialState();
    void calibrationState();
    void refusedUseCalibration();
    void attenuatorsShowClampedWithoutWriting_data();
    void attenuatorsShowClampedWithoutWriting();
    void restoresSelection_data();
    void restoresSelection();
    void savesSelection();
    void editUserSettings_data();
    void editUserSettings();

private:
    template <typename T>
    T *widget(const char *name) const
    {
        return findWidget<T>(m_window.get(), name);
    }

    std::unique_ptr<TestSupport::TempAppDir> m_appDir;
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
    std::unique_ptr<TestSupport::FakeMainWindow> m_window;
};

void TestPgSettings::initTestCase()
{
    m_appDir = std::make_unique<TestSupport::TempAppDir>();
    m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    QVERIFY(SettingsManager::init());
    QVERIFY(ZData::DeviceMessageManager::init());
    QVERIFY(ZData::DM::SerialPort::init());
    QVERIFY(ZData::DeviceManager::init());
    QVERIFY(CalibrationManager::instance().init());
    QVERIFY(scan().init());
    QVERIFY(ZCore::LocalizationManager::init());
    QVERIFY(scan().presetCount() > 1);
    m_window = std::make_unique<TestSupport::FakeMainWindow>();
    PgSettings::instance().setupPage(m_window.get(), QStringLiteral("MW_Pages::PgSettings"));
}

void TestPgSettings::cleanupTestCase()
{
    PgSettings::instance().setUrlOpener(nullptr);
    m_window.reset();
    m_dialogs.reset();
    m_appDir.reset();
}

void TestPgSettings::initialState()
{
    const ZCore::LocalizationManager &localization = ZCore::LocalizationManager::instance();
    QCOMPARE(localization.currentFile(), localization.availableFiles().value(0));

    const QComboBox *presets = widget<QComboBox>("comb_scan_preset");
    const QComboBox *power = widget<QComboBox>("comb_source_power");
    const QCheckBox *useCalib = widget<QCheckBox>("cb_use_calib");
    const QPushButton *calibrate = widget<QPushButton>("b_try_calibrate");
    QVERIFY(presets && power && useCalib && calibrate);
    QCOMPARE(presets->count(), scan().presetCount());
    for (int i = 0; i < presets->count(); ++i)
        QCOMPARE(presets->itemText(i), scan().presetAt(i).name);
    QCOMPARE(power->count(), 2);
    // The language change reaches the widgets through the event loop.
    QTRY_COMPARE(useCalib->text(), QStringLiteral("Use calibration"));
    QVERIFY(!useCalib->isEnabled() && !useCalib->isChecked());
    QVERIFY(!calibrate->isEnabled());
}

// Disabled while a calibration runs; "Use calibration" offered only once
// every preset is calibrated, the button green then.
void TestPgSettings::calibrationState()
{
    CalibrationManager &calibration = CalibrationManager::instance();
    QPushButton *calibrate = widget<QPushButton>("b_try_calibrate");
    QCheckBox *useCalib = widget<QCheckBox>("cb_use_calib");
    QComboBox *presets = widget<QComboBox>("comb_scan_preset");
    QComboBox *power = widget<QComboBox>("comb_source_power");

    emit calibration.signalStartedCalibration();
    QVERIFY(!calibrate->isEnabled() && !presets->isEnabled() && !power->isEnabled());
    emit calibration.signalFinishedCalibration();
    QVERIFY(calibrate->isEnabled() && presets->isEnabled() && power->isEnabled());
    QVERIFY(!useCalib->isEnabled());
    QCOMPARE(calibrate->palette().color(QPalette::Button), QColor(Qt::gray));

    const QString path = m_appDir->filePath(QStringLiteral("complete.cbin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(completeCalibrationFile());
    file.close();
    calibration.readCalibrationFile(path);
    QVERIFY(calibration.allCalibrated());
    QVERIFY(useCalib->isEnabled());
    QCOMPARE(calibrate->palette().color(QPalette::Button), QColor(Qt::green));

    useCalib->click();
    QVERIFY(scan().useCalib());
    QVERIFY(useCalib->isChecked());

    calibration.removeCalibration(true);
    QVERIFY(!useCalib->isEnabled());
    QCOMPARE(calibrate->palette().color(QPalette::Button), QColor(Qt::gray));
    scan().setUseCalib(false);
}

void TestPgSettings::refusedUseCalibration()
{
    QVERIFY(!CalibrationManager::instance().allCalibrated());
    QCheckBox *useCalib = widget<QCheckBox>("cb_use_calib");
    useCalib->setEnabled(true);
    useCalib->click();
    QVERIFY(!scan().useCalib());
    QVERIFY(!useCalib->isChecked());
    useCalib->setEnabled(false);
}

void TestPgSettings::attenuatorsShowClampedWithoutWriting_data()
{
    QTest::addColumn<double>("stored");
    QTest::addColumn<double>("shown");
    QTest::newRow("above the range") << 25.0 << 20.0;
    QTest::newRow("fraction") << 3.6 << 4.0;
    QTest::newRow("below the range") << -2.0 << 0.0;
}

void TestPgSettings::attenuatorsShowClampedWithoutWriting()
{
    QFETCH(double, stored);
    QFETCH(double, shown);
    scan().setAttenuation(EScanChannel::S21, stored);
    scan().setAttenuation(EScanChannel::S12, stored);
    QSignalSpy written(&scan(), &DataScanManager::signalRFDataAttUpdated);
    emit m_window->signalSettingsRestored();
    QCOMPARE(widget<QDoubleSpinBox>("ds_att_s21")->value(), shown);
    QCOMPARE(widget<QDoubleSpinBox>("ds_att_s12")->value(), shown);
    QCOMPARE(written.count(), 0);
    QCOMPARE(scan().rfParameters().s21Att, stored);

    // The user's own change does reach the sweep.
    widget<QDoubleSpinBox>("ds_att_s12")->setValue(7.0);
    QCOMPARE(scan().rfParameters().s12Att, 7.0);
    QCOMPARE(scan().rfParameters().s21Att, stored);
}

void TestPgSettings::restoresSelection_data()
{
    QTest::addColumn<QVariant>("preset");
    QTest::addColumn<QVariant>("power");
    QTest::addColumn<int>("expectedPreset");
    QTest::addColumn<int>("expectedPower");
    QTest::newRow("missing") << QVariant() << QVariant() << 0 << 0;
    QTest::newRow("second, high") << QVariant(1) << QVariant(1) << 1 << 1;
    QTest::newRow("beyond the last") << QVariant(999) << QVariant(5) << -1 << 1;
}

// The stored choice becomes the sweep's, and the combos follow the sweep.
void TestPgSettings::restoresSelection()
{
    QFETCH(QVariant, preset);
    QFETCH(QVariant, power);
    QFETCH(int, expectedPreset);
    QFETCH(int, expectedPower);
    if (expectedPreset < 0)
        expectedPreset = scan().presetCount() - 1;
    scan().setActivePreset(expectedPreset == 0 ? 1 : 0, true);
    scan().setPowerIndex(expectedPower == 0 ? 1 : 0, true);

    QSettings *settings = SettingsManager::currentSettings();
    for (const auto &[key, value] : {std::pair{kPresetKey, preset}, std::pair{kPowerKey, power}}) {
        if (value.isValid())
            settings->setValue(key, value);
        else
            settings->remove(key);
    }
    emit m_window->signalSettingsRestored();
    QCOMPARE(scan().activePreset(), expectedPreset);
    QCOMPARE(scan().powerIndex(), expectedPower);
    QCOMPARE(widget<QComboBox>("comb_scan_preset")->currentIndex(), expectedPreset);
    QCOMPARE(widget<QComboBox>("comb_source_power")->currentIndex(), expectedPower);
}

void TestPgSettings::savesSelection()
{
    widget<QComboBox>("comb_scan_preset")->setCurrentIndex(1);
    widget<QComboBox>("comb_source_power")->setCurrentIndex(1);
    QCOMPARE(scan().activePreset(), 1);
    QCOMPARE(scan().powerIndex(), 1);
    widget<QComboBox>("comb_source_power")->setCurrentIndex(0);

    QSettings *settings = SettingsManager::currentSettings();
    settings->setValue(kLanguageKey, QStringLiteral("stale"));
    emit m_window->signalSettingsSaved();
    QCOMPARE(settings->value(kPresetKey).toInt(), 1);
    QCOMPARE(settings->value(kPowerKey).toInt(), 0);
    QCOMPARE(settings->value(kLanguageKey).toString(), ZCore::LocalizationManager::instance().currentFile());
}

void TestPgSettings::editUserSettings_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("desktopTakesIt");
    QTest::addColumn<int>("opened");
    QTest::addColumn<bool>("reported");
    QTest::newRow("no") << false << true << 0 << false;
    QTest::newRow("yes") << true << true << 1 << false;
    QTest::newRow("yes, desktop refuses") << true << false << 1 << true;
}

void TestPgSettings::editUserSettings()
{
    QFETCH(bool, answer);
    QFETCH(bool, desktopTakesIt);
    QFETCH(int, opened);
    QFETCH(bool, reported);
    QList<QUrl> urls;
    PgSettings::instance().setUrlOpener([&urls, desktopTakesIt](const QUrl &url) {
        urls.append(url);
        return desktopTakesIt;
    });
    m_dialogs->clear();
    m_dialogs->setQuestionAnswer(answer);
    TestSupport::LogCapture log;

    QTest::mouseClick(widget<QPushButton>("b_edit_user_settings"), Qt::LeftButton);
    QCOMPARE(m_dialogs->count(ZCore::UserDialogs::EKind::Question), 1);
    QCOMPARE(urls.size(), opened);
    if (opened) {
        QVERIFY(urls.first().isLocalFile());
        QCOMPARE(urls.first().toLocalFile(), SettingsManager::userProfilePath());
    }
    QCOMPARE(log.lines(QtCriticalMsg).contains(QStringLiteral("MW_Pages::PgSettings >> ")
                                                + qtTrId("dw_err_cant_request_edit_user_settings")),
             reported);
}

QTEST_MAIN(TestPgSettings)
#include "tst_pgsettings.moc"
