#pragma once

#include "chart/tmarkstate.h"
#include "data/traces/tracereadouts.h"

#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <QVector>

class QContextMenuEvent;
class QGraphicsItem;
class QGraphicsSimpleTextItem;
class QMenu;
class QMouseEvent;
class QSettings;

namespace ZChart {

class ZChartView;

// What the mouse does to a view's marks, and the readouts the marks give:
// a press near a mark drags it, a Ctrl+click or the context menu places
// the next unset mark, and the context menu sets a mark's mode, the band
// and the bandwidth readouts. The arithmetic is the measurement layer's;
// it runs once per complete sweep or when a mark moved, never per paint.
class MarkInteraction : public QObject
{
    Q_OBJECT

public:
    static constexpr int kNoMark = TMarkState::kNoMark;
    // How far from a mark's tip (pixels) a press still takes it: the
    // triangle and its number stand above the tip.
    static constexpr int kGrabHalfWidth = 9;
    static constexpr int kGrabAbove = 34;
    static constexpr int kGrabBelow = 6;
    static constexpr qreal kPanelZValue = 41;
    static constexpr qreal kPanelPadding = 4;
    static constexpr int kPanelPointSize = 8;
    static constexpr int kFrequencyPrecision = 3;
    static constexpr int kLevelPrecision = 2;
    static constexpr double kHzPerMHz = 1e6;

    explicit MarkInteraction(ZChartView *view);
    ~MarkInteraction() override;

    // Each returns whether it took the event.
    bool press(QMouseEvent *event);
    bool move(QMouseEvent *event);
    bool release(QMouseEvent *event);
    // The marks' menu for where the event points; the caller owns it.
    QMenu *menuFor(const QContextMenuEvent *event);

    // Marks the user placed or moved show where they were put, whether or
    // not the preset sets them.
    bool isPlaced(int mark) const;
    EMarkMode mode(int mark) const;
    void setMode(int mark, EMarkMode mode);
    // Places the next mark not shown at the frequency; returns its index or
    // kNoMark when all five show.
    int placeNext(double frequencyMHz);
    void remove(int mark);
    // Band readout between two marks (0-based), or none with kNoMark.
    void setBand(int first, int second);
    void setBandwidthShown(bool shown);
    // Refused (false) outside TMarkState's range.
    bool setDropDb(double dropDb);
    double dropDb() const { return m_state.dropDb; }
    void setDeltaShown(bool shown);

    // The preset's marks rule again, at fixed frequencies, and the
    // readouts are off.
    void reset();
    // After the preset's marks were moved: marks put by hand go back where
    // they were put, unless that lies outside the channel's range now.
    void applyHandPlaced();
    // What the user changed, kept with the profile; see TMarkState.
    TMarkState state() const;
    void save(QSettings &settings) const;
    void restore(const QSettings &settings);
    // A complete sweep: searching marks move, readouts are computed anew.
    void sweepCompleted();
    void refreshReadouts();
    void relayout();
    void retranslate();
    QString readoutText() const { return m_text; }
    bool isPanelShown() const;
    // The chart value (MHz) under a viewport position.
    double frequencyAt(const QPoint &viewPos) const;

private:
    class ReadoutPanel;

    int markAt(const QPoint &viewPos) const;
    void moveMarkTo(int mark, double frequencyMHz);
    QMenu *buildMenu(int mark, double frequencyMHz);
    QString deltaLines(const ZData::TR::TTrace &trace) const;
    QString bandLines(const ZData::TR::TTrace &trace) const;
    QString bandwidthLines(const ZData::TR::TTrace &trace) const;
    ZData::TR::TPointReading reading(const ZData::TR::TTrace &trace, int mark) const;
    bool isShown(int mark) const;
    void showText(const QString &text);
    void panelDragged();
    QRectF panelRoom() const;

    ZChartView *m_view = nullptr;
    TMarkState m_state;
    int m_dragged = kNoMark;
    QString m_text;
    ReadoutPanel *m_panel = nullptr;
    QGraphicsSimpleTextItem *m_panelText = nullptr;
};

} // namespace ZChart
