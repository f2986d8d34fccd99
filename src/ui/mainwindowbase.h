#pragma once

#include <QMainWindow>

namespace Ui {
class NavBarMenu;
}

// What the menu pages see of the main window: the page widgets, the chart
// views by corner, and the signals that tell them to save or restore. The
// main window derives from this; tests give the pages a window of their own.
class MainWindowBase : public QMainWindow
{
    Q_OBJECT

public:
    using QMainWindow::QMainWindow;

    // The generated tree of the menu pages; null before it is built.
    virtual Ui::NavBarMenu *pagesUi() const = 0;
    virtual int chartViewCount() const = 0;
    // Has the view at this corner announce itself as selected (its
    // signalWasSelected), exactly as a click on it would.
    virtual void selectChartView(int corner) = 0;
    // Corner of the selected view; kNoChartView when none is selected.
    virtual int selectedChartViewCorner() const = 0;

    static constexpr int kNoChartView = -1;

signals:
    void signalUpdateIsRequired();
    void signalSelectedNewChartView();
    void signalSettingsSaved();
    void signalSettingsRestored();
};
