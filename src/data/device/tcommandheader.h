#pragma once

#include <QByteArray>
#include <QMetaType>

class QDataStream;

namespace ZData {

// The 12-byte frame header. The member order is the historical memory layout;
// the wire order is fixed by writeTo()/readFrom() and differs from it.
struct TCommandHeader
{
    static constexpr int kWireSize = 12;
    // Type byte 0xFF ("not identified yet") with the bootloader bit set: what
    // the host claims to be before it knows the device.
    static constexpr quint16 kHostTypeState = 0x80FF;
    static constexpr quint16 kTypeMask = 0x00FF;
    static constexpr quint16 kStateBit = 0x8000;

    quint16 command = 0;
    quint16 dataLength = 0;
    quint16 deviceTypeState = kHostTypeState;
    quint16 frameCount = 0;
    quint16 options = 0;
    quint16 checksum = 0;

    quint8 deviceType() const { return quint8(deviceTypeState & kTypeMask); }
    // 1 = bootloader, 0 = main application.
    quint8 deviceState() const { return (deviceTypeState & kStateBit) ? 1 : 0; }

    // One's complement of the folded sum of the five other words. The fold
    // is done once and a carry out of it is dropped, as the firmware does.
    quint16 computeChecksum() const;
    bool isValid() const;

    // Wire order: command, frameCount, deviceTypeState, options, dataLength,
    // checksum; byte order of the protocol.
    void writeTo(QDataStream &stream) const;
    static TCommandHeader readFrom(QDataStream &stream);
    QByteArray toWire() const;
    // Reads kWireSize bytes; missing bytes read as zero.
    static TCommandHeader fromWire(const QByteArray &bytes);
};

} // namespace ZData

Q_DECLARE_METATYPE(ZData::TCommandHeader)
