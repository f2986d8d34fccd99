#include "wireframe.h"

#include <QDataStream>

#include <array>

namespace MeroSim {

namespace {

constexpr quint32 kCrcPolynomial = 0xEDB88320u;
constexpr quint32 kCrcInitial = 0xFFFFFFFFu;
constexpr quint32 kWordMask = 0xFFFFu;
constexpr int kWordBits = 16;
constexpr int kByteBits = 8;
constexpr int kTableSize = 256;

using CrcTable = std::array<quint32, kTableSize>;

const CrcTable &crcTable()
{
    static const CrcTable table = [] {
        CrcTable t{};
        for (quint32 i = 0; i < kTableSize; ++i) {
            quint32 value = i;
            for (int bit = 0; bit < kByteBits; ++bit)
                value = (value & 1u) ? (value >> 1) ^ kCrcPolynomial : value >> 1;
            t[i] = value;
        }
        return t;
    }();
    return table;
}

quint16 fold(quint32 sum)
{
    return static_cast<quint16>(((sum >> kWordBits) + sum) & kWordMask);
}

} // namespace

quint16 WireHeader::computeChecksum() const
{
    const quint32 sum = quint32(typeState) + options + dataLength + frameCount + command;
    return static_cast<quint16>(~fold(sum) & kWordMask);
}

bool WireHeader::hasValidChecksum() const
{
    const quint32 sum = quint32(typeState) + options + dataLength + frameCount + command + checksum;
    return fold(sum) == kWordMask;
}

QByteArray WireHeader::toBytes() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << command << frameCount << typeState << options << dataLength << checksum;
    return bytes;
}

WireHeader WireHeader::fromBytes(const QByteArray &bytes)
{
    WireHeader header;
    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    in >> header.command >> header.frameCount >> header.typeState >> header.options
        >> header.dataLength >> header.checksum;
    return header;
}

QByteArray WireFrame::encode(const WireHeader &header, const QByteArray &payload)
{
    QByteArray body = header.toBytes();
    body.append(payload);

    QByteArray crcBytes;
    QDataStream out(&crcBytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << crc32(body);

    QByteArray frame;
    frame.reserve(kStartSize + body.size() + kCrcSize);
    frame.append(static_cast<char>(kStartByte));
    frame.append(body);
    frame.append(crcBytes);
    return frame;
}

QByteArray WireFrame::build(WireHeader header, const QByteArray &payload)
{
    header.dataLength = static_cast<quint16>(payload.size());
    header.checksum = 0;
    header.checksum = header.computeChecksum();
    return encode(header, payload);
}

quint32 WireFrame::crc32(const QByteArray &bytes)
{
    return crc32(bytes.constData(), bytes.size());
}

quint32 WireFrame::crc32(const char *data, int size)
{
    if (size <= 0)
        return 0;
    const CrcTable &table = crcTable();
    quint32 crc = kCrcInitial;
    for (int i = 0; i < size; ++i)
        crc = table[(crc ^ static_cast<quint8>(data[i])) & 0xFFu] ^ (crc >> kByteBits);
    return ~crc;
}

} // namespace MeroSim
