#pragma once

namespace ZCore {

class IFactoryMethod
{
public:
    virtual ~IFactoryMethod() = default;
    virtual void registerMethods() = 0;
};

} // namespace ZCore
