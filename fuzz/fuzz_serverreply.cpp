// Feeds arbitrary reply bodies to the update-server client as replies to a
// version or an image request (the first byte picks which). An image it
// accepts must be bounded and must be what the reply's Base64 stands for.
#include "fuzzsupport.h"

#include "data/server/servermanager.h"

#include <cstdint>

namespace {

using FuzzSupport::expect;
using ZData::EServerCommands;
using ZData::ServerManager;

// An image reply's text starts with two characters that are not part of it.
constexpr int kImagePrefixLength = 2;
constexpr int kBase64Quantum = 4;

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
        // The last quantum may carry bits Base64 ignores, so it is the only
        // one allowed to differ from the image's own encoding.
        const QByteArray encoded = withoutWhitespace(server.replyText().mid(kImagePrefixLength).toUtf8());
        const QByteArray canonical = server.replyData().toBase64();
        expect(encoded.size() == canonical.size());
        expect(encoded.chopped(kBase64Quantum) == canonical.chopped(kBase64Quantum));
    }
    server.clearUpdateCache();
    return 0;
}
