#include "chart/zchartview.h"

#include "chart/chartaxestransformer.h"
#include "chart/chartplacement.h"
#include "chart/datamarkprocessor.h"
#include "chart/datascanprocessor.h"
#include "chart/limitmaskoverlay.h"
#include "chart/markinteraction.h"
#include "chart/tracestatebadge.h"
#include "chart/viewscale.h"
#include "chart/viewtraces.h"
#include "chart/zmark.h"
#include "chart/zmarkstable.h"
#include "chart/ztraceitem.h"
#include "core/enumtext.h"
#include "core/localizationmanager.h"
#include "core/log.h"
#include "core/settingsmanager.h"
#include "core/userdialogs.h"
#include "data/device/devicemanager.h"
#include "data/traces/filetext.h"
#include "data/traces/sweepexport.h"
#include "data/traces/tracefile.h"
#include "data/traces/tracereadouts.h"
#include "data/traces/ttrace.h"
#include "data/scan/datascanmanager.h"
#include "data/scan/icalibrationsource.h"
#include "ui/dialogs/chartscaledialog.h"

#include <QChart>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QWheelEvent>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QResizeEvent>
#include <QSettings>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace ZChart {

namespace {

const char *const kThemeGroup = "Theme";
const char *const kLightThemeKey = "LIGHT_THEME_ENABLED";
constexpr double kOverlayCentre = 0.5;
// The ADC warning sits this many of its own heights above the middle, the RF
// warning right at it, so both can show at once.
constexpr qreal kAdcOverlayLift = 2;

// Hand-edited profile: the generated one writes 0 or 1, Qt writes "true".
bool isEnabledFlag(const QVariant &value)
{
    const QString text = value.toString().trimmed();
    return text == QLatin1String("1") || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

// A theme's background may be a gradient; its first colour stands for it.
QColor baseColor(const QBrush &brush)
{
    if (const QGradient *gradient = brush.gradient()) {
        if (!gradient->stops().isEmpty())
            return gradient->stops().first().second;
    }
    return brush.color();
}

// Widget updates stay off while the chart is rebuilt, so a redraw paints once.
class UpdatesSuspender
{
public:
    explicit UpdatesSuspender(QWidget *widget) : m_widget(widget), m_wasEnabled(widget->updatesEnabled())
    {
        if (m_wasEnabled)
            m_widget->setUpdatesEnabled(false);
    }
    ~UpdatesSuspender()
    {
        if (m_wasEnabled)
            m_widget->setUpdatesEnabled(true);
    }
    UpdatesSuspender(const UpdatesSuspender &) = delete;
    UpdatesSuspender &operator=(const UpdatesSuspender &) = delete;

private:
    QWidget *m_widget;
    bool m_wasEnabled;
};

ZData::DataScanManager &scanManager()
{
    return ZData::DataScanManager::instance();
}

// The pen the theme gives the line series of a chart at index (0: the first).
QPen themeTracePen(QtCharts::QChart::ChartTheme theme, int index = 0)
{
    QtCharts::QChart chart;
    chart.setTheme(theme);
    QtCharts::QLineSeries *series = nullptr;
    for (int i = 0; i <= index; ++i) {
        series = new QtCharts::QLineSeries();
        chart.addSeries(series);
    }
    return series->pen();
}

// The reference is the live trace's colour, dimmed: the eye reads the live
// one first. The holds take the theme's next colours.
constexpr int kReferenceAlpha = 110;
constexpr int kMaxHoldSeries = 1;
constexpr int kMinHoldSeries = 2;
constexpr qreal kHoldPenWidth = 1.0;

} // namespace

ZChartView::ZChartView(QWidget *parent)
    : QtCharts::QChartView(parent), m_traces(std::make_unique<ViewTraces>(kNoChannel)),
      m_scale(std::make_unique<ViewScale>())
{
    m_scanProcessor = std::make_unique<DataScanProcessor>(this);
    m_scanProcessor->registerMethods();
    m_markProcessor = std::make_unique<DataMarkProcessor>(this);
    m_markProcessor->registerMethods();
    m_axesTransformer = std::make_unique<Temp::ChartAxesTransformer>(this);
    m_axesTransformer->registerMethods();
    setMouseTracking(true);
    // The chart's background covers the whole view: a repaint of the trace
    // need not paint the window's widgets beneath first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);

    buildChart();
    m_state = TViewState();
    m_marksTable = std::make_unique<ZMarksTable>(m_chart, this);
    m_limitOverlay = std::make_unique<LimitMaskOverlay>(m_trace, m_chart);
    m_markTool = std::make_unique<MarkInteraction>(this);

    const QString adcText = QStringLiteral("ADC OVERFLOW");
    QFont overlayFont = QGraphicsSimpleTextItem(adcText).font();
    overlayFont.setPointSize(kOverlayPointSize);
    m_adcOverflowItem = createOverlay(adcText, overlayFont);
    m_rfOverloadItem = createOverlay(QStringLiteral("RF OVERLOAD"), overlayFont);
    m_traceBadge = new TraceStateBadge();
    scene()->addItem(m_traceBadge);
    applyBadgeColors();

    m_langLink = connect(&ZCore::LocalizationManager::instance(), &ZCore::LocalizationManager::signalLoadedLang, this,
                         &ZChartView::slotLangLoaded);
    // The plot area moves after a resize once the chart's layout has run,
    // and the axes rescale without one; the trace and the marks follow both.
    connect(m_chart, &QtCharts::QChart::plotAreaChanged, this, &ZChartView::layoutTrace);
    for (QtCharts::QValueAxis *axis : { m_axisX, m_axisY }) {
        connect(axis, &QtCharts::QValueAxis::rangeChanged, this, &ZChartView::layoutTrace);
        connect(axis, &QtCharts::QValueAxis::tickCountChanged, this, &ZChartView::layoutTrace);
    }
    connect(m_chart, &QtCharts::QChart::plotAreaChanged, this, &ZChartView::placeTraceBadge);

    setChartType(EChartType::LOG_MAG);
    restoreSettings();
}

// The table and its marks are items of the chart, which the base class
// deletes; they must be gone before it.
ZChartView::~ZChartView()
{
    m_markTool.reset();
    m_marksTable.reset();
    m_limitOverlay.reset();
}

QString ZChartView::tag() const
{
    return QStringLiteral("ZChartView [ %1 ]").arg(ZCore::enumKey(static_cast<ZCommon::EChartArrangeCorners>(m_state.corner)));
}

void ZChartView::buildChart()
{
    m_chart = new QtCharts::QChart();
    m_chart->setTheme(QtCharts::QChart::ChartThemeDark);
    m_chart->setAnimationOptions(QtCharts::QChart::NoAnimation);
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);
    QMargins margins = m_chart->margins();
    margins.setBottom(int(kChartBottomMargin));
    m_chart->setMargins(margins);
    m_chart->setBackgroundRoundness(0);

