#pragma once

#include <QObject>

namespace ZData {

// The enum sits in the server helpers' own meta-namespace: every Q_NAMESPACE
// defines one staticMetaObject, and ZData itself is shared by many headers.
namespace SM {
Q_NAMESPACE

// Results of an update server exchange. While a request runs the value is
// its kind; afterwards it is that kind (success), the server's error number
// or a client-side failure.
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

} // namespace SM

using SM::EServerCommands;

} // namespace ZData
