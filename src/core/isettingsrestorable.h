#pragma once

namespace ZCore {

class ISettingsRestorable
{
public:
    virtual ~ISettingsRestorable() = default;
    virtual void saveSettings() = 0;
    virtual void restoreSettings() = 0;
    // Only objects that must be saved when the main window closes enrol
    // themselves; the rest keep this and must never be asked to.
    virtual void registerRestorable();
};

} // namespace ZCore
