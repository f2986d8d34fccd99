// The pages of the menu on a window of their own.
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
#include "ui/pages/pgabout.h"
#include "ui/pages/pgcharts.h"
#include "ui/pages/pgsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QUrl>
#include <QtTest>

#include <memory>

using MW_Pages::PgSettings;
using TestSupport::FakeMainWindow;
using ZCore::SettingsManager;
using ZData::CalibrationManager;

namespace {

const QString kSelectedViewKey = QStringLiteral("Charts/selected_chartview");

ZData::DataScanManager &scan() { return ZData::DataScanManager::instance(); }

} // namespace

class TestMenuPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void selectedViewRoundTrip_data();
    void selectedViewRoundTrip();
    void aboutPage();
    void arrangementsFillTheGrid();
    void calibrationState();
    void attenuatorShownClampedWithoutWriting();
    void selectionRoundTrip();
    void editUserSettings();
    void languageChoice();

private:
    template <typename T>
    T *widget(const char *name) const { return TestSupport::findWidget<T>(m_window.get(), name); }

    TestSupport::TempAppDir m_appDir;
    TestSupport::RecordingDialogs m_dialogs;
    std::unique_ptr<FakeMainWindow> m_window;
};

void TestMenuPages::initTestCase()
{
    QVERIFY(SettingsManager::init() && ZData::DeviceMessageManager::init() && ZData::DM::SerialPort::init());
    QVERIFY(ZData::DeviceManager::init() && CalibrationManager::instance().init() && scan().init());
    QVERIFY(ZCore::LocalizationManager::init() && scan().presetCount() > 1);
    m_window = std::make_unique<FakeMainWindow>();
    PgSettings::instance().setupPage(m_window.get(), QStringLiteral("MW_Pages::PgSettings"));
    // Attached twice: the second time must not double every reaction.
    for (int twice = 0; twice < 2; ++twice) {
        MW_Pages::PgCharts::instance().setupPage(m_window.get(), QStringLiteral("MW_Pages::PgCharts"));
        MW_Pages::PgAbout::instance().setupPage(m_window.get(), QStringLiteral("MW_Pages::PgAbout"));
    }
}

// A stored corner out of range falls back to the first; a window with no
// view selected saves the first.
void TestMenuPages::selectedViewRoundTrip_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("selected");
    QTest::newRow("BR") << QVariant(3) << 3;
    QTest::newRow("beyond the corners") << QVariant(4) << 0;
    QTest::newRow("text") << QVariant(QStringLiteral("upper")) << 0;
}

void TestMenuPages::selectedViewRoundTrip()
{
    QFETCH(QVariant, stored);
    QFETCH(int, selected);
    QSettings *settings = SettingsManager::currentSettings();
    settings->setValue(kSelectedViewKey, stored);
    m_window->clearSelectionRequests();
    emit m_window->signalSettingsRestored();
    QCOMPARE(m_window->selectionRequests(), QList<int>{selected});
    m_window->setSelectedCorner(selected == 0 ? int(MainWindowBase::kNoChartView) : selected);
    emit m_window->signalSettingsSaved();
    QCOMPARE(settings->value(kSelectedViewKey).toInt(), selected);
}

void TestMenuPages::aboutPage()
{
    QCOMPARE(widget<QLabel>("l_about_appversion_value")->text(), SettingsManager::appVersion().toString());
    m_dialogs.clear();
    QTest::mouseClick(widget<QPushButton>("b_about_qt"), Qt::LeftButton);
    QCOMPARE(m_dialogs.boxes().size(), 1);
    QCOMPARE(m_dialogs.count(ZCore::UserDialogs::EKind::AboutQt), 1);
}

// Every arrangement lays its charts over the 2 x 2 grid without a hole or
// an overlap, and offers a picture of itself.
void TestMenuPages::arrangementsFillTheGrid()
{
    const auto &arrangements = MW_Pages::PgCharts::instance().arrangements();
    QVERIFY(!arrangements.isEmpty());
    for (const MW_Pages::TChartArrangement &arrangement : arrangements) {
        QVERIFY(!arrangement.image.isNull());
        // Cells row by row, then one for anything outside the grid.
        QVector<int> covered(5);
        for (const MW_Pages::TViewPlacement &place : arrangement.placement) {
            for (int row = place.row; place.isPlaced() && row < place.row + place.rowSpan; ++row) {
                for (int column = place.column; column < place.column + place.columnSpan; ++column)
                    ++covered[row < 2 && column < 2 ? row * 2 + column : 4];
            }
        }
        QCOMPARE(covered, (QVector<int>{1, 1, 1, 1, 0}));
    }
}

