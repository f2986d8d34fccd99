#include "data/device/portsettings.h"

namespace ZData::DM {

QString PortSettings::text() const
{
    // One substitution for all: a chained arg() would expand a "%2" inside
    // the port name as well.
    return QStringLiteral("\nPort name: %1\nBaud rate: %2\nData bits: %3\nParity:    %4\nStop bits: %5\nFlow:      %6\n")
        .arg(portName, QString::number(baudRate), QString::number(int(dataBits)), QString::number(int(parity)),
             QString::number(int(stopBits)), QString::number(int(flowControl)));
}

} // namespace ZData::DM
