#include "faultinjector.h"

#include "wireframe.h"

namespace MeroSim {

namespace {
constexpr int kBitsPerByte = 8;
constexpr int kByteValues = 256;
} // namespace

FaultInjector::FaultInjector(quint64 seed)
    : m_random(seed)
{
}

void FaultInjector::add(const FaultRule &rule)
{
    m_rules.append({rule, 0});
}

void FaultInjector::clear()
{
    m_rules.clear();
}

QVector<FaultRule> FaultInjector::rules() const
{
    QVector<FaultRule> rules;
    for (const ArmedRule &armed : m_rules)
        rules.append(armed.rule);
    return rules;
}

QVector<FaultKind> FaultInjector::nextReply()
{
    QVector<FaultKind> struck;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    for (auto it = m_rules.begin(); it != m_rules.end();) {
        ++it->replies;
        bool fires = false;
        switch (it->rule.schedule) {
        case FaultRule::Schedule::Once:
            fires = true;
            break;
        case FaultRule::Schedule::EveryNth:
            fires = it->replies % quint64(it->rule.every) == 0;
            break;
        case FaultRule::Schedule::Random:
            fires = chance(m_random) < it->rule.probability;
            break;
        }
        if (fires && !struck.contains(it->rule.kind))
            struck.append(it->rule.kind);
        if (fires && it->rule.schedule == FaultRule::Schedule::Once)
            it = m_rules.erase(it);
        else
            ++it;
    }
    return struck;
}

int FaultInjector::flipHeaderBit(QByteArray &frame)
{
    return flipBitIn(frame, WireFrame::kStartSize, WireHeader::kSize);
}

int FaultInjector::flipPayloadBit(QByteArray &frame)
{
    const int payload = frame.size() - WireFrame::kOverhead;
    if (payload > 0)
        return flipBitIn(frame, WireFrame::kPayloadOffset, payload);
    return flipBitIn(frame, frame.size() - WireFrame::kCrcSize, WireFrame::kCrcSize);
}

QByteArray FaultInjector::garbage(int maxLength)
{
    const int length = uniform(1, qMax(1, maxLength));
    QByteArray bytes;
    bytes.reserve(length);
    while (bytes.size() < length) {
        const int value = uniform(0, kByteValues - 1);
        if (value != WireFrame::kStartByte)
            bytes.append(static_cast<char>(value));
    }
    return bytes;
}

QVector<int> FaultInjector::pieces(int total, int maxPiece)
{
    QVector<int> sizes;
    for (int left = total; left > 0;) {
        const int size = uniform(1, qBound(1, maxPiece, left));
        sizes.append(size);
        left -= size;
    }
    return sizes;
}

int FaultInjector::flipBitIn(QByteArray &frame, int first, int count)
{
    if (count <= 0 || first + count > frame.size())
        return -1;
    const int index = first + uniform(0, count - 1);
    const int bit = uniform(0, kBitsPerByte - 1);
    frame[index] = static_cast<char>(static_cast<quint8>(frame[index]) ^ (1u << bit));
    return index;
}

int FaultInjector::uniform(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(m_random);
}

} // namespace MeroSim
