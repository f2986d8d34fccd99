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

constexpr std::array<KindName, 11> kKindNames{{
    {FaultKind::FlipHeaderBit, "header-bit"},
    {FaultKind::FlipLengthBit, "length-bit"},
    {FaultKind::FlipPayloadBit, "payload-bit"},
    {FaultKind::WrongCommand, "wrong-command"},
    {FaultKind::DropReply, "drop"},
    {FaultKind::SplitChunks, "chunks"},
    {FaultKind::GarbageBeforeStart, "garbage"},
    {FaultKind::ReportBadHostFrame, "report-bad-frame"},
    {FaultKind::Unplug, "unplug"},
    {FaultKind::LoseRequest, "lose-request"},
    {FaultKind::ShortPayload, "short-payload"},
}};

const QString kOnce = QStringLiteral("once");
const QString kEveryPrefix = QStringLiteral("every=");
const QString kProbabilityPrefix = QStringLiteral("p=");
const QString kRunPrefix = QStringLiteral(":run=");

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

FaultRule FaultRule::inRunsOf(int replies) const
{
    FaultRule rule = *this;
    rule.run = qMax(1, replies);
    return rule;
}

bool FaultRule::parse(const QString &text, FaultRule *rule, QString *error)
{
    const int runAt = text.indexOf(kRunPrefix);
    const QString ruleText = runAt < 0 ? text : text.left(runAt);
    const int colon = ruleText.indexOf(QLatin1Char(':'));
    const QString kindText = colon < 0 ? ruleText : ruleText.left(colon);
    const QString scheduleText = colon < 0 ? kOnce : ruleText.mid(colon + 1);

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
    if (ok && runAt >= 0) {
        const int replies = text.mid(runAt + kRunPrefix.size()).toInt(&ok);
        ok = ok && replies >= 1;
        *rule = rule->inRunsOf(replies);
    }
    if (!ok)
        *error = QStringLiteral("bad schedule '%1' in fault '%2' (once, every=N with N >= 1, "
                                "or p=P with 0 <= P <= 1, then optionally run=N with N >= 1)")
                     .arg(text.mid(kindText.size() + 1), text);
    return ok;
}

QString FaultRule::toString() const
{
    QString text = kindName(kind) + QLatin1Char(':');
    switch (schedule) {
    case Schedule::Once:
        text += kOnce;
        break;
    case Schedule::EveryNth:
        text += kEveryPrefix + QString::number(every);
        break;
    case Schedule::Random:
        text += kProbabilityPrefix + QString::number(probability);
        break;
    }
    return run > 1 ? text + kRunPrefix + QString::number(run) : text;
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
