#include "chart/zchartview.h"
#include "chart/zmark.h"
#include "chart/zmarkstable.h"
#include "core/localizationmanager.h"
#include "core/settingsmanager.h"
#include "data/device/devicemanager.h"
#include "data/scan/datascanmanager.h"

#include "chartfixture.h"
#include "sweepfeeder.h"

#include <QChart>
#include <QDataStream>
#include <QLineSeries>
#include <QSettings>
#include <QSignalSpy>
#include <QValueAxis>
#include <QtTest>

using namespace ZChart;
using TestSupport::ChartFixture;
using TestSupport::SweepFeeder;

namespace {

ZData::DataScanManager &scan()
{
    return ZData::DataScanManager::instance();
}

float flatLevel(int, quint64)
{
    return 0.1f;
}

void reportAdcValue(quint16 value)
{
    ZData::TDeviceReply reply;
    reply.header.command = quint16(ZData::EDeviceCommands::DA_GET_ADC_VALUE);
    QDataStream out(&reply.data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << value;
    emit ZData::DeviceManager::instance().signalGotADCValue(reply);
}

} // namespace

class TstZChartView : public QObject
{
    Q_OBJECT

private slots:
    void corners_data();
    void corners();
    void lowerCornerIgnoresCalibrationAndLanguage();
    void chartTypeSetOnce();
    void dataOfAnotherChannelIgnored();
    void firstDataCreateMarksOnce();
    void adcOverflowThreshold_data();
    void adcOverflowThreshold();
    void adcOverflowWaitsForFullSweep();
    void adcOverflowClearsWhenNothingMeasured();
    void rfOverloadFollowsAdc();
    void calibrationDetachesAndRestores();
    void lightTheme_data();
    void lightTheme();
    void noPresetLoaded();
    void indexFromFrequency_data();
    void indexFromFrequency();
    void seriesPointAtClamps();
    void clickSelects();
    void resizePlacesOverlaysAndTable();
};

void TstZChartView::corners_data()
{
    QTest::addColumn<quint32>("corner");
    QTest::addColumn<bool>("active");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("tag");

    QTest::newRow("UL shows S21") << quint32(ZCommon::UL) << true << 0 << QStringLiteral("ZChartView [ UL ]");
    QTest::newRow("UR shows S12") << quint32(ZCommon::UR) << true << 1 << QStringLiteral("ZChartView [ UR ]");
    QTest::newRow("BL stays inactive") << quint32(ZCommon::BL) << false << -1 << QStringLiteral("ZChartView [ BL ]");
    QTest::newRow("BR stays inactive") << quint32(ZCommon::BR) << false << -1 << QStringLiteral("ZChartView [ BR ]");
}

void TstZChartView::corners()
{
    QFETCH(quint32, corner);
    QFETCH(bool, active);
    QFETCH(int, channel);
    QFETCH(QString, tag);
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band"), { 150 }, { 350 }) }));
    SweepFeeder::start();
    ZChartView view;
    view.setCalibrationNotifier(&fixture.calibrator());
    view.setCorner(corner);
    QCOMPARE(view.isActive(), active);
    QCOMPARE(view.corner(), corner);
    QCOMPARE(view.tag(), tag);
    if (active)
        QVERIFY(fixture.log().contains(tag + QStringLiteral(" >> now is active")));

    SweepFeeder(flatLevel).sweepBothChannels();
    if (!active) {
        QCOMPARE(view.series()->count(), 0);
        QCOMPARE(view.marksTable()->count(), 0);
        return;
    }
    QCOMPARE(int(view.channel()), channel);
    QCOMPARE(view.series()->count(), 101);
    QCOMPARE(view.series()->at(0).x(), channel == 0 ? 100.0 : 300.0);
    QCOMPARE(view.marksTable()->marksData().first().frequency.MHz(), channel == 0 ? 150.0 : 350.0);
}

void TstZChartView::lowerCornerIgnoresCalibrationAndLanguage()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band")) }));
    SweepFeeder::start();
    ZChartView view;
    view.setCalibrationNotifier(&fixture.calibrator());
    view.setCorner(ZCommon::BL);
    // The calibration manager may also be handed over after the corner.
    view.setCalibrationNotifier(&fixture.calibrator());
    view.axisX()->setTitleText(QStringLiteral("untouched"));

    emit fixture.calibrator().signalFinishedCalibration();
    emit fixture.calibrator().signalFailedReadCalibration();
    emit ZCore::LocalizationManager::instance().signalLoadedLang();
    QVERIFY(!view.isActive());
    QCOMPARE(view.axisX()->titleText(), QStringLiteral("untouched"));

