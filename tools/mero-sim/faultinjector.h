#pragma once

#include "faultrule.h"

#include <QByteArray>
#include <QVector>

#include <random>

namespace MeroSim {

// Decides which faults strike the next reply and performs the byte-level
// ones. Its random generator is its own, so arming a fault never changes the
// measured values a seeded run produces.
class FaultInjector
{
public:
    explicit FaultInjector(quint64 seed);

    void add(const FaultRule &rule);
    void clear();
    QVector<FaultRule> rules() const;

    // Advances every rule by one reply; a one-shot rule is removed once its
    // run of replies is over.
    QVector<FaultKind> nextReply();

    // Each returns the index of the byte it changed.
    int flipHeaderBit(QByteArray &frame);
    int flipLengthBit(QByteArray &frame);
    int flipPayloadBit(QByteArray &frame);
    // Random length 1..maxLength, never containing the start byte.
    QByteArray garbage(int maxLength);
    // Random piece sizes of 1..maxPiece that add up to total.
    QVector<int> pieces(int total, int maxPiece);

private:
    struct ArmedRule
    {
        FaultRule rule;
        quint64 replies = 0;
        int runLeft = 0;
    };

    bool fires(ArmedRule &armed);

    int flipBitIn(QByteArray &frame, int first, int count);
    int uniform(int low, int high);

    QVector<ArmedRule> m_rules;
    std::mt19937_64 m_random;
};

} // namespace MeroSim
