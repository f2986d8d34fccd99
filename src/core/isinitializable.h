#pragma once

namespace ZCore {

// Marker: the deriving class provides a static bool init().
class ISInitializable
{
};

} // namespace ZCore
