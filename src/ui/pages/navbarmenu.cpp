#include "ui/pages/navbarmenu.h"

#include "core/utilitymodules/ui.h"
#include "ui_navbarmenu.h"

#include <QEvent>

namespace MW_Pages {

namespace {

const QColor kButtonColor(235, 235, 235);
const QColor kBackgroundColor(Qt::white);

} // namespace

NavBarMenu::NavBarMenu(QWidget *parent)
    : QStackedWidget(parent)
    , m_ui(std::make_unique<Ui::NavBarMenu>())
{
    m_ui->setupUi(this);
    using ZCore::UtilityModules::UI::setWidgetPaletteColor;
    setWidgetPaletteColor(this, QPalette::Button, kButtonColor);
    setWidgetPaletteColor(this, QPalette::Base, kBackgroundColor);
    setWidgetPaletteColor(this, QPalette::Window, kBackgroundColor);
}

NavBarMenu::~NavBarMenu() = default;

void NavBarMenu::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        m_ui->retranslateUi(this);
    QStackedWidget::changeEvent(event);
}

} // namespace MW_Pages
