#pragma once

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

// The byte layouts the sweep exchanges with the device, all little-endian
// with single-precision floats.
namespace ZData::ScanPayloads {

// A scan-data request: reserved byte 0, the point count as a signed 16-bit
// word, then each frequency in Hz as a signed 64-bit integer.
QByteArray scanRequest(const QVector<quint64> &frequencies);
// DA_SET_SAMPLE_SIZE: the sample count as a signed 16-bit word.
QByteArray sampleSize(quint16 samples);
// DA_SET_GAIN_VALUE: a reserved 16-bit word and byte, then the gain in dB as
// a 32-bit float.
QByteArray gain(double gainDb);

// The device sends its point count as a float. It is truncated toward zero
// and its low 16 bits are used, as the firmware's host tools always did; a
// count that is not a number or beyond 32 bits truncates to the integer
// indefinite value, whose low bits are 0.
quint16 scanCount(float announced);

struct TScanReply
{
    // Points the reply announces.
    quint16 announced = 0;
    // At most the values asked for; values missing at the end of a short
    // payload read as 0.
    QVector<float> values;
};

// Reads the announced count and at most maxValues of the values, so a
// corrupt count never makes the reader walk far past the payload.
TScanReply readScanReply(const QByteArray &payload, int maxValues);

// DA_GET_ADC_VALUE reply: an unsigned 16-bit ADC reading. False when the
// payload is too short to hold one.
bool readAdcValue(const QByteArray &payload, quint16 *value);

} // namespace ZData::ScanPayloads
