#pragma once

#include "faultrule.h"

#include <QByteArray>
#include <QMetaType>
#include <QVector>

namespace MeroSim {

// A host frame that passed checksum and CRC, as the device received it.
struct ReceivedFrame
{
    quint16 command = 0;
    quint16 frameCount = 0;
    quint16 typeState = 0;
    quint16 options = 0;
    QByteArray payload;
};

// One reply of the device: the frame it built and what reached the wire
// after the faults that struck it (empty when dropped or unplugged, and
// both empty when the request was lost).
struct SentReply
{
    quint16 command = 0;
    QByteArray clean;
    QByteArray wire;
    QVector<FaultKind> faults;
};

} // namespace MeroSim

Q_DECLARE_METATYPE(MeroSim::ReceivedFrame)
Q_DECLARE_METATYPE(MeroSim::SentReply)