    m_chart->legend()->hide();

    m_axisX = new QtCharts::QValueAxis();
    m_axisY = new QtCharts::QValueAxis();
    applyFonts();
    m_axisX->setTickCount(kFrequencyTickCount);
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);
    m_trace = new ZTraceItem(m_chart);
    m_trace->addTrace(themeTracePen(m_chart->theme()));
    addTraceLines();
    m_trace->setAxes(m_axisX, m_axisY);
    // The base class starts with a chart of its own and only lets go of it
    // when another is set.
    std::unique_ptr<QtCharts::QChart> initial(QtCharts::QChartView::chart());
    setChart(m_chart);
}

// A theme brings its own fonts; these are the view's, whatever the theme.
void ZChartView::applyFonts()
{
    QFont titleFont = m_chart->titleFont();
    titleFont.setPixelSize(kTitlePixelSize);
    m_chart->setTitleFont(titleFont);

    QFont axisTitleFont = m_axisX->titleFont();
    axisTitleFont.setPointSize(kAxisTitlePointSize);
    QFont axisLabelsFont = m_axisX->labelsFont();
    axisLabelsFont.setPointSize(kAxisLabelsPointSize);
    for (QtCharts::QValueAxis *axis : { m_axisX, m_axisY }) {
        axis->setTitleFont(axisTitleFont);
        axis->setLabelsFont(axisLabelsFont);
    }
}

// Twelve level labels need about 240 px of plot, but at the window's
// smallest size a view has half of that, and the axis would then elide every
// label to "...". A short plot labels only every second (third, ...) tick,
// counted from the bottom of the range, and keeps the ticks in between as
// grid lines, so the grid does not change with the size.
void ZChartView::fitLevelLabels()
{
    const int tickCount = m_axisY->tickCount();
    const qreal span = m_axisY->max() - m_axisY->min();
    const qreal plotHeight = m_chart->plotArea().height();
    if (tickCount < 2 || span <= 0 || plotHeight <= 0)
        return;

    const qreal needed = QFontMetricsF(m_axisY->labelsFont()).height() + kLevelLabelPadding;
    if (plotHeight / tickCount >= needed) {
        m_axisY->setTickType(QtCharts::QValueAxis::TicksFixed);
        m_axisY->setMinorTickCount(0);
        return;
    }
    const int intervals = tickCount - 1;
    int stride = 2;
    while (stride < intervals && plotHeight * stride / intervals < needed)
        ++stride;
    m_axisY->setTickType(QtCharts::QValueAxis::TicksDynamic);
    // A difference is read against 0 dB: that line keeps its label.
    const bool zeroShown = isDifferenceShown() && m_axisY->min() <= 0.0 && m_axisY->max() >= 0.0;
    m_axisY->setTickAnchor(zeroShown ? 0.0 : m_axisY->min());
    m_axisY->setTickInterval(span * stride / intervals);
    m_axisY->setMinorTickCount(stride - 1);
}

QGraphicsSimpleTextItem *ZChartView::createOverlay(const QString &text, const QFont &font)
{
    auto *item = new QGraphicsSimpleTextItem(text);
    item->setZValue(kOverlayZValue);
    item->setBrush(QBrush(Qt::red, Qt::SolidPattern));
    item->setFont(font);
    item->hide();
    scene()->addItem(item);
    return item;
}

void ZChartView::setCorner(quint32 corner)
{
    if (m_state.corner < ZCommon::kFirstCornerWithoutChannel)
        disconnect(&scanManager().channelRange(m_state.channel), &ZData::DS::RangeSliced::signalUpdated, this,
                   &ZChartView::slotRangeUpdated);
    if (corner < ZCommon::kFirstCornerWithoutChannel) {
        m_state.channel = quint8(corner);
        m_state.corner = corner;
        const QString deviceId = m_traces->deviceId();
        m_traces = std::make_unique<ViewTraces>(m_state.channel);
        m_traces->setIdentity(deviceId, QString());
        refreshTraceLines();
        setActive(true);
        return;
    }
    connectCalibrationEnds(nullptr);
    m_calibrationEndsDetached = true;
    disconnect(m_langLink);
    m_state.corner = corner;
    setActive(false);
}

