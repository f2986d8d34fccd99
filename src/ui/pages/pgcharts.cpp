#include "ui/pages/pgcharts.h"

#include "core/esettingsgroups.h"
#include "core/log.h"
#include "core/settingsmanager.h"
#include "core/utilitymodules/image.h"
#include "ui/mainwindowbase.h"

#include <QSettings>

namespace MW_Pages {

using namespace ZCore;

namespace {

const char *const kKeySelectedView = "selected_chartview";
const char *const kTwoRowsImage = ":/arrange/images/arrangement/charts_2.png";
constexpr qreal kImageRotation = 0.0;
constexpr quint32 kFirstView = ZCommon::UL;

// S21 across the whole upper row, S12 across the whole lower row; the lower
// corners are not shown.
TChartArrangement twoRowsArrangement()
{
    TChartArrangement arrangement;
    arrangement.image = UtilityModules::Image::rotatedPixmap(
        UtilityModules::Image::loadPixmap(QLatin1String(kTwoRowsImage)), kImageRotation);
    arrangement.placement = {{{0, 0, 1, 2}, {1, 0, 1, 2}, {}, {}}};
    return arrangement;
}

} // namespace

void PgCharts::initPage()
{
    m_arrangements.clear();
    m_arrangements.reserve(kArrangementCapacity);
    m_arrangements.append(twoRowsArrangement());
    MWAbstractPage::initPage();
}

void PgCharts::initUiActions()
{
    keep(connect(mainWindow(), &MainWindowBase::signalSettingsRestored, this, &PgCharts::restoreSettings));
    keep(connect(mainWindow(), &MainWindowBase::signalSettingsSaved, this, &PgCharts::saveSettings));
}

void PgCharts::restoreSettings()
{
    QSettings *settings = settingsToRestore(QStringLiteral("MW_Pages::PgCharts::restoreSettings"));
    if (!settings)
        return;
    settings->beginGroup(settingsGroupText(ESettingsGroups::CHARTS));
    const QVariant stored = settings->value(QLatin1String(kKeySelectedView), kFirstView);
    settings->endGroup();

    // A hand-edited profile may name a view that does not exist; the user
    // still gets a selected view, the first one.
    bool ok = false;
    quint32 corner = stored.toUInt(&ok);
    if (!ok || corner >= quint32(TChartArrangement::kViewCount)) {
        Log::warning(tag(), QStringLiteral(">> stored chart view is out of range: %1 => the first view is selected")
                                .arg(stored.toString()));
        corner = kFirstView;
    }
    if (int(corner) < mainWindow()->chartViewCount())
        mainWindow()->selectChartView(int(corner));
}

void PgCharts::saveSettings()
{
    QSettings *settings = settingsToSave(QStringLiteral("MW_Pages::PgCharts::saveSettings"));
    if (!settings)
        return;
    const int selected = mainWindow()->selectedChartViewCorner();
    const quint32 corner = selected < 0 ? kFirstView : quint32(selected);
    settings->beginGroup(settingsGroupText(ESettingsGroups::CHARTS));
    settings->setValue(QLatin1String(kKeySelectedView), corner);
    settings->endGroup();
}

} // namespace MW_Pages
