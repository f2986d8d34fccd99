#pragma once

#include "common/etracestate.h"

#include <QObject>
#include <QString>

// Follows the link, the device and the sweep to tell whether the traces on
// the charts are live, and if not, why: paused, calibrating, the device
// being connected, reconnected or gone, or in its bootloader (updating, or
// waiting for the user to finish an update).
class TraceStateTracker : public QObject
{
    Q_OBJECT

public:
    explicit TraceStateTracker(QObject *parent = nullptr);

    static QString tag();

    ZCommon::ETraceState state() const { return m_state; }

signals:
    void signalStateChanged(ZCommon::ETraceState state);

private:
    void connectLink();
    void connectSweep();
    void handleLinkUp();
    void handleLinkDown();
    void handleStartupFinished();
    void handleUpdateStarted();
    void handleScanPause(bool paused);
    void evaluate();
    static bool isReconnecting();
    ZCommon::ETraceState currentState() const;

    ZCommon::ETraceState m_state = ZCommon::ETraceState::DISCONNECTED;
    bool m_linkUp = false;
    // The sweep ran since the port opened: until it does, a paused sweep
    // means the device is still being set up, not paused.
    bool m_sweepStarted = false;
    bool m_paused = true;
    // Firmware is being fetched or sent to the bootloader.
    bool m_updating = false;
};
