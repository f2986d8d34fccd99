#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

class MainWindowBase;
class QSettings;

namespace Ui {
class NavBarMenu;
}

namespace MW_Pages {

// Controller of one menu page: attached to the main window once, it finds
// its widgets in the window's page tree and wires them to the managers.
class MWAbstractPage : public QObject
{
    Q_OBJECT

public:
    ~MWAbstractPage() override;

    // Attaching again (tests) first drops everything the previous
    // attachment connected, so no reaction ever runs twice.
    void setupPage(MainWindowBase *mainWindow, const QString &tag);

    const QString &tag() const { return m_tag; }
    Ui::NavBarMenu *ui() const { return m_ui; }
    MainWindowBase *mainWindow() const { return m_mainWindow.data(); }

protected:
    MWAbstractPage();

    virtual void initUiActions();
    virtual void initPage();

    // Every connection of initUiActions goes through here.
    void keep(const QMetaObject::Connection &connection);

    // The current profile for a page's restore or save, after the trace
    // line of that function; null (and the reason logged) when there is none.
    QSettings *settingsToRestore(const QString &function) const;
    QSettings *settingsToSave(const QString &function) const;

private:
    // The page widgets die with the window; the page, a process-wide
    // singleton, must then stop reacting instead of touching them.
    void detach();

    QString m_tag;
    Ui::NavBarMenu *m_ui = nullptr;
    QPointer<MainWindowBase> m_mainWindow;
    QVector<QMetaObject::Connection> m_connections;
};

} // namespace MW_Pages
