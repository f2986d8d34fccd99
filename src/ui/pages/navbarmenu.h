#pragma once

#include <QStackedWidget>

#include <memory>

namespace Ui {
class NavBarMenu;
}

namespace MW_Pages {

// The stack of menu pages beside the charts, built from its form. The page
// controllers reach the widgets through ui(); the texts follow the loaded
// language by themselves.
class NavBarMenu : public QStackedWidget
{
    Q_OBJECT

public:
    enum EPage : int { PAGE_MAIN = 0, PAGE_UPDATE = 1, PAGE_SETTINGS = 2, PAGE_ABOUT = 3 };

    explicit NavBarMenu(QWidget *parent = nullptr);
    ~NavBarMenu() override;

    Ui::NavBarMenu *ui() const { return m_ui.get(); }

protected:
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<Ui::NavBarMenu> m_ui;
};

} // namespace MW_Pages