    // An upper view of the same run does react to both.
    ZChartView upper;
    upper.setCalibrationNotifier(&fixture.calibrator());
    upper.setCorner(ZCommon::UL);
    upper.axisX()->setTitleText(QStringLiteral("stale"));
    emit ZCore::LocalizationManager::instance().signalLoadedLang();
    QCOMPARE(upper.axisX()->titleText(), QStringLiteral("Frequency (MHz)"));
}

void TstZChartView::chartTypeSetOnce()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band")) }));
    ZChartView view;
    view.setCorner(ZCommon::UL);
    QCOMPARE(view.chartType(), quint16(EChartType::LOG_MAG));
    QSignalSpy changed(&view, &ZChartView::signalChangedChartType);

    fixture.log().clear();
    view.setChartType(EChartType::LOG_MAG);
    view.setChartType(EChartType::LOG_MAG);
    QCOMPARE(fixture.log().count(QStringLiteral("ZChartView [ UL ] >> tried to set same chart type: Log. mag.")), 2);
    QCOMPARE(changed.count(), 0);

    view.setChartType(1);
    QVERIFY(fixture.log().contains(QStringLiteral("ZChartView [ UL ] >> failed to set type: 1")));
    QCOMPARE(view.chartType(), quint16(EChartType::LOG_MAG));
    QCOMPARE(changed.count(), 0);
}

void TstZChartView::dataOfAnotherChannelIgnored()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band")) }));
    SweepFeeder::start();
    ZChartView view;
    view.setCorner(ZCommon::UR);
    QSignalSpy created(&view, &ZChartView::signalCreatedMark);
    // The five S21 slices come first; the S12 view draws nothing meanwhile.
    SweepFeeder(flatLevel).answerSlices(5);
    QCOMPARE(view.series()->count(), 0);
    QCOMPARE(created.count(), 0);
    SweepFeeder(flatLevel).answerSlice();
    QCOMPARE(view.series()->count(), 25);
    QCOMPARE(created.count(), ZMarksTable::kMaxMarks);
}

void TstZChartView::firstDataCreateMarksOnce()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band"), { 150, 160 }) }));
    SweepFeeder::start();
    ZChartView view;
    view.setCorner(ZCommon::UL);
    QSignalSpy created(&view, &ZChartView::signalCreatedMark);

    // A first reply that measured nothing (a corrupt count) plots nothing;
    // the marks then come with the first reply that does.
    ZData::TDeviceReply empty;
    empty.data = QByteArray(4, '\0');
    emit ZData::DeviceManager::instance().signalGotScanData(empty);
    QCOMPARE(view.series()->count(), 0);
    QCOMPARE(created.count(), 0);

    SweepFeeder(flatLevel).sweepBothChannels();
    QCOMPARE(created.count(), ZMarksTable::kMaxMarks);
    QCOMPARE(view.marksTable()->count(), ZMarksTable::kMaxMarks);
    QVERIFY(view.marksTable()->isVisible());
    QCOMPARE(view.marksTable()->marksData().at(1).frequency.MHz(), 160.0);
}

void TstZChartView::adcOverflowThreshold_data()
{
    QTest::addColumn<double>("overflowLevel");
    QTest::addColumn<float>("peak");
    QTest::addColumn<bool>("shown");

    QTest::newRow("0 dB reaches a level of 0") << 0.0 << 1.0f << true;
    QTest::newRow("just below 0 dB") << 0.0 << 0.999f << false;
    QTest::newRow("default level -1 dB") << -1.0 << 0.9f << true;
    QTest::newRow("far below") << -1.0 << 0.5f << false;
}

void TstZChartView::adcOverflowThreshold()
{
    QFETCH(double, overflowLevel);
    QFETCH(float, peak);
    QFETCH(bool, shown);
    ChartFixture fixture;
    // The display offsets must not count: the check looks at the raw level.
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band")) },
                         { { "ADC_OVERFLOW_LEVEL", overflowLevel }, { "S21_AMP_ORIGIN", 30.0 } }));
    SweepFeeder::start();
    ZChartView view;
    view.setCorner(ZCommon::UL);
    SweepFeeder([peak](int, quint64 hz) { return hz == 170000000 ? peak : 0.01f; }).sweepBothChannels();
    QCOMPARE(view.isAdcOverflowShown(), shown);
}

