#pragma once

#include <QString>

namespace ZData::DM {

// Why a port refused to open for lack of permission, and what the user can
// do about it. The port's own error text says neither.
struct PortAccessAdvice
{
    // Where the Linux package installs the rule that gives the user at the
    // seat access to the meter's ports.
    static constexpr const char *kUdevRulePath = "/usr/lib/udev/rules.d/70-oskiro-mero.rules";

    enum class ECause : quint8 { InUse, NoPermission };

    // The device node, also for a name given without its directory.
    QString node;
    ECause cause = ECause::InUse;
    // The group whose members may use the node; empty when joining a group
    // would not help (none grants access, or it is root's).
    QString group;

    // Looks at the node as it is now, with this process's rights.
    static PortAccessAdvice inspect(const QString &portName);

    // One line for the log, in English.
    QString logText() const;
    // The box's text, translated.
    QString userText() const;
};

} // namespace ZData::DM
