#pragma once

#include <QString>

namespace ZData::SM {

// What the update server needs to know about the connected device: its
// identifier text and its type number (low byte of the type-state word).
struct TDeviceIdentity
{
    QString id;
    quint8 deviceType = 0xFF;
};

} // namespace ZData::SM
