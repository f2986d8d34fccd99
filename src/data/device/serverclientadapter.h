#pragma once

#include "data/device/iupdateserverclient.h"

namespace ZData::DM {

// Lets the device link talk to the update server through the narrow
// interface it needs, so its tests can stand in a fake server.
class ServerClientAdapter : public IUpdateServerClient
{
public:
    bool requestActualVersion() override;
    bool requestUpdate() override;
    bool sendActualVersion(const ZCore::TVersion &version) override;
    void clearUpdateCache() override;
    void abandonRequest() override;

    EServerCommands lastResult() const override;
    QString replyText() const override;
    QByteArray replyData() const override;
    QString clientTag() const override;
};

} // namespace ZData::DM