void TstZChartView::adcOverflowWaitsForFullSweep()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band")) }, { { "ADC_OVERFLOW_LEVEL", 0.0 } }));
    SweepFeeder::start();
    ZChartView view;
    view.setCorner(ZCommon::UL);
    SweepFeeder loud([](int, quint64) { return 2.0f; });
    loud.answerSlices(4);
    QVERIFY(!view.isAdcOverflowShown());
    // The last slice is requested once the range reached its end.
    loud.answerSlice();
    QVERIFY(view.isAdcOverflowShown());

    // The next sweep judges all its points: a quiet start does not clear
    // the warning while the loud end of the last sweep is still shown.
    SweepFeeder quiet(flatLevel);
    quiet.answerSlices(5); // S12
    quiet.answerSlices(4);
    QVERIFY(view.isAdcOverflowShown());
    quiet.answerSlice();
    QVERIFY(!view.isAdcOverflowShown());
}

void TstZChartView::adcOverflowClearsWhenNothingMeasured()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band")) }, { { "ADC_OVERFLOW_LEVEL", 0.0 } }));
    SweepFeeder::start();
    ZChartView view;
    view.setCorner(ZCommon::UL);
    SweepFeeder([](int, quint64) { return 2.0f; }).answerSlices(5);
    QVERIFY(view.isAdcOverflowShown());

    // Every point is cleared; a redraw now has nothing to judge by.
    scan().reset(true);
    scan().setAttenuation(0, 3.0);
    QCOMPARE(view.series()->count(), 0);
    QVERIFY(!view.isAdcOverflowShown());
}

void TstZChartView::rfOverloadFollowsAdc()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band")) }, { { "RF_OVERLOAD", 1000 } }));
    ZChartView active;
    active.setCorner(ZCommon::UL);
    ZChartView inactive;
    inactive.setCorner(ZCommon::BR);

    reportAdcValue(1000);
    QVERIFY(active.isRfOverloadShown());
    QVERIFY(!inactive.isRfOverloadShown());
    reportAdcValue(999);
    QVERIFY(!active.isRfOverloadShown());
}

void TstZChartView::calibrationDetachesAndRestores()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band"), { 150, 160, 170 }) },
                         { { "ADC_OVERFLOW_LEVEL", 0.0 } }));
    SweepFeeder::start();
    ZChartView view;
    view.setCalibrationNotifier(&fixture.calibrator());
    view.setCorner(ZCommon::UL);
    SweepFeeder([](int, quint64) { return 2.0f; }).sweepBothChannels();
    QVERIFY(view.isAdcOverflowShown());
    QCOMPARE(view.marksTable()->isMarkVisible(0), true);

    fixture.calibrator().calibrating = true;
    emit fixture.calibrator().signalStartedCalibration();
    QVERIFY(!view.isActive());
    QVERIFY(!view.isAdcOverflowShown());
    for (int i = 0; i < view.marksTable()->count(); ++i)
        QVERIFY(!view.marksTable()->isMarkVisible(i));
    // The reference sweep does not reach the detached view.
    SweepFeeder([](int, quint64) { return 0.01f; }).answerSlice();
    QCOMPARE(view.series()->at(0).y(), 20.0 + double(20.0f * std::log10(2.0f)));

    fixture.calibrator().calibrating = false;
    emit fixture.calibrator().signalFinishedCalibration();
    QVERIFY(view.isActive());
    QVERIFY(view.marksTable()->isMarkVisible(2));
    QVERIFY(!view.marksTable()->isMarkVisible(3));
    // Following the sweep again: the next slice lands on the curve.
    SweepFeeder(flatLevel).answerSlice();
    QCOMPARE(view.series()->at(25).y(), 20.0 + double(20.0f * std::log10(0.1f)));
}

void TstZChartView::lightTheme_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("light");

    QTest::newRow("generated default 0") << QVariant(0) << false;
    QTest::newRow("1") << QVariant(1) << true;
    QTest::newRow("true") << QVariant(QStringLiteral("true")) << true;
    QTest::newRow("TRUE by hand") << QVariant(QStringLiteral(" TRUE ")) << true;
    QTest::newRow("yes is not a setting") << QVariant(QStringLiteral("yes")) << false;
    QTest::newRow("missing") << QVariant() << false;
}

void TstZChartView::lightTheme()
{
    QFETCH(QVariant, value);
    QFETCH(bool, light);
    ChartFixture fixture;
    QSettings *user = ZCore::SettingsManager::userSettings();
    QVERIFY(user);
    user->beginGroup(QStringLiteral("Theme"));
    if (value.isValid())
        user->setValue(QStringLiteral("LIGHT_THEME_ENABLED"), value);
    else
        user->remove(QStringLiteral("LIGHT_THEME_ENABLED"));
    user->endGroup();
    user->sync();

    ZChartView view;
    QCOMPARE(view.isLightTheme(), light);
    QCOMPARE(view.chart()->theme(),
             light ? QtCharts::QChart::ChartThemeLight : QtCharts::QChart::ChartThemeDark);
    // The view's own fonts survive the theme.
    QCOMPARE(view.chart()->titleFont().pixelSize(), ZChartView::kTitlePixelSize);
    QCOMPARE(view.axisY()->labelsFont().pointSize(), ZChartView::kAxisLabelsPointSize);
}

