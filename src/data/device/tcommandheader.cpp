#include "data/device/tcommandheader.h"

#include "data/device/eprotocolsetup.h"

#include <QDataStream>

namespace ZData {

namespace {

constexpr quint32 kWordMask = 0xFFFF;
constexpr int kWordBits = 16;

quint16 foldOnce(quint32 sum)
{
    return quint16(((sum >> kWordBits) + sum) & kWordMask);
}

} // namespace

quint16 TCommandHeader::computeChecksum() const
{
    const quint32 sum = quint32(deviceTypeState) + options + dataLength + frameCount + command;
    return quint16(~foldOnce(sum));
}

bool TCommandHeader::isValid() const
{
    const quint32 sum = quint32(deviceTypeState) + options + dataLength + frameCount + command + checksum;
    return foldOnce(sum) == kWordMask;
}

void TCommandHeader::writeTo(QDataStream &stream) const
{
    stream << command << frameCount << deviceTypeState << options << dataLength << checksum;
}

TCommandHeader TCommandHeader::readFrom(QDataStream &stream)
{
    TCommandHeader header;
    stream >> header.command >> header.frameCount >> header.deviceTypeState >> header.options
        >> header.dataLength >> header.checksum;
    return header;
}

QByteArray TCommandHeader::toWire() const
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setByteOrder(EProtocolSetup::DATA_BYTE_ORDER);
    writeTo(stream);
    return bytes;
}

TCommandHeader TCommandHeader::fromWire(const QByteArray &bytes)
{
    QByteArray padded = bytes.left(kWireSize);
    padded.append(QByteArray(kWireSize - padded.size(), '\0'));
    QDataStream stream(padded);
    stream.setByteOrder(EProtocolSetup::DATA_BYTE_ORDER);
    return readFrom(stream);
}

} // namespace ZData
