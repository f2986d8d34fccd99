#pragma once

#include <QObject>
#include <QString>

namespace ZCore {

// The meta-object of the settings groups lives in its own namespace so that
// ZCore itself stays free to carry another Q_NAMESPACE.
namespace SettingsGroupsMeta {
Q_NAMESPACE

// The INI sections of the profiles; the numbers are stable across versions.
enum class ESettingsGroups : qint32 {
    DEFAULT = 0,
    DEVICE = 1,
    CHARTS = 2,
    WINDOW_MAIN = 3,
    WINDOW_CONNECTION = 4,
    CALIBRATION = 5,
    RF = 6,
    RANGE_PRESETS = 7,
    THEME = 8,
};
Q_ENUM_NS(ESettingsGroups)

} // namespace SettingsGroupsMeta

using SettingsGroupsMeta::ESettingsGroups;

// The INI section name ("Window.Main"); an unknown value is logged under
// "EnumPrinter" and yields its decimal text.
QString settingsGroupText(ESettingsGroups group);

} // namespace ZCore