void ZChartView::setActive(bool active)
{
    m_state.active = active;
    for (const QMetaObject::Connection &link : qAsConst(m_dataLinks))
        disconnect(link);
    m_dataLinks.clear();
    if (!active)
        return;

    ZCore::Log::warning(tag(), QStringLiteral(">> now is active"));
    ZData::DataScanManager &scan = scanManager();
    ZData::DS::RangeSliced &range = scan.channelRange(m_state.channel);
    m_dataLinks << connect(&range, &ZData::DS::RangeSliced::signalUpdated, this, &ZChartView::slotRangeUpdated);
    m_dataLinks << connect(&range, &ZData::DS::RangeSliced::signalReachedEnd, this,
                           [this] { m_rangeReachedEnd = m_sweepEnding = true; });
    if (m_connectCalibrationStart)
        m_dataLinks << m_connectCalibrationStart();
    m_dataLinks << connect(&scan, &ZData::DataScanManager::signalUseCalibUpdated, this,
                           &ZChartView::handleUseCalibUpdated);
    m_dataLinks << connect(&scan, &ZData::DataScanManager::signalRFOverload, this,
                           [this](bool isOverload) { m_rfOverloadItem->setVisible(isOverload); });
    m_dataLinks << connect(&scan, &ZData::DataScanManager::signalProcessedScanData, this,
                           &ZChartView::slotProcessedScanData);
    m_dataLinks << connect(&scan, &ZData::DataScanManager::signalActiveScanPresetUpdated, this,
                           &ZChartView::slotActiveScanPresetUpdated);
    m_dataLinks << connect(&scan, &ZData::DataScanManager::signalRFDataAttUpdated, this,
                           &ZChartView::slotRFDataUpdated);

    m_axesTransformer->transformRanges(m_state.chartType);
    m_axesTransformer->transformTitles();
    redraw(true);
    slotActiveScanPresetUpdated();
}

void ZChartView::setChartType(quint16 chartType)
{
    if (chartType != EChartType::LOG_MAG) {
        ZCore::Log::warning(tag(), QStringLiteral(">> failed to set type: %1").arg(chartType));
        return;
    }
    if (chartType == m_state.chartType) {
        ZCore::Log::debug(tag(), QStringLiteral(">> tried to set same chart type: ") + chartTypeText(chartType));
        return;
    }
    UpdatesSuspender suspended(this);
    m_state.chartType = chartType;
    m_axesTransformer->transformRanges(chartType);
    m_axesTransformer->transformTitles();
    redraw(true);
    emit signalChangedChartType();
}

void ZChartView::restoreSettings()
{
    ZCore::Log::traceInfo(tag(), QStringLiteral("ZChart::ZChartView::restoreSettings"));
    const std::unique_ptr<QSettings> user = ZCore::SettingsManager::userSettingsSnapshot();
    if (!user) {
        ZCore::Log::critical(tag(), QStringLiteral(">> no user settings loaded"));
        return;
    }
    user->beginGroup(QString::fromLatin1(kThemeGroup));
    const bool light = isEnabledFlag(user->value(QString::fromLatin1(kLightThemeKey), false));
    user->endGroup();
    if (!light)
        return;
    m_chart->setTheme(QtCharts::QChart::ChartThemeLight);
    applyFonts();
    applyBadgeColors();
    m_trace->setTracePen(kMeasuredTrace, themeTracePen(m_chart->theme()));
    applyTraceLinePens();
    m_trace->invalidateGrid();
}

bool ZChartView::isLightTheme() const
{
    return m_chart->theme() == QtCharts::QChart::ChartThemeLight;
}

qint32 ZChartView::indexFromFrequency(double frequencyMHz) const
{
    const ZData::DS::RangeSliced &range = scanManager().channelRange(m_state.channel);
    const double start = range.start().MHz();
    const double stop = range.stop().MHz();
    const qint64 points = range.points();
    const double f = qMax(start, qMin(frequencyMHz, stop));
    const double step = points > 1 ? (stop - start) / double(points - 1) : 0.0;
    // A range whose start and stop coincide has all its points at one
    // frequency: the first one is as near as any.
    if (!(step > 0.0))
        return 0;
    const qint64 index = qRound64((f - start) / step);
    return qint32(qBound<qint64>(0, index, points - 1));
}

QPointF ZChartView::seriesPointAt(int index) const
{
    const QVector<QPointF> &points = plottedPoints();
    if (points.isEmpty())
        return QPointF(0, 0);
    for (int i = qBound(0, index, points.size() - 1); i >= 0; --i) {
        if (!std::isnan(points.at(i).y()))
            return points.at(i);
    }
    return QPointF(0, 0);
}

QPointF ZChartView::chartPosition(const QPointF &value) const
{
    return m_trace->mapToPosition(value);
}

const QVector<QPointF> &ZChartView::plottedPoints() const
{
    return m_trace->points(kMeasuredTrace);
}

void ZChartView::redraw(bool restoreMarks)
{
    plotPoints();
    if (restoreMarks && scanManager().channelReceived(m_state.channel))
        applyMarksPreset();
    // New offsets or calibration move the levels the verdict was reached on.
    if (m_limitOverlay->result() != ZData::TR::ELimitResult::NONE)
        judgeLimits();
}

void ZChartView::updateLevels(TLevelCache &cache, bool processed)
{
    const ZData::DataScanManager &scan = scanManager();
    const int channel = m_state.channel;
    if (cache.chartType != m_state.chartType) {
        cache = TLevelCache();
        cache.chartType = m_state.chartType;
    }
    const int count = scan.channelPointCount(channel);
    const QVector<ZData::TScanPoint> &source = processed ? scan.processedPoints(channel) : scan.rawPoints(channel);
    m_scanProcessor->processChangedPoints(source, count, cache.source, cache.levels, m_state.chartType);
    cache.valid.resize(cache.source.size());
    for (int i = 0; i < cache.source.size(); ++i)
        cache.valid[i] = ZData::TR::isMeasured(cache.source.at(i));
}

bool ZChartView::plotPoints()
{
    ZData::DataScanManager &scan = scanManager();
    const int channel = m_state.channel;
    if (!scan.channelReceived(channel))
        return false;

    updateLevels(m_shown, true);
    // Uncalibrated, the chart's source is the raw list the check reads:
    // its levels are already at hand, before the offsets go on.
    if (scan.useCalib()) {
        checkAdcOverflow();
    } else {
        checkAdcOverflow(&m_shown.levels, &m_shown.valid);
    }
    QVector<QPointF> points = ChartPlacement::plotted(m_shown.levels, m_shown.valid,
                                                      ZData::TR::displayOffset(scan.rfParameters(), scan.useCalib(), channel));
    plotTraceLines(points);
    return m_trace->setPoints(kMeasuredTrace, points);
}

