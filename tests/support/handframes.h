#pragma once

#include <QByteArray>
#include <QVector>

namespace TestSupport::HandFrames {

// Frames assembled byte by byte from the wire format, independently of the
// application's frame code, so the two cannot share a mistake.
// Layout: AA, command, frameCount, typeState, options, dataLength, checksum
// (all 16-bit little-endian), payload, CRC-32 (little-endian) of everything
// after AA.
QByteArray frame(quint16 command, const QByteArray &payload = QByteArray(), quint16 typeState = 0x0016,
                 quint16 options = 0, quint16 frameCount = 0);
// Bit-by-bit CRC-32 (reflected 0xEDB88320), no table.
quint32 crc32(const QByteArray &bytes);
// Three 32-bit little-endian numbers, as identifier and version replies carry.
QByteArray threeWords(quint32 first, quint32 second, quint32 third);
// A scan request's payload: a reserved byte, the point count (16-bit) and
// one 64-bit frequency in Hz per point, all little-endian.
QByteArray scanPayload(const QVector<qint64> &frequencies);

// Field offsets of a frame, for tests that inspect or damage one.
constexpr int kCommandOffset = 1;
constexpr int kFrameCountOffset = 3;
constexpr int kOptionsOffset = 7;
constexpr int kLengthOffset = 9;
constexpr int kPayloadOffset = 13;
constexpr int kOverhead = 17;

quint16 word(const QByteArray &frame, int offset);

} // namespace TestSupport::HandFrames
