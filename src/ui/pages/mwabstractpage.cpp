#include "ui/pages/mwabstractpage.h"

#include "core/log.h"
#include "core/settingsmanager.h"
#include "ui/mainwindowbase.h"

namespace MW_Pages {

using namespace ZCore;

MWAbstractPage::MWAbstractPage()
    : m_tag(QStringLiteral("MWAbstractPage"))
{
}

MWAbstractPage::~MWAbstractPage()
{
    detach();
}

void MWAbstractPage::setupPage(MainWindowBase *mainWindow, const QString &tag)
{
    detach();
    m_mainWindow = mainWindow;
    m_tag = tag;
    if (!mainWindow) {
        Log::warning(m_tag, QStringLiteral(">> failed to get parent"));
        return;
    }
    m_ui = mainWindow->pagesUi();
    if (!m_ui) {
        Log::warning(m_tag, QStringLiteral(">> failed to get UI"));
        return;
    }
    keep(connect(mainWindow, &QObject::destroyed, this, &MWAbstractPage::detach));
    initPage();
    Log::info(m_tag, QStringLiteral(">> initialized"));
}

void MWAbstractPage::initUiActions()
{
    Log::traceDebug(m_tag, QStringLiteral("MW_Pages::MWAbstractPage::initUiActions"));
}

void MWAbstractPage::initPage()
{
    initUiActions();
}

void MWAbstractPage::keep(const QMetaObject::Connection &connection)
{
    m_connections.append(connection);
}

QSettings *MWAbstractPage::settingsToRestore(const QString &function) const
{
    Log::traceInfo(m_tag, function);
    QSettings *settings = SettingsManager::currentSettings();
    if (!settings)
        Log::warning(m_tag, QStringLiteral(">> no settings loaded"));
    return settings;
}

QSettings *MWAbstractPage::settingsToSave(const QString &function) const
{
    Log::traceInfo(m_tag, function);
    QSettings *settings = SettingsManager::currentSettings();
    if (!settings)
        Log::critical(m_tag, QStringLiteral(">> ") + qtTrId("dw_err_cant_write_settings"));
    return settings;
}

void MWAbstractPage::detach()
{
    for (const QMetaObject::Connection &connection : qAsConst(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_ui = nullptr;
    m_mainWindow.clear();
}

} // namespace MW_Pages