void ZChartView::checkAdcOverflow(const QVector<QPointF> *rawLevels, const QVector<bool> *valid)
{
    ZData::DataScanManager &scan = scanManager();
    const int channel = m_state.channel;
    if (!m_rangeReachedEnd || isCalibrating() || !scan.channelReceived(channel))
        return;

    if (!rawLevels) {
        updateLevels(m_raw, false);
        rawLevels = &m_raw.levels;
        valid = &m_raw.valid;
    }
    // Only measured points count: one never measured reads as 100 dB.
    const QPointF *highest = nullptr;
    for (int i = 0; i < rawLevels->size(); ++i) {
        if (valid->at(i) && (!highest || rawLevels->at(i).y() > highest->y()))
            highest = &rawLevels->at(i);
    }
    // Nothing measured, nothing overflowing: a warning left on from the last
    // sweep would be about data no longer shown.
    if (!highest) {
        m_adcOverflowItem->hide();
        return;
    }
    const double threshold = double(float(scan.rfParameters().adcOverflowLevel));
    m_adcOverflowItem->setVisible(highest->y() >= threshold);
}

// A slice moves a mark, or its line in the table, only when it changed the
// point the mark sits on; while the first sweep grows the trace, marks
// beyond its end sit on its last point.
bool ZChartView::marksTouched(int oldCount) const
{
    if (!m_marksTable)
        return false;
    const QVector<QPointF> &points = plottedPoints();
    if (points.size() != oldCount)
        return true;
    const int first = m_trace->changedFirst();
    const int last = m_trace->changedLast();
    for (const TMarkData &mark : m_marksTable->marksData()) {
        const int index = int(qMin<quint32>(mark.index, quint32(points.size() - 1)));
        // Over a gap the mark sits on a point further back.
        if (index >= first && (index <= last || std::isnan(points.at(index).y())))
            return true;
    }
    return false;
}

void ZChartView::applyMarksPreset()
{
    if (!m_marksTable)
        return;
    const QVector<ZData::TMark> *frequencies = presetMarkFrequencies();
    // A preset may set fewer than five marks; the user may place the rest.
    QVector<bool> shown;
    for (int i = 0; frequencies && i < kMarksPerView; ++i)
        shown.append((i < frequencies->size() && frequencies->at(i).has_value()) || m_markTool->isPlaced(i));
    m_marksTable->showMarks(shown);
    m_marksTable->updateMarks();
    if (frequencies)
        emit signalRetrievedMarksData();
}

void ZChartView::slotLangLoaded()
{
    m_axesTransformer->transformTitles();
    showTraceState();
    m_limitOverlay->retranslate();
    m_markTool->retranslate();
    if (m_marksTable)
        m_marksTable->retranslate();
}

void ZChartView::setTraceState(ZCommon::ETraceState state)
{
    m_traceState = state;
    if (state != ZCommon::ETraceState::LIVE) {
        // A warning about the last sweep would read as one about the device
        // now; the next live sweep raises it again if it still holds.
        m_adcOverflowItem->hide();
        m_rfOverloadItem->hide();
    }
    showTraceState();
}

void ZChartView::showTraceState()
{
    const ZCommon::TTraceStateText ids = ZCommon::traceStateText(m_traceState);
    if (!ids.reason) {
        m_traceBadge->setText(QString(), QString());
        return;
    }
    m_traceBadge->setText(qtTrId(ids.reason), qtTrId(ids.note));
}

QString ZChartView::traceStateText() const
{
    if (!m_traceBadge->isVisible())
        return QString();
    return m_traceBadge->reason() + QLatin1Char('\n') + m_traceBadge->note();
}

void ZChartView::placeTraceBadge()
{
    m_traceBadge->setArea(m_chart->mapRectToScene(m_chart->plotArea()));
}

void ZChartView::applyBadgeColors()
{
    m_traceBadge->setColors(baseColor(m_chart->backgroundBrush()), m_chart->titleBrush().color());
}

void ZChartView::slotRangeUpdated()
{
    m_axesTransformer->transformRanges(m_state.chartType);
    m_axesTransformer->transformTitles();
    if (m_marksTable)
        m_marksTable->syncAll();
}

void ZChartView::slotProcessedScanData(ZData::EScanChannel channel)
{
    if (m_state.chartType != EChartType::LOG_MAG) {
        ZCore::Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_chart_type_bad"));
        return;
    }
    if (channel != m_state.channel)
        return;
    // No updates suspension here: the trace hands the scene only the span
    // that changed, while enabling updates again would repaint the whole
    // view, axes and titles included, for every slice.
    const int oldCount = plottedPoints().size();
    if (plotPoints() && marksTouched(oldCount))
        applyMarksPreset();
    if (!m_marksCreated)
        createMarks();
    if (m_sweepEnding) {
        m_sweepEnding = false;
        completeSweep();
    }
}

void ZChartView::createMarks()
{
    if (!m_marksTable) {
        ZCore::Log::warning(tag(), QStringLiteral(">> failed to save marks data"));
        return;
    }
    // Marks sit on points of the curve; with nothing plotted yet they wait
    // for the next slice rather than never being made.
    if (plottedPoints().isEmpty())
        return;
    m_marksCreated = true;
    for (int i = 0; i < kMarksPerView; ++i) {
        if (m_marksTable->createMark(0.0))
            emit signalCreatedMark(m_marksTable->count() - 1);
    }
    slotActiveScanPresetUpdated();
    applyMarksPreset();
}

void ZChartView::slotActiveScanPresetUpdated()
{
    m_rangeReachedEnd = false;
    m_sweepEnding = false;
    applyLimitMask();
    syncTraceIdentity();
    placeMarks();
}

