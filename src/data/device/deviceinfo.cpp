#include "data/device/deviceinfo.h"

namespace ZData {

void DeviceInfo::reset()
{
    DeviceInfo fresh;
    fresh.id = id;
    fresh.updatePending = updatePending;
    *this = fresh;
}

QString DeviceInfo::text() const
{
    return QStringLiteral("\nID:      %1\nType:    %2\nState:   %3\nVersion: %4\n")
        .arg(id, typeText(deviceType), stateText(deviceState), firmwareVersion.toString());
}

} // namespace ZData
