#include "chart/zchartview.h"
#include "chart/zmarkstable.h"
#include "core/settingsmanager.h"
#include "data/device/devicemanager.h"
#include "data/scan/datascanmanager.h"

#include "chartfixture.h"
#include "sweepfeeder.h"

#include <QChart>
#include <QGraphicsTextItem>
#include <QValueAxis>
#include <QLineSeries>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace ZChart;
using TestSupport::ChartFixture;
using TestSupport::SweepFeeder;

namespace {

const auto flatLevel = [](int, quint64) { return 0.1f; };
const auto loudLevel = [](int, quint64) { return 2.0f; };

// A view in one corner over the one-band profile, its sweep started.
struct Bench
{
    explicit Bench(quint32 corner = ZCommon::UL, const QVector<double> &marks = {}, const QVariantMap &rf = {})
    {
        loaded = fixture.load({ChartFixture::preset(QStringLiteral("Band"), marks)}, rf);
        SweepFeeder::start();
        view = std::make_unique<ZChartView>();
        view->setCalibrationNotifier(&fixture.calibrator());
        view->setCorner(corner);
    }

    ChartFixture fixture;
    bool loaded = false;
    std::unique_ptr<ZChartView> view;
};

} // namespace

class TstZChartView : public QObject
{
    Q_OBJECT

private slots:
    void corners_data();
    void corners();
    void dataOfAnotherChannelIgnored();
    void emptyFirstReplyCreatesNoMarks();
    void unsetMarkKeepsNumbers();
    void adcOverflowThreshold_data();
    void adcOverflowThreshold();
    void adcOverflowWaitsForFullSweep();
    void calibrationDetachesAndRestores();
    void lightTheme_data();
    void lightTheme();
    void noPresetLoaded();
    void indexFromFrequency_data();
    void indexFromFrequency();
    void seriesPointAtClamps();
    void levelLabelsFitTheHeight_data();
    void levelLabelsFitTheHeight();
};

void TstZChartView::corners_data()
{
    QTest::addColumn<quint32>("corner");
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("firstMHz");
    QTest::newRow("UL shows S21") << quint32(ZCommon::UL) << 101 << 100.0;
    QTest::newRow("UR shows S12") << quint32(ZCommon::UR) << 101 << 300.0;
    QTest::newRow("BR stays inactive") << quint32(ZCommon::BR) << 0 << 0.0;
}

void TstZChartView::corners()
{
    QFETCH(quint32, corner);
    QFETCH(int, points);
    QFETCH(double, firstMHz);
    Bench bench(corner);
    QVERIFY(bench.loaded);
    SweepFeeder(flatLevel).sweepBothChannels();
    QCOMPARE(bench.view->series()->count(), points);
    QCOMPARE(bench.view->seriesPointAt(0).x(), firstMHz);
}

void TstZChartView::dataOfAnotherChannelIgnored()
{
    Bench bench(ZCommon::UR);
    QSignalSpy created(bench.view.get(), &ZChartView::signalCreatedMark);
    // The five S21 slices come first; the S12 view draws nothing meanwhile.
    SweepFeeder(flatLevel).answerSlices(5);
    QCOMPARE(bench.view->series()->count() + created.count(), 0);
    SweepFeeder(flatLevel).answerSlice();
    QCOMPARE(bench.view->series()->count(), 25);
    QCOMPARE(created.count(), ZMarksTable::kMaxMarks);
}

// A first reply that measured nothing (a corrupt count) plots nothing; the
// marks come with the first reply that does, at the preset's frequencies.
void TstZChartView::emptyFirstReplyCreatesNoMarks()
{
    Bench bench(ZCommon::UL, {150, 160});
    QSignalSpy created(bench.view.get(), &ZChartView::signalCreatedMark);
    ZData::TDeviceReply empty;
    empty.data = QByteArray(4, '\0');
    emit ZData::DeviceManager::instance().signalGotScanData(empty);
    QCOMPARE(bench.view->series()->count() + created.count(), 0);
    SweepFeeder(flatLevel).sweepBothChannels();
    QCOMPARE(created.count(), ZMarksTable::kMaxMarks);
}

