#pragma once

#include "wireframe.h"

#include <QByteArray>
#include <QVector>

namespace MeroSim {

// What the parser made of a stretch of incoming bytes.
struct ParsedItem
{
    enum class Kind : quint8 {
        Frame,      // checksum and CRC correct
        Garbage,    // bytes before a start byte
        BadHeader,  // header checksum wrong; only the start byte is consumed
        Oversized,  // checksum right but longer than any host frame can be
        BadCrc,     // whole frame consumed, CRC-32 wrong
    };

    Kind kind = Kind::Garbage;
    WireHeader header;
    QByteArray payload;
    QByteArray raw;
};

// Incremental parser of host frames. It resynchronises on the next start
// byte after a bad header, so one corrupted byte cannot swallow the frames
// behind it, and it never buffers more than one maximal frame.
class FrameParser
{
public:
    explicit FrameParser(int maxPayload);

    QVector<ParsedItem> feed(const QByteArray &bytes);
    int pendingSize() const { return m_buffer.size(); }
    // Drops an incomplete frame (after a silence) and returns its bytes.
    QByteArray takePending();

private:
    bool parseOne(QVector<ParsedItem> &items);

    int m_maxPayload;
    QByteArray m_buffer;
};

} // namespace MeroSim
