#include "core/utilitymodules/ui.h"

#include "core/log.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDesktopWidget>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace ZCore::UtilityModules::UI {

namespace {
constexpr double kHalf = 0.5;

int roundHalfUp(double value)
{
    return int(std::floor(value + kHalf));
}
} // namespace

QString tag()
{
    static const QString tagText = QStringLiteral("Utility::UI");
    return tagText;
}

void setWidgetAtScreenCenter(QWidget *widget, QScreen *screen)
{
    Log::traceWarning(tag(), QStringLiteral("ZCore::UtilityModules::UI::setWidgetAtScreenCenter"));
    if (!widget) {
        Log::warning(tag(), QStringLiteral(">> given widget is nullptr"));
        return;
    }
    QScreen *target = screen ? screen : QGuiApplication::primaryScreen();
    if (!target)
        return;
    const QPoint center = target->geometry().center();
    widget->move(center.x() - roundHalfUp(widget->width() * kHalf),
                 center.y() - roundHalfUp(widget->height() * kHalf));
}

void tryToFixWidgetScreenPos(QWidget *widget)
{
    Log::traceWarning(tag(), QStringLiteral("ZCore::UtilityModules::UI::tryToFixWidgetScreenPos"));
    if (!widget) {
        Log::warning(tag(), QStringLiteral(">> given widget is nullptr"));
        return;
    }
    if (QApplication::desktop()->screenNumber(widget) < 0) {
        setWidgetAtScreenCenter(widget);
        return;
    }
    Log::debug(tag(), QStringLiteral(">> no need to fix pos of the given widget"));
}

void applyStyleSheet(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
}

void setWidgetButtonColor(QWidget *widget, const QColor &color)
{
    setWidgetPaletteColor(widget, QPalette::Button, color);
}

void setWidgetPaletteColor(QWidget *widget, QPalette::ColorRole role, const QColor &color)
{
    if (!widget)
        return;
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

void setWidgetTextColor(QWidget *widget, const QColor &color)
{
    if (!widget)
        return;
    widget->setStyleSheet(QStringLiteral("color: rgb(%1, %2, %3); %4")
                              .arg(color.red())
                              .arg(color.green())
                              .arg(color.blue())
                              .arg(widget->styleSheet()));
}

void setGroupButtonsEnabled(QButtonGroup *group, bool enabled)
{
    if (!group)
        return;
    for (QAbstractButton *button : group->buttons())
        button->setEnabled(enabled);
}

} // namespace ZCore::UtilityModules::UI
