#include "ui/pages/pgabout.h"

#include "core/settingsmanager.h"
#include "core/userdialogs.h"
#include "ui/mainwindowbase.h"
#include "ui_navbarmenu.h"

namespace MW_Pages {

using namespace ZCore;

void PgAbout::initPage()
{
    ui()->l_about_appversion_value->setText(SettingsManager::appVersion().toString());
    MWAbstractPage::initPage();
}

void PgAbout::initUiActions()
{
    keep(connect(ui()->b_about_qt, &QPushButton::released, this,
                 [this] { UserDialogs::aboutQt(mainWindow(), qtTrId("dw_pmain_about")); }));
}

} // namespace MW_Pages
