#include "data/device/devicecommands.h"

#include "core/enumtext.h"

namespace ZData {

QString commandText(quint16 command)
{
    return ZCore::enumText(static_cast<EDeviceCommands>(command));
}

QString commandText(EDeviceCommands command)
{
    return ZCore::enumText(command);
}

QString optionText(EDeviceOptions option)
{
    return ZCore::enumText(option);
}

QString stateText(quint8 state)
{
    return ZCore::enumText(static_cast<EDeviceStates>(state));
}

QString typeText(quint8 type)
{
    return ZCore::enumText(static_cast<EDeviceTypes>(type));
}

} // namespace ZData
