#pragma once

#include <QDataStream>

namespace ZData::EProtocolSetup {

// Every multi-byte field on the device link, header and payloads alike.
// (Not called BYTE_ORDER: the C library defines that name as a macro.)
constexpr QDataStream::ByteOrder DATA_BYTE_ORDER = QDataStream::LittleEndian;

} // namespace ZData::EProtocolSetup
