#include "data/scan/scanpayloads.h"

#include "data/device/eprotocolsetup.h"

#include <QDataStream>

#include <cmath>

namespace ZData::ScanPayloads {

namespace {

constexpr qint8 kReserved = 0;
// The float-to-int conversion of the device's tools yields this for values
// it cannot represent.
constexpr qint32 kIntegerIndefinite = qint32(0x80000000u);
constexpr double kInt32Limit = 2147483648.0;

void setUp(QDataStream &stream)
{
    stream.setByteOrder(EProtocolSetup::DATA_BYTE_ORDER);
    stream.setFloatingPointPrecision(QDataStream::SinglePrecision);
}

template <typename Writer>
QByteArray encode(Writer write)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    setUp(out);
    write(out);
    return payload;
}

} // namespace

QByteArray scanRequest(const QVector<quint64> &frequencies)
{
    return encode([&frequencies](QDataStream &out) {
        out << kReserved << qint16(frequencies.size());
        for (quint64 frequency : frequencies)
            out << qint64(frequency);
    });
}

QByteArray sampleSize(quint16 samples)
{
    return encode([samples](QDataStream &out) { out << qint16(samples); });
}

QByteArray gain(double gainDb)
{
    return encode([gainDb](QDataStream &out) { out << qint16(0) << kReserved << float(gainDb); });
}

quint16 scanCount(float announced)
{
    const double value = double(announced);
    const bool representable = std::isfinite(value) && value > -kInt32Limit - 1.0 && value < kInt32Limit;
    const qint32 truncated = representable ? qint32(value) : kIntegerIndefinite;
    // Conversion to unsigned keeps the low bits.
    return quint16(truncated);
}

TScanReply readScanReply(const QByteArray &payload, int maxValues)
{
    QDataStream in(payload);
    setUp(in);
    float announced = 0.0f;
    in >> announced;
    TScanReply reply;
    reply.announced = scanCount(announced);
    const int count = qMax(0, qMin(int(reply.announced), maxValues));
    reply.values.resize(count);
    for (float &value : reply.values) {
        in >> value;
        if (in.status() != QDataStream::Ok)
            value = 0.0f;
    }
    return reply;
}

bool readAdcValue(const QByteArray &payload, quint16 *value)
{
    if (payload.size() < int(sizeof(quint16)))
        return false;
    QDataStream in(payload);
    setUp(in);
    in >> *value;
    return true;
}

} // namespace ZData::ScanPayloads
