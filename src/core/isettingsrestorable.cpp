#include "core/isettingsrestorable.h"

#include <stdexcept>

namespace ZCore {

void ISettingsRestorable::registerRestorable()
{
    throw std::runtime_error("not implemented");
}

} // namespace ZCore
