#pragma once

#include "common/etracestate.h"
#include "core/isconfigurable.h"
#include "core/isettingsrestorable.h"
#include "core/istaggable.h"
#include "ui/mainwindowbase.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <memory>

class DeviceConnector;
class QButtonGroup;
class QHBoxLayout;
class QWidget;
class TraceStateTracker;
class WindowExport;

namespace Ui {
class MainWindow;
}

namespace ZChart {
class ZChartView;
class ZMarksTable;
} // namespace ZChart

// The application's only main window: the title bar with the pause,
// connection and menu buttons, the four chart views and the menu pages
// beside them. It shows the link and job state, keeps track of the selected
// chart view and switches presets from the keyboard.
class MainWindow : public MainWindowBase,
                   public ZCore::ISTaggable,
                   public ZCore::ISConfigurable,
                   private ZCore::ISettingsRestorable
{
    Q_OBJECT

public:
    static constexpr int kPageHeadersCapacity = 4;
    static constexpr int kPageHeaderIconSize = 32;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    static QString tag();

    Ui::MainWindow *ui() const { return m_ui.get(); }
    Ui::NavBarMenu *pagesUi() const override;
    const QList<ZChart::ZChartView *> &chartViews() const { return m_chartViews; }
    ZChart::ZChartView *selectedChartView() const { return m_selectedView; }
    ZChart::ZMarksTable *selectedMarksTable() const { return m_selectedMarksTable; }
    DeviceConnector *deviceConnector() const;
    bool isNavBarVisible() const { return m_navBarVisible; }
    const QList<QHBoxLayout *> &pageHeaders() const { return m_pageHeaders; }
    WindowExport *windowExport() const { return m_export; }

    int chartViewCount() const override { return m_chartViews.size(); }
    void selectChartView(int corner) override;
    int selectedChartViewCorner() const override;

public slots:
    void slotGotOldDevice();
    void slotChartArrangementChanged(int config_index);
    void slotGotSettings();
    void handleSelectedChartView();
    void handlePageBack();
    void handleMenuButton(int index);
    void toggleNavBar();
    void handleUserPauseScanToggle();
    void slotScanPause(bool is_paused);
    void slotUserScanPause(bool is_user_paused);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void saveSettings() override;
    void restoreSettings() override;
    void registerRestorable() override;

    void addPageHeader(QWidget *page, const QString &title);
    void initPages();
    void initChartViews();
    void initExport();
    void connectDeviceLink();
    void connectJobDisplays();
    void connectScan();
    // Places and activates the views of an arrangement; false when the
    // chart page has no such arrangement.
    bool arrangeChartViews(int configIndex);
    void selectFirstViewIfSelectedInactive();
    void setNavBarVisible(bool visible);
    void setConnectionState(const QString &icon, const QColor &color);
    void setConnectionIcon(const QString &icon);
    void disablePauseButton();
    void resetJobProgress();
    void setJobProgress(int value);
    void showJobText(const char *id);
    void showTraceState(ZCommon::ETraceState state);
    void retranslate();
    // +1 or -1 for the keys that switch the scan preset, 0 for any other.
    static qint32 presetStep(int key);
    bool isTyping() const;

    std::unique_ptr<Ui::MainWindow> m_ui;
    QPointer<DeviceConnector> m_deviceConnector;
    QList<QHBoxLayout *> m_pageHeaders;
    QButtonGroup *m_menuButtons = nullptr;
    TraceStateTracker *m_traceState = nullptr;
    WindowExport *m_export = nullptr;
    QList<ZChart::ZChartView *> m_chartViews;
    ZChart::ZChartView *m_selectedView = nullptr;
    ZChart::ZMarksTable *m_selectedMarksTable = nullptr;
    bool m_navBarVisible = true;
    int m_armedPresetKey = 0;
    // Kept so a language switch shows the job in the new language too.
    const char *m_jobTextId = "dw_menu_job_idle";
};
