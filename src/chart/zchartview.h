#pragma once

#include "chart/chartenums.h"
#include "common/echartarrangecorners.h"
#include "common/etracestate.h"
#include "core/itaggable.h"
#include "core/tfrequency.h"
#include "data/scan/tscanpoint.h"
#include "data/scan/tscanpreset.h"
#include "data/traces/tracefile.h"
#include "data/traces/tracescale.h"
#include "data/traces/ttrace.h"

#include <QChartView>
#include <QMetaObject>
#include <QPointF>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

class ChartScaleDialog;
class QGraphicsSimpleTextItem;
class QMenu;
class QSettings;

namespace QtCharts {
class QChart;
class QValueAxis;
} // namespace QtCharts

namespace ZChart {

class DataMarkProcessor;
class DataScanProcessor;
class LimitMaskOverlay;
class MarkInteraction;
class TraceStateBadge;
class ViewScale;
class ViewTraces;
class ZMarksTable;
class ZTraceItem;
namespace Temp {
class ChartAxesTransformer;
}

// One live chart of the main window: the log magnitude of the channel its
// corner stands for, with axes, title, marks and the two warning overlays.
// An active view follows the sweep and redraws on every slice of its
// channel; an inactive one is detached from all data signals.
class ZChartView : public QtCharts::QChartView, public ZCore::ITaggable
{
    Q_OBJECT

public:
    struct TViewState
    {
        bool active = false;
        quint16 chartType = kChartTypeNone;
        quint32 corner = ZCommon::kCornerNone;
        quint8 channel = kNoChannel;
    };

    static constexpr quint8 kNoChannel = 0xFF;
    // Polyline of the trace item that shows the measured channel.
    static constexpr int kMeasuredTrace = 0;
    static constexpr int kMarksPerView = 5;
    static constexpr int kTitlePixelSize = 18;
    static constexpr int kAxisTitlePointSize = 11;
    static constexpr int kAxisLabelsPointSize = 9;
    static constexpr int kFrequencyTickCount = 5;
    // Room a level label needs beyond its font's height before the axis
    // elides it.
    static constexpr qreal kLevelLabelPadding = 6;
    // Room below the plot for the frequency labels and title.
    static constexpr qreal kChartBottomMargin = 35;
    static constexpr qreal kOverlayZValue = 100;
    static constexpr int kOverlayPointSize = 28;

    explicit ZChartView(QWidget *parent = nullptr);
    ~ZChartView() override;

    QString tag() const override;

    void setCorner(quint32 corner);
    void setActive(bool active);
    void setChartType(quint16 chartType);
    void restoreSettings();
    // Anything but LIVE veils the plot and says why the traces are old.
    void setTraceState(ZCommon::ETraceState state);

    // The calibration manager lives outside the chart layer; whoever owns
    // both hands it over once. Its start detaches every active view and hides
    // the marks and the ADC overflow warning; its end (finished, or the last
    // calibration failed to read) brings the views of S21 and S12 back.
    template <typename Calibrator>
    void setCalibrationNotifier(Calibrator *calibrator);

    // Nearest point index of the channel's range for f (MHz), inside the range.
    qint32 indexFromFrequency(double frequencyMHz) const;
    // The plotted point at index (clamped); over a gap, the last one drawn
    // before it, so that a mark stays on the trace.
    QPointF seriesPointAt(int index) const;
    // Where a chart value lies in the chart's coordinates.
    QPointF chartPosition(const QPointF &value) const;
    // Shows the marks the active preset has frequencies for and brings their
    // frequencies and the table up to date.
    void applyMarksPreset();
    // Marks to the preset's frequencies, then those put by hand where they
    // were put.
    void placeMarks();
    void redraw(bool restoreMarks);

