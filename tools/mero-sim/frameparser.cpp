#include "frameparser.h"

#include <QDataStream>

namespace MeroSim {

FrameParser::FrameParser(int maxPayload)
    : m_maxPayload(maxPayload)
{
}

QVector<ParsedItem> FrameParser::feed(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    QVector<ParsedItem> items;
    while (parseOne(items)) {
    }
    return items;
}

QByteArray FrameParser::takePending()
{
    QByteArray pending;
    pending.swap(m_buffer);
    return pending;
}

bool FrameParser::parseOne(QVector<ParsedItem> &items)
{
    const int start = m_buffer.indexOf(static_cast<char>(WireFrame::kStartByte));
    if (start != 0) {
        const int garbage = start < 0 ? m_buffer.size() : start;
        if (garbage == 0)
            return false;
        ParsedItem item;
        item.kind = ParsedItem::Kind::Garbage;
        item.raw = m_buffer.left(garbage);
        items.append(item);
        m_buffer.remove(0, garbage);
        return start > 0;
    }
    if (m_buffer.size() < WireFrame::kPayloadOffset)
        return false;

    ParsedItem item;
    item.header = WireHeader::fromBytes(m_buffer.mid(WireFrame::kStartSize, WireHeader::kSize));
    if (!item.header.hasValidChecksum() || item.header.dataLength > m_maxPayload) {
        item.kind = item.header.hasValidChecksum() ? ParsedItem::Kind::Oversized
                                                   : ParsedItem::Kind::BadHeader;
        item.raw = m_buffer.left(WireFrame::kPayloadOffset);
        items.append(item);
        m_buffer.remove(0, WireFrame::kStartSize);
        return true;
    }

    const int frameSize = WireFrame::kOverhead + item.header.dataLength;
    if (m_buffer.size() < frameSize)
        return false;

    item.raw = m_buffer.left(frameSize);
    item.payload = item.raw.mid(WireFrame::kPayloadOffset, item.header.dataLength);
    quint32 received = 0;
    QDataStream in(item.raw.right(WireFrame::kCrcSize));
    in.setByteOrder(QDataStream::LittleEndian);
    in >> received;
    const quint32 computed = WireFrame::crc32(item.raw.constData() + WireFrame::kStartSize,
                                              WireHeader::kSize + item.header.dataLength);
    item.kind = received == computed ? ParsedItem::Kind::Frame : ParsedItem::Kind::BadCrc;
    items.append(item);
    m_buffer.remove(0, frameSize);
    return true;
}

} // namespace MeroSim
