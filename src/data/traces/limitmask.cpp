#include "data/traces/limitmask.h"

#include "core/enumtext.h"
#include "core/log.h"

#include <QSettings>

#include <cmath>

namespace ZData::TR::LimitMask {

namespace {

const char *const kKeyLimits = "limits";
const char *const kKeyStart = "start";
const char *const kKeyStop = "stop";
const char *const kKeyLower = "lower";
const char *const kKeyUpper = "upper";

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

bool failsSegment(const TLimitSegment &segment, double levelDb)
{
    return (segment.lowerDb && levelDb < *segment.lowerDb) || (segment.upperDb && levelDb > *segment.upperDb);
}

// One entry as read, or the reason it is refused.
struct TEntry
{
    TLimitSegment segment;
    QString error;
};

// A finite number under name; an absent key leaves value unset.
QString readNumber(QSettings &settings, const char *name, std::optional<double> &value)
{
    if (!settings.contains(key(name)))
        return QString();
    const QString text = settings.value(key(name)).toString().trimmed();
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return QStringLiteral("\"%1\" is not a finite number: \"%2\"").arg(key(name), text);
    value = number;
    return QString();
}

TEntry readEntry(QSettings &settings)
{
    TEntry entry;
    std::optional<double> start;
    std::optional<double> stop;
    for (const QString &error :
         {readNumber(settings, kKeyStart, start), readNumber(settings, kKeyStop, stop),
          readNumber(settings, kKeyLower, entry.segment.lowerDb), readNumber(settings, kKeyUpper, entry.segment.upperDb)}) {
        if (!error.isEmpty()) {
            entry.error = error;
            return entry;
        }
    }
    if (!start || !stop)
        entry.error = QStringLiteral("needs both \"start\" and \"stop\"");
    else if (*start < 0.0 || *start >= *stop)
        entry.error = QStringLiteral("start %1 Hz is not below stop %2 Hz").arg(*start, 0, 'f', 0).arg(*stop, 0, 'f', 0);
    else if (!entry.segment.lowerDb && !entry.segment.upperDb)
        entry.error = QStringLiteral("has neither \"lower\" nor \"upper\"");
    else if (entry.segment.lowerDb && entry.segment.upperDb && *entry.segment.lowerDb > *entry.segment.upperDb)
        entry.error = QStringLiteral("lower %1 is above upper %2").arg(*entry.segment.lowerDb).arg(*entry.segment.upperDb);
    if (entry.error.isEmpty()) {
        entry.segment.startHz = *start;
        entry.segment.stopHz = *stop;
    }
    return entry;
}

void writeBound(QSettings &settings, const char *name, const std::optional<double> &value)
{
    if (value)
        settings.setValue(key(name), numberText(*value));
}

} // namespace

QString tag()
{
    static const QString tagText = QStringLiteral("LimitMask");
    return tagText;
}

QString resultText(ELimitResult result)
{
    return ZCore::enumKey(result);
}

QString arrayKey()
{
    return key(kKeyLimits);
}

TLimitVerdict judge(const TTrace &trace, const TLimitMask &mask)
{
    TLimitVerdict verdict;
    for (int i = 0; i < trace.size(); ++i) {
        if (!trace.isMeasured(i))
            continue;
        bool judged = false;
        bool failed = false;
        for (const TLimitSegment &segment : mask) {
            if (!segment.contains(trace.frequencyHz(i)))
                continue;
            judged = true;
            failed = failed || failsSegment(segment, trace.levelDb(i));
        }
        verdict.judgedPoints += judged ? 1 : 0;
        if (failed)
            verdict.failingIndices.append(i);
    }
    if (verdict.judgedPoints > 0)
        verdict.result = verdict.failingIndices.isEmpty() ? ELimitResult::PASS : ELimitResult::FAIL;
    return verdict;
}

TLimitMask read(QSettings &settings, int count)
{
    const QString where = settings.group();
    TLimitMask mask;
    settings.beginReadArray(arrayKey());
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        const TEntry entry = readEntry(settings);
        if (entry.error.isEmpty())
            mask.append(entry.segment);
        else
            ZCore::Log::warning(tag(), QStringLiteral(">> limit %1 of %2 refused: %3").arg(i + 1).arg(where, entry.error));
    }
    settings.endArray();
    return mask;
}

void write(QSettings &settings, const TLimitMask &mask)
{
    settings.remove(arrayKey());
    if (mask.isEmpty())
        return;
    settings.beginWriteArray(arrayKey(), mask.size());
    for (int i = 0; i < mask.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(key(kKeyStart), numberText(mask.at(i).startHz));
        settings.setValue(key(kKeyStop), numberText(mask.at(i).stopHz));
        writeBound(settings, kKeyLower, mask.at(i).lowerDb);
        writeBound(settings, kKeyUpper, mask.at(i).upperDb);
    }
    settings.endArray();
}

} // namespace ZData::TR::LimitMask
