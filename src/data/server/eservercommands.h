#pragma once

#include <QObject>

// Results of an exchange with the firmware update server. Like the device
// enums, the meta-enum lives in an inner namespace so ZData itself carries
// no meta-object.
namespace ZData {
namespace ServerEnums {
Q_NAMESPACE

enum class EServerCommands : qint32 {
    UNDEFINED = -1,
    E_UNKNOWN = 0,
    E_SIGNATURE = 1,
    E_EMPTY_DATA = 2,
    E_UNKOWN_PROGRAM_TYPE = 3,
    E_UPDATE_NOT_AVAILABLE = 5,
    E_BIN_NOT_FOUND = 6,
    E_LOST_INTERNET_CONNECTION = 7,
    E_REQUEST_TIMEOUT = 8,
    GET_UPDATE = 10,
    GET_ACTUAL_VERSION = 11,
    SEND_ACTUAL_VERSION = 12,
};
Q_ENUM_NS(EServerCommands)

} // namespace ServerEnums

using ServerEnums::EServerCommands;

} // namespace ZData