void ZChartView::placeMarks()
{
    if (!m_marksCreated || !m_marksTable)
        return;
    const QVector<ZData::TMark> *frequencies = presetMarkFrequencies();
    if (!frequencies)
        return;
    for (int i = 0; i < frequencies->size(); ++i) {
        if (const ZData::TMark &mark = frequencies->at(i))
            m_marksTable->mark(i)->setFrequencyMHz(mark->MHz());
    }
    m_markTool->applyHandPlaced();
    applyMarksPreset();
}

void ZChartView::slotRFDataUpdated()
{
    // Held levels were measured with the old offsets.
    m_traces->resetHolds();
    redraw(true);
}

void ZChartView::handleUseCalibUpdated()
{
    m_traces->resetHolds();
    syncTraceIdentity();
    m_axesTransformer->transformRanges(m_state.chartType);
    m_axesTransformer->transformTitles();
    redraw(true);
}

void ZChartView::connectCalibrationEnds(const std::function<QVector<QMetaObject::Connection>()> &connectEnds)
{
    for (const QMetaObject::Connection &link : qAsConst(m_calibrationEndLinks))
        disconnect(link);
    m_calibrationEndLinks.clear();
    if (connectEnds && !m_calibrationEndsDetached)
        m_calibrationEndLinks = connectEnds();
}

void ZChartView::handleCalibrationStarted()
{
    setActive(false);
    if (m_marksTable)
        m_marksTable->setMarksVisible(false);
    m_adcOverflowItem->hide();
}

void ZChartView::handleCalibrationEnded()
{
    m_rangeReachedEnd = false;
    if (m_state.channel < ZData::kScanChannelCount)
        setActive(true);
}

void ZChartView::layoutTrace()
{
    fitLevelLabels();
    m_trace->setGeometry(m_chart->plotArea());
    repositionMarks();
    m_limitOverlay->layout();
    m_markTool->relayout();
}

void ZChartView::repositionMarks()
{
    if (m_marksTable)
        m_marksTable->relayout();
}

const QVector<ZData::TMark> *ZChartView::presetMarkFrequencies() const
{
    const ZData::DataScanManager &scan = scanManager();
    if (scan.presetCount() <= 0 || scan.presets().isEmpty())
        return nullptr;
    return &scan.presetAt(scan.activePreset()).channel(m_state.channel).marks;
}

void ZChartView::applyLimitMask()
{
    const ZData::DataScanManager &scan = scanManager();
    if (scan.presetCount() <= 0 || scan.presets().isEmpty()) {
        m_limitOverlay->setMask({});
        return;
    }
    m_limitOverlay->setMask(scan.presetAt(scan.activePreset()).channel(m_state.channel).limits);
}

void ZChartView::completeSweep()
{
    judgeLimits();
    if (m_marksCreated)
        m_markTool->sweepCompleted();
}

void ZChartView::judgeLimits()
{
    if (!m_limitOverlay->hasMask() || !scanManager().channelReceived(m_state.channel))
        return;
    m_limitOverlay->judge(ZData::TR::channelTrace(scanManager(), m_state.channel), plottedPoints(), tag(),
                          ZData::TScanPreset::channelGroup(m_state.channel));
}

bool ZChartView::isCalibrating() const
{
    const ZData::ICalibrationSource *source = scanManager().calibrationSource();
    return source && source->isCalibrating();
}

QString ZChartView::chartTypeText(quint16 chartType) const
{
    if (chartType == EChartType::LOG_MAG)
        return qtTrId("dw_chart_type_log_mag");
    return QString::number(chartType);
}

bool ZChartView::isAdcOverflowShown() const
{
    return m_adcOverflowItem->isVisible();
}

bool ZChartView::isRfOverloadShown() const
{
    return m_rfOverloadItem->isVisible();
}

void ZChartView::placeOverlays()
{
    const qreal viewWidth = width();
    const float halfHeight = float(height()) * float(kOverlayCentre);
    const QRectF adc = m_adcOverflowItem->boundingRect();
    m_adcOverflowItem->setPos((viewWidth - adc.width()) * kOverlayCentre, halfHeight - adc.height() * kAdcOverlayLift);
    const QRectF rf = m_rfOverloadItem->boundingRect();
    m_rfOverloadItem->setPos((viewWidth - rf.width()) * kOverlayCentre, halfHeight);
}

void ZChartView::resizeEvent(QResizeEvent *event)
{
    if (scene()) {
        scene()->setSceneRect(0, 0, event->size().width(), event->size().height());
        m_chart->resize(event->size());
        if (m_marksTable)
            m_marksTable->relayout();
        placeOverlays();
        placeTraceBadge();
    }
    QtCharts::QChartView::resizeEvent(event);
}

void ZChartView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_markTool->release(event))
        QtCharts::QChartView::mouseReleaseEvent(event);
    emit signalWasSelected();
}

void ZChartView::mousePressEvent(QMouseEvent *event)
{
    if (!m_markTool->press(event))
        QtCharts::QChartView::mousePressEvent(event);
}

void ZChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_markTool->move(event))
        QtCharts::QChartView::mouseMoveEvent(event);
}

// Reference, difference and holds.

void ZChartView::addTraceLines()
{
    m_referenceTrace = m_trace->addTrace(QPen());
    m_maxHoldTrace = m_trace->addTrace(QPen());
    m_minHoldTrace = m_trace->addTrace(QPen());
    applyTraceLinePens();
}

void ZChartView::applyTraceLinePens()
{
    const QtCharts::QChart::ChartTheme theme = m_chart->theme();
    QPen reference = themeTracePen(theme);
    QColor dimmed = reference.color();
    dimmed.setAlpha(kReferenceAlpha);
    reference.setColor(dimmed);
    m_trace->setTracePen(m_referenceTrace, reference);
    for (const auto &[line, series] : {std::pair{m_maxHoldTrace, kMaxHoldSeries}, std::pair{m_minHoldTrace, kMinHoldSeries}}) {
        QPen pen = themeTracePen(theme, series);
        pen.setWidthF(kHoldPenWidth);
        m_trace->setTracePen(line, pen);
    }
}

