#pragma once

#include <QMetaType>
#include <QObject>
#include <QtGlobal>

namespace ZData {

namespace ScanEnums {
Q_NAMESPACE

enum EScanChannel : quint8 { S21 = 0, S12 = 1 };
Q_ENUM_NS(EScanChannel)

} // namespace ScanEnums

using ScanEnums::EScanChannel;

inline constexpr int kScanChannelCount = 2;

// One measured point. The device delivers one value per point, kept as the
// real part; a real part of kEmptyReal (+100 dB) marks a point not yet measured.
struct TScanPoint
{
    static constexpr float kEmptyReal = 100000.0f;

    quint64 frequency = 0;
    float real = kEmptyReal;
    float imag = 0.0f;
};

// Any channel number lands on one of the two channels.
inline EScanChannel clampChannel(int channel)
{
    return channel <= 0 ? EScanChannel::S21 : EScanChannel::S12;
}

} // namespace ZData

Q_DECLARE_METATYPE(ZData::TScanPoint)
