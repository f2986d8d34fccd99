#include "data/device/serverclientadapter.h"

#include "data/server/servermanager.h"

namespace ZData::DM {

void ServerClientAdapter::requestActualVersion()
{
    ServerManager::instance().requestActualVersion();
}

void ServerClientAdapter::requestUpdate()
{
    ServerManager::instance().requestUpdate();
}

void ServerClientAdapter::sendActualVersion(const ZCore::TVersion &version)
{
    ServerManager::instance().sendActualVersion(version);
}

void ServerClientAdapter::clearUpdateCache()
{
    ServerManager::instance().clearUpdateCache();
}

EServerCommands ServerClientAdapter::lastResult() const
{
    return ServerManager::instance().lastResult();
}

QString ServerClientAdapter::replyText() const
{
    return ServerManager::instance().replyText();
}

QByteArray ServerClientAdapter::replyData() const
{
    return ServerManager::instance().replyData();
}

QString ServerClientAdapter::clientTag() const
{
    return ServerManager::tag();
}

} // namespace ZData::DM
