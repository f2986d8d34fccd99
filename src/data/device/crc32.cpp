#include "data/device/crc32.h"

#include <array>

namespace ZData::DM {

namespace {

constexpr quint32 kPolynomial = 0xEDB88320u;
constexpr quint32 kAllOnes = 0xFFFFFFFFu;
constexpr int kTableSize = 256;
constexpr int kBitsPerByte = 8;
constexpr quint32 kByteMask = 0xFFu;

using CrcTable = std::array<quint32, kTableSize>;

const CrcTable &table()
{
    static const CrcTable entries = [] {
        CrcTable result{};
        for (int index = 0; index < kTableSize; ++index) {
            quint32 value = quint32(index);
            for (int bit = 0; bit < kBitsPerByte; ++bit)
                value = (value & 1u) ? (value >> 1) ^ kPolynomial : value >> 1;
            result[std::size_t(index)] = value;
        }
        return result;
    }();
    return entries;
}

} // namespace

quint32 crc32(const char *data, int length)
{
    const CrcTable &entries = table();
    quint32 crc = kAllOnes;
    for (int i = 0; i < length; ++i)
        crc = entries[(crc ^ quint8(data[i])) & kByteMask] ^ (crc >> kBitsPerByte);
    return crc ^ kAllOnes;
}

quint32 crc32(const QByteArray &bytes)
{
    return crc32(bytes.constData(), bytes.size());
}

} // namespace ZData::DM
