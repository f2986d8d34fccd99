#pragma once

namespace ZData {

namespace CAL {
struct CalibData;
}

// What the sweep needs to know about calibration: whether a calibration is
// being taken (the sweep then delivers raw references and must not divide)
// and the reference of a preset channel at a source power.
class ICalibrationSource
{
public:
    virtual ~ICalibrationSource() = default;

    virtual bool isCalibrating() const = 0;
    // Null when there is no reference for that preset, channel and power.
    virtual const CAL::CalibData *calibrationFor(int preset, int channel, int powerIndex) const = 0;
};

} // namespace ZData
