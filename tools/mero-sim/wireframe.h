#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace MeroSim {

// Header words in the order they travel. Checksum and CRC follow the device's
// literal rules (one fold, no second carry), so a header whose sum carries
// out of the fold is rejected here just as the host rejects it.
struct WireHeader
{
    quint16 command = 0;
    quint16 frameCount = 0;
    quint16 typeState = 0;
    quint16 options = 0;
    quint16 dataLength = 0;
    quint16 checksum = 0;

    static constexpr int kSize = 12;
    // Where dataLength sits in the header, little-endian.
    static constexpr int kLengthOffset = 8;

    quint16 computeChecksum() const;
    bool hasValidChecksum() const;

    QByteArray toBytes() const;
    // Reads exactly kSize bytes; the caller makes sure they are there.
    static WireHeader fromBytes(const QByteArray &bytes);
};

// One frame: start byte, header, payload, CRC-32 over header and payload.
class WireFrame
{
public:
    static constexpr quint8 kStartByte = 0xAA;
    static constexpr int kStartSize = 1;
    static constexpr int kCrcSize = 4;
    static constexpr int kOverhead = kStartSize + WireHeader::kSize + kCrcSize;
    static constexpr int kPayloadOffset = kStartSize + WireHeader::kSize;

    // Writes the header as given (checksum included) and the payload; the
    // header's dataLength is the caller's, so a test can build a lying frame.
    static QByteArray encode(const WireHeader &header, const QByteArray &payload);
    // Sets dataLength and checksum from the payload, then encodes.
    static QByteArray build(WireHeader header, const QByteArray &payload);

    static quint32 crc32(const QByteArray &bytes);
    static quint32 crc32(const char *data, int size);
};

} // namespace MeroSim
