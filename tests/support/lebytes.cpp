#include "lebytes.h"

#include <QtEndian>

#include <cstring>

namespace TestSupport::LeBytes {

QByteArray littleEndianDouble(double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    QByteArray bytes(int(sizeof bits), '\0');
    qToLittleEndian(bits, bytes.data());
    return bytes;
}

QByteArray littleEndianInt32(qint32 value)
{
    QByteArray bytes(int(sizeof value), '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray littleEndianUInt32(quint32 value)
{
    QByteArray bytes(int(sizeof value), '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray littleEndianString(const QString &text)
{
    QByteArray bytes = littleEndianUInt32(quint32(text.size() * 2));
    for (const QChar unit : text) {
        QByteArray code(2, '\0');
        qToLittleEndian(unit.unicode(), code.data());
        bytes += code;
    }
    return bytes;
}

} // namespace TestSupport::LeBytes