void TstZChartView::unsetMarkKeepsNumbers()
{
    Bench bench(ZCommon::UL, {150, std::nan(""), 170});
    SweepFeeder(flatLevel).sweepBothChannels();
    const ZMarksTable &table = *bench.view->marksTable();
    QVERIFY(table.isMarkVisible(0) && !table.isMarkVisible(1) && table.isMarkVisible(2));
    QVERIFY(table.text().contains(ZMarksTable::frequencyLine(3, 170.0)));
}

void TstZChartView::adcOverflowThreshold_data()
{
    QTest::addColumn<float>("peak");
    QTest::addColumn<float>("reference");
    QTest::addColumn<bool>("shown");
    QTest::newRow("0 dB reaches a level of 0") << 1.0f << 0.0f << true;
    QTest::newRow("just below 0 dB") << 0.999f << 0.0f << false;
    // Calibrated, the chart shows other levels than the detector's.
    QTest::newRow("calibrated above, raw below") << 0.999f << 0.5f << false;
    QTest::newRow("calibrated below, raw at 0 dB") << 1.0f << 2.0f << true;
}

void TstZChartView::adcOverflowThreshold()
{
    QFETCH(float, peak);
    QFETCH(float, reference);
    QFETCH(bool, shown);
    // The display offsets must not count: the check looks at the raw level.
    Bench bench(ZCommon::UL, {}, {{"ADC_OVERFLOW_LEVEL", 0.0}, {"S21_AMP_ORIGIN", 30.0}});
    if (reference > 0.0f) {
        bench.fixture.calibrator().setReference(reference);
        ZData::DataScanManager::instance().setUseCalib(true);
        QVERIFY(ZData::DataScanManager::instance().useCalib());
    }
    SweepFeeder([peak](int, quint64 hz) { return hz == 170000000 ? peak : 0.01f; }).sweepBothChannels();
    QCOMPARE(bench.view->isAdcOverflowShown(), shown);
}

void TstZChartView::adcOverflowWaitsForFullSweep()
{
    Bench bench(ZCommon::UL, {}, {{"ADC_OVERFLOW_LEVEL", 0.0}});
    SweepFeeder loud(loudLevel);
    loud.answerSlices(4);
    QVERIFY(!bench.view->isAdcOverflowShown());
    loud.answerSlice();
    QVERIFY(bench.view->isAdcOverflowShown());

    // A quiet start of the next sweep does not clear the warning while the
    // loud end of the last sweep is still shown.
    SweepFeeder quiet(flatLevel);
    quiet.answerSlices(9);
    QVERIFY(bench.view->isAdcOverflowShown());
    quiet.answerSlice();
    QVERIFY(!bench.view->isAdcOverflowShown());
}

void TstZChartView::calibrationDetachesAndRestores()
{
    Bench bench(ZCommon::UL, {150, 160, 170}, {{"ADC_OVERFLOW_LEVEL", 0.0}});
    ZChartView &view = *bench.view;
    SweepFeeder(loudLevel).sweepBothChannels();
    bench.fixture.calibrator().calibrating = true;
    emit bench.fixture.calibrator().signalStartedCalibration();
    QVERIFY(!view.isAdcOverflowShown());
    QVERIFY(!view.marksTable()->isMarkVisible(0));
    // The reference sweep does not reach the detached view.
    SweepFeeder([](int, quint64) { return 0.01f; }).answerSlice();
    QCOMPARE(view.series()->at(0).y(), 20.0 + double(20.0f * std::log10(2.0f)));

    bench.fixture.calibrator().calibrating = false;
    emit bench.fixture.calibrator().signalFinishedCalibration();
    QVERIFY(view.isActive());
    QVERIFY(view.marksTable()->isMarkVisible(2));
    // Following the sweep again: the next slice lands on the curve.
    SweepFeeder(flatLevel).answerSlice();
    QCOMPARE(view.series()->at(25).y(), 20.0 + double(20.0f * std::log10(0.1f)));
}

