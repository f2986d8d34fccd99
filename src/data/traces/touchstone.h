#pragma once

#include "data/traces/tracefile.h"

#include <QStringList>

#include <optional>

namespace ZData::TR {

// Touchstone version 1 two-port files (.s2p), written with the option line
// "# HZ S DB R 50": per frequency (Hz, increasing) S11, S21, S12 and S22,
// each as magnitude in dB and angle in degrees. The device measures the
// level of S21 (uplink) and S12 (downlink) only, so the files say in their
// comment lines that:
//   - S11 and S22 are not measured and written as -200 dB;
//   - a transmission parameter not measured at a frequency (the other
//     channel's, where the channels sweep different bands) is -200 dB too;
//   - angles are not measured and written as 0;
//   - raw levels are readings in dBm, written where dB belong; calibrated
//     levels are gain in dB (one line says which, for a reader to tell).
// -200 dB is far below anything the device shows and reads back as "no
// signal" in every tool. A point repeating the frequency before it is left
// out: a reader would take it for the start of noise data.
namespace Touchstone {

inline constexpr double kNotMeasuredDb = -200.0;
inline constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
inline constexpr int kMaxPoints = 100000;

QString tag();

// The channels share one file when their measured frequencies are the same.
bool channelsCoincide(const TTrace &s21, const TTrace &s12);
// The files write() makes of path: path itself when the channels coincide
// or only one has measured points; else the path with "_S21" and "_S12"
// before its suffix. Empty when neither channel has a measured point.
QStringList outputPaths(const QString &path, const TTrace &s21, const TTrace &s12);
// One file's text; a trace without measured points is a parameter not measured.
QByteArray toText(const TTraceInfo &info, const TTrace &s21, const TTrace &s12);
// Each file atomically; stops at the first failure, with the reason in
// error (when given) and the log.
bool write(const QString &path, const TTraceInfo &info, const TTrace &s21, const TTrace &s12,
           QString *error = nullptr);

// The level of S21 or S12 of a two-port file, in dB whatever its format
// (a zero magnitude reads as kNotMeasuredDb). Reads the option line's
// frequency unit and format; refuses other parameter types, version 2
// keywords, lines that are not nine numbers and more than kMaxPoints
// points, with a warning naming the file and the line. Data after a
// frequency that does not increase are noise parameters and are skipped.
std::optional<TTrace> parse(const QByteArray &bytes, const QString &name, EScanChannel parameter,
                            QString *error = nullptr);
std::optional<TTrace> read(const QString &path, EScanChannel parameter, QString *error = nullptr);
// What the comment lines of a file of ours say the levels are; UNKNOWN for
// a file that does not say.
ELevelKind levelKind(const QByteArray &bytes);

} // namespace Touchstone

} // namespace ZData::TR