void TstZChartView::noPresetLoaded()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({}));
    ZChartView view;
    view.setCorner(ZCommon::UL);
    QSignalSpy retrieved(&view, &ZChartView::signalRetrievedMarksData);
    QCOMPARE(view.chart()->title(), QStringLiteral("UPLINK S21 "));

    // Marks exist, but there are no preset frequencies to give them.
    QVERIFY(view.marksTable()->createMark(0.0));
    view.slotActiveScanPresetUpdated();
    view.applyMarksPreset();
    QCOMPARE(retrieved.count(), 0);
    QVERIFY(!view.marksTable()->isMarkVisible(0));
    QVERIFY(!fixture.log().contains(QStringLiteral("tried to move mark")));
}

void TstZChartView::indexFromFrequency_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("stop");
    QTest::addColumn<quint32>("points");
    QTest::addColumn<double>("mhz");
    QTest::addColumn<int>("index");

    QTest::newRow("first point") << 100.0 << 200.0 << 101u << 100.0 << 0;
    QTest::newRow("last point") << 100.0 << 200.0 << 101u << 200.0 << 100;
    QTest::newRow("below the range") << 100.0 << 200.0 << 101u << 0.0 << 0;
    QTest::newRow("above the range") << 100.0 << 200.0 << 101u << 1e6 << 100;
    QTest::newRow("nearest, down") << 100.0 << 200.0 << 101u << 133.49 << 33;
    QTest::newRow("nearest, up") << 100.0 << 200.0 << 101u << 133.51 << 34;
    QTest::newRow("two points") << 100.0 << 200.0 << 2u << 160.0 << 1;
    QTest::newRow("start equals stop") << 1000.0 << 1000.0 << 3u << 1000.0 << 0;
}

void TstZChartView::indexFromFrequency()
{
    QFETCH(double, start);
    QFETCH(double, stop);
    QFETCH(quint32, points);
    QFETCH(double, mhz);
    QFETCH(int, index);
    ChartFixture fixture;
    ZData::TScanPreset preset(QStringLiteral("Band"));
    preset.channels[0] = ZData::TChannelPreset(
        ZData::TScanRange(ZCore::TFrequency(start * 1e6), ZCore::TFrequency(stop * 1e6), points));
    preset.channels[1] = preset.channels[0];
    QVERIFY(fixture.load({ preset }));
    scan().setActivePreset(0, true);
    ZChartView view;
    view.setCorner(ZCommon::UL);
    QCOMPARE(view.indexFromFrequency(mhz), index);
}

void TstZChartView::seriesPointAtClamps()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band")) }));
    SweepFeeder::start();
    ZChartView view;
    view.setCorner(ZCommon::UL);
    QCOMPARE(view.seriesPointAt(3), QPointF(0, 0));
    SweepFeeder(flatLevel).answerSlice();
    QCOMPARE(view.seriesPointAt(-4), view.series()->at(0));
    QCOMPARE(view.seriesPointAt(1000), view.series()->at(24));
}

void TstZChartView::clickSelects()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band")) }));
    ZChartView view;
    view.resize(400, 300);
    view.show();
    QSignalSpy selected(&view, &ZChartView::signalWasSelected);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(200, 150));
    QCOMPARE(selected.count(), 1);
}

void TstZChartView::resizePlacesOverlaysAndTable()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({ ChartFixture::preset(QStringLiteral("Band"), { 150 }) }));
    SweepFeeder::start();
    ZChartView view;
    view.setCorner(ZCommon::UL);
    view.resize(900, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    SweepFeeder(flatLevel).sweepBothChannels();

    view.resize(1000, 700);
    QCoreApplication::processEvents();
    QCOMPARE(view.scene()->sceneRect(), QRectF(0, 0, 1000, 700));
    QCOMPARE(view.chart()->size(), QSizeF(1000, 700));
    ZMarksTable *table = view.marksTable();
    // The table hugs the right edge.
    const QRectF tableOnScene = table->mapRectToScene(table->boundingRect());
    QVERIFY2(tableOnScene.right() <= 1000 && tableOnScene.right() > 1000 - 20,
             qPrintable(QString::number(tableOnScene.right())));
    QCOMPARE(tableOnScene.top(), 15.0);
    // Marks sit on the curve of the resized plot.
    ZMark *mark = table->mark(0);
    QCOMPARE(mark->pos(), view.chart()->mapToPosition(mark->value(), view.series()));
}

QTEST_MAIN(TstZChartView)
#include "tst_zchartview.moc"
