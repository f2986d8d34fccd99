#pragma once

#include "core/istaggable.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <array>
#include <memory>

namespace ZChart {
class ZChartView;
}

namespace ZMeasure {

// Both channels' charts as the window draws them, S21 above S12, kept off
// any screen: the picture a measurement writes without a window. The views
// follow the sweep from construction on, so they must exist before it
// starts; a GUI application object (the offscreen platform will do) must
// exist before them.
class ChartsPicture : public ZCore::ISTaggable
{
public:
    static constexpr QSize kViewSize{1200, 450};

    ChartsPicture();
    ~ChartsPicture();
    ChartsPicture(const ChartsPicture &) = delete;
    ChartsPicture &operator=(const ChartsPicture &) = delete;

    static QString tag();

    QImage render() const;
    // Atomic; on failure error (when given) says why, and the log too.
    bool save(const QString &path, QString *error) const;

private:
    std::array<std::unique_ptr<ZChart::ZChartView>, 2> m_views;
};

} // namespace ZMeasure
