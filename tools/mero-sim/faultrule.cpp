#include "faultrule.h"

#include <algorithm>
#include <array>

namespace MeroSim {

namespace {

struct KindName
{
    FaultKind kind;
    const char *name;
};

constexpr std::array<KindName, 9> kKindNames{{
    {FaultKind::FlipHeaderBit, "header-bit"},
    {FaultKind::FlipPayloadBit, "payload-bit"},
    {FaultKind::WrongCommand, "wrong-command"},
    {FaultKind::DropReply, "drop"},
    {FaultKind::SplitChunks, "chunks"},
    {FaultKind::GarbageBeforeStart, "garbage"},
    {FaultKind::ReportBadHostFrame, "report-bad-frame"},
    {FaultKind::Unplug, "unplug"},
    {FaultKind::ShortPayload, "short-payload"},
}};

const QString kOnce = QStringLiteral("once");
const QString kEveryPrefix = QStringLiteral("every=");
const QString kProbabilityPrefix = QStringLiteral("p=");

} // namespace

FaultRule FaultRule::once(FaultKind kind)
{
    FaultRule rule;
    rule.kind = kind;
    return rule;
}

FaultRule FaultRule::everyNth(FaultKind kind, int n)
{
    FaultRule rule;
    rule.kind = kind;
    rule.schedule = Schedule::EveryNth;
    rule.every = qMax(1, n);
    return rule;
}

FaultRule FaultRule::random(FaultKind kind, double probability)
{
    FaultRule rule;
    rule.kind = kind;
    rule.schedule = Schedule::Random;
    rule.probability = qBound(0.0, probability, 1.0);
    return rule;
}

bool FaultRule::parse(const QString &text, FaultRule *rule, QString *error)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    const QString kindText = colon < 0 ? text : text.left(colon);
    const QString scheduleText = colon < 0 ? kOnce : text.mid(colon + 1);

    const auto found = std::find_if(kKindNames.begin(), kKindNames.end(), [&](const KindName &k) {
        return kindText == QLatin1String(k.name);
    });
    if (found == kKindNames.end()) {
        *error = QStringLiteral("unknown fault '%1' (one of: %2)")
                     .arg(kindText, kindNames().join(QStringLiteral(", ")));
        return false;
    }

    bool ok = true;
    if (scheduleText == kOnce) {
        *rule = once(found->kind);
    } else if (scheduleText.startsWith(kEveryPrefix)) {
        const int n = scheduleText.mid(kEveryPrefix.size()).toInt(&ok);
        ok = ok && n >= 1;
        *rule = everyNth(found->kind, n);
    } else if (scheduleText.startsWith(kProbabilityPrefix)) {
        const double p = scheduleText.mid(kProbabilityPrefix.size()).toDouble(&ok);
        ok = ok && p >= 0.0 && p <= 1.0;
        *rule = random(found->kind, p);
    } else {
        ok = false;
    }
    if (!ok)
        *error = QStringLiteral("bad schedule '%1' in fault '%2' (once, every=N with N >= 1, "
                                "or p=P with 0 <= P <= 1)").arg(scheduleText, text);
    return ok;
}

QString FaultRule::toString() const
{
    switch (schedule) {
    case Schedule::Once:
        return kindName(kind) + QLatin1Char(':') + kOnce;
    case Schedule::EveryNth:
        return kindName(kind) + QLatin1Char(':') + kEveryPrefix + QString::number(every);
    case Schedule::Random:
        return kindName(kind) + QLatin1Char(':') + kProbabilityPrefix + QString::number(probability);
    }
    return kindName(kind);
}

QString FaultRule::kindName(FaultKind kind)
{
    for (const KindName &k : kKindNames) {
        if (k.kind == kind)
            return QLatin1String(k.name);
    }
    return QString::number(static_cast<int>(kind));
}

QStringList FaultRule::kindNames()
{
    QStringList names;
    for (const KindName &k : kKindNames)
        names << QLatin1String(k.name);
    return names;
}

} // namespace MeroSim
