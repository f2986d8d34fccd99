#include "data/device/portaccessadvice.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace ZData::DM {

PortAccessAdvice PortAccessAdvice::inspect(const QString &portName)
{
    PortAccessAdvice advice;
    // The serial port keeps names below /dev without the directory.
    advice.node = portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
#ifdef Q_OS_UNIX
    const QFileInfo nodeInfo(advice.node);
    // The rights the open ran with: access() would judge by the real user,
    // which differs under sudo and for a root without its capabilities.
    // A node out of sight is as good as forbidden.
    const QByteArray path = QFile::encodeName(advice.node);
    if (nodeInfo.exists() && ::faccessat(AT_FDCWD, path.constData(), R_OK | W_OK, AT_EACCESS) == 0)
        return advice;
    advice.cause = ECause::NoPermission;
    const QFile::Permissions groupRights = QFile::ReadGroup | QFile::WriteGroup;
    if ((nodeInfo.permissions() & groupRights) == groupRights && nodeInfo.groupId() != 0)
        advice.group = nodeInfo.group();
#endif
    // A node this process may use, or a port elsewhere, that refused:
    // another program holds it.
    return advice;
}

QString PortAccessAdvice::logText() const
{
    if (cause == ECause::InUse)
        return QStringLiteral("%1 is accessible; another program may hold the port").arg(node);
    QString text = QStringLiteral("no permission to use %1").arg(node);
    if (!group.isEmpty())
        text += QStringLiteral("; add the user to the group \"%1\" that owns it (sudo usermod -aG %1 $USER), "
                               "then log in again")
                    .arg(group);
    return text + QStringLiteral("; the udev rule %1 gives the user at the seat access to the meter's ports")
                      .arg(QLatin1String(kUdevRulePath));
}

QString PortAccessAdvice::userText() const
{
    if (cause == ECause::InUse)
        return qtTrId("dw_port_denied_in_use").arg(node);
    QStringList paragraphs{qtTrId("dw_port_denied_no_permission").arg(node)};
    if (!group.isEmpty())
        paragraphs.append(qtTrId("dw_port_denied_join_group").arg(group));
    paragraphs.append(qtTrId("dw_port_denied_udev_rule").arg(QLatin1String(kUdevRulePath)));
    return paragraphs.join(QStringLiteral("\n\n"));
}

} // namespace ZData::DM