void ZChartView::plotTraceLines(QVector<QPointF> &measured)
{
    if (!m_traces->needsLive())
        return;
    const ZData::TR::TTrace live = ZData::TR::channelTrace(scanManager(), m_state.channel);
    m_traces->update(live);
    drawHolds();
    if (m_traces->isDifference())
        measured = ViewTraces::chartPoints(ZData::TR::TraceReadouts::difference(live, *m_traces->reference()));
}

// The changed span the trace item reports is the live trace's, which the
// marks read: a line that stays empty is not handed over at all.
void ZChartView::setTraceLine(int line, const QVector<QPointF> &points)
{
    if (!points.isEmpty() || !m_trace->points(line).isEmpty())
        m_trace->setPoints(line, points);
}

void ZChartView::drawReference()
{
    // In the difference mode the reference is the zero line.
    const bool shown = m_traces->hasReference() && !m_traces->isDifference();
    setTraceLine(m_referenceTrace, shown ? ViewTraces::chartPoints(*m_traces->reference()) : QVector<QPointF>());
}

void ZChartView::drawHolds()
{
    // Holds are levels; over a difference they would sit off the scale.
    const bool shown = !m_traces->isDifference();
    for (const auto &[line, hold] : {std::pair{m_maxHoldTrace, ViewTraces::EHold::MAX},
                                     std::pair{m_minHoldTrace, ViewTraces::EHold::MIN}}) {
        const bool on = shown && m_traces->isHold(hold);
        setTraceLine(line, on ? ViewTraces::chartPoints(m_traces->holdTrace(hold)) : QVector<QPointF>());
    }
}

void ZChartView::refreshTraceLines()
{
    m_axesTransformer->transformRanges(m_state.chartType);
    m_axesTransformer->transformTitles();
    drawReference();
    drawHolds();
    redraw(true);
    m_markTool->refreshReadouts();
}

void ZChartView::syncTraceIdentity()
{
    if (m_state.channel >= ZData::kScanChannelCount)
        return;
    const ZData::DataScanManager &scan = scanManager();
    const QString preset = scan.presetCount() > 0 && !scan.presets().isEmpty()
                               ? scan.presetAt(scan.activePreset()).name
                               : QString();
    const bool wasDifference = m_traces->isDifference();
    m_traces->setShownLevels(scan.useCalib() ? ZData::TR::ELevelKind::CALIBRATED : ZData::TR::ELevelKind::RAW);
    m_traces->setIdentity(m_traces->deviceId(), preset);
    if (wasDifference != m_traces->isDifference()) {
        m_axesTransformer->transformRanges(m_state.chartType);
        m_axesTransformer->transformTitles();
    }
    drawReference();
    drawHolds();
}

void ZChartView::setDeviceId(const QString &deviceId)
{
    if (deviceId == m_traces->deviceId())
        return;
    m_traces->setIdentity(deviceId, m_traces->presetName());
    syncTraceIdentity();
    refreshTraceLines();
}

bool ZChartView::storeReference()
{
    if (m_state.channel >= ZData::kScanChannelCount)
        return false;
    syncTraceIdentity();
    const ZData::DataScanManager &scan = scanManager();
    const ZData::TR::TTraceInfo info = ZData::TR::TTraceInfo::ofSweep(ZData::DeviceManager::instance().deviceInfo(),
                                                                      scan, QDateTime::currentDateTime());
    if (!m_traces->storeReference(ZData::TR::channelTrace(scan, m_state.channel), info))
        return false;
    refreshTraceLines();
    return true;
}

std::optional<ZData::TR::TTrace> ZChartView::readReference(const QString &path, ZData::TR::ELevelKind *levels,
                                                          QString *error) const
{
    namespace TR = ZData::TR;
    std::optional<TR::TTrace> trace = TR::SweepExport::readTrace(path, m_state.channel, levels, error);
    if (!trace)
        return std::nullopt;
    // dB against dBm would be a difference of nothing; unlike a kept
    // reference, one the user picks now is refused at once and said so.
    const TR::ELevelKind shown = scanManager().useCalib() ? TR::ELevelKind::CALIBRATED : TR::ELevelKind::RAW;
    if (*levels != TR::ELevelKind::UNKNOWN && *levels != shown) {
        TR::FileText::refuse(tag(), path, 0,
                             QStringLiteral("holds %1 levels, the chart shows %2 levels")
                                 .arg(ZCore::enumKey(*levels).toLower(), ZCore::enumKey(shown).toLower()),
                             error);
        return std::nullopt;
    }
    // A trace of another band has nothing to draw or subtract here.
    const ZData::DS::RangeSliced &range = scanManager().channelRange(m_state.channel);
    const auto inRange = [&range](double hz) { return hz >= range.start().hz() && hz <= range.stop().hz(); };
    if (std::none_of(trace->frequencies().cbegin(), trace->frequencies().cend(), inRange)) {
        TR::FileText::refuse(tag(), path, 0,
                             QStringLiteral("holds no point within the chart's %1 to %2 MHz")
                                 .arg(range.start().MHz())
                                 .arg(range.stop().MHz()),
                             error);
        return std::nullopt;
    }
    return trace;
}

bool ZChartView::loadReference(const QString &path)
{
    namespace TR = ZData::TR;
    if (m_state.channel >= ZData::kScanChannelCount)
        return false;
    syncTraceIdentity();
    TR::ELevelKind levels = TR::ELevelKind::UNKNOWN;
    QString error;
    const std::optional<TR::TTrace> trace = readReference(path, &levels, &error);
    TR::TTraceInfo info = TR::TTraceInfo::ofSweep(ZData::DeviceManager::instance().deviceInfo(), scanManager(),
                                                  QDateTime::currentDateTime());
    info.levels = levels;
    if (!trace || !m_traces->storeReference(*trace, info)) {
        ZCore::UserDialogs::warning(window(), qtTrId("dw_view_load_reference_title"),
                                    qtTrId("dw_view_load_reference_refused").arg(error));
        return false;
    }
    refreshTraceLines();
    return true;
}

