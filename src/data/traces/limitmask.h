#pragma once

#include "data/traces/tlimitsegment.h"
#include "data/traces/ttrace.h"

#include <QObject>
#include <QString>

class QSettings;

namespace ZData::TR {

namespace LimitEnums {
Q_NAMESPACE

// NONE: the mask judged no point (it has no segment, or none reaches a
// measured point); a production check must not take that for a pass.
enum ELimitResult : quint8 { NONE = 0, PASS = 1, FAIL = 2 };
Q_ENUM_NS(ELimitResult)

} // namespace LimitEnums

using LimitEnums::ELimitResult;

struct TLimitVerdict
{
    ELimitResult result = ELimitResult::NONE;
    // Indices into the judged trace, ascending, each once.
    QVector<int> failingIndices;
    int judgedPoints = 0;
};

// Judging a trace against a mask, and the mask's profile form.
namespace LimitMask {

QString tag();
// "PASS", "FAIL" or "NONE", as logs and the command line print it.
QString resultText(ELimitResult result);

// Every measured point is judged by every segment that contains it, so a
// point on the edge two segments share must satisfy both. A level equal
// to a bound passes. Gaps are not judged.
TLimitVerdict judge(const TTrace &trace, const TLimitMask &mask);

// The array "limits" of a channel's group in the user profile:
//   limits\1\start=880000000   (Hz)
//   limits\1\stop=915000000    (Hz, above start)
//   limits\1\lower=-15         (optional)
//   limits\1\upper=-5          (optional; at least one of the two)
//   limits\size=1
// The settings object is positioned on the channel's group; count is the
// array size the caller has already bounded. An entry that is not usable
// is skipped with a warning naming the group and the entry; the rest load.
TLimitMask read(QSettings &settings, int count);
// Removes the array when the mask is empty, so no stale entry survives.
void write(QSettings &settings, const TLimitMask &mask);
QString arrayKey();

} // namespace LimitMask

} // namespace ZData::TR
