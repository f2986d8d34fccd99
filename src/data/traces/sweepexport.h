#pragma once

#include "data/traces/tracefile.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class QImage;

namespace ZData::TR {

// What a sweep is saved as, from the window and from the command line
// alike, so that both write the same files: the format follows the file's
// suffix.
namespace SweepExport {

enum class EFormat : quint8 { CSV, TOUCHSTONE, PICTURE, UNKNOWN };

using TChannelTraces = std::array<TTrace, kScanChannelCount>;
using TReferences = std::array<std::optional<TTrace>, kScanChannelCount>;

QString tag();
EFormat formatOf(const QString &path);
QString suffix(EFormat format);

// Both channels' live traces, and the references shown beside them.
TTraceFile traceFile(const TTraceInfo &info, const TChannelTraces &live, const TReferences &references = {});
// Every file writing path makes: one, or two Touchstone files when the
// channels sweep different bands.
QStringList outputPaths(const QString &path, const TChannelTraces &live);
// A trace file or Touchstone file, atomically; false, with the reason in
// error and the log, for a failure, a suffix of neither, or nothing
// measured in either channel.
bool writeTraces(const QString &path, const TTraceInfo &info, const TChannelTraces &live,
                 const TReferences &references = {}, QString *error = nullptr);
// A PNG, atomically.
bool writePicture(const QString &path, const QImage &image, QString *error = nullptr);

// A channel's trace from a file this program exported: the live trace of a
// trace file (else its reference), or the channel's parameter of a
// Touchstone file. Refused, with the reason in error and the log, when the
// file is unreadable or holds nothing measured for the channel. levels
// receives what the file says its levels are (UNKNOWN when it does not).
std::optional<TTrace> readTrace(const QString &path, int channel, ELevelKind *levels, QString *error = nullptr);

} // namespace SweepExport

} // namespace ZData::TR
