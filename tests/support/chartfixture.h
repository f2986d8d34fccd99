#pragma once

#include "data/calibration/calibdata.h"
#include "data/scan/icalibrationsource.h"
#include "data/scan/tscanpreset.h"

#include "logcapture.h"
#include "recordingdialogs.h"
#include "tempappdir.h"

#include <QObject>
#include <QVariantMap>

#include <memory>

namespace TestSupport {

// Stands in for the calibration manager: the notices the chart views listen
// to, and the references and state the scan manager reads.
class FakeCalibrator : public QObject, public ZData::ICalibrationSource
{
    Q_OBJECT

public:
    bool isCalibrating() const override { return calibrating; }
    const ZData::CAL::CalibData *calibrationFor(int preset, int channel, int powerIndex) const override;

    // Every point of both channels gets this reference.
    void setReference(float reference);

    bool calibrating = false;
    ZData::CAL::CalibPreset references;

signals:
    void signalStartedCalibration();
    void signalFinishedCalibration();
    void signalFailedReadCalibration();
};

// A fresh application directory with profiles, the English translation and
// a scan manager that has read the given presets and RF values.
class ChartFixture
{
public:
    ChartFixture();
    ~ChartFixture();

    bool load(const QList<ZData::TScanPreset> &presets, const QVariantMap &rf = {});

    LogCapture &log() { return *m_log; }
    FakeCalibrator &calibrator() { return m_calibrator; }
    RecordingDialogs &dialogs() { return *m_dialogs; }

    // S21 100-200 MHz and S12 300-400 MHz, 101 points each (1 MHz apart);
    // a NaN marker frequency leaves that marker unset.
    static ZData::TScanPreset preset(const QString &name, const QVector<double> &s21MarksMHz = {},
                                     const QVector<double> &s12MarksMHz = {});

private:
    std::unique_ptr<LogCapture> m_log;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<TempAppDir> m_dir;
    FakeCalibrator m_calibrator;
};

} // namespace TestSupport
