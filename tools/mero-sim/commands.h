#pragma once

#include <QString>
#include <QtGlobal>

// The simulator keeps its own list of command codes instead of sharing the
// application's, so a wrong code on one side shows up as a failed exchange.
namespace MeroSim {

enum class Command : quint16 {
    Undefined = 0x0000,
    RebootToUpdateMode = 0xA001,
    InitUpdate = 0xB004,
    SendMainAppChunk = 0xB005,
    ResendPacketFromDevice = 0xC350,
    GetDeviceFullType = 0xD001,
    GetFirmwareVersion = 0xD002,
    GetOptions = 0xD003,
    GetDeviceId = 0xD008,
    GetScanData = 0xDA00,
    GetScanDataS21 = 0xDA01,
    GetScanDataS12 = 0xDA02,
    GetAdcValue = 0xDA03,
    SetGainValue = 0xDA04,
    SetSampleSize = 0xDA05,
    UndefinedCommand = 0xEA63,
};

// The device's own name for a code, or the code in hex when it is unknown.
QString commandName(quint16 code);

} // namespace MeroSim
