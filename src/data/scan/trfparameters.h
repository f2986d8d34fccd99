#pragma once

#include <QtGlobal>

namespace ZData {

// The device's RF setup and the display offsets that go with it, kept in the
// "RF" section of the current profile.
struct TRFParameters
{
    // Below this magnitude the scale factor counts as unset.
    static constexpr double kMinRfOffset = 1e-6;
    static constexpr double kDefaultRfOffset = 1.0;
    static constexpr qint32 kMinCalibPasses = 1;

    double s21Att = 0.0;           // "S21_ATT", dB
    double s12Att = 0.0;           // "S12_ATT", dB
    double ampOffset = 0.0;        // "AMP_OFFSET", dB: offset of calibrated data
    double s21AmpOrigin = 0.0;     // "S21_AMP_ORIGIN", dBm
    double s12AmpOrigin = 0.0;     // "S12_AMP_ORIGIN", dBm
    double rfOffset = kDefaultRfOffset; // "RF_OFFSET": linear scale of every sample
    double gain = 0.0;             // "GAIN", dB, sent to the device
    double adcOverflowLevel = 0.0; // "ADC_OVERFLOW_LEVEL", dB
    quint16 sampleSize = 0;        // "SAMPLE_SIZE", sent to the device
    quint16 rfOverload = 0;        // "RF_OVERLOAD": ADC reading at which the mixer overloads
    qint32 calibPasses = kMinCalibPasses; // sweeps per calibration step; not stored
};

} // namespace ZData
