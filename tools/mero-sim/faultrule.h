#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

namespace MeroSim {

// Ways a reply can go wrong between the simulated device and the host.
enum class FaultKind : quint8 {
    FlipHeaderBit,      // one bit of the 12 header bytes inverted after the checksum
    FlipLengthBit,      // the data length's top bit inverted after the checksum: the
                        // header fails and announces far more bytes than follow
    FlipPayloadBit,     // one payload bit inverted (a CRC bit when there is no payload)
    WrongCommand,       // a well-formed reply carrying another command
    DropReply,          // nothing is sent
    SplitChunks,        // the frame is written in random pieces with pauses between
    GarbageBeforeStart, // random bytes, never the start byte, ahead of the frame
    ReportBadHostFrame, // the device claims the request arrived corrupted
    Unplug,             // the device vanishes instead of answering and comes back later
    LoseRequest,        // the request never arrives: the device neither acts on it nor answers
    ShortPayload,       // a well-formed reply carrying only the first half of its payload
};

// When a fault strikes. Counting runs over every reply the device makes,
// resends included, from the moment the rule is added. Each strike lasts a
// run of consecutive replies, so the reply to the host's resend request can
// go wrong as well.
struct FaultRule
{
    enum class Schedule : quint8 { Once, EveryNth, Random };

    FaultKind kind = FaultKind::DropReply;
    Schedule schedule = Schedule::Once;
    int every = 1;
    double probability = 0.0;
    int run = 1;

    static FaultRule once(FaultKind kind);
    static FaultRule everyNth(FaultKind kind, int n);
    static FaultRule random(FaultKind kind, double probability);
    FaultRule inRunsOf(int replies) const;

    // "KIND[:once|:every=N|:p=P][:run=N]", e.g. "drop:every=5", "chunks:p=0.25"
    // or "header-bit:p=0.01:run=2".
    static bool parse(const QString &text, FaultRule *rule, QString *error);
    QString toString() const;

    static QString kindName(FaultKind kind);
    static QStringList kindNames();
};

} // namespace MeroSim

Q_DECLARE_METATYPE(MeroSim::FaultKind)
Q_DECLARE_METATYPE(MeroSim::FaultRule)