    QtCharts::QChart *chart() const { return m_chart; }
    ZTraceItem *trace() const { return m_trace; }
    // The measured channel as plotted; a gap has a y that is not a number.
    const QVector<QPointF> &plottedPoints() const;
    QtCharts::QValueAxis *axisX() const { return m_axisX; }
    QtCharts::QValueAxis *axisY() const { return m_axisY; }
    quint8 channel() const { return m_state.channel; }
    quint16 chartType() const { return m_state.chartType; }
    quint32 corner() const { return m_state.corner; }
    bool isActive() const { return m_state.active; }
    ZMarksTable *marksTable() const { return m_marksTable.get(); }
    DataMarkProcessor *markProcessor() const { return m_markProcessor.get(); }
    LimitMaskOverlay *limitOverlay() const { return m_limitOverlay.get(); }
    MarkInteraction *markInteraction() const { return m_markTool.get(); }
    bool isAdcOverflowShown() const;
    bool isRfOverloadShown() const;
    bool isLightTheme() const;
    // What the view tells about its traces, the reason and its note on two
    // lines; empty while they are live.
    QString traceStateText() const;

    // Reference, difference and holds; see ViewTraces. Each acts at once and
    // redraws.
    ViewTraces *traces() const { return m_traces.get(); }
    bool storeReference();
    // A trace exported earlier (trace or Touchstone file) becomes the
    // reference. A file that cannot be read, holds nothing of the channel
    // or holds levels in other units than the chart shows is refused with
    // a box, and the view keeps what it had.
    bool loadReference(const QString &path);
    void clearReference();
    void setDifferenceShown(bool on);
    bool isDifferenceShown() const;
    void setMaxHold(bool on);
    void setMinHold(bool on);
    void resetHolds();
    // The device the stored references belong to.
    void setDeviceId(const QString &deviceId);
    int referenceTrace() const { return m_referenceTrace; }
    int maxHoldTrace() const { return m_maxHoldTrace; }
    int minHoldTrace() const { return m_minHoldTrace; }

    // Level scale and frequency zoom; see ViewScale.
    ViewScale *scale() const { return m_scale.get(); }
    // The designed level range of the channel and units shown now.
    ZData::TR::TLevelRange designedLevelRange() const;
    void setLevelScale(double referenceDb, double dbPerDivision);
    void shiftLevelScale(int divisions);
    void stepLevelScale(int steps);
    // Fits the level axis to what is drawn now (the difference in that mode).
    bool autoscaleLevel();
    // The channel's last sweep as drawn: the difference in that mode.
    ZData::TR::TTrace shownTrace() const;
    // "dBm" for raw levels, "dB" for calibrated ones and for a difference.
    QString levelUnitsText() const;
    void resetScale();
    void applyScale();
    // The dialog to type the scale and the bandwidth drop, open without
    // waiting; accepting it applies them. It deletes itself when closed.
    ChartScaleDialog *openScaleDialog();
    // The group in the current profile, one per corner.
    QString settingsGroup() const;
    // Scale, zoom and marks, in settingsGroup().
    void saveProfile(QSettings &settings) const;
    void restoreProfile(QSettings &settings);
    // The menu the right button opens, filled with the view's actions.
    void fillContextMenu(QMenu *menu);

signals:
    void signalWasSelected();
    void signalCreatedMark(int index);
    void signalRetrievedMarksData();
    void signalChangedChartType();
    // The sweep to a file, with this view as the picture; and this view's
    // picture to the clipboard. The window does both.
    void signalExportRequested();
    void signalCopyPictureRequested();

public slots:
    void slotLangLoaded();
    void slotRangeUpdated();
    void slotProcessedScanData(ZData::EScanChannel channel);
    void slotActiveScanPresetUpdated();
    void slotRFDataUpdated();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void buildChart();
    void applyFonts();
    void fitLevelLabels();
    QGraphicsSimpleTextItem *createOverlay(const QString &text, const QFont &font);
    void placeOverlays();
    void placeTraceBadge();
    void applyBadgeColors();
    void showTraceState();
    void layoutTrace();
    // Brings the plotted points up to date; returns whether any changed.
    bool plotPoints();
    bool marksTouched(int oldCount) const;
    void connectCalibrationEnds(const std::function<QVector<QMetaObject::Connection>()> &connectEnds);
    void handleCalibrationStarted();
    void handleCalibrationEnded();
    void handleUseCalibUpdated();
    // rawLevels: the raw points already converted, when the caller has them.
    void checkAdcOverflow(const QVector<QPointF> *rawLevels = nullptr, const QVector<bool> *valid = nullptr);
    void createMarks();
    void repositionMarks();
    // Null while no scan preset is loaded.
    const QVector<ZData::TMark> *presetMarkFrequencies() const;
    bool isCalibrating() const;
    QString chartTypeText(quint16 chartType) const;
    // Limit mask: taken from the active preset, judged once per sweep.
    void applyLimitMask();
    void judgeLimits();
    void completeSweep();
    // Reference, difference and holds: the measured points as shown (the
    // difference in that mode), the holds fed, their lines redrawn.
    void addTraceLines();
    void applyTraceLinePens();
    void plotTraceLines(QVector<QPointF> &measured);
    void setTraceLine(int line, const QVector<QPointF> &points);
    void drawReference();
    void drawHolds();
    void refreshTraceLines();
    void syncTraceIdentity();
    void askReferenceFile();
    // The channel's trace of a file, if it fits the chart; else the reason.
    std::optional<ZData::TR::TTrace> readReference(const QString &path, ZData::TR::ELevelKind *levels,
                                                   QString *error) const;
    // A chart value under a point of the view; nothing outside the plot.
    std::optional<QPointF> valueAt(const QPointF &viewPos) const;