// Disabled while a calibration runs, and without a device to calibrate;
// "Use calibration" offered only once every preset is calibrated, the
// button green then, and ticked only while the data exist.
void TestMenuPages::calibrationState()
{
    CalibrationManager &calibration = CalibrationManager::instance();
    QPushButton *calibrate = widget<QPushButton>("b_try_calibrate");
    QCheckBox *useCalib = widget<QCheckBox>("cb_use_calib");
    QComboBox *presets = widget<QComboBox>("comb_scan_preset");
    emit calibration.signalStartedCalibration();
    QVERIFY(!calibrate->isEnabled() && !presets->isEnabled());
    emit calibration.signalFinishedCalibration();
    QVERIFY(presets->isEnabled() && !useCalib->isEnabled() && !calibrate->isEnabled());

    // The choice of the last run holds once the data are loaded.
    SettingsManager::currentSettings()->setValue(QStringLiteral("Default/use_calibration"), true);
    emit m_window->signalSettingsRestored();
    const QString path = m_appDir.filePath(QStringLiteral("complete.cbin"));
    QVERIFY(TestSupport::writeCompleteCalibrationFile(path, scan().presets()));
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
void TestMenuPages::attenuatorShownClampedWithoutWriting()
{
    scan().setAttenuation(ZData::EScanChannel::S21, 25.0);
    emit m_window->signalSettingsRestored();
    QCOMPARE(widget<QDoubleSpinBox>("ds_att_s21")->value(), 20.0);
    widget<QDoubleSpinBox>("ds_att_s12")->setValue(7.0);
    QCOMPARE(scan().rfParameters().s12Att, 7.0);
    QCOMPARE(scan().rfParameters().s21Att, 25.0);
}

// The stored choice, clamped, becomes the sweep's, and the combos follow
// the sweep; the user's choice is what is saved.
void TestMenuPages::selectionRoundTrip()
{
    QSettings *settings = SettingsManager::currentSettings();
    QComboBox *presets = widget<QComboBox>("comb_scan_preset");
    QComboBox *power = widget<QComboBox>("comb_source_power");
    settings->setValue(QStringLiteral("Default/selected_scan_preset"), 999);
    settings->setValue(QStringLiteral("Default/selected_source_power"), 5);
    emit m_window->signalSettingsRestored();
    QCOMPARE(scan().activePreset(), scan().presetCount() - 1);
    QCOMPARE(presets->currentIndex(), scan().presetCount() - 1);
    QVERIFY(scan().powerIndex() == 1 && power->currentIndex() == 1);

    presets->setCurrentIndex(1);
    power->setCurrentIndex(0);
    emit m_window->signalSettingsSaved();
    QCOMPARE(settings->value(QStringLiteral("Default/selected_scan_preset")).toInt(), 1);
    QCOMPARE(settings->value(QStringLiteral("Default/selected_source_power")).toInt(), 0);
}

// The profile opens only after a yes; a refusing desktop is reported.
void TestMenuPages::editUserSettings()
{
    QList<QUrl> urls;
    PgSettings::instance().setUrlOpener([&urls](const QUrl &url) { return urls.append(url), false; });
    for (bool answer : {false, true}) {
        urls.clear();
        m_dialogs.setQuestionAnswer(answer);
        TestSupport::LogCapture log;
        QTest::mouseClick(widget<QPushButton>("b_edit_user_settings"), Qt::LeftButton);
        QCOMPARE(urls, answer ? QList<QUrl>{QUrl::fromLocalFile(SettingsManager::userProfilePath())} : QList<QUrl>{});
        QCOMPARE(log.contains(qtTrId("dw_err_cant_request_edit_user_settings")), answer);
    }
}

// Listed by their own names; a choice applies at once and is kept; a saved
// file that is gone gives English back.
void TestMenuPages::languageChoice()
{
    const QString russian = QStringLiteral(":/translation/dranwell_ru.qm");
    ZCore::LocalizationManager &localization = ZCore::LocalizationManager::instance();
    QComboBox *languages = widget<QComboBox>("comb_language");
    QCOMPARE(languages->count(), 2);
    QCOMPARE(languages->itemText(0) + languages->itemText(1), QStringLiteral("EnglishРусский"));

    languages->setCurrentIndex(languages->findData(russian));
    QCOMPARE(localization.currentFile(), russian);
    QTRY_COMPARE(widget<QLabel>("l_language")->text(), QStringLiteral("Язык:"));
    QSettings *settings = SettingsManager::currentSettings();
    emit m_window->signalSettingsSaved();
    QCOMPARE(settings->value(QStringLiteral("Default/language")).toString(), russian);

    settings->setValue(QStringLiteral("Default/language"), QStringLiteral("/opt/mero/dranwell_de.qm"));
    emit m_window->signalSettingsRestored();
    QCOMPARE(localization.currentFile(), localization.defaultFile());
    QCOMPARE(languages->currentData().toString(), localization.defaultFile());
}

QTEST_MAIN(TestMenuPages)
#include "tst_menupages.moc"
