#pragma once

#include "data/traces/ttrace.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>

#include <optional>

namespace ZData {
class DataScanManager;
struct DeviceInfo;
} // namespace ZData

namespace ZData::TR {

namespace TraceEnums {
Q_NAMESPACE

// What a file's trace is; the file spells it in lower case.
enum ETraceRole : quint8 { LIVE = 0, REFERENCE = 1, MAX_HOLD = 2, MIN_HOLD = 3 };
Q_ENUM_NS(ETraceRole)

// What the levels are: raw readings (dBm) or calibrated gain (dB).
enum ELevelKind : quint8 { UNKNOWN = 0, RAW = 1, CALIBRATED = 2 };
Q_ENUM_NS(ELevelKind)

} // namespace TraceEnums

using TraceEnums::ELevelKind;
using TraceEnums::ETraceRole;

// Where a trace came from; written into the head of every trace and
// Touchstone file. Empty texts are unknown.
struct TTraceInfo
{
    QString deviceId;
    QString firmware;
    QString preset;
    QString power;
    QString attenuators;
    ELevelKind levels = ELevelKind::UNKNOWN;
    QDateTime date;

    // What the window and the command line record with a sweep: the
    // device, the active preset, the power ("low" or "high"), whether the
    // levels are calibrated, and both attenuators.
    static TTraceInfo ofSweep(const DeviceInfo &device, const DataScanManager &scan, const QDateTime &date);

    bool operator==(const TTraceInfo &other) const;
};

struct TTraceRecord
{
    EScanChannel channel = EScanChannel::S21;
    ETraceRole role = ETraceRole::LIVE;
    TTrace trace;
};

struct TTraceFile
{
    TTraceInfo info;
    QVector<TTraceRecord> records;

    const TTraceRecord *find(int channel, ETraceRole role) const;
    // What a view takes as its reference from a file: the channel's live
    // trace, else its stored reference.
    std::optional<TTrace> traceFor(int channel) const;
};

// The trace file: reference traces kept in the data directory and the CSV
// export, one format for both. UTF-8 text, lines ending in LF (CR LF read):
//
//   # Oskiro MERO trace
//   # device: 1-2-3
//   # firmware: 1.15.823
//   # preset: GSM 900
//   # power: high
//   # levels: calibrated          (calibrated, raw, or left out: unknown)
//   # attenuators: S21 10 dB, S12 0 dB
//   # date: 2026-12-07T01:20:00Z  (ISO 8601)
//   channel,trace,frequency_hz,level_db
//   S21,live,880000000,-12.340
//   S12,reference,925000000,-8.100
//
// Head lines are "# key: value"; unknown keys and "#" lines without a
// colon are comments. After the column line every row is one measured
// point: channel S21 or S12, trace live, reference, max_hold or min_hold,
// frequency in Hz, level in dB (dBm raw) as the chart shows it, "."
// decimals. Each channel keeps its own frequencies (the uplink and downlink
// bands differ); within one channel's trace they must not decrease (equal
// ones are a range whose start and stop coincide). Gaps are not written.
namespace TraceFileFormat {

// A whole sweep of both channels with their references and holds stays
// far below these; anything above is not one of our files.
inline constexpr qint64 kMaxFileBytes = 8 * 1024 * 1024;
inline constexpr int kMaxRows = 100000;

QString tag();
QString columnLine();

QByteArray toText(const TTraceFile &file);
// Atomic: the old file stays whole until the new one is complete. On
// failure error (when given) says why and a warning is logged.
bool write(const QString &path, const TTraceFile &file, QString *error = nullptr);
// Refuses a file that breaks the format with a warning naming the file
// and the line; error (when given) receives the same text.
std::optional<TTraceFile> parse(const QByteArray &bytes, const QString &name, QString *error = nullptr);
std::optional<TTraceFile> read(const QString &path, QString *error = nullptr);

} // namespace TraceFileFormat

} // namespace ZData::TR
