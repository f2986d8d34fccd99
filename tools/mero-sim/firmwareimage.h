#pragma once

#include <QByteArray>

#include <array>

namespace MeroSim {

// The simulated firmware's image format: any body followed by a trailer of
// a magic word and the version the image brings. The simulated update
// server builds such images and the simulated bootloader reads the version
// back, so a finished update shows in the next identification.
class FirmwareImage
{
public:
    using Version = std::array<quint32, 3>;

    static constexpr int kMagicSize = 8;
    static constexpr int kTrailerSize = kMagicSize + 3 * int(sizeof(quint32));

    static QByteArray magic();
    // An image of exactly totalSize bytes (at least the trailer) whose body
    // is a pattern derived from the seed.
    static QByteArray build(const Version &version, int totalSize, quint64 seed);
    // False when the image does not end in a trailer.
    static bool readVersion(const QByteArray &image, Version *version);
};

} // namespace MeroSim
