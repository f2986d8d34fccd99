// Feeds arbitrary reply bodies to the update-server client as replies to a
// version or an image request (the first byte picks which). An image it
// accepts must be bounded and must be the Base64 the reply carried.
#include "fuzzsupport.h"

#include "data/server/servermanager.h"

#include <cstdint>

namespace {

using FuzzSupport::expect;
using ZData::EServerCommands;
using ZData::ServerManager;

QByteArray withoutWhitespace(const QByteArray &text)
{
    QByteArray kept;
    for (char c : text) {
        if (!QChar::isSpace(uchar(c)))
            kept.append(c);
    }
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const EServerCommands requested = data[0] % 2 ? EServerCommands::GET_UPDATE : EServerCommands::GET_ACTUAL_VERSION;
    const QByteArray body = FuzzSupport::bytes(data + 1, size - 1);
    ServerManager &server = ServerManager::instance();
    server.processReplyBody(requested, body);

    const EServerCommands result = server.lastResult();
    if (result != requested)
        expect(server.replyText().isEmpty());
    if (result == EServerCommands::GET_UPDATE && !server.replyData().isEmpty()) {
        expect(server.replyData().size() <= ServerManager::kMaxImageBytes);
        expect(withoutWhitespace(server.replyText().toUtf8()).contains(server.replyData().toBase64()));
    }
    server.clearUpdateCache();
    return 0;
}
