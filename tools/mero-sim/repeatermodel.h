#pragma once

#include <QtGlobal>

#include <random>

namespace MeroSim {

// What the simulated device measures: a multi-band repeater whose uplink
// (S21) and downlink (S12) amplifiers sit behind band-pass filters, seen
// through the device's receiver with its noise floor and compression. Values
// are linear magnitudes relative to the receiver's full scale, so they stay
// inside the level axis of the host for both source powers.
class RepeaterModel
{
public:
    enum class Channel : quint8 { S21 = 0, S12 = 1 };
    enum class Power : quint8 { Low = 0, High = 1 };

    static constexpr quint16 kMinSampleSize = 128;
    static constexpr quint16 kMaxSampleSize = 1024;
    static constexpr quint16 kDefaultSampleSize = 1024;
    static constexpr int kAdcFullScale = 4095;

    explicit RepeaterModel(quint64 seed);

    // One measured value with noise; advances the noise generator.
    float measure(Channel channel, quint64 frequencyHz, Power power);
    // The noiseless level in dB relative to full scale.
    double levelDb(Channel channel, quint64 frequencyHz, Power power) const;
    // The value a signature device reports: the frequency in MHz, offset by
    // kSignatureChannelStep for S12 and kSignaturePowerStep for high power.
    // Frequencies at least a few kHz apart never share a value.
    static float signature(Channel channel, quint64 frequencyHz, Power power);
    static constexpr double kSignatureChannelStep = 10000.0;
    static constexpr double kSignaturePowerStep = 20000.0;
    // The repeater's small-signal gain, in dB.
    static double repeaterGainDb(Channel channel, quint64 frequencyHz);

    // Detector reading of the strongest signal of the last measured slice.
    quint16 adcValue() const;
    void beginSlice() { m_slicePeak = 0.0; }

    // Returns the size actually used (the device clamps to what it can do).
    quint16 setSampleSize(qint32 samples);
    quint16 sampleSize() const { return m_sampleSize; }
    void setGainDb(float gainDb) { m_gainDb = gainDb; }
    float gainDb() const { return m_gainDb; }

    // Time the device needs for one slice of the given size.
    int measurementMs(int points) const;

private:
    double noiseFloorLinear() const;

    std::mt19937_64 m_random;
    std::normal_distribution<double> m_normal;
    quint16 m_sampleSize = kDefaultSampleSize;
    float m_gainDb = 0.0f;
    double m_slicePeak = 0.0;
};

} // namespace MeroSim
