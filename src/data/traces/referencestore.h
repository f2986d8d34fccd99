#pragma once

#include "data/traces/tracefile.h"

#include <optional>

namespace ZData::TR {

// Reference traces that survive a restart: one trace file per device,
// preset and channel under "references" in the data directory,
//   references/<device id>/<preset name>_<S21|S12>.csv
// with the names percent-encoded (dots too), so any device id or preset
// name gives a plain file name inside that folder and no two collide; a
// very long name is cut and ends in a digest of the whole.
namespace ReferenceStore {

inline constexpr const char *kDirName = "references";

QString tag();
QString dirPath();
QString filePath(const QString &deviceId, const QString &presetName, int channel);

// Writes the trace as the channel's reference record, creating the folders.
bool save(const QString &deviceId, const QString &presetName, int channel, const TTraceInfo &info,
          const TTrace &trace, QString *error = nullptr);
// Nothing, silently, when none is kept; nothing, with the reader's
// warning, when the file is corrupt or holds no reference of the channel.
// info, when given, receives the file's head (its level kind among others).
std::optional<TTrace> load(const QString &deviceId, const QString &presetName, int channel, QString *error = nullptr,
                           TTraceInfo *info = nullptr);
// True when no reference is kept afterwards.
bool remove(const QString &deviceId, const QString &presetName, int channel);

} // namespace ReferenceStore

} // namespace ZData::TR
