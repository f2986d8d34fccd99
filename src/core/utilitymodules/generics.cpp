#include "core/utilitymodules/generics.h"

namespace ZCore::UtilityModules::Generics {

QString tag()
{
    static const QString tagText = QStringLiteral("Utility::Generics");
    return tagText;
}

void reportFailedInit(const QString &managerTag)
{
    Log::critical(tag(), QStringLiteral(">> ") + qtTrId("dw_err_failed_manager_init") + managerTag);
}

} // namespace ZCore::UtilityModules::Generics
