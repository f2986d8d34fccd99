#include "data/device/portsettings.h"

namespace ZData::DM {

QString PortSettings::text() const
{
    return QStringLiteral("\nPort name: %1\nBaud rate: %2\nData bits: %3\nParity:    %4\nStop bits: %5\nFlow:      %6\n")
        .arg(portName)
        .arg(baudRate)
        .arg(int(dataBits))
        .arg(int(parity))
        .arg(int(stopBits))
        .arg(int(flowControl));
}

} // namespace ZData::DM
