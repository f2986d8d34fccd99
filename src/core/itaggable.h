#pragma once

#include <QString>

namespace ZCore {

class ITaggable
{
public:
    virtual ~ITaggable() = default;
    virtual QString tag() const = 0;
};

} // namespace ZCore
