#pragma once

namespace ZCore {

// Marker of widget classes that build their own user interface and connections.
class ISConfigurable
{
};

} // namespace ZCore
