#include "data/device/serverclientadapter.h"

#include "data/server/servermanager.h"

namespace ZData::DM {

bool ServerClientAdapter::requestActualVersion()
{
    return ServerManager::instance().requestActualVersion();
}

bool ServerClientAdapter::requestUpdate()
{
    return ServerManager::instance().requestUpdate();
}

bool ServerClientAdapter::sendActualVersion(const ZCore::TVersion &version)
{
    return ServerManager::instance().sendActualVersion(version);
}

void ServerClientAdapter::clearUpdateCache()
{
    ServerManager::instance().clearUpdateCache();
}

void ServerClientAdapter::abandonRequest()
{
    ServerManager::instance().abandonRequest();
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
