#include "lebytes.h"

#include <QtEndian>

#include <cstring>

namespace TestSupport::LeBytes {

namespace {

template <typename T>
QByteArray littleEndian(T value)
{
    QByteArray bytes(int(sizeof value), '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

} // namespace

QByteArray littleEndianDouble(double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return littleEndian(bits);
}

QByteArray littleEndianInt32(qint32 value) { return littleEndian(value); }

QByteArray littleEndianString(const QString &text)
{
    QByteArray bytes = littleEndian(quint32(text.size() * 2));
    for (const QChar unit : text)
        bytes += littleEndian(unit.unicode());
    return bytes;
}

} // namespace TestSupport::LeBytes
