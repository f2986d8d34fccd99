#include "core/esettingsgroups.h"

#include "core/enumtext.h"

#include <QMetaEnum>

namespace ZCore {

QString settingsGroupText(ESettingsGroups group)
{
    switch (group) {
    case ESettingsGroups::DEFAULT:
        return QStringLiteral("Default");
    case ESettingsGroups::DEVICE:
        return QStringLiteral("Device");
    case ESettingsGroups::CHARTS:
        return QStringLiteral("Charts");
    case ESettingsGroups::WINDOW_MAIN:
        return QStringLiteral("Window.Main");
    case ESettingsGroups::WINDOW_CONNECTION:
        return QStringLiteral("Window.Connection");
    case ESettingsGroups::CALIBRATION:
        return QStringLiteral("Calibration");
    case ESettingsGroups::RF:
        return QStringLiteral("RF");
    case ESettingsGroups::RANGE_PRESETS:
        return QStringLiteral("Range_Presets");
    case ESettingsGroups::THEME:
        return QStringLiteral("Theme");
    }
    const QMetaEnum meta = QMetaEnum::fromType<ESettingsGroups>();
    return EnumPrinter::unknownValue(QString::fromLatin1(meta.enumName()), static_cast<qint64>(group));
}

} // namespace ZCore
