#pragma once

#include <QObject>
#include <QtGlobal>

namespace ZCommon {

namespace TraceEnums {
Q_NAMESPACE

// Whether the chart views follow the device, and if not, why not.
enum class ETraceState : quint8 {
    LIVE = 0,
    PAUSED = 1,
    CALIBRATING = 2,
    CONNECTING = 3,
    RECONNECTING = 4,
    DISCONNECTED = 5,
    BOOTLOADER = 6,
    UPDATING = 7,
};
Q_ENUM_NS(ETraceState)

} // namespace TraceEnums

using TraceEnums::ETraceState;

// Translation identifiers of what the views say in a state: why the traces
// are not live, and what that means or what to do. Null while they are live.
struct TTraceStateText
{
    const char *reason = nullptr;
    const char *note = nullptr;
};

inline TTraceStateText traceStateText(ETraceState state)
{
    const char *const notLive = "dw_trace_not_live";
    switch (state) {
    case ETraceState::LIVE:
        return {};
    case ETraceState::PAUSED:
        return {"dw_trace_paused", notLive};
    case ETraceState::CALIBRATING:
        return {"dw_trace_calibrating", notLive};
    case ETraceState::CONNECTING:
        return {"dw_trace_connecting", notLive};
    case ETraceState::RECONNECTING:
        return {"dw_trace_reconnecting", notLive};
    case ETraceState::DISCONNECTED:
        return {"dw_trace_disconnected", notLive};
    case ETraceState::BOOTLOADER:
        return {"dw_trace_bootloader", "dw_trace_bootloader_hint"};
    case ETraceState::UPDATING:
        return {"dw_trace_updating", notLive};
    }
    return {};
}

} // namespace ZCommon
