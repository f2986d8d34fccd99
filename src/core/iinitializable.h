#pragma once

namespace ZCore {

class IInitializable
{
public:
    virtual ~IInitializable() = default;
    virtual bool init() { return false; }
};

} // namespace ZCore
