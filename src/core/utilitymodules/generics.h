#pragma once

#include "core/iinitializable.h"
#include "core/log.h"

#include <QString>

#include <type_traits>

namespace ZCore::UtilityModules::Generics {

QString tag();
void reportFailedInit(const QString &managerTag);

template <typename T>
bool initManager()
{
    T &manager = T::instance();
    bool ok = false;
    if constexpr (std::is_base_of_v<IInitializable, T>)
        ok = static_cast<IInitializable &>(manager).init();
    else
        ok = T::init();
    if (ok)
        return true;
    reportFailedInit(T::tag());
    return false;
}

} // namespace ZCore::UtilityModules::Generics
