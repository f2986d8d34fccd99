#pragma once

#include "core/istaggable.h"
#include "data/scan/tscanpoint.h"
#include "data/traces/ttrace.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <cstdio>
#include <memory>

namespace ZCore {
class SimulatorLauncher;
}

namespace ZMeasure {

class ChartsPicture;

// What one measurement asks for.
struct TMeasurementRequest
{
    // The device's serial port; empty when the bundled simulator is used.
    QString portName;
    bool simulate = false;
    // Index into the preset list.
    int preset = 0;
    bool highPower = false;
    bool calibrated = false;
    int sweeps = 1;
    // None when 0.
    int timeoutSeconds = 0;
    QStringList exports;

    // A picture needs the widget classes, and with them a GUI application.
    bool needsWidgets() const;
};

// A measurement without a window, for scripts and production lines: uses
// the managers the window uses, sweeps the requested preset as often as
// asked, judges the last sweep against the preset's limit masks, writes the
// exports and prints one line per channel. Nothing it does is saved into
// the profiles: the window finds its preset, power and calibration use as
// it left them.
class HeadlessMeasurement : public QObject, public ZCore::ISTaggable
{
    Q_OBJECT

public:
    static constexpr int kExitPass = 0;
    static constexpr int kExitLimitFailed = 1;
    static constexpr int kExitNoMeasurement = 2;

    // The streams are the process's own; tests give files of their own.
    explicit HeadlessMeasurement(TMeasurementRequest request, std::FILE *out = stdout, std::FILE *err = stderr,
                                 QObject *parent = nullptr);
    ~HeadlessMeasurement() override;

    static QString tag();

    // Managers must be initialised. signalFinished follows exactly once,
    // queued, also when the request cannot even start.
    void start();
    bool isFinished() const { return m_finished; }

signals:
    void signalFinished(int exitCode);

private:
    bool selectPreset();
    void connectManagers();
    void openLink();
    void handleStartupFinished();
    void handleCalibrationLoaded();
    void handleCalibrationMissing();
    void handleSweepEnd();
    void showProgress(int percent);
    void noteOverload(bool overloaded);
    void report();
    bool writeExports(const std::array<ZData::TR::TTrace, ZData::kScanChannelCount> &traces);
    void fail(const QString &reason);
    void finish(int exitCode);
    void printError(const QString &text);

    TMeasurementRequest m_request;
    std::FILE *m_out;
    std::FILE *m_err;
    bool m_progressShown = false;
    bool m_showProgress = false;
    int m_sweepsDone = 0;
    // In the sweep under way: its levels may be wrong.
    bool m_overloadInSweep = false;
    bool m_finished = false;
    QTimer m_timeout;
    std::unique_ptr<ZCore::SimulatorLauncher> m_simulator;
    std::unique_ptr<ChartsPicture> m_picture;
    QVector<QMetaObject::Connection> m_links;
};

} // namespace ZMeasure
