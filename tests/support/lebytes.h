#pragma once

#include <QByteArray>
#include <QString>

namespace TestSupport::LeBytes {

// Little-endian encodings built by hand, for comparing file and stream
// layouts byte for byte without going through QDataStream.
QByteArray littleEndianDouble(double value);
QByteArray littleEndianInt32(qint32 value);
// The data-stream string form: byte length, then UTF-16 code units.
QByteArray littleEndianString(const QString &text);

} // namespace TestSupport::LeBytes
