#include "repeatermodel.h"

#include <QtMath>

#include <algorithm>
#include <array>
#include <cmath>

namespace MeroSim {

namespace {

struct Passband
{
    double lowMHz;
    double highMHz;
};

struct Band
{
    Passband uplink;
    Passband downlink;
};

// GSM900, GSM1800, UMTS2100, LTE800 (downlink below uplink), LTE2600.
constexpr std::array<Band, 5> kBands{{
    {{880.0, 915.0}, {925.0, 960.0}},
    {{1710.0, 1785.0}, {1805.0, 1880.0}},
    {{1920.0, 1980.0}, {2110.0, 2170.0}},
    {{832.0, 862.0}, {791.0, 821.0}},
    {{2500.0, 2570.0}, {2620.0, 2690.0}},
}};

constexpr double kUplinkGainDb = 60.0;
constexpr double kDownlinkGainDb = 65.0;
// Filter order of the duplexer edges: steep enough to separate uplink from
// downlink 10 MHz away, as a real duplexer does.
constexpr int kFilterOrder = 8;
constexpr double kRippleDb = 0.4;
constexpr double kRipplePeriodsPerBand = 3.0;
// Leakage around the filters; the repeater never isolates better than this.
constexpr double kIsolationDb = -30.0;

constexpr double kLowSourceDbfs = -90.0;
constexpr double kHighSourceDbfs = -72.0;
// Receiver compression (Rapp model): saturation level and smoothness.
constexpr double kSaturationDbfs = -3.0;
constexpr double kRappSmoothness = 2.0;
// Noise floor at the largest sample size; fewer samples average less.
constexpr double kNoiseFloorDbfs = -100.0;
constexpr double kStrongJitterDb = 0.05;
constexpr double kFloorJitterDb = 1.5;

constexpr double kHzPerMHz = 1.0e6;
constexpr double kDbPerDecade = 20.0;
constexpr int kSettleMicroseconds = 150;
constexpr double kSampleRateHz = 1.0e6;
constexpr double kMicrosecondsPerMillisecond = 1000.0;
constexpr double kMicrosecondsPerSecond = 1.0e6;

double toLinear(double db)
{
    return std::pow(10.0, db / kDbPerDecade);
}

double passbandLinear(const Passband &band, double fMHz, double gainDb)
{
    const double centre = (band.lowMHz + band.highMHz) / 2.0;
    const double halfWidth = (band.highMHz - band.lowMHz) / 2.0;
    const double x = (fMHz - centre) / halfWidth;
    const double rolloffDb = 10.0 * std::log10(1.0 + std::pow(x, 2 * kFilterOrder));
    const double phase = 2.0 * M_PI * kRipplePeriodsPerBand * (fMHz - band.lowMHz)
                         / (band.highMHz - band.lowMHz);
    return toLinear(gainDb - rolloffDb + kRippleDb * std::sin(phase));
}

} // namespace

RepeaterModel::RepeaterModel(quint64 seed)
    : m_random(seed)
{
}

double RepeaterModel::repeaterGainDb(Channel channel, quint64 frequencyHz)
{
    const double fMHz = static_cast<double>(frequencyHz) / kHzPerMHz;
    double linear = toLinear(kIsolationDb);
    for (const Band &band : kBands) {
        linear += channel == Channel::S21 ? passbandLinear(band.uplink, fMHz, kUplinkGainDb)
                                          : passbandLinear(band.downlink, fMHz, kDownlinkGainDb);
    }
    return kDbPerDecade * std::log10(linear);
}

float RepeaterModel::signature(Channel channel, quint64 frequencyHz, Power power)
{
    return static_cast<float>(static_cast<double>(frequencyHz) / kHzPerMHz
                              + (channel == Channel::S12 ? kSignatureChannelStep : 0.0)
                              + (power == Power::High ? kSignaturePowerStep : 0.0));
}

double RepeaterModel::levelDb(Channel channel, quint64 frequencyHz, Power power) const
{
    const double source = power == Power::High ? kHighSourceDbfs : kLowSourceDbfs;
    const double input = toLinear(source + repeaterGainDb(channel, frequencyHz));
    const double ratio = std::pow(input / toLinear(kSaturationDbfs), 2.0 * kRappSmoothness);
    const double output = input / std::pow(1.0 + ratio, 1.0 / (2.0 * kRappSmoothness));
    return kDbPerDecade * std::log10(output);
}

float RepeaterModel::measure(Channel channel, quint64 frequencyHz, Power power)
{
    const double signal = toLinear(levelDb(channel, frequencyHz, power));
    m_slicePeak = std::max(m_slicePeak, signal);
    const double floor = noiseFloorLinear();
    const double power2 = signal * signal + floor * floor;
    // The reading wanders little on a strong signal and by a few dB near the
    // floor; fewer samples average less.
    const double floorShare = floor * floor / power2;
    const double averaging = std::sqrt(double(kMaxSampleSize) / m_sampleSize);
    const double jitterDb = (kStrongJitterDb + kFloorJitterDb * floorShare) * averaging * m_normal(m_random);
    return static_cast<float>(std::sqrt(power2) * toLinear(jitterDb));
}

double RepeaterModel::noiseFloorLinear() const
{
    return toLinear(kNoiseFloorDbfs) * std::sqrt(double(kMaxSampleSize) / m_sampleSize);
}

quint16 RepeaterModel::adcValue() const
{
    const double reading = m_slicePeak * toLinear(m_gainDb) * kAdcFullScale;
    return static_cast<quint16>(std::clamp(std::lround(reading), 0L, long(kAdcFullScale)));
}

quint16 RepeaterModel::setSampleSize(qint32 samples)
{
    m_sampleSize = static_cast<quint16>(
        std::clamp<qint32>(samples, kMinSampleSize, kMaxSampleSize));
    return m_sampleSize;
}

int RepeaterModel::measurementMs(int points) const
{
    const double perPointUs = kSettleMicroseconds + m_sampleSize / kSampleRateHz * kMicrosecondsPerSecond;
    return static_cast<int>(std::ceil(points * perPointUs / kMicrosecondsPerMillisecond));
}

} // namespace MeroSim
