#include "commands.h"

namespace MeroSim {

QString commandName(quint16 code)
{
    switch (static_cast<Command>(code)) {
    case Command::Undefined: return QStringLiteral("UNDEFINED");
    case Command::RebootToUpdateMode: return QStringLiteral("A_REBOOT_TO_UPDATE_MODE");
    case Command::InitUpdate: return QStringLiteral("B_INIT_UPDATE");
    case Command::SendMainAppChunk: return QStringLiteral("B_SEND_MAINAPP_CHUNK");
    case Command::ResendPacketFromDevice: return QStringLiteral("O_RESEND_PACKET_FROM_DEVICE");
    case Command::GetDeviceFullType: return QStringLiteral("D_GET_DEVICE_FULL_TYPE");
    case Command::GetFirmwareVersion: return QStringLiteral("D_GET_FIRMWARE_VERSION");
    case Command::GetOptions: return QStringLiteral("D_GET_OPTIONS");
    case Command::GetDeviceId: return QStringLiteral("D_GET_DEVICE_ID");
    case Command::GetScanData: return QStringLiteral("DA_GET_SCAN_DATA");
    case Command::GetScanDataS21: return QStringLiteral("DA_GET_SCAN_DATA_S21");
    case Command::GetScanDataS12: return QStringLiteral("DA_GET_SCAN_DATA_S12");
    case Command::GetAdcValue: return QStringLiteral("DA_GET_ADC_VALUE");
    case Command::SetGainValue: return QStringLiteral("DA_SET_GAIN_VALUE");
    case Command::SetSampleSize: return QStringLiteral("DA_SET_SAMPLE_SIZE");
    case Command::UndefinedCommand: return QStringLiteral("E_UNDEFINED_COMMAND");
    }
    return QStringLiteral("0x%1").arg(code, 4, 16, QLatin1Char('0'));
}

} // namespace MeroSim