void TstZChartView::lightTheme_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("light");
    QTest::newRow("TRUE by hand") << QVariant(QStringLiteral(" TRUE ")) << true;
    QTest::newRow("yes is not a setting") << QVariant(QStringLiteral("yes")) << false;
}

void TstZChartView::lightTheme()
{
    QFETCH(QVariant, value);
    QFETCH(bool, light);
    ChartFixture fixture;
    ZCore::SettingsManager::userSettings()->setValue(QStringLiteral("Theme/LIGHT_THEME_ENABLED"), value);
    ZChartView view;
    QCOMPARE(view.chart()->theme(), light ? QtCharts::QChart::ChartThemeLight : QtCharts::QChart::ChartThemeDark);
}

// Marks exist, but there are no preset frequencies to give them.
void TstZChartView::noPresetLoaded()
{
    ChartFixture fixture;
    QVERIFY(fixture.load({}));
    ZChartView view;
    view.setCorner(ZCommon::UL);
    QVERIFY(view.marksTable()->createMark(0.0));
    view.slotActiveScanPresetUpdated();
    view.applyMarksPreset();
    QVERIFY(!view.marksTable()->isMarkVisible(0));
}

void TstZChartView::indexFromFrequency_data()
{
    QTest::addColumn<double>("stop");
    QTest::addColumn<double>("mhz");
    QTest::addColumn<int>("index");
    QTest::newRow("above the range") << 200.0 << 1e6 << 100;
    QTest::newRow("nearest, up") << 200.0 << 133.51 << 34;
    QTest::newRow("start equals stop") << 100.0 << 100.0 << 0;
}

void TstZChartView::indexFromFrequency()
{
    QFETCH(double, stop);
    QFETCH(double, mhz);
    QFETCH(int, index);
    ChartFixture fixture;
    ZData::TScanPreset preset(QStringLiteral("Band"));
    preset.channels[0] = ZData::TChannelPreset(ZData::TScanRange(ZCore::TFrequency(100e6), ZCore::TFrequency(stop * 1e6), 101));
    preset.channels[1] = preset.channels[0];
    QVERIFY(fixture.load({preset}));
    ZData::DataScanManager::instance().setActivePreset(0, true);
    ZChartView view;
    view.setCorner(ZCommon::UL);
    QCOMPARE(view.indexFromFrequency(mhz), index);
}

void TstZChartView::seriesPointAtClamps()
{
    Bench bench;
    SweepFeeder(flatLevel).answerSlice();
    QCOMPARE(bench.view->seriesPointAt(-4), bench.view->series()->at(0));
    QCOMPARE(bench.view->seriesPointAt(1000), bench.view->series()->at(24));
}

void TstZChartView::levelLabelsFitTheHeight_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("everyTick");
    QTest::newRow("half of the smallest window") << 245 << false;
    QTest::newRow("between") << 330 << false;
    QTest::newRow("tall") << 520 << true;
}

void TstZChartView::levelLabelsFitTheHeight()
{
    QFETCH(int, height);
    QFETCH(bool, everyTick);
    Bench bench;
    bench.view->resize(550, height);
    bench.view->show();
    QVERIFY(QTest::qWaitForWindowExposed(bench.view.get()));
    bench.view->grab();

    QStringList labels;
    for (QGraphicsItem *item : bench.view->scene()->items()) {
        auto *text = dynamic_cast<QGraphicsTextItem *>(item);
        if (text && text->isVisible() && text->scenePos().x() < bench.view->chart()->plotArea().left())
            labels << text->toPlainText();
    }
    QVERIFY2(!labels.join(QLatin1Char(' ')).contains(QStringLiteral("...")), qPrintable(labels.join(QLatin1Char('|'))));
    QCOMPARE(bench.view->axisY()->tickType() == QtCharts::QValueAxis::TicksFixed, everyTick);
    QVERIFY(labels.size() >= (everyTick ? bench.view->axisY()->tickCount() : 3));
}

QTEST_MAIN(TstZChartView)
#include "tst_zchartview.moc"