void ZChartView::askReferenceFile()
{
    ZCore::UserDialogs::TFileQuestion question;
    question.access = ZCore::UserDialogs::EFileAccess::Open;
    question.title = qtTrId("dw_view_load_reference_title");
    question.filters = QStringList{qtTrId("dw_export_filter_traces"), qtTrId("dw_export_filter_csv"),
                                   qtTrId("dw_export_filter_touchstone")};
    // The selected view's red border would spread to a dialog it parents.
    const QString path = ZCore::UserDialogs::askFileName(window(), question);
    if (!path.isEmpty())
        loadReference(path);
}

void ZChartView::clearReference()
{
    m_traces->clearReference();
    refreshTraceLines();
}

void ZChartView::setDifferenceShown(bool on)
{
    const bool was = isDifferenceShown();
    m_traces->setDifference(on);
    // Until the user scales the difference, it opens on a scale around 0 dB
    // that holds it as it is now.
    if (!was && isDifferenceShown() && !m_scale->isLevelScaled(true)) {
        const ZData::TR::TTrace difference = ZData::TR::TraceReadouts::difference(
            ZData::TR::channelTrace(scanManager(), m_state.channel), *m_traces->reference());
        const ZData::TR::TBandReadout band = ZData::TR::TraceReadouts::band(difference);
        if (band.isValid())
            m_scale->setLevelScale(true, ViewScale::centredScale(
                                             qMax(qAbs(band.minimum.levelDb), qAbs(band.maximum.levelDb))));
    }
    refreshTraceLines();
}

bool ZChartView::isDifferenceShown() const
{
    return m_traces->isDifference();
}

void ZChartView::setMaxHold(bool on)
{
    m_traces->setHold(ViewTraces::EHold::MAX, on);
    refreshTraceLines();
}

void ZChartView::setMinHold(bool on)
{
    m_traces->setHold(ViewTraces::EHold::MIN, on);
    refreshTraceLines();
}

void ZChartView::resetHolds()
{
    m_traces->resetHolds();
    refreshTraceLines();
}

// Level scale and frequency zoom.

ZData::TR::TLevelRange ZChartView::designedLevelRange() const
{
    const ZData::DataScanManager &scan = scanManager();
    return Temp::ChartAxesTransformer::designedLevelRange(m_state.channel, scan.useCalib(), scan.rfParameters());
}

void ZChartView::applyScale()
{
    m_axesTransformer->transformRanges(m_state.chartType);
}

void ZChartView::setLevelScale(double referenceDb, double dbPerDivision)
{
    m_scale->setLevelScale(isDifferenceShown(), referenceDb, dbPerDivision);
    applyScale();
}

void ZChartView::shiftLevelScale(int divisions)
{
    m_scale->shiftLevel(isDifferenceShown(), designedLevelRange(), divisions);
    applyScale();
}

void ZChartView::stepLevelScale(int steps)
{
    // As on an instrument, the reference level at the top stays.
    m_scale->zoomLevel(isDifferenceShown(), designedLevelRange(), steps, m_axisY->max());
    applyScale();
}

bool ZChartView::autoscaleLevel()
{
    const bool difference = isDifferenceShown();
    const int divisions = m_scale->levelScale(difference, designedLevelRange()).divisions;
    const std::optional<ZData::TR::TLevelScale> fitted = ZData::TR::TraceScale::autoscale(shownTrace(), divisions);
    if (!fitted)
        return false;
    m_scale->setLevelScale(difference, *fitted);
    applyScale();
    return true;
}

ChartScaleDialog *ZChartView::openScaleDialog()
{
    const ZData::TR::TLevelScale scale = m_scale->levelScale(isDifferenceShown(), designedLevelRange());
    auto *dialog = new ChartScaleDialog({scale.referenceDb, scale.dbPerDivision, m_markTool->dropDb()},
                                        levelUnitsText(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        const ChartScaleDialog::TValues typed = dialog->values();
        setLevelScale(typed.referenceDb, typed.dbPerDivision);
        m_markTool->setDropDb(typed.dropDb);
    });
    dialog->open();
    return dialog;
}

QString ZChartView::levelUnitsText() const
{
    // A difference is a ratio of two levels: dB whatever the units.
    return isDifferenceShown() || scanManager().useCalib() ? qtTrId("dw_units_db") : qtTrId("dw_units_dbm");
}

ZData::TR::TTrace ZChartView::shownTrace() const
{
    ZData::TR::TTrace shown = ZData::TR::channelTrace(scanManager(), m_state.channel);
    if (isDifferenceShown())
        shown = ZData::TR::TraceReadouts::difference(shown, *m_traces->reference());
    return shown;
}

void ZChartView::resetScale()
{
    m_scale->resetLevel(isDifferenceShown());
    m_scale->resetFrequency();
    applyScale();
}

QString ZChartView::settingsGroup() const
{
    return QStringLiteral("ChartView_") + ZCore::enumKey(static_cast<ZCommon::EChartArrangeCorners>(m_state.corner));
}

void ZChartView::saveProfile(QSettings &settings) const
{
    settings.beginGroup(settingsGroup());
    m_scale->save(settings);
    m_markTool->save(settings);
    settings.endGroup();
}

void ZChartView::restoreProfile(QSettings &settings)
{
    settings.beginGroup(settingsGroup());
    m_scale->restore(settings, tag());
    m_markTool->restore(settings);
    settings.endGroup();
    applyScale();
}

