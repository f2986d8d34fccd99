#pragma once

namespace ZCore {

// Marker: the deriving class provides a static tag() with its log tag.
class ISTaggable
{
};

} // namespace ZCore
