#pragma once

#include <QByteArray>
#include <QList>

// How a fuzz input is cut into what the serial port would deliver: each
// record is one length byte and that many bytes of chunk; the length byte
// kTimeoutMarker instead stands for the reply timer firing. A record cut
// short by the end of the input is delivered as far as it goes.
namespace FuzzChunks {

constexpr quint8 kTimeoutMarker = 0xFF;

struct Step
{
    bool timeout = false;
    QByteArray chunk;
};

inline QList<Step> decode(const QByteArray &input)
{
    QList<Step> steps;
    int pos = 0;
    while (pos < input.size()) {
        const quint8 length = quint8(input.at(pos++));
        if (length == kTimeoutMarker) {
            steps.append({true, QByteArray()});
            continue;
        }
        steps.append({false, input.mid(pos, length)});
        pos += length;
    }
    return steps;
}

// Cuts bytes into chunks of chunkSize (at most kTimeoutMarker - 1).
inline QByteArray encode(const QByteArray &bytes, int chunkSize)
{
    QByteArray input;
    for (int pos = 0; pos < bytes.size(); pos += chunkSize) {
        const QByteArray chunk = bytes.mid(pos, chunkSize);
        input.append(char(chunk.size()));
        input.append(chunk);
    }
    return input;
}

inline QByteArray timeout()
{
    return QByteArray(1, char(kTimeoutMarker));
}

} // namespace FuzzChunks