std::optional<QPointF> ZChartView::valueAt(const QPointF &viewPos) const
{
    const QRectF plot = m_chart->plotArea();
    const QPointF at = m_chart->mapFromScene(mapToScene(viewPos.toPoint()));
    if (!plot.contains(at) || plot.width() <= 0 || plot.height() <= 0)
        return std::nullopt;
    const double x = m_axisX->min() + (at.x() - plot.left()) / plot.width() * (m_axisX->max() - m_axisX->min());
    const double y = m_axisY->max() - (at.y() - plot.top()) / plot.height() * (m_axisY->max() - m_axisY->min());
    return QPointF(x, y);
}

void ZChartView::wheelEvent(QWheelEvent *event)
{
    const QPoint delta = event->angleDelta();
    // One notch is 120; a touchpad sends less at a time, a notch in all.
    const int notches = (delta.y() != 0 ? delta.y() : delta.x()) / QWheelEvent::DefaultDeltasPerStep;
    const std::optional<QPointF> at = valueAt(event->position());
    if (notches == 0 || !at || m_state.channel >= ZData::kScanChannelCount) {
        event->ignore();
        return;
    }
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) {
        m_scale->zoomLevel(isDifferenceShown(), designedLevelRange(), notches, at->y());
    } else {
        const ZData::DS::RangeSliced &range = scanManager().channelRange(m_state.channel);
        m_scale->zoomFrequency(notches, at->x(), range.start().MHz(),
                               ChartPlacement::axisStopMHz(range.stop().hz(), range.points()));
    }
    applyScale();
    event->accept();
}

void ZChartView::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier || m_state.channel >= ZData::kScanChannelCount) {
        QtCharts::QChartView::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_R: storeReference(); break;
    case Qt::Key_T: setDifferenceShown(!isDifferenceShown()); break;
    case Qt::Key_C: clearReference(); break;
    case Qt::Key_H: setMaxHold(!m_traces->isHold(ViewTraces::EHold::MAX)); break;
    case Qt::Key_L: setMinHold(!m_traces->isHold(ViewTraces::EHold::MIN)); break;
    case Qt::Key_K: resetHolds(); break;
    case Qt::Key_S: autoscaleLevel(); break;
    case Qt::Key_0: resetScale(); break;
    case Qt::Key_E: openScaleDialog(); break;
    case Qt::Key_PageUp: shiftLevelScale(1); break;
    case Qt::Key_PageDown: shiftLevelScale(-1); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: stepLevelScale(1); break;
    case Qt::Key_Minus: stepLevelScale(-1); break;
    default: QtCharts::QChartView::keyPressEvent(event); return;
    }
    event->accept();
}

void ZChartView::fillContextMenu(QMenu *menu)
{
    menu->setToolTipsVisible(true);
    const auto add = [this, menu](const char *text, const char *tip, const QKeySequence &key, auto handler) {
        QAction *action = menu->addAction(qtTrId(text));
        action->setToolTip(qtTrId(tip));
        action->setShortcut(key);
        action->setShortcutVisibleInContextMenu(true);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    const bool reference = m_traces->hasReference();
    add("dw_view_store_reference", "dw_view_store_reference_tip", Qt::Key_R, [this] { storeReference(); });
    QAction *difference = add("dw_view_difference", "dw_view_difference_tip", Qt::Key_T,
                              [this](bool on) { setDifferenceShown(on); });
    difference->setCheckable(true);
    difference->setChecked(isDifferenceShown());
    difference->setEnabled(reference);
    add("dw_view_clear_reference", "dw_view_clear_reference_tip", Qt::Key_C, [this] { clearReference(); })
        ->setEnabled(reference);
    add("dw_view_load_reference", "dw_view_load_reference_tip", QKeySequence(), [this] { askReferenceFile(); });
    menu->addSeparator();
    QAction *maxHold = add("dw_view_max_hold", "dw_view_max_hold_tip", Qt::Key_H, [this](bool on) { setMaxHold(on); });
    maxHold->setCheckable(true);
    maxHold->setChecked(m_traces->isHold(ViewTraces::EHold::MAX));
    QAction *minHold = add("dw_view_min_hold", "dw_view_min_hold_tip", Qt::Key_L, [this](bool on) { setMinHold(on); });
    minHold->setCheckable(true);
    minHold->setChecked(m_traces->isHold(ViewTraces::EHold::MIN));
    add("dw_view_reset_holds", "dw_view_reset_holds_tip", Qt::Key_K, [this] { resetHolds(); });
    menu->addSeparator();
    add("dw_view_autoscale", "dw_view_autoscale_tip", Qt::Key_S, [this] { autoscaleLevel(); });
    add("dw_view_level_up", "dw_view_level_up_tip", Qt::Key_PageUp, [this] { shiftLevelScale(1); });
    add("dw_view_level_down", "dw_view_level_down_tip", Qt::Key_PageDown, [this] { shiftLevelScale(-1); });
    add("dw_view_finer_scale", "dw_view_finer_scale_tip", Qt::Key_Plus, [this] { stepLevelScale(1); });
    add("dw_view_coarser_scale", "dw_view_coarser_scale_tip", Qt::Key_Minus, [this] { stepLevelScale(-1); });
    add("dw_view_reset_scale", "dw_view_reset_scale_tip", Qt::Key_0, [this] { resetScale(); });
    add("dw_view_type_scale", "dw_view_type_scale_tip", Qt::Key_E, [this] { openScaleDialog(); });
    menu->addSeparator();
    add("dw_view_export", "dw_view_export_tip", QKeySequence(), [this] { emit signalExportRequested(); });
    add("dw_view_copy_picture", "dw_view_copy_picture_tip", QKeySequence(),
        [this] { emit signalCopyPictureRequested(); });
}

void ZChartView::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_state.channel >= ZData::kScanChannelCount) {
        event->ignore();
        return;
    }
    // One menu: the marks' entries where the pointer is, then the traces'
    // and the scale's.
    std::unique_ptr<QMenu> menu(m_marksCreated ? m_markTool->menuFor(event) : new QMenu(this));
    menu->addSeparator();
    fillContextMenu(menu.get());
    menu->exec(event->globalPos());
    event->accept();
}

} // namespace ZChart
