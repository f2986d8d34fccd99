#pragma once

#include "core/iinitializable.h"
#include "core/isettingsrestorable.h"
#include "core/tsingleton.h"
#include "data/device/devicecommands.h"
#include "data/device/tdevicereply.h"
#include "data/scan/rangesliced.h"
#include "data/scan/trfparameters.h"
#include "data/scan/tscanpoint.h"
#include "data/scan/tscanpreset.h"

#include <QList>
#include <QObject>
#include <QVector>

#include <array>
#include <memory>

namespace ZData {

class ICalibrationSource;

namespace CAL {
struct CalibData;
}

// The endless two-channel sweep: asks the device for one slice of one
// channel at a time, stores, scales and calibrates the reply, tells the
// charts which channel changed and asks for the next slice. S21 is swept
// from its first point to its last, then S12, then again from S21.
class DataScanManager : public QObject,
                        public ZCore::TSingleton<DataScanManager>,
                        public ZCore::IInitializable,
                        public ZCore::ISettingsRestorable
{
    Q_OBJECT
    friend class ZCore::TSingleton<DataScanManager>;

public:
    static constexpr int kPointListSize = int(TScanRange::kMaxPoints);
    static constexpr qint32 kPowerLow = 0;
    static constexpr qint32 kPowerHigh = 1;
    // An ADC reading follows this many scan-data requests.
    static constexpr quint32 kScanRequestsPerAdcRead = 2;

    static QString tag();

    // Safe to call again (tests): the ranges and point lists are rebuilt,
    // the settings re-read and the connections made only once.
    bool init() override;
    void initData();

    void saveSettings() override;
    void restoreSettings() override;
    void registerRestorable() override;

    // Null means no calibration: nothing is divided, nothing is being
    // calibrated. Not owned.
    void setCalibrationSource(ICalibrationSource *source) { m_calibrationSource = source; }
    ICalibrationSource *calibrationSource() const { return m_calibrationSource; }

    void reset(bool clear);
    void requestScanData();

    void setActivePreset(qint32 index, bool clear);
    void switchActivePreset(qint32 step);
    // True when a frequency range or the preset count differs from the
    // list in use: whatever was calibrated for that list no longer fits.
    bool rangesDiffer(const QList<TScanPreset> &presets) const;
    // Takes an edited preset list and restarts the sweep on preset active.
    void replacePresets(const QList<TScanPreset> &presets, qint32 active);
    void setPowerIndex(qint32 index, bool clear);
    void setScanPause(bool paused, bool notify);
    void setUserScanPause(bool paused);
    // The user's choice; it holds whenever calibration data for the active
    // preset exist and no calibration runs, and waits for them otherwise.
    void setUseCalib(bool use);
    // Applies the choice to what the calibration source holds now.
    void refreshUseCalib();
    void setAttenuation(qint8 channel, double value);

    DS::RangeSliced &channelRange(int channel);
    qint32 channelPointCount(int channel) const;
    const QVector<TScanPoint> &processedPoints(int channel) const;
    const QVector<TScanPoint> &rawPoints(int channel) const;
    const QVector<TScanPoint> &calibratedPoints(int channel) const;
    TScanPoint pointAt(int channel, quint32 index) const;
    void copyPoints(int channel, qint32 offset, quint32 count, QVector<TScanPoint> &output, bool processed) const;

    const QList<TScanPreset> &presets() const { return m_presets; }
    const TScanPreset &presetAt(qint32 index) const;
    qint32 presetCount() const { return m_presetCount; }
    qint32 activePreset() const { return m_activePreset; }
    qint32 powerIndex() const { return m_powerIndex; }
    quint16 powerCode() const;
    bool isPaused() const { return m_paused; }
    bool useCalib() const { return m_useCalib; }
    bool useCalibChosen() const { return m_useCalibChosen; }
    bool isScanRequestOutstanding() const { return m_scanOutstanding; }
    const TRFParameters &rfParameters() const { return m_rf; }
    bool channelReceived(int channel) const;

signals:
    void signalRestoredScanPresets();
    void signalFinishedDeviceStartup();
    void signalProcessedScanRange();
    void signalProcessedScanData(ZData::EScanChannel channel);
    void signalMisfiredRequestScanData();
    void signalScanPause(bool is_paused);
    void signalUserScanPause(bool is_paused);
    void signalActiveScanPresetUpdated();
    void signalActiveScanPresetReachedEnd();
    void signalUseCalibUpdated();
    void signalRFOverload(bool is_overload);
    void signalReportScanProcess(int add_percent);
    void signalRFDataAttUpdated();

public slots:
    void slotFailedReadCalibration();
    void slotFinishedCalibration();
    void slotRemovedCalibration();
    void slotGotDeviceParams(ZData::EDeviceOptions option);
    void slotProcessScanRange();
    void slotProcessScanData(ZData::TDeviceReply device_reply);
    void slotProcessADCValue(ZData::TDeviceReply device_reply);
    void slotPostDeviceStartup();
    void slotStart();
    void slotStop();

private:
    DataScanManager();

    // What a fresh start begins with; a re-init must not inherit a pause
    // state or a request of a previous run.
    void resetRunState();
    void makeConnections();
    void markSliceReachedEnd() { m_sliceReachedEnd = true; }
    void pauseForClosingPort();
    void loadActivePresetRanges();
    void restartIdleSweep();
    void sendScanRequest(const TCommandHeader &header);
    void scaleSamples(EScanChannel channel, quint32 first, quint32 count);
    void calibrateSamples(EScanChannel channel, quint32 first, quint32 count);
    void reportScanProgress();
    const CAL::CalibData *calibrationFor(qint32 preset, int channel) const;
    bool isCalibrating() const;
    bool canUseCalib() const;
    bool m_paused = true;
    bool m_sliceReachedEnd = false;
    bool m_useCalib = false;
    bool m_useCalibChosen = false;
    quint32 m_scanRequestCounter = 0;
    quint8 m_channel = EScanChannel::S21;
    qint32 m_activePreset = 0;
    qint32 m_presetCount = 0;
    QVector<qint32> m_powerCodes;
    qint32 m_powerIndex = kPowerLow;
    qint32 m_progressCounter = 0;
    std::array<std::unique_ptr<DS::RangeSliced>, kScanChannelCount> m_ranges;
    std::array<QVector<TScanPoint>, kScanChannelCount> m_rawPoints;
    std::array<QVector<TScanPoint>, kScanChannelCount> m_calibratedPoints;
    QList<TScanPreset> m_presets;
    TRFParameters m_rf;

    ICalibrationSource *m_calibrationSource = nullptr;
    // From queuing a scan-data request until its reply has been handled: a
    // second request chain must not start meanwhile, or replies would be
    // stored at the slice positions of the other chain.
    bool m_scanOutstanding = false;
    bool m_warnedShortCalibration = false;
};

} // namespace ZData
