#pragma once

#include "data/device/tcommandheader.h"

#include <QByteArray>
#include <QMetaType>

namespace ZData {

// One reply as the frame layer assembled it (or fabricated it after a
// failure, in which case only the header means anything).
struct TDeviceReply
{
    TCommandHeader header;
    QByteArray data;
    QByteArray crc;
};

} // namespace ZData

Q_DECLARE_METATYPE(ZData::TDeviceReply)
