#include "firmwareimage.h"

#include <QDataStream>

namespace MeroSim {

namespace {

// One step of a 64-bit linear congruential generator (Knuth's MMIX constants).
constexpr quint64 kLcgMultiplier = 6364136223846793005ull;
constexpr quint64 kLcgIncrement = 1442695040888963407ull;
constexpr int kByteShift = 56;

} // namespace

QByteArray FirmwareImage::magic()
{
    return QByteArrayLiteral("MEROFW01");
}

QByteArray FirmwareImage::build(const Version &version, int totalSize, quint64 seed)
{
    const int bodySize = qMax(0, totalSize - kTrailerSize);
    QByteArray image(bodySize, '\0');
    quint64 state = seed;
    for (int i = 0; i < bodySize; ++i) {
        state = state * kLcgMultiplier + kLcgIncrement;
        image[i] = char(state >> kByteShift);
    }
    QByteArray trailer;
    QDataStream out(&trailer, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData(magic().constData(), kMagicSize);
    out << version[0] << version[1] << version[2];
    return image + trailer;
}

bool FirmwareImage::readVersion(const QByteArray &image, Version *version)
{
    if (image.size() < kTrailerSize)
        return false;
    const QByteArray trailer = image.right(kTrailerSize);
    if (!trailer.startsWith(magic()))
        return false;
    QDataStream in(trailer.mid(kMagicSize));
    in.setByteOrder(QDataStream::LittleEndian);
    in >> (*version)[0] >> (*version)[1] >> (*version)[2];
    return in.status() == QDataStream::Ok;
}

} // namespace MeroSim
