#pragma once

#include "core/tversion.h"
#include "data/device/devicecommands.h"
#include "data/device/tcommandheader.h"

#include <QList>
#include <QSerialPortInfo>
#include <QString>

namespace ZData {

// The connected device as identification found it.
struct DeviceInfo
{
    QString id;
    ZCore::TVersion firmwareVersion{0, 0, 0};
    quint16 typeStateWord = TCommandHeader::kHostTypeState;
    quint8 deviceType = quint8(EDeviceStates::UNDEFINED);
    quint8 deviceState = quint8(EDeviceStates::UNDEFINED);
    quint64 scanRangeLow = 0;
    quint64 scanRangeHigh = 0;
    QList<quint32> bandwidths;
    quint32 presetsCount = 0;
    QSerialPortInfo portInfo;
    bool updatePending = false;

    bool isMainApp() const { return deviceState == quint8(EDeviceStates::MAINAPP); }
    bool isBootloader() const { return deviceState == quint8(EDeviceStates::BOOTLOADER); }
    // Everything but id and updatePending, which must survive the device
    // leaving and rejoining the link (a reboot into the bootloader).
    void reset();
    QString text() const;
};

} // namespace ZData
