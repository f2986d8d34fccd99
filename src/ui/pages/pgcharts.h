#pragma once

#include "common/echartarrangecorners.h"
#include "core/isconfigurable.h"
#include "core/isettingsrestorable.h"
#include "core/tsingleton.h"
#include "ui/pages/mwabstractpage.h"

#include <QPixmap>
#include <QVector>

#include <array>

namespace MW_Pages {

// Where one chart view goes in the chart grid.
struct TViewPlacement
{
    static constexpr quint8 kNotPlaced = 255;

    quint8 row = kNotPlaced;
    quint8 column = 0;
    quint8 rowSpan = 0;
    quint8 columnSpan = 0;

    bool isPlaced() const { return row != kNotPlaced; }
};

// One layout of the four chart views, with the picture that shows it.
struct TChartArrangement
{
    static constexpr int kViewCount = int(ZCommon::BR) + 1;

    QPixmap image;
    // Views in corner order: UL, UR, BL, BR.
    std::array<TViewPlacement, kViewCount> placement;
};

// The chart page: the chart arrangements the main window lays its views out
// by, and the selected view, kept across runs.
class PgCharts : public MWAbstractPage,
                 public ZCore::TSingleton<PgCharts>,
                 public ZCore::ISConfigurable,
                 private ZCore::ISettingsRestorable
{
    Q_OBJECT
    friend class ZCore::TSingleton<PgCharts>;

public:
    static constexpr int kArrangementCapacity = 12;

    const QVector<TChartArrangement> &arrangements() const { return m_arrangements; }

protected:
    void initPage() override;
    void initUiActions() override;

private:
    PgCharts() = default;

    void restoreSettings() override;
    void saveSettings() override;

    QVector<TChartArrangement> m_arrangements;
};

} // namespace MW_Pages
