#pragma once

#include "core/istaggable.h"

namespace ZCore {

// One process-wide instance per manager, built on first use and destroyed at
// process exit in reverse order of construction. The fixed first-use order of
// the managers is established by main().
template <typename T>
class TSingleton : public ISTaggable
{
public:
    static T &instance()
    {
        static T object;
        return object;
    }

    virtual ~TSingleton() = default;

protected:
    TSingleton() = default;

private:
    TSingleton(const TSingleton &) = delete;
    TSingleton &operator=(const TSingleton &) = delete;
};

} // namespace ZCore
