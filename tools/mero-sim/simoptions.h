#pragma once

#include "faultrule.h"

#include <QMetaType>
#include <QString>
#include <QVector>

#include <array>

namespace MeroSim {

enum class Timing : quint8 {
    Instant,   // answers as soon as a request is complete; what tests use
    Realistic, // takes the time the device needs per point at its sample size
};

enum class ScanValues : quint8 {
    Repeater,  // the repeater's response with receiver noise
    Signature, // a noiseless value naming channel, power and frequency, so a
               // host's every stored point can be traced to its request
};

// Everything a simulated device is made of. Defaults describe a healthy MERO
// in its main application, answering instantly.
struct Options
{
    static constexpr quint16 kMeroTypeState = 0x0016;

    QString linkPath;
    std::array<quint32, 3> deviceId{{4587553u, 825774358u, 875575351u}};
    quint16 typeState = kMeroTypeState;
    std::array<quint32, 3> firmwareVersion{{1u, 4u, 12u}};
    QString optionsText = QStringLiteral("SR=600000000,3000000000;BW=10,30,100,300,1000;PR=5");
    bool startInBootloader = false;
    Timing timing = Timing::Instant;
    ScanValues scanValues = ScanValues::Repeater;
    quint64 seed = 1;

    QString logFile;  // empty: standard error
    bool quiet = false;

    int unplugDelayMs = 2000;
    int rebootDelayMs = 1500;
    int chunkMax = 8;
    int chunkGapMs = 2;
    int garbageMax = 16;
    quint16 wrongCommand = 0; // 0: some other command the device knows
    // A request left incomplete this long is dropped, as the device's
    // receiver would after an inter-byte timeout.
    int receiveTimeoutMs = 1000;
    QVector<FaultRule> faults;

    // The update server on 127.0.0.1: port 0 takes any free one.
    static constexpr int kNoServerError = -1;
    static constexpr int kDefaultImageSize = 48 * 1024;
    quint16 updateServerPort = 0;
    std::array<quint32, 3> serverVersion{{1u, 5u, 0u}};
    int serverError = kNoServerError; // answer every request with "#Error: N"
    int serverImageSize = kDefaultImageSize;

    static QString timingName(Timing timing);
};

} // namespace MeroSim

Q_DECLARE_METATYPE(MeroSim::Timing)
