#include "simoptions.h"

namespace MeroSim {

QString Options::timingName(Timing timing)
{
    return timing == Timing::Realistic ? QStringLiteral("realistic") : QStringLiteral("instant");
}

} // namespace MeroSim