    std::unique_ptr<DataScanProcessor> m_scanProcessor;
    std::unique_ptr<DataMarkProcessor> m_markProcessor;
    std::unique_ptr<Temp::ChartAxesTransformer> m_axesTransformer;
    QtCharts::QChart *m_chart = nullptr;
    // Owned by the chart.
    ZTraceItem *m_trace = nullptr;
    QtCharts::QValueAxis *m_axisX = nullptr;
    QtCharts::QValueAxis *m_axisY = nullptr;
    TViewState m_state;
    std::unique_ptr<ZMarksTable> m_marksTable;
    bool m_marksCreated = false;
    bool m_rangeReachedEnd = false;
    // Owned by the scene.
    QGraphicsSimpleTextItem *m_adcOverflowItem = nullptr;
    QGraphicsSimpleTextItem *m_rfOverloadItem = nullptr;
    TraceStateBadge *m_traceBadge = nullptr;
    ZCommon::ETraceState m_traceState = ZCommon::ETraceState::LIVE;

    // Stored points last converted and their levels, for the channel as shown
    // and for the raw list the ADC check reads: a slice converts only the
    // points that changed.
    struct TLevelCache
    {
        QVector<ZData::TScanPoint> source;
        QVector<QPointF> levels;
        QVector<bool> valid;
        quint16 chartType = kChartTypeNone;
    };
    void updateLevels(TLevelCache &cache, bool processed);
    TLevelCache m_shown;
    TLevelCache m_raw;

    QVector<QMetaObject::Connection> m_dataLinks;
    QVector<QMetaObject::Connection> m_calibrationEndLinks;
    QMetaObject::Connection m_langLink;
    std::function<QMetaObject::Connection()> m_connectCalibrationStart;
    // Views of the lower corners never take data; they ignore calibration ends.
    bool m_calibrationEndsDetached = false;

    std::unique_ptr<LimitMaskOverlay> m_limitOverlay;
    std::unique_ptr<MarkInteraction> m_markTool;
    // The range asked for its last slice: the next slice of the channel
    // completes a sweep to judge and to search.
    bool m_sweepEnding = false;
    std::unique_ptr<ViewTraces> m_traces;
    std::unique_ptr<ViewScale> m_scale;
    int m_referenceTrace = -1;
    int m_maxHoldTrace = -1;
    int m_minHoldTrace = -1;
};

template <typename Calibrator>
void ZChartView::setCalibrationNotifier(Calibrator *calibrator)
{
    if (!calibrator) {
        m_connectCalibrationStart = nullptr;
        connectCalibrationEnds(nullptr);
        return;
    }
    m_connectCalibrationStart = [this, calibrator] {
        return connect(calibrator, &Calibrator::signalStartedCalibration, this, &ZChartView::handleCalibrationStarted);
    };
    connectCalibrationEnds([this, calibrator] {
        return QVector<QMetaObject::Connection>{
            connect(calibrator, &Calibrator::signalFinishedCalibration, this, &ZChartView::handleCalibrationEnded),
            connect(calibrator, &Calibrator::signalFailedReadCalibration, this, &ZChartView::handleCalibrationEnded)
        };
    });
    // An active view listens to the start from now on.
    if (m_state.active)
        setActive(true);
}

} // namespace ZChart
