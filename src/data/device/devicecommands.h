#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

// The device's command set and the words that describe a device. The enums
// live in an inner namespace with its own meta-object so that ZData itself
// stays free for other layers' meta-enums; the using-declarations give them
// their ZData names.
namespace ZData {
namespace DeviceEnums {
Q_NAMESPACE

enum class EDeviceCommands : quint16 {
    UNDEFINED = 0x0000,
    O_MIN_NUM = 0x0001,
    FRAME_START = 0x00AA,
    O_GET_ATR_MESS = 0x0100,
    O_GET_PPS_MESS = 0x0101,
    O_TPDU = 0x0102,
    O_GET_ANS_PPS = 0x0103,
    O_GET_ANS_TPDU = 0x0104,
    O_GET_SLAVE_STATUS = 0x0105,
    O_MAX_NUM = 0x03E8,
    STARTUP_FINISHED = 0x57A7,
    A_REBOOT_TO_UPDATE_MODE = 0xA001,
    B_INIT_UPDATE = 0xB004,
    B_SEND_MAINAPP_CHUNK = 0xB005,
    O_RESEND_PACKET_FROM_DEVICE = 0xC350,
    D_GET_DEVICE_FULL_TYPE = 0xD001,
    D_GET_FIRMWARE_VERSION = 0xD002,
    D_GET_OPTIONS = 0xD003,
    D_GET_DEVICE_ID = 0xD008,
    DA_GET_SCAN_DATA = 0xDA00,
    DA_GET_SCAN_DATA_S21 = 0xDA01,
    DA_GET_SCAN_DATA_S12 = 0xDA02,
    DA_GET_ADC_VALUE = 0xDA03,
    DA_SET_GAIN_VALUE = 0xDA04,
    DA_SET_SAMPLE_SIZE = 0xDA05,
    DISCONNECT = 0xDEAD,
    E_HEAD_CRC_TIMEOUT = 0xEA60,
    E_CRC32 = 0xEA61,
    E_TIMEOUT = 0xEA62,
    E_UNDEFINED_COMMAND = 0xEA63,
    E_RESEND_PACKET_TO_DEVICE = 0xEAFF,
    TEST = 0xFAC0,
    F_READ_CALIB_RANGE = 0xFCA0,
    F_READ_CALIB_DATA = 0xFCA1,
    F_READ_CALIB_VCO = 0xFCA2,
    F_WRITE_CALIB_RANGE = 0xFCB0,
    F_WRITE_CALIB_DATA = 0xFCB1,
    F_WRITE_CALIB_VCO = 0xFCB2,
    F_SEND_ACTIVE_CALIB_VCO = 0xFCB3,
    S_GET_ACTUAL_VERSION = 0xFFF1,
    S_GET_UPDATE = 0xFFF2,
    S_CLEAR_UPDATE_CACHE = 0xFFF3,
    S_UPDATE_ACTUAL_VERSION = 0xFFF4,
};
Q_ENUM_NS(EDeviceCommands)

enum class EDeviceOptions : quint16 {
    SCAN_RANGE = 0,
    BANDWIDTH = 1,
    PRESETS_COUNT = 2,
};
Q_ENUM_NS(EDeviceOptions)

enum class EDeviceStates : quint8 {
    MAINAPP = 0,
    BOOTLOADER = 1,
    UNDEFINED = 0xFF,
};
Q_ENUM_NS(EDeviceStates)

enum class EDeviceTypes : quint8 {
    OSKIRO_TAVEL = 8,
    OSKIRO_TAVEL_KX = 9,
    OSKIRO_MERO = 22,
};
Q_ENUM_NS(EDeviceTypes)

} // namespace DeviceEnums

using DeviceEnums::EDeviceCommands;
using DeviceEnums::EDeviceOptions;
using DeviceEnums::EDeviceStates;
using DeviceEnums::EDeviceTypes;

// "EDeviceCommands::D_GET_OPTIONS" and the like; raw words that name no
// value are logged under "EnumPrinter" and printed as numbers.
QString commandText(quint16 command);
QString commandText(EDeviceCommands command);
QString optionText(EDeviceOptions option);
QString stateText(quint8 state);
QString typeText(quint8 type);

} // namespace ZData

Q_DECLARE_METATYPE(ZData::EDeviceOptions)
