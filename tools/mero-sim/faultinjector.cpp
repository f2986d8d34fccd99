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
    for (auto it = m_rules.begin(); it != m_rules.end();) {
        const bool fired = fires(*it);
        if (fired && !struck.contains(it->rule.kind))
            struck.append(it->rule.kind);
        if (fired && it->rule.schedule == FaultRule::Schedule::Once && it->runLeft == 0)
            it = m_rules.erase(it);
        else
            ++it;
    }
    return struck;
}

bool FaultInjector::fires(ArmedRule &armed)
{
    ++armed.replies;
    if (armed.runLeft > 0) {
        --armed.runLeft;
        return true;
    }
    bool starts = false;
    switch (armed.rule.schedule) {
    case FaultRule::Schedule::Once:
        starts = true;
        break;
    case FaultRule::Schedule::EveryNth:
        starts = armed.replies % quint64(armed.rule.every) == 0;
        break;
    case FaultRule::Schedule::Random:
        starts = std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < armed.rule.probability;
        break;
    }
    if (starts)
        armed.runLeft = armed.rule.run - 1;
    return starts;
}

int FaultInjector::flipHeaderBit(QByteArray &frame)
{
    return flipBitIn(frame, WireFrame::kStartSize, WireHeader::kSize);
}

int FaultInjector::flipLengthBit(QByteArray &frame)
{
    constexpr int kLengthHighByte = WireFrame::kStartSize + WireHeader::kLengthOffset + 1;
    constexpr quint8 kTopBit = 0x80;
    if (frame.size() <= kLengthHighByte)
        return -1;
    frame[kLengthHighByte] = static_cast<char>(static_cast<quint8>(frame[kLengthHighByte]) ^ kTopBit);
    return kLengthHighByte;
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
