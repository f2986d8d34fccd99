#pragma once

#include "core/tversion.h"
#include "data/server/eservercommands.h"

#include <QByteArray>
#include <QString>

namespace ZData::DM {

// What the device link asks of the firmware update server client: the
// queue items that talk to the server, and the result it reads back when
// the client announces the end of an exchange.
class IUpdateServerClient
{
public:
    virtual ~IUpdateServerClient() = default;

    // Each returns false when the client refused the request: nothing was
    // sent and no end of an exchange will be announced.
    virtual bool requestActualVersion() = 0;
    virtual bool requestUpdate() = 0;
    virtual bool sendActualVersion(const ZCore::TVersion &version) = 0;
    virtual void clearUpdateCache() = 0;
    // Gives up the running exchange: its end is never announced.
    virtual void abandonRequest() = 0;

    virtual EServerCommands lastResult() const = 0;
    virtual QString replyText() const = 0;
    virtual QByteArray replyData() const = 0;
    // The client's log tag, for lines about what came from it.
    virtual QString clientTag() const = 0;
};

} // namespace ZData::DM
