#include "fakemainwindow.h"

#include "ui/pages/navbarmenu.h"

namespace TestSupport {

FakeMainWindow::FakeMainWindow() : m_pages(new MW_Pages::NavBarMenu(this))
{
    setCentralWidget(m_pages);
}

Ui::NavBarMenu *FakeMainWindow::pagesUi() const
{
    return m_pages->ui();
}

void FakeMainWindow::selectChartView(int corner)
{
    m_requests.append(corner);
    m_selected = corner;
}

} // namespace TestSupport
