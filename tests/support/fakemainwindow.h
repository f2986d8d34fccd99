#pragma once

#include "ui/mainwindowbase.h"

#include <QList>

namespace MW_Pages {
class NavBarMenu;
}

namespace TestSupport {

// A main window for the menu pages alone: the real page tree, four chart
// corners without charts, and a record of the views the pages selected.
class FakeMainWindow : public MainWindowBase
{
    Q_OBJECT

public:
    static constexpr int kChartViews = 4;

    FakeMainWindow();

    Ui::NavBarMenu *pagesUi() const override;
    int chartViewCount() const override { return kChartViews; }
    void selectChartView(int corner) override;
    int selectedChartViewCorner() const override { return m_selected; }

    void setSelectedCorner(int corner) { m_selected = corner; }
    const QList<int> &selectionRequests() const { return m_requests; }
    void clearSelectionRequests() { m_requests.clear(); }

private:
    MW_Pages::NavBarMenu *m_pages = nullptr;
    int m_selected = kNoChartView;
    QList<int> m_requests;
};

} // namespace TestSupport
