#pragma once

#include "core/iinitializable.h"
#include "core/tsingleton.h"
#include "data/calibration/calibdata.h"
#include "data/scan/icalibrationsource.h"
#include "data/scan/tscanpoint.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>

#include <memory>

class QDataStream;
class QSettings;

namespace ZData {

// Takes, keeps and stores the reference sweeps of a device: for every scan
// preset, both source powers and both channels, one sweep of raw values that
// the scan manager later divides by. One binary file per device under
// "calibs", and a table there naming the file last used for each device, so
// that a device gets its own calibration back whenever it starts up.
class CalibrationManager : public QObject,
                           public ZCore::TSingleton<CalibrationManager>,
                           public ZCore::IInitializable,
                           public ICalibrationSource
{
    Q_OBJECT
    friend class ZCore::TSingleton<CalibrationManager>;

public:
    static constexpr const char *kCalibDirName = "calibs";
    static constexpr const char *kTableFileName = "calib_table.ini";
    static constexpr const char *kFileBaseName = "main";
    static constexpr const char *kFileSuffix = "cbin";
    // A device id is three decimal words ("%1-%2-%3", at most 32 characters);
    // anything far longer in a file is not an id.
    static constexpr quint32 kMaxIdBytes = 1024;

    static QString tag();

    // Safe to call again (tests): the table is reopened under the current
    // application directory and the connections are made only once.
    bool init() override;

    static QString calibrationDirPath();
    static QString calibrationTablePath();
    static QString deviceDirPath(const QString &deviceId);
    static QString calibrationFilePath(const QString &deviceId);

    void startCalibration();
    void readCalibrationFile(const QString &path);
    bool writeCalibrationFile(const QString &path);
    void removeCalibration(bool notify);

    bool isCalibrating() const override { return m_isCalibrating; }
    // Null when no preset is covered by the data in memory.
    const CAL::CalibData *calibrationFor(int preset, int channel, int powerIndex) const override;
    // At the scan manager's current source power.
    const CAL::CalibData *calibrationFor(int preset, int channel) const;
    bool allCalibrated() const;
    // A calibration can start: presets to calibrate, a device sweeping in its
    // application, and none running already.
    bool canCalibrate() const { return calibrationBlocker().isEmpty(); }

    qint32 calibrationPresetCount() const { return m_calibPresetCount; }
    const QList<CAL::CalibPreset> &calibrationList() const { return m_calibList; }
    // The table's file path for a device; empty when there is none.
    QString tableEntry(const QString &deviceId) const;

signals:
    void signalInitiatedCalibration();
    void signalStartedCalibration();
    void signalFailedReadCalibration();
    void signalFinishedCalibration();
    void signalReportCalibProcess(int percent);
    void signalRemovedCalibration();

public slots:
    void slotPostDeviceStartup();
    void slotRestoredScanPresets();
    void slotScanRangeReachedEnd();
    void slotProcessedScanData(ZData::EScanChannel channel);

private:
    CalibrationManager() = default;

    void makeConnections();
    bool initDirs();
    bool initFiles();
    bool createTable();
    void prepareDeviceDir(const QString &deviceId);

    bool readId(QDataStream &stream, QString &id) const;
    // Names the first reference of a preset that no measurement can be
    // divided by; empty when there is none.
    QString unusableReference(int preset) const;
    void rejectCalibrationFile(const QString &deviceId);
    void setTableEntry(const QString &deviceId, const QString &path);

    void step(int powerIndex);
    void stepWhenQueueEmpty(int powerIndex);
    void runPendingStep();
    void watchRangeEnd();
    void accumulatePass(int preset, int powerIndex);
    void reportProgress(int preset, int powerIndex);
    void finishCalibration();
    void slotPortClosing();
    void abandonCalibration(const QString &reason);
    void failCalibration(const QString &where);
    void dropStepConnections();
    void restoreUserSelection();
    bool canStartCalibration() const;
    // Why a calibration cannot start now, as a log line; empty when it can.
    QString calibrationBlocker() const;

    std::unique_ptr<QSettings> m_table;
    QList<CAL::CalibPreset> m_calibList;
    qint32 m_calibPresetCount = 0;
    bool m_isCalibrating = false;
    qint32 m_savedPreset = 0;
    qint32 m_savedPowerIndex = 0;
    qint32 m_remainingPasses = 0;

    QString m_calibDir;
    QString m_tablePath;
    QString m_deviceDir;
    // Fixed when a calibration starts: the device the references belong to
    // and the sweeps it takes.
    QString m_calibratingId;
    qint32 m_passes = 1;
    qint32 m_progressTotal = 0;
    int m_pendingPowerIndex = 0;
    QMetaObject::Connection m_queueEmptyConnection;
    QMetaObject::Connection m_rangeEndConnection;
    QMetaObject::Connection m_processedConnection;
};

} // namespace ZData
