#pragma once

#include "data/traces/tracereadouts.h"

#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <array>
#include <optional>

class QSettings;

namespace ZChart {

namespace MarkEnums {
Q_NAMESPACE

// FIXED stays on its frequency; PEAK and MINIMUM move to the highest or
// lowest measured point after every complete sweep.
enum EMarkMode : quint8 { FIXED = 0, PEAK = 1, MINIMUM = 2 };
Q_ENUM_NS(EMarkMode)

} // namespace MarkEnums

using MarkEnums::EMarkMode;

// What a user changed about one view's marks and readouts: kept with the
// profile beside the scale. Only what differs from the untouched view is
// written, so a view nobody changed keeps the preset's marks and the
// designed layout.
struct TMarkState
{
    static constexpr int kMarks = 5;
    static constexpr int kNoMark = -1;
    // The drop a user may type; below a tenth it is the sweep's noise,
    // beyond 60 dB no filter skirt on the device's range goes.
    static constexpr double kMinDropDb = 0.1;
    static constexpr double kMaxDropDb = 60.0;

    std::array<EMarkMode, kMarks> modes{};
    // Marks placed or moved by hand, at the frequency they were put.
    std::array<std::optional<double>, kMarks> handMHz;
    int bandFirst = kNoMark;
    int bandSecond = kNoMark;
    bool deltaShown = false;
    bool bandwidthShown = false;
    double dropDb = ZData::TR::TraceReadouts::kDefaultDropDb;
    // Where the readout panel and the marks table were dragged, as a share
    // (0..1 on each axis) of the room the view leaves them.
    std::optional<QPointF> panelShare;
    std::optional<QPointF> tableShare;

    bool hasBand() const { return bandFirst != kNoMark; }

    void save(QSettings &settings) const;
    // A hand-edited value that does not fit is left at its default with a
    // log line under tag; the rest still loads.
    void restore(const QSettings &settings, const QString &tag);

    static bool isDropValid(double dropDb) { return dropDb >= kMinDropDb && dropDb <= kMaxDropDb; }
    // A dragged item's place as a share of the room it may take, and back;
    // a share keeps it in sight however the view is resized.
    static QPointF shareIn(const QRectF &room, const QPointF &at);
    static QPointF pointIn(const QRectF &room, const QPointF &share);
};

} // namespace ZChart
