#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

class QButtonGroup;
class QScreen;
class QWidget;

namespace ZCore::UtilityModules::UI {

QString tag();
void setWidgetAtScreenCenter(QWidget *widget, QScreen *screen = nullptr);
// After restoring saved geometry: a window left on a vanished screen comes back.
void tryToFixWidgetScreenPos(QWidget *widget);
void applyStyleSheet(const QString &path);
void setWidgetButtonColor(QWidget *widget, const QColor &color);
void setWidgetPaletteColor(QWidget *widget, QPalette::ColorRole role, const QColor &color);
void setWidgetTextColor(QWidget *widget, const QColor &color);
void setGroupButtonsEnabled(QButtonGroup *group, bool enabled);

} // namespace ZCore::UtilityModules::UI
