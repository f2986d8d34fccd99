#include "handframes.h"

#include <QDataStream>

namespace TestSupport::HandFrames {

namespace {

template <typename T>
void put(QByteArray &bytes, T value)
{
    for (size_t shift = 0; shift < 8 * sizeof value; shift += 8)
        bytes.append(char((value >> shift) & 0xFF));
}

} // namespace

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray frame(quint16 command, const QByteArray &payload, quint16 typeState, quint16 options, quint16 frameCount)
{
    const quint16 length = quint16(payload.size());
    const quint32 sum = quint32(command) + frameCount + typeState + options + length;
    const quint16 checksum = quint16(~quint16((sum >> 16) + (sum & 0xFFFF)));
    QByteArray body;
    for (quint16 field : {command, frameCount, typeState, options, length, checksum})
        put(body, field);
    body.append(payload);
    put(body, crc32(body));
    return QByteArray(1, char(0xAA)) + body;
}

QByteArray threeWords(quint32 first, quint32 second, quint32 third)
{
    QByteArray bytes;
    put(bytes, first);
    put(bytes, second);
    put(bytes, third);
    return bytes;
}

quint16 word(const QByteArray &frame, int offset)
{
    return quint16(quint8(frame.at(offset)) | (quint8(frame.at(offset + 1)) << 8));
}

QByteArray scanPayload(const QVector<qint64> &frequencies)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << qint8(0) << qint16(frequencies.size());
    for (qint64 frequency : frequencies)
        out << frequency;
    return payload;
}

} // namespace TestSupport::HandFrames
