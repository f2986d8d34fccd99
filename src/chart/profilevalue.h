#pragma once

#include <QString>

#include <optional>

class QSettings;
class QVariant;

namespace ZChart::ProfileValue {

// A hand-edited value that does not fit is said in the log under tag and
// left at its default; the rest of the profile still loads.
void refuse(const QString &tag, const QString &key, const QVariant &value);
// Absent: nothing. Present but not a finite number: refused, nothing.
std::optional<double> number(const QSettings &settings, const QString &key, const QString &tag);

} // namespace ZChart::ProfileValue
