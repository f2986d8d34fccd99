#pragma once

#include <QByteArray>

namespace ZData::DM {

// IEEE 802.3 / zlib CRC-32: reflected polynomial 0xEDB88320, initial value
// and final complement 0xFFFFFFFF. The empty range gives 0.
quint32 crc32(const char *data, int length);
quint32 crc32(const QByteArray &bytes);

} // namespace ZData::DM
